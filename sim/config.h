// What the simulator is told to be: its addresses, accounts, booths and traffic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tlx::sim {

struct Endpoint {
    std::string host = "127.0.0.1";  // IPv4 literal or "localhost"
    std::uint16_t port = 0;
    std::string ToString() const;
};
// "A.B.C.D:PORT" or "localhost:PORT"; port 0 asks the system for a free one.
std::optional<Endpoint> ParseEndpoint(std::string_view text);

struct Account {
    std::string user;
    std::string password;
};

// One line of the tariff: numbers starting with `prefix` cost `price_cents` a started minute.
struct Tariff {
    std::string prefix;
    std::string description;
    std::int64_t price_cents = 0;
};

enum class TrafficMode { kIdle, kScenario, kGenerate, kFlood };

struct SimConfig {
    Endpoint listen{"127.0.0.1", 1804};
    std::optional<Endpoint> http = Endpoint{"127.0.0.1", 1805};
    std::string web_address;  // empty: formed from the HTTP endpoint once it is bound
    std::vector<Account> accounts;
    std::vector<std::string> booths;
    std::vector<Tariff> tariffs;
    bool short_messages = false;

    TrafficMode mode = TrafficMode::kIdle;
    std::string scenario_file;
    double rate = 1.0;   // generated events a shop second while booths can act
    double speed = 1.0;  // shop seconds played per real second
    std::uint64_t seed = 1;
    std::uint64_t flood_events = 0;
    std::size_t flood_booths = 0;  // 0: every booth
    bool exit_after_flood = false;
    int settle_ms = 1000;

    std::string log_file;
    double keepalive_limit_s = 20.0;
    std::size_t max_clients = 64;
    std::size_t max_pending = 1 << 20;
    double login_timeout_s = 60.0;
    std::string control_fifo;
    bool control_stdin = false;
    std::string ready_file;  // written once listening, for scripts that start us
};

struct ParseOutcome {
    bool ok = true;
    bool help = false;
    std::string error;  // for the operator, names the option or the file line
};

// Reads the command line (argv[0] excluded); a --config file is read where it stands, so
// later options override it. Fills in defaults that depend on other settings.
ParseOutcome ParseCommandLine(const std::vector<std::string>& args, SimConfig& config);
// Lines "name value" with the option names of the command line without their dashes;
// '#' starts a comment line.
ParseOutcome ParseConfigText(std::string_view text, std::string_view origin, SimConfig& config);

// Defaults and cross-checks once everything is read: a demo account when none is given,
// booths, tariffs, a web address ending with '/', and the BoothList fitting one message.
ParseOutcome Finish(SimConfig& config);

// The BoothList text: web address;key;key;...
std::string BoothListText(const SimConfig& config);
// The longest BoothList text the configuration may produce.
std::size_t MaxBoothListText(const SimConfig& config);

// Money as the wire writes it: "12.05", "0.10", "-1.50".
std::string FormatCents(std::int64_t cents);
std::optional<std::int64_t> ParseCents(std::string_view text);

extern const char kHelpText[];

}  // namespace tlx::sim
