// The simulator over real loopback sockets, driven by a small console written against the
// link core: scripted and generated traffic, several consoles, and consoles that misbehave.
#include "sim/server.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "core/link/framer.h"
#include "tests/unit/sim/wire.h"

extern char** environ;

namespace tlx::sim {
namespace {

using namespace std::chrono_literals;
using namespace test;
using Millis = std::chrono::milliseconds;

class TestConsole {
  public:
    explicit TestConsole(std::uint16_t port)
        : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        const timeval limit{5, 0};  // no read waits longer
        ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    }
    void Send(std::span<const std::uint8_t> bytes) {
        ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void SendKeepAlive() { Send(Bytes{13, 0, 0, 0}); }
    void Close() { fd_.Reset(); }

    // One read of at most n bytes; with `all`, n bytes unless the server closes first.
    Bytes Read(std::size_t n, bool all = false) {
        Bytes buf(n);
        const ssize_t got = ::recv(fd_.get(), buf.data(), n, all ? MSG_WAITALL : 0);
        buf.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return buf;
    }

    // The login as the console runs it; the login result type, or -1 when nothing came.
    int LogIn(const std::string& user, const std::string& password) {
        Send(Record(link::MakeLoginRequest(user)));
        const auto reply = Read(link::kRecordSize);  // the console's first read
        if (reply.size() < 4 || TypeOf(reply) != link::kLoginChallenge) return -1;
        Send(ResponseTo(reply, password));
        const auto result = Read(4, true);
        const int type = result.size() < 4 ? -1 : TypeOf(result);
        if (type == link::kLoginAccepted) booth_list = Next();
        return type;
    }

    std::optional<link::ServerMessage> Next(Millis limit = 5000ms) {
        for (const auto end = Clock::now() + limit;;) {
            if (auto m = framer_.Next()) return m;
            const auto left = std::chrono::duration_cast<Millis>(end - Clock::now()).count();
            pollfd p{fd_.get(), POLLIN, 0};
            if (closed_ || left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) return {};
            const auto got = Read(65536);
            closed_ = got.empty();
            framer_.Feed(got);
        }
    }
    // The next message as "type text", or "none" when nothing came in time.
    std::string NextText(Millis limit = 5000ms) {
        const auto m = Next(limit);
        return m ? std::to_string(m->type) + " " + m->Text() : "none";
    }
    // True once the server has closed the connection (within the limit).
    bool ClosedByServer(Millis limit = 5000ms) {
        while (!closed_ && Next(limit)) {
        }
        return closed_;
    }

    std::optional<link::ServerMessage> booth_list;

  private:
    Fd fd_;
    bool closed_ = false;
    link::MessageFramer framer_{link::MessageFramer::Mode::kFullRecords};
};

// The server on its own thread. What it reported and announced may be read once it has ended.
class RunningServer {
  public:
    explicit RunningServer(SimConfig config, std::optional<Scenario> scenario = {},
                           const std::string& log_path = {}) {
        if (!log_path.empty()) log_ = JsonLog::Open(log_path, nullptr);
        config.listen = {"127.0.0.1", 0};
        config.http = Endpoint{"127.0.0.1", 0};
        config.web_address.clear();
        EXPECT_TRUE(Finish(config).ok);
        const auto keep = [](std::vector<std::string>& to) {
            return [&to](const std::string& line) { to.push_back(line); };
        };
        server_ = std::make_unique<Server>(config, *log_, std::move(scenario), keep(reports),
                                           keep(announced));
        EXPECT_EQ(server_->Start(), "");
        result_ = std::async(std::launch::async, [this] { return server_->Run(); });
    }
    ~RunningServer() { Stop(); }
    int Stop() {
        if (result_.valid()) server_->RequestStop();
        return result_.valid() ? stopped_ = result_.get() : stopped_;
    }
    // The exit status once the server ends by itself; -1 when it does not in time.
    int WaitForEnd(Millis limit) {
        return result_.wait_for(limit) == std::future_status::ready ? Stop() : -1;
    }
    Server& server() { return *server_; }
    std::uint16_t port() const { return server_->console_port(); }
    bool Reported(const std::string& line) const {  // a report begins with `line`
        return std::any_of(reports.begin(), reports.end(),
                           [&](const std::string& l) { return l.rfind(line, 0) == 0; });
    }
    std::vector<std::string> reports, announced;

