// The simulator's one event loop: console connections, the web interface and the control
// channel, all on non-blocking sockets under epoll.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "sim/config.h"
#include "sim/http.h"
#include "sim/json_log.h"
#include "sim/scenario.h"
#include "sim/session.h"

namespace tlx::sim {

// Owns one file descriptor.
class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { Reset(); }
    Fd(Fd&& o) noexcept : fd_(o.Release()) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            Reset();
            fd_ = o.Release();
        }
        return *this;
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int Release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset();

  private:
    int fd_ = -1;
};

class Server final : public SessionHost, private ShopDirectory {
  public:
    using Sink = std::function<void(const std::string&)>;
    // `report` gets lines for the person running it, `announce` results (defaults: standard
    // error and standard output).
    Server(SimConfig config, JsonLog& log, std::optional<Scenario> scenario, Sink report = {},
           Sink announce = {});
    ~Server() override;

    // Opens the listening sockets and the control channel. The announced web address gets
    // the port the system chose when port 0 was asked for. Empty on success.
    std::string Start();
    std::uint16_t console_port() const { return console_port_; }
    std::uint16_t http_port() const { return http_port_; }

    // Watches `fd` (a signalfd) and ends the loop when it becomes readable.
    void WatchSignals(int fd) { signal_fd_ = fd; }
    // Runs until quit, a signal or RequestStop. Returns the exit status: 0, or 1 when a
    // scenario expectation failed.
    int Run();
    // Both may be called from another thread.
    void RequestStop();
    void PostControl(std::string line);

    // SessionHost
    const SimConfig& config() const override { return config_; }
    JsonLog& log() override { return log_; }
    const Account* FindAccount(const std::string& user) const override;
    bool IsLoggedIn(const std::string& user) const override { return live_.count(user) != 0; }
    void SetLoggedIn(const std::string& user, bool live) override;
    ShopState* ShopOf(const std::string& user) override;
    const Scenario* scenario() const override { return scenario_ ? &*scenario_ : nullptr; }
    std::size_t& ScenarioCursor(const std::string& user) override { return cursors_[user]; }
    link::Block NewChallenge() override;
    void Report(const std::string& line) override { report_(line); }
    void Announce(const std::string& line) override { announce_(line); }
    void ExpectationFailed() override { ++failures_; }
    void RequestQuit() override { quit_ = true; }

    // One control line; answers go to the report sink (status to the announce sink).
    void ControlLine(const std::string& line);

  private:
    struct Console;
    struct WebClient;

    const ShopState* ShopOf(const std::string& user) const override;
    void Watch(int fd, std::uint64_t tag, std::uint32_t events);
    void AcceptConsoles();
    void AcceptWeb();
    void ReadConsole(std::uint64_t id);
    void ServiceConsole(std::uint64_t id, TimePoint now);
    void ServiceWeb(std::uint64_t id, bool readable);
    void ReadControl(int fd);
    int TimeoutMs(TimePoint now) const;

    SimConfig config_;
    JsonLog& log_;
    std::optional<Scenario> scenario_;
    Sink report_;
    Sink announce_;

    Fd epoll_;
    Fd wake_;  // eventfd for RequestStop
    Fd console_listener_;
    Fd web_listener_;
    Fd control_fifo_;
    Fd control_fifo_keep_;  // our own writer, so the FIFO never reads as closed
    int signal_fd_ = -1;
    bool stdin_open_ = false;
    std::string control_buffer_;
    std::uint16_t console_port_ = 0;
    std::uint16_t http_port_ = 0;

    std::uint64_t next_id_ = 1;
    std::map<std::uint64_t, std::unique_ptr<Console>> consoles_;
    std::map<std::uint64_t, std::unique_ptr<WebClient>> web_;
    std::set<std::string> live_;
    std::map<std::string, ShopState> shops_;
    std::map<std::string, std::size_t> cursors_;
    int failures_ = 0;
    std::atomic<bool> stop_requested_{false};
    std::mutex posted_mutex_;
    std::vector<std::string> posted_;
    bool quit_ = false;
};

}  // namespace tlx::sim
