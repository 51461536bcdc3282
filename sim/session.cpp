#include "sim/session.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "core/link/message.h"

namespace tlx::sim {

namespace {

constexpr std::size_t kFloodHighWater = 64 * 1024;  // refill the socket below this much
constexpr auto kClosingGrace = std::chrono::seconds(5);
constexpr double kOverdueGrace = 10.0;  // past the limit, a missing keep-alive is said at once

std::chrono::nanoseconds Seconds(double s) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(s));
}

double SecondsBetween(TimePoint from, TimePoint to) {
    return std::chrono::duration<double>(to - from).count();
}

std::string FormatSeconds(double s) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, s, std::chars_format::fixed, 2);
    return ec == std::errc() ? std::string(buf, end) : std::string("?");
}

// A name from the network, safe to print on the operator's terminal.
std::string Printable(const std::string& text) {
    return JsonEscape(text);
}

bool SameBlock(const link::Block& a, std::span<const std::uint8_t> b) {
    std::uint8_t diff = 0;  // no early exit: the time taken tells nothing about the response
    for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<std::uint8_t>(a[i] ^ b[i]);
    return diff == 0;
}

}  // namespace

const char* MessageName(std::int32_t type) {
    switch (type) {
        case link::kLoginIncorrect:
            return "LoginIncorrect";
        case link::kLoginAccepted:
            return "LoginAccepted";
        case link::kKeepAlive:
            return "KeepAlive";
        case link::kLoginRequest:
            return "LoginRequest";
        case link::kLoginChallenge:
            return "LoginChallenge";
        case link::kChallengeResponse:
            return "ChallengeResponse";
        case link::kAlreadyLoggedIn:
            return "AlreadyLoggedIn";
        case link::kBoothList:
            return "BoothList";
        case link::kCallDialEvent:
            return "CallDialEvent";
        case link::kCallConnectedEvent:
            return "CallConnectedEvent";
        case link::kCallFinishedEvent:
            return "CallFinishedEvent";
        case link::kCallRejectedEvent:
            return "CallRejectedEvent";
        default:
            return "unknown";
    }
}

// The session's source of call events, chosen by the traffic mode.
struct ClientSession::Traffic {
    TimePoint start;  // nothing is sent before the console has read its BoothList
    // scenario
    std::size_t* cursor = nullptr;
    std::optional<TimePoint> wait_until;
    std::optional<TimePoint> expect_deadline;
    int expect_line = 0;
    double expect_seconds = 0;
    bool keepalive_seen = false;
    bool scenario_done_logged = false;
    // generator
    std::optional<CallGenerator> generator;
    TimePoint next_event;
    TrafficEvent next_generated;  // sent at next_event, after its own gap
    // flood
    std::optional<FloodPlan> flood;
    std::uint64_t flood_next = 0;
    std::uint64_t flood_bytes = 0;
    bool flood_reported = false;
};

ClientSession::ClientSession(int id, std::string peer, SessionHost& host, TimePoint now)
    : id_(id), peer_(std::move(peer)), host_(host) {
    login_deadline_ = now + Seconds(host_.config().login_timeout_s);
    LogEvent("connect", peer_);
}

ClientSession::~ClientSession() {
    if (holds_login_) host_.SetLoggedIn(user_, false);
}

void ClientSession::LogEvent(const char* event, const std::string& detail) {
    JsonLog& log = host_.log();
    if (!log.enabled()) return;
    auto line = log.Begin();
    line.Num("session", id_).Str("event", event);
    if (!detail.empty()) line.Str("detail", detail);
    if (!user_.empty()) line.Str("user", user_);
    log.Write(line);
}

void ClientSession::LogMessage(const char* dir, std::int32_t type, std::size_t bytes,
                               const std::string* text, std::span<const std::uint8_t> block) {
    JsonLog& log = host_.log();
    if (!log.enabled()) return;
    auto line = log.Begin();
    line.Num("session", id_)
        .Str("dir", dir)
        .Num("type", type)
        .Str("name", MessageName(type))
        .Num("bytes", static_cast<std::int64_t>(bytes));
    if (text) line.Str("text", *text);
    if (!block.empty()) line.Hex("block", block);
    log.Write(line);
}

void ClientSession::Close(const std::string& reason, bool flush_first) {
    if (phase_ == Phase::kClosed) return;
    if (phase_ != Phase::kClosing) LogEvent("close", reason);
    if (holds_login_) {
        host_.SetLoggedIn(user_, false);
        holds_login_ = false;
    }
    if (flush_first) {
        phase_ = Phase::kClosing;
        return;
    }
    phase_ = Phase::kClosed;
    out_.clear();
    out_offset_ = 0;
}

