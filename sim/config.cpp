#include "sim/config.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>

#include "core/link/login.h"
#include "core/link/message.h"

namespace tlx::sim {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

template <typename T>
bool ParseNumber(std::string_view text, T& out) {
    text = Trim(text);
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

ParseOutcome Fail(std::string message) {
    return {false, false, std::move(message)};
}

// A booth key travels between ';' and is trimmed by the console, so it must be a plain,
// non-empty word that survives both.
std::optional<std::string> CheckBoothKey(std::string_view key) {
    if (key.empty()) return "a booth key is empty";
    if (key.find(';') != std::string_view::npos || key.find('\0') != std::string_view::npos)
        return "booth key \"" + std::string(key) + "\" contains ';' or a NUL byte";
    if (Trim(key) != key || key.front() == '\n' || key.back() == '\n')
        return "booth key \"" + std::string(key) + "\" has surrounding blanks";
    return std::nullopt;
}

ParseOutcome AddBooths(std::string_view value, SimConfig& config) {
    value = Trim(value);
    std::size_t count = 0;
    if (value.find(',') == std::string_view::npos && ParseNumber(value, count)) {
        if (count == 0 || count > 254) return Fail("--booths: count must be 1 to 254");
        for (std::size_t i = 1; i <= count; ++i) config.booths.push_back(std::to_string(i));
        return {};
    }
    while (true) {
        const auto comma = value.find(',');
        const std::string_view key = Trim(value.substr(0, comma));
        if (auto bad = CheckBoothKey(key)) return Fail("--booths: " + *bad);
        config.booths.emplace_back(key);
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    return {};
}

// "PREFIX PRICE DESCRIPTION..." e.g. "00 1.20 International".
ParseOutcome AddTariff(std::string_view value, SimConfig& config) {
    value = Trim(value);
    const auto sp1 = value.find(' ');
    if (sp1 == std::string_view::npos) return Fail("--tariff: expected PREFIX PRICE DESCRIPTION");
    const std::string_view prefix = value.substr(0, sp1);
    std::string_view rest = Trim(value.substr(sp1 + 1));
    const auto sp2 = rest.find(' ');
    const auto price = ParseCents(rest.substr(0, sp2));
    const std::string_view description =
        sp2 == std::string_view::npos ? std::string_view() : Trim(rest.substr(sp2 + 1));
    if (!std::all_of(prefix.begin(), prefix.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return Fail("--tariff: prefix \"" + std::string(prefix) + "\" is not digits");
    if (!price || *price < 0) return Fail("--tariff: price must be like 0.10");
    if (description.empty() || description.find(';') != std::string_view::npos)
        return Fail("--tariff: description must be non-empty and without ';'");
    config.tariffs.push_back({std::string(prefix), std::string(description), *price});
    return {};
}

// Options that take a value; every other known option is a plain switch.
bool NeedsValue(std::string_view name) {
    static const char* const kWithValue[] = {"listen",       "http",        "web-address",
                                             "user",         "password",    "account",
                                             "booths",       "booth",       "tariff",
                                             "scenario",     "flood",       "flood-booths",
                                             "rate",         "speed",       "seed",
                                             "settle-ms",    "log",         "keepalive-limit",
                                             "max-clients",  "max-pending", "login-timeout",
                                             "control-fifo", "ready-file",  "config"};
    return std::any_of(std::begin(kWithValue), std::end(kWithValue),
                       [&](const char* f) { return name == f; });
}

// One option, with its value already separated. `pending_user` links --user to the
// --password that follows it.
ParseOutcome ApplyOption(std::string_view name, std::string_view value, SimConfig& config,
                         std::optional<std::size_t>& pending_user) {
    const std::string opt = "--" + std::string(name);
    auto bad = [&](std::string_view what) {
        return Fail(opt + ": " + std::string(what) + " (got \"" + std::string(value) + "\")");
    };
    if (name == "help") return {true, true, {}};
    if (name == "listen" || name == "http") {
        auto ep = ParseEndpoint(value);
        if (!ep) return bad("expected ADDRESS:PORT with an IPv4 address");
        if (name == "listen")
            config.listen = *ep;
        else
            config.http = *ep;
        return {};
    }
    if (name == "no-http") {
        config.http.reset();
        return {};
    }
    if (name == "web-address") {
        config.web_address = std::string(Trim(value));
        return {};
    }
    if (name == "user") {
        const std::string_view user = Trim(value);
        if (user.empty()) return bad("user name must not be empty");
        if (user.size() > link::kMaxLoginUserName || user.find('\xff') != std::string_view::npos)
            return bad("user name too long or holding byte 255");
        config.accounts.push_back({std::string(user), {}});
        pending_user = config.accounts.size() - 1;
        return {};
    }
    if (name == "password") {
        if (!pending_user) return Fail("--password must follow a --user");
        config.accounts[*pending_user].password = std::string(value);
        pending_user.reset();
        return {};
    }
    if (name == "account") {  // config file form: "account NAME PASSWORD"
        const std::string_view v = Trim(value);
        const auto sp = v.find(' ');
        if (sp == std::string_view::npos) return bad("expected NAME PASSWORD");
        std::optional<std::size_t> ignored;
        if (auto r = ApplyOption("user", v.substr(0, sp), config, ignored); !r.ok) return r;
        config.accounts.back().password = std::string(Trim(v.substr(sp + 1)));
        return {};
    }
    if (name == "booths") return AddBooths(value, config);
    if (name == "booth") {
        const std::string_view key = Trim(value);
        if (auto why = CheckBoothKey(key)) return bad(*why);
        config.booths.emplace_back(key);
        return {};
    }
    if (name == "tariff") return AddTariff(value, config);
    if (name == "short-messages") {
        config.short_messages = true;
        return {};
    }
    if (name == "scenario") {
        config.mode = TrafficMode::kScenario;
        config.scenario_file = std::string(value);
        return {};
    }
    if (name == "generate") {
        config.mode = TrafficMode::kGenerate;
        return {};
    }
    if (name == "flood") {
        if (!ParseNumber(value, config.flood_events) || config.flood_events == 0)
            return bad("expected a positive event count");
        config.mode = TrafficMode::kFlood;
        return {};
    }
    if (name == "flood-booths") {
        if (!ParseNumber(value, config.flood_booths) || config.flood_booths == 0)
            return bad("expected a positive booth count");
        return {};
    }
    if (name == "exit-after-flood") {
        config.exit_after_flood = true;
        return {};
    }
    if (name == "rate") {
        if (!ParseNumber(value, config.rate) || !(config.rate > 0) || config.rate > 1e6)
            return bad("expected events a second, above 0");
        return {};
    }
    if (name == "speed") {
        if (!ParseNumber(value, config.speed) || !(config.speed > 0) || config.speed > 1e6)
            return bad("expected a factor above 0");
        return {};
    }
    if (name == "seed") return ParseNumber(value, config.seed) ? ParseOutcome{} : bad("number");
    if (name == "settle-ms") {
        if (!ParseNumber(value, config.settle_ms) || config.settle_ms < 0) return bad("number");
        return {};
    }
    if (name == "log") {
        config.log_file = std::string(value);
        return {};
    }
    if (name == "keepalive-limit") {
        if (!ParseNumber(value, config.keepalive_limit_s) || !(config.keepalive_limit_s > 0))
            return bad("expected seconds");
        return {};
    }
    if (name == "max-clients") {
        if (!ParseNumber(value, config.max_clients) || config.max_clients == 0)
            return bad("number");
        return {};
    }
    if (name == "max-pending") {
        if (!ParseNumber(value, config.max_pending) || config.max_pending < 4096)
            return bad("expected at least 4096 bytes");
        return {};
    }
    if (name == "login-timeout") {
        if (!ParseNumber(value, config.login_timeout_s) || !(config.login_timeout_s > 0))
            return bad("expected seconds");
        return {};
    }
    if (name == "control-fifo") {
        config.control_fifo = std::string(value);
        return {};
    }
    if (name == "ready-file") {
        config.ready_file = std::string(value);
        return {};
    }
    if (name == "control-stdin") {
        config.control_stdin = true;
        return {};
    }
    return Fail("unknown option " + opt + " (see --help)");
}

ParseOutcome ReadConfigFile(const std::string& path, SimConfig& config) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return Fail("--config: cannot read \"" + path + "\"");
    std::ostringstream text;
    text << in.rdbuf();
    return ParseConfigText(text.str(), path, config);
}

}  // namespace

std::string Endpoint::ToString() const {
    return host + ":" + std::to_string(port);
}

std::optional<Endpoint> ParseEndpoint(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    Endpoint ep;
    ep.host = std::string(text.substr(0, colon));
    if (ep.host == "localhost") ep.host = "127.0.0.1";
    in_addr probe{};
    if (inet_pton(AF_INET, ep.host.c_str(), &probe) != 1) return std::nullopt;
    if (!ParseNumber(text.substr(colon + 1), ep.port)) return std::nullopt;
    return ep;
}

ParseOutcome ParseCommandLine(const std::vector<std::string>& args, SimConfig& config) {
    std::optional<std::size_t> pending_user;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        if (arg.substr(0, 2) != "--") return Fail("unexpected argument \"" + args[i] + "\"");
        arg.remove_prefix(2);
        std::string_view value;
        const auto eq = arg.find('=');
        std::string_view name = arg.substr(0, eq);
        if (eq != std::string_view::npos) {
            value = arg.substr(eq + 1);
        } else if (NeedsValue(name) && name != "config") {  // --config is read below
            if (i + 1 >= args.size()) return Fail("--" + std::string(name) + " needs a value");
            value = args[++i];
        }
        if (name == "config") {
            if (eq == std::string_view::npos) {
                if (i + 1 >= args.size()) return Fail("--config needs a file name");
                value = args[++i];
            }
            if (auto r = ReadConfigFile(std::string(value), config); !r.ok) return r;
            continue;
        }
        auto r = ApplyOption(name, value, config, pending_user);
        if (!r.ok || r.help) return r;
    }
    if (pending_user)
        return Fail("--user " + config.accounts[*pending_user].user + " has no --password");
    return Finish(config);
}

ParseOutcome ParseConfigText(std::string_view text, std::string_view origin, SimConfig& config) {
    int line_no = 0;
    while (!text.empty()) {
        ++line_no;
        const auto nl = text.find('\n');
        std::string_view line = Trim(text.substr(0, nl));
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        if (line.empty() || line.front() == '#') continue;
        const auto sp = line.find_first_of(" \t");
        const std::string_view name = line.substr(0, sp);
        const std::string_view value =
            sp == std::string_view::npos ? std::string_view() : Trim(line.substr(sp + 1));
        std::optional<std::size_t> pending_user;
        ParseOutcome r;
        if (name == "user" || name == "password" || name == "config" || name == "help") {
            r = Fail("\"" + std::string(name) +
                     "\" is for the command line only (accounts: \"account NAME PASSWORD\")");
        } else if (NeedsValue(name) && value.empty()) {
            r = Fail("\"" + std::string(name) + "\" needs a value");
        } else {
            r = ApplyOption(name, value, config, pending_user);
        }
        if (!r.ok) {
            r.error = std::string(origin) + ":" + std::to_string(line_no) + ": " + r.error;
            return r;
        }
    }
    return {};
}

ParseOutcome Finish(SimConfig& config) {
    if (config.accounts.empty()) config.accounts.push_back({"demo", "demo"});
    for (std::size_t i = 0; i < config.accounts.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (config.accounts[i].user == config.accounts[j].user)
                return Fail("account \"" + config.accounts[i].user + "\" is given twice");
    if (config.booths.empty())
        for (int i = 1; i <= 6; ++i) config.booths.push_back(std::to_string(i));
    for (std::size_t i = 0; i < config.booths.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (config.booths[i] == config.booths[j])
                return Fail("booth \"" + config.booths[i] + "\" is given twice");
    if (config.tariffs.empty()) {
        config.tariffs = {{"0", "Local", 10},
                          {"06", "Mobile", 35},
                          {"00", "International", 120},
                          {"0800", "Free call", 0}};
    }
    for (std::size_t i = 0; i < config.tariffs.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (config.tariffs[i].prefix == config.tariffs[j].prefix)
                return Fail("tariff prefix \"" + config.tariffs[i].prefix + "\" is given twice");
    if (config.web_address.empty()) {
        const Endpoint ep = config.http.value_or(Endpoint{"127.0.0.1", 1805});
        // A port chosen by the system is filled in after binding; it is at most 5 digits.
        config.web_address = "http://" + ep.ToString() + "/";
    }
    if (config.web_address.find(';') != std::string::npos)
        return Fail("--web-address must not contain ';'");
    if (config.web_address.back() != '/') config.web_address += '/';
    if (config.flood_booths > config.booths.size())
        return Fail("--flood-booths " + std::to_string(config.flood_booths) + " exceeds the " +
                    std::to_string(config.booths.size()) + " configured booths");
    // In short form a 254-character list would be 259 bytes on the wire and look like a
    // full record to a console that tells the two forms apart by the first read.
    const std::size_t limit = config.short_messages ? link::kMaxText - 1 : link::kMaxText;
    const std::size_t needed = MaxBoothListText(config);
    if (needed > limit)
        return Fail("the booth list needs " + std::to_string(needed) +
                    " characters but one message holds " + std::to_string(limit) +
                    ": use fewer or shorter booth keys, or a shorter web address");
    return {};
}

std::string BoothListText(const SimConfig& config) {
    std::string text = config.web_address;
    for (const auto& key : config.booths) text += ";" + key;
    return text;
}

std::size_t MaxBoothListText(const SimConfig& config) {
    std::size_t n = BoothListText(config).size();
    // "host:0/" may become "host:65535/" once the system picks the port.
    if (config.http && config.http->port == 0 &&
        config.web_address == "http://" + config.http->ToString() + "/")
        n += 4;
    return n;
}

std::string FormatCents(std::int64_t cents) {
    const bool negative = cents < 0;
    const std::uint64_t v =
        negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
    std::string s =
        std::to_string(v / 100) + "." + (v % 100 < 10 ? "0" : "") + std::to_string(v % 100);
    return negative ? "-" + s : s;
}

std::optional<std::int64_t> ParseCents(std::string_view text) {
    text = Trim(text);
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    const auto dot = text.find('.');
    std::int64_t units = 0;
    std::int64_t frac = 0;
    const std::string_view whole = text.substr(0, dot);
    auto digits = [](std::string_view d) {
        return !d.empty() &&
               std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!digits(whole) || whole.size() > 12 || !ParseNumber(whole, units)) return std::nullopt;
    if (dot != std::string_view::npos) {
        std::string_view f = text.substr(dot + 1);
        if (!digits(f) || f.size() > 2 || !ParseNumber(f, frac)) return std::nullopt;
        if (f.size() == 1) frac *= 10;
    }
    const std::int64_t cents = units * 100 + frac;
    return negative ? -cents : cents;
}

}  // namespace tlx::sim