  private:
    std::unique_ptr<JsonLog> log_ = std::make_unique<JsonLog>();
    std::unique_ptr<Server> server_;
    std::future<int> result_;
    int stopped_ = 0;
};

SimConfig Shop(std::vector<Account> accounts) {
    SimConfig c;
    c.accounts = std::move(accounts);
    c.booths = {"1", "2", "3"};
    c.settle_ms = 0;
    return c;
}

std::string TempDir() {
    std::string dir = std::filesystem::temp_directory_path() / "sim_test_XXXXXX";
    EXPECT_NE(::mkdtemp(dir.data()), nullptr);
    return dir;
}

TEST(SimServer, ScenarioRunsStepByStepAcrossADroppedConnection) {
    SimConfig config = Shop({{"anna", "secret"}});
    config.mode = TrafficMode::kScenario;
    auto scenario = ParseScenario(
        "dial 1;0123;Local;0.10\nwait 0.3\nconnect 1\n"
        "expect-keepalive 3\nfinish 1;75;1.50\ndrop\n"
        "reject 2\nexpect-keepalive 0.2\nquit\n");
    RunningServer sim(config, scenario.scenario);

    TestConsole console(sim.port());
    const auto before_login = Clock::now();  // the connect cannot be sent earlier
    ASSERT_EQ(console.LogIn("anna", "secret"), link::kLoginAccepted);
    EXPECT_EQ(console.NextText(), "101 1;0123;Local;0.10");
    EXPECT_EQ(console.NextText(), "102 1");
    EXPECT_GE(Clock::now() - before_login, 300ms);
    // Nothing more until the console proves it is alive.
    EXPECT_EQ(console.NextText(300ms), "none");
    console.SendKeepAlive();
    EXPECT_EQ(console.NextText(), "103 1;75;1.50");
    EXPECT_TRUE(console.ClosedByServer());

    // The next session goes on after the drop; its missed keep-alive fails the run.
    TestConsole again(sim.port());
    ASSERT_EQ(again.LogIn("anna", "secret"), link::kLoginAccepted);
    EXPECT_EQ(again.NextText(), "104 2");
    EXPECT_EQ(sim.WaitForEnd(5000ms), 1);
    EXPECT_TRUE(sim.Reported("FAILED scenario line 8: no keep-alive within 0.200000 s"));
    EXPECT_FALSE(sim.Reported("FAILED scenario line 4: no keep-alive within 3.000000 s"));
}

TEST(SimServer, ControlCommandsAndWebRequestsAreServedAndLogged) {
    const std::string dir = TempDir();
    SimConfig config = Shop({{"anna", "a"}, {"bob", "b"}});
    config.control_fifo = dir + "/control";
    {
        RunningServer sim(config, {}, dir + "/log.jsonl");
        TestConsole anna(sim.port()), bob(sim.port());
        ASSERT_EQ(anna.LogIn("anna", "a"), link::kLoginAccepted);
        ASSERT_EQ(bob.LogIn("bob", "b"), link::kLoginAccepted);
        {
            Fd fifo(::open(config.control_fifo.c_str(), O_WRONLY | O_CLOEXEC));
            const std::string commands = "@bob dial 2;0123;Local;0.10\nsend 104 3\nbogus\n";
            ASSERT_EQ(::write(fifo.get(), commands.data(), commands.size()),
                      static_cast<ssize_t>(commands.size()));
        }
        EXPECT_EQ(bob.NextText(), "101 2;0123;Local;0.10");
        EXPECT_EQ(bob.NextText(), "104 3");
        EXPECT_EQ(anna.NextText(), "104 3");
        EXPECT_EQ(anna.NextText(200ms), "none");

        sim.server().PostControl("@anna drop");
        EXPECT_TRUE(anna.ClosedByServer());

        auto get = [&](const std::string& target) {
            TestConsole web(sim.server().http_port());
            const std::string request = "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n";
            web.Send({reinterpret_cast<const std::uint8_t*>(request.data()), request.size()});
            std::string reply;
            for (Bytes got; !(got = web.Read(4096)).empty();) reply.append(got.begin(), got.end());
            return reply;
        };
        EXPECT_EQ(get("/Login.aspx?login=bob&password=b").rfind("HTTP/1.1 200 OK", 0), 0u);
        EXPECT_EQ(get("/Login.aspx?login=bob&password=a").rfind("HTTP/1.1 403 Forbidden\r\n", 0),
                  0u);
        EXPECT_EQ(sim.Stop(), 0);
        EXPECT_TRUE(sim.Reported("control: unknown step \"bogus\""));
        EXPECT_TRUE(sim.Reported("web: \"GET /Login.aspx?login=bob&password=a HTTP/1.1\" 403"));
    }
    std::ifstream in(dir + "/log.jsonl");
    const std::string all((std::istreambuf_iterator<char>(in)), {});
    for (
        const char* expected :
        {R"("session":1,"dir":"in","type":15,"name":"LoginRequest","bytes":259,"text":"anna"})",
         R"("dir":"out","type":3,"name":"LoginAccepted","bytes":4})",
         R"("session":2,"dir":"out","type":101,"name":"CallDialEvent","bytes":259,"text":"2;0123;Local;0.10"})",
         R"("event":"control","line":"@bob dial 2;0123;Local;0.10"})",
         R"("event":"stop","open_sessions":1)"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected << "\n" << all;
    std::filesystem::remove_all(dir);
}

TEST(SimServer, MisbehavingConsolesDoNotStopTheFloodForOthers) {
    SimConfig config = Shop({{"good", "g"}, {"sleepy", "s"}});
    config.mode = TrafficMode::kFlood;
    config.flood_events = 30001;  // more than the socket buffers hold for the sleepy one
    config.exit_after_flood = true;
    RunningServer sim(config);

    TestConsole garbage(sim.port()), half(sim.port()), silent(sim.port()), sleepy(sim.port()),
        good(sim.port());
    garbage.Send(Bytes(64, 0xAB));
    half.Send(std::span<const std::uint8_t>(Record(link::MakeLoginRequest("good"))).first(100));
    half.Close();
    ASSERT_EQ(sleepy.LogIn("sleepy", "s"), link::kLoginAccepted);  // and never reads again
    EXPECT_TRUE(garbage.ClosedByServer());

    ASSERT_EQ(good.LogIn("good", "g"), link::kLoginAccepted);
    const FloodPlan plan(config.booths, config.flood_events);
    for (std::uint64_t i = 0; i < plan.size(); ++i) {
        const auto sent = plan.Event(i);
        ASSERT_EQ(good.NextText(), std::to_string(sent.type) + " " + sent.text) << i;
    }
    EXPECT_EQ(good.NextText(200ms), "none");

    // The summary comes once the good console has everything; none for the sleepy one.
    ASSERT_EQ(sim.WaitForEnd(5000ms), 0);
    ASSERT_EQ(sim.announced.size(), 1u);
    EXPECT_NE(sim.announced[0].find("\"user\":\"good\""), std::string::npos);
    EXPECT_NE(sim.announced[0].find("{\"booth\":\"2\",\"calls\":3334,\"finished\":3333,"
                                    "\"last_state\":\"dialing\""),
              std::string::npos)
        << sim.announced[0];
}

// The real program; `while_running` talks to it, then SIGTERM must end it cleanly.
int RunProgram(std::vector<std::string> args, const std::function<void()>& while_running = {}) {
    args.insert(args.begin(), CALLSHOP_SIM_EXE);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    EXPECT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    if (while_running) while_running(), ::kill(pid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i, std::this_thread::sleep_for(50ms))
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

TEST(SimProgram, ServesALoginFoundThroughItsReadyFileAndEndsOnSignal) {
    EXPECT_EQ(RunProgram({"--help"}), 0);
    EXPECT_EQ(RunProgram({"--booths", "1,1"}), 2);
    const std::string dir = TempDir(), ready = dir + "/ready.json";
    const auto log_in = [&] {
        std::string line;
        for (int i = 0; i < 100 && line.empty(); ++i, std::this_thread::sleep_for(50ms))
            std::getline(std::ifstream(ready), line);
        const auto port = line.find("\"console_port\":"), web = line.find("\"web_address\":\"");
        ASSERT_NE(web, std::string::npos) << line;
        TestConsole console(static_cast<std::uint16_t>(std::stoi(line.substr(port + 15))));
        ASSERT_EQ(console.LogIn("demo", "demo"), link::kLoginAccepted);
        const auto address = line.substr(web + 15, line.find('"', web + 15) - web - 15);
        EXPECT_EQ(console.booth_list->Text(), address + ";1;2");
    };
    EXPECT_EQ(RunProgram({"--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--booths", "2",
                          "--ready-file", ready, "--generate"},
                         log_in),
              0);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tlx::sim