void ClientSession::OnPeerClosed(TimePoint now, const std::string& why) {
    if (phase_ == Phase::kClosed) return;
    if (holds_login_) ReportKeepAliveGap(now);
    if (!in_.empty())
        LogEvent("partial", std::to_string(in_.size()) + " bytes of an unfinished message");
    Close(why);
}

// ---- output ----

std::span<const std::uint8_t> ClientSession::pending() const {
    return {out_.data() + out_offset_, out_.size() - out_offset_};
}

void ClientSession::Consumed(std::size_t n) {
    out_offset_ += std::min(n, pending_size());
    if (out_offset_ == out_.size()) {
        out_.clear();
        out_offset_ = 0;
    } else if (out_offset_ > 64 * 1024 && out_offset_ * 2 > out_.size()) {
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(out_offset_));
        out_offset_ = 0;
    }
}

void ClientSession::SendBytes(const std::uint8_t* data, std::size_t size) {
    if (phase_ == Phase::kClosed || phase_ == Phase::kClosing) return;
    if (pending_size() + size > host_.config().max_pending) {
        // The console stopped reading; keeping everything for it would eat the memory
        // that the other consoles need.
        host_.Report("session " + std::to_string(id_) + " (" + Printable(user_) +
                     "): console does not read, closing after " + std::to_string(pending_size()) +
                     " unsent bytes");
        Close("slow reader: " + std::to_string(pending_size()) + " bytes unsent");
        return;
    }
    out_.insert(out_.end(), data, data + size);
}

void ClientSession::SendText(std::int32_t type, const std::string& text) {
    const link::ServerMessage msg = link::MakeTextMessage(type, text);
    const std::string sent = msg.Text();
    // Short form: type, text and its NUL; the bytes after the NUL are left out.
    const std::size_t size =
        host_.config().short_messages ? link::kShortSize + sent.size() + 1 : link::kRecordSize;
    const auto full = msg.Encode();
    SendBytes(full.data(), size);
    if (phase_ == Phase::kClosed) return;
    LogMessage("out", type, size, &sent, {});
    if (type >= link::kCallDialEvent && type <= link::kCallRejectedEvent)
        if (ShopState* shop = host_.ShopOf(user_)) shop->Apply(type, sent);
}

void ClientSession::SendLoginAnswer(std::int32_t type, bool short_form) {
    link::ServerMessage msg;
    msg.type = type;
    const auto full = msg.Encode();
    const std::size_t size = short_form ? link::kShortSize : link::kRecordSize;
    SendBytes(full.data(), size);
    LogMessage("out", type, size, nullptr, {});
}

// ---- input ----

void ClientSession::OnBytes(std::span<const std::uint8_t> bytes, TimePoint now) {
    // Never more than one record is kept: whole records are taken off as they complete.
    while (!bytes.empty() && phase_ != Phase::kClosed && phase_ != Phase::kClosing) {
        std::size_t need = link::kShortSize;
        if (in_.size() >= link::kShortSize) {
            const std::int32_t type =
                link::ReadType(std::span<const std::uint8_t, 4>(in_.data(), 4));
            const bool short_form = phase_ == Phase::kLoggedIn && type == link::kKeepAlive;
            need = short_form ? link::kShortSize : link::kRecordSize;
        }
        const std::size_t take = std::min(need - in_.size(), bytes.size());
        in_.insert(in_.end(), bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(take));
        bytes = bytes.subspan(take);
        if (in_.size() < need) continue;
        if (need == link::kShortSize) {
            const std::int32_t type =
                link::ReadType(std::span<const std::uint8_t, 4>(in_.data(), 4));
            const bool known = type == link::kKeepAlive || type == link::kLoginRequest ||
                               type == link::kChallengeResponse;
            if (!known) {
                LogMessage("in", type, in_.size(), nullptr, {});
                host_.Report("session " + std::to_string(id_) + " from " + peer_ +
                             ": garbage (type " + std::to_string(type) + "), closing");
                Close("garbage: type " + std::to_string(type));
                return;
            }
            if (!(phase_ == Phase::kLoggedIn && type == link::kKeepAlive)) continue;
        }
        const auto msg = link::DecodeMessage(in_);
        in_.clear();
        if (!msg) continue;
        switch (phase_) {
            case Phase::kAwaitLoginRequest:
                HandleLoginRequest(*msg);
                break;
            case Phase::kAwaitResponse:
                HandleResponse(*msg, now);
                break;
            case Phase::kLoggedIn:
                if (msg->type == link::kKeepAlive) {
                    LogMessage("in", msg->type, link::kShortSize, nullptr, {});
                    HandleKeepAlive(now);
                } else {
                    // A login record in the middle of a session: logged and ignored.
                    LogMessage("in", msg->type, link::kRecordSize, nullptr, {});
                    LogEvent("ignored", std::string("unexpected ") + MessageName(msg->type));
                }
                break;
            default:
                break;
        }
    }
}

