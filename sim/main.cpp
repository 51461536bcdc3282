// callshop-sim: a call shop server for the demo, the end-to-end tests and the benchmarks.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "sim/config.h"
#include "sim/server.h"

using namespace tlx::sim;

int main(int argc, char** argv) {
    try {
        SimConfig config;
        const ParseOutcome parsed =
            ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), config);
        if (parsed.help) {
            std::cout << kHelpText;
            return 0;
        }
        if (!parsed.ok) {
            std::cerr << "callshop-sim: " << parsed.error << "\n";
            return 2;
        }

        std::optional<Scenario> scenario;
        if (config.mode == TrafficMode::kScenario) {
            std::ifstream in(config.scenario_file, std::ios::binary);
            if (!in) {
                std::cerr << "callshop-sim: cannot read scenario \"" << config.scenario_file
                          << "\"\n";
                return 2;
            }
            std::ostringstream text;
            text << in.rdbuf();
            ScenarioParse sp = ParseScenario(text.str());
            if (!sp.scenario) {
                std::cerr << "callshop-sim: " << config.scenario_file << ": " << sp.error << "\n";
                return 2;
            }
            scenario = std::move(sp.scenario);
        }

        std::unique_ptr<JsonLog> log;
        if (config.log_file.empty()) {
            log = std::make_unique<JsonLog>();
        } else {
            std::string error;
            log = JsonLog::Open(config.log_file, &error);
            if (!log) {
                std::cerr << "callshop-sim: " << error << "\n";
                return 2;
            }
        }

        // Signals arrive through the event loop, so they end it between two steps.
        sigset_t stop_signals;
        sigemptyset(&stop_signals);
        sigaddset(&stop_signals, SIGINT);
        sigaddset(&stop_signals, SIGTERM);
        sigprocmask(SIG_BLOCK, &stop_signals, nullptr);
        signal(SIGPIPE, SIG_IGN);
        const Fd signals(signalfd(-1, &stop_signals, SFD_NONBLOCK | SFD_CLOEXEC));

        Server server(config, *log, std::move(scenario));
        server.WatchSignals(signals.get());
        if (!config.ready_file.empty()) std::remove(config.ready_file.c_str());  // no stale one
        if (const std::string error = server.Start(); !error.empty()) {
            std::cerr << "callshop-sim: " << error << "\n";
            return 2;
        }
        if (!config.ready_file.empty()) {
            // Written whole under another name first, so a reader never sees half of it.
            const std::string temp = config.ready_file + ".tmp";
            JsonLine ready;
            ready.Num("pid", getpid())
                .Num("console_port", server.console_port())
                .Num("http_port", server.http_port())
                .Str("web_address", server.config().web_address);
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out << ready.Done() << "\n";
            out.close();
            if (!out || std::rename(temp.c_str(), config.ready_file.c_str()) != 0) {
                std::cerr << "callshop-sim: cannot write ready file \"" << config.ready_file
                          << "\"\n";
                return 2;
            }
        }
        std::cerr << "callshop-sim: consoles on " << config.listen.host << ":"
                  << server.console_port() << ", web address " << server.config().web_address
                  << (config.http ? "" : " (not served)") << ", " << config.booths.size()
                  << " booth(s), " << config.accounts.size() << " account(s)" << std::endl;
        const int status = server.Run();
        std::cerr << "callshop-sim: stopped" << std::endl;
        return status;
    } catch (const std::exception& e) {
        std::cerr << "callshop-sim: " << e.what() << "\n";
        return 2;
    }
}
