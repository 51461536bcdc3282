// One console's connection, from LoginRequest to the last call event, without sockets:
// bytes go in, bytes to send come out, and the clock is passed in.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/link/login.h"
#include "sim/config.h"
#include "sim/json_log.h"
#include "sim/scenario.h"
#include "sim/shop.h"
#include "sim/traffic.h"

namespace tlx::sim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

// What a session needs from the server around it.
class SessionHost {
  public:
    virtual ~SessionHost() = default;
    virtual const SimConfig& config() const = 0;
    virtual JsonLog& log() = 0;
    virtual const Account* FindAccount(const std::string& user) const = 0;
    // Live sessions per user: a second login of the same user is refused.
    virtual bool IsLoggedIn(const std::string& user) const = 0;
    virtual void SetLoggedIn(const std::string& user, bool live) = 0;
    virtual ShopState* ShopOf(const std::string& user) = 0;
    virtual const Scenario* scenario() const = 0;
    // Where the user's run through the scenario stands, kept across its sessions.
    virtual std::size_t& ScenarioCursor(const std::string& user) = 0;
    virtual link::Block NewChallenge() = 0;
    // A line for the person running the simulator (standard error).
    virtual void Report(const std::string& line) = 0;
    // A result for whoever runs the simulator (standard output).
    virtual void Announce(const std::string& line) = 0;
    virtual void ExpectationFailed() = 0;
    virtual void RequestQuit() = 0;
};

class ClientSession {
  public:
    enum class Phase { kAwaitLoginRequest, kAwaitResponse, kLoggedIn, kClosing, kClosed };

    ClientSession(int id, std::string peer, SessionHost& host, TimePoint now);
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    void OnBytes(std::span<const std::uint8_t> bytes, TimePoint now);
    void OnPeerClosed(TimePoint now, const std::string& why);
    // Runs what is due: the login time limit and the traffic.
    void Tick(TimePoint now);
    // When Tick next has something to do; nullopt: only input or free room can wake it.
    std::optional<TimePoint> NextWake() const;

    // Bytes waiting for the socket.
    std::span<const std::uint8_t> pending() const;
    void Consumed(std::size_t n);
    std::size_t pending_size() const { return out_.size() - out_offset_; }
    // More to write as soon as the socket has room (a flood that is not through yet).
    bool wants_room() const;

    // Closed: drop the socket now. Closing: drop it once the pending bytes are out.
    Phase phase() const { return phase_; }
    bool done() const {
        return phase_ == Phase::kClosed || (phase_ == Phase::kClosing && pending_size() == 0);
    }
    // Ends the session. `flush_first` lets what is already queued go out before the close.
    void Close(const std::string& reason, bool flush_first = false);

    int id() const { return id_; }
    const std::string& user() const { return user_; }
    bool logged_in() const { return phase_ == Phase::kLoggedIn; }

    // A step from the control channel, carried out at once (send, raw or drop).
    void Execute(const Step& step);

  private:
    struct Traffic;

    void HandleLoginRequest(const link::ServerMessage& msg);
    void HandleResponse(const link::ServerMessage& msg, TimePoint now);
    void HandleKeepAlive(TimePoint now);
    void SendText(std::int32_t type, const std::string& text);
    void SendLoginAnswer(std::int32_t type, bool short_form);
    void SendBytes(const std::uint8_t* data, std::size_t size);
    void LogMessage(const char* dir, std::int32_t type, std::size_t bytes, const std::string* text,
                    std::span<const std::uint8_t> block);
    void LogEvent(const char* event, const std::string& detail);
    void ReportKeepAliveGap(TimePoint now);
    void RunScenario(TimePoint now);
    void RunGenerator(TimePoint now);
    void DrawNextEvent();
    void RunFlood(TimePoint now);

    int id_;
    std::string peer_;
    SessionHost& host_;
    Phase phase_ = Phase::kAwaitLoginRequest;
    TimePoint login_deadline_;
    std::vector<std::uint8_t> in_;
    std::vector<std::uint8_t> out_;
    std::size_t out_offset_ = 0;

    std::string user_;
    bool holds_login_ = false;  // this session is the user's live one
    link::Block expected_{};
    TimePoint last_keepalive_;
    std::uint64_t keepalives_ = 0;
    bool overdue_reported_ = false;
    std::optional<TimePoint> closing_deadline_;
    std::unique_ptr<Traffic> traffic_;
};

const char* MessageName(std::int32_t type);

}  // namespace tlx::sim