void ClientSession::HandleLoginRequest(const link::ServerMessage& msg) {
    if (msg.type != link::kLoginRequest) {
        LogMessage("in", msg.type, link::kRecordSize, nullptr, {});
        Close(std::string("expected LoginRequest, got ") + MessageName(msg.type));
        return;
    }
    user_ = link::ReadLoginRequestUser(msg);
    LogMessage("in", msg.type, link::kRecordSize, &user_, {});
    const Account* account = host_.FindAccount(user_);
    if (!account) {
        // Answered at once: no challenge for a user who does not exist.
        SendLoginAnswer(link::kLoginIncorrect, host_.config().short_messages);
        LogEvent("login", "unknown user");
        host_.Report("login of unknown user \"" + Printable(user_) + "\" refused");
        Close("login refused: unknown user", true);
        return;
    }
    const link::Block challenge = host_.NewChallenge();
    const link::Block enciphered = link::EncipherChallenge(account->password, challenge);
    expected_ = link::ExpectedResponse(account->password, challenge);
    link::ServerMessage out;
    out.type = link::kLoginChallenge;
    std::copy(enciphered.begin(), enciphered.end(), out.data.begin());
    const auto full = out.Encode();
    const std::size_t size =
        host_.config().short_messages ? link::kShortSize + link::kBlockSize : link::kRecordSize;
    SendBytes(full.data(), size);
    LogMessage("out", out.type, size, nullptr, enciphered);
    phase_ = Phase::kAwaitResponse;
}

void ClientSession::HandleResponse(const link::ServerMessage& msg, TimePoint now) {
    LogMessage("in", msg.type, link::kRecordSize, nullptr,
               std::span<const std::uint8_t>(msg.data.data(), link::kBlockSize));
    if (msg.type != link::kChallengeResponse) {
        Close(std::string("expected ChallengeResponse, got ") + MessageName(msg.type));
        return;
    }
    if (!SameBlock(expected_, std::span<const std::uint8_t>(msg.data.data(), link::kBlockSize))) {
        SendLoginAnswer(link::kLoginIncorrect, true);
        LogEvent("login", "wrong password");
        host_.Report("login of \"" + Printable(user_) + "\" refused: wrong password");
        Close("login refused: wrong password", true);
        return;
    }
    if (host_.IsLoggedIn(user_)) {
        SendLoginAnswer(link::kAlreadyLoggedIn, true);
        LogEvent("login", "already logged in");
        host_.Report("login of \"" + Printable(user_) + "\" refused: already logged in");
        Close("login refused: already logged in", true);
        return;
    }
    SendLoginAnswer(link::kLoginAccepted, true);
    host_.SetLoggedIn(user_, true);
    holds_login_ = true;
    phase_ = Phase::kLoggedIn;
    LogEvent("login", "accepted");
    host_.Report("session " + std::to_string(id_) + ": \"" + Printable(user_) +
                 "\" logged in from " + peer_);
    if (ShopState* shop = host_.ShopOf(user_)) shop->Clear();
    SendText(link::kBoothList, BoothListText(host_.config()));
    last_keepalive_ = now;

    const SimConfig& cfg = host_.config();
    traffic_ = std::make_unique<Traffic>();
    traffic_->start = now + std::chrono::milliseconds(cfg.settle_ms);
    switch (cfg.mode) {
        case TrafficMode::kScenario:
            traffic_->start = now;  // a scenario times itself with wait steps
            traffic_->cursor = &host_.ScenarioCursor(user_);
            break;
        case TrafficMode::kGenerate:
            traffic_->generator.emplace(cfg.booths, cfg.tariffs, cfg.rate, cfg.seed);
            traffic_->next_event = traffic_->start;
            DrawNextEvent();
            break;
        case TrafficMode::kFlood: {
            const std::size_t m = cfg.flood_booths ? cfg.flood_booths : cfg.booths.size();
            traffic_->flood.emplace(
                std::vector<std::string>(cfg.booths.begin(),
                                         cfg.booths.begin() + static_cast<std::ptrdiff_t>(m)),
                cfg.flood_events);
            break;
        }
        case TrafficMode::kIdle:
            break;
    }
    Tick(now);
}

void ClientSession::HandleKeepAlive(TimePoint now) {
    ++keepalives_;
    const double gap = SecondsBetween(last_keepalive_, now);
    if (gap > host_.config().keepalive_limit_s) {
        JsonLog& log = host_.log();
        auto line = log.Begin();
        line.Num("session", id_)
            .Str("event", "keepalive_gap")
            .Str("user", user_)
            .Real("gap_s", std::round(gap * 1000) / 1000);
        log.Write(line);
        host_.Report("session " + std::to_string(id_) + " (" + Printable(user_) +
                     "): keep-alive gap of " + FormatSeconds(gap) + " s");
    }
    last_keepalive_ = now;
    overdue_reported_ = false;
    if (traffic_) traffic_->keepalive_seen = true;
}

void ClientSession::ReportKeepAliveGap(TimePoint now) {
    const double gap = SecondsBetween(last_keepalive_, now);
    if (gap <= host_.config().keepalive_limit_s) return;
    JsonLog& log = host_.log();
    auto line = log.Begin();
    line.Num("session", id_)
        .Str("event", "keepalive_gap")
        .Str("user", user_)
        .Real("gap_s", std::round(gap * 1000) / 1000)
        .Bool("at_close", true);
    log.Write(line);
}

// ---- traffic ----

void ClientSession::Tick(TimePoint now) {
    if (phase_ == Phase::kClosing) {
        // What is left goes out if the console reads it soon; it cannot hold the socket.
        if (!closing_deadline_) closing_deadline_ = now + kClosingGrace;
        if (now >= *closing_deadline_)
            Close("unsent bytes at close: " + std::to_string(pending_size()));
        return;
    }
    if ((phase_ == Phase::kAwaitLoginRequest || phase_ == Phase::kAwaitResponse) &&
        now >= login_deadline_) {
        Close("no login within the time limit");
        return;
    }
    if (phase_ == Phase::kLoggedIn && !overdue_reported_ &&
        SecondsBetween(last_keepalive_, now) > host_.config().keepalive_limit_s + kOverdueGrace) {
        // Said while it lasts, so a console that went quiet shows before it reconnects.
        overdue_reported_ = true;
        const double gap = SecondsBetween(last_keepalive_, now);
        if (host_.log().enabled()) {
            auto line = host_.log().Begin();
            line.Num("session", id_)
                .Str("event", "keepalive_overdue")
                .Str("user", user_)
                .Real("since_s", std::round(gap * 1000) / 1000);
            host_.log().Write(line);
        }
        host_.Report("session " + std::to_string(id_) + " (" + Printable(user_) +
                     "): no keep-alive for " + FormatSeconds(gap) + " s");
    }
    if (phase_ != Phase::kLoggedIn || !traffic_ || now < traffic_->start) return;
    if (traffic_->cursor) RunScenario(now);
    if (traffic_ && traffic_->generator) RunGenerator(now);
    if (traffic_ && traffic_->flood) RunFlood(now);
}

std::optional<TimePoint> ClientSession::NextWake() const {
    if (phase_ == Phase::kAwaitLoginRequest || phase_ == Phase::kAwaitResponse)
        return login_deadline_;
    if (phase_ == Phase::kClosing) return closing_deadline_;
    if (phase_ != Phase::kLoggedIn || !traffic_) return std::nullopt;
    const Traffic& t = *traffic_;
    if (t.cursor) {
        if (t.wait_until) return t.wait_until;
        if (t.expect_deadline) return t.expect_deadline;
        return std::nullopt;
    }
    if (t.generator) return t.next_event;
    // A running flood is woken by free room in the socket, not by the clock.
    if (t.flood && t.flood_next == 0) return t.start;
    return std::nullopt;
}

bool ClientSession::wants_room() const {
    return phase_ == Phase::kLoggedIn && traffic_ && traffic_->flood && traffic_->flood_next > 0 &&
           !traffic_->flood_reported;
}

void ClientSession::Execute(const Step& step) {
    if (phase_ != Phase::kLoggedIn) return;
    switch (step.kind) {
        case Step::Kind::kSend:
            SendText(step.type, step.text);
            break;
        case Step::Kind::kRaw:
            SendBytes(step.bytes.data(), step.bytes.size());
            LogEvent("raw", std::to_string(step.bytes.size()) + " bytes");
            break;
        case Step::Kind::kDrop:
            Close("dropped on purpose", true);
            break;
        default:
            break;
    }
}

void ClientSession::RunScenario(TimePoint now) {
    Traffic& t = *traffic_;
    const Scenario* scenario = host_.scenario();
    if (!scenario) return;
    while (phase_ == Phase::kLoggedIn) {
        if (t.wait_until) {
            if (now < *t.wait_until) return;
            t.wait_until.reset();
        }
        if (t.expect_deadline) {
            if (t.keepalive_seen) {
                LogEvent("expect_met", "keep-alive at line " + std::to_string(t.expect_line));
            } else if (now >= *t.expect_deadline) {
                const std::string what = "scenario line " + std::to_string(t.expect_line) +
                                         ": no keep-alive within " +
                                         std::to_string(t.expect_seconds) + " s";
                LogEvent("expect_failed", what);
                host_.Report("FAILED " + what);
                host_.ExpectationFailed();
            } else {
                return;
            }
            t.expect_deadline.reset();
        }
        std::size_t& cursor = *t.cursor;
        if (cursor >= scenario->steps.size()) {
            if (!t.scenario_done_logged) {
                LogEvent("scenario_done", "");
                t.scenario_done_logged = true;
            }
            return;
        }
        const Step& step = scenario->steps[cursor++];
        switch (step.kind) {
            case Step::Kind::kWait:
                t.wait_until = now + Seconds(step.seconds);
                break;
            case Step::Kind::kExpectKeepAlive:
                t.keepalive_seen = false;
                t.expect_deadline = now + Seconds(step.seconds);
                t.expect_line = step.line;
                t.expect_seconds = step.seconds;
                break;
            case Step::Kind::kQuit:
                LogEvent("quit", "scenario line " + std::to_string(step.line));
                host_.RequestQuit();
                return;
            default:
                Execute(step);
                break;
        }
    }
}

void ClientSession::DrawNextEvent() {
    Traffic& t = *traffic_;
    double delay = 0;
    t.next_generated = t.generator->Next(&delay);
    t.next_event += Seconds(delay / host_.config().speed);
}

void ClientSession::RunGenerator(TimePoint now) {
    Traffic& t = *traffic_;
    // Bounded per call so a high rate after a long stall cannot starve the other consoles.
    for (int i = 0; i < 10000 && phase_ == Phase::kLoggedIn && now >= t.next_event; ++i) {
        SendText(t.next_generated.type, t.next_generated.text);
        DrawNextEvent();
    }
}

void ClientSession::RunFlood(TimePoint now) {
    Traffic& t = *traffic_;
    FloodPlan& plan = *t.flood;
    if (t.flood_next == 0 && t.flood_bytes == 0) {
        t.start = now;  // the clock of the figures starts with the first event
        LogEvent("flood_start", std::to_string(plan.size()) + " events");
    }
    while (t.flood_next < plan.size() && pending_size() < kFloodHighWater &&
           phase_ == Phase::kLoggedIn) {
        const TrafficEvent ev = plan.Event(t.flood_next++);
        const std::size_t before = pending_size();
        SendText(ev.type, ev.text);
        t.flood_bytes += pending_size() - before;
    }
    if (t.flood_next < plan.size() || pending_size() != 0 || t.flood_reported) return;
    t.flood_reported = true;
    const double secs = std::max(SecondsBetween(t.start, now), 1e-9);
    const auto outcomes = plan.Expected();
    JsonLine summary;
    summary.Str("event", "flood_done")
        .Num("session", id_)
        .Str("user", user_)
        .Num("events", static_cast<std::int64_t>(plan.size()))
        .Num("bytes", static_cast<std::int64_t>(t.flood_bytes))
        .Real("seconds", std::round(secs * 1e6) / 1e6)
        .Real("events_per_second", std::round(static_cast<double>(plan.size()) / secs))
        .Raw("expected", OutcomesJson(outcomes));
    host_.Announce(summary.Done());
    if (host_.log().enabled()) {
        auto line = host_.log().Begin();
        line.Num("session", id_).Str("event", "flood_done").Raw("summary", summary.Done());
        host_.log().Write(line);
    }
    if (host_.config().exit_after_flood) host_.RequestQuit();
}

}  // namespace tlx::sim
