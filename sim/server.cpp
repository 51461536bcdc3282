#include "sim/server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

namespace tlx::sim {

namespace {

// Tags in epoll data: the kind in the top byte, the connection id below.
enum Kind : std::uint64_t {
    kWake = 1,
    kSignal,
    kConsoleListener,
    kWebListener,
    kControl,
    kConsole,
    kWeb,
};
constexpr std::uint64_t Tag(Kind kind, std::uint64_t id = 0) {
    return (std::uint64_t{kind} << 56) | id;
}
constexpr Kind KindOf(std::uint64_t tag) {
    return static_cast<Kind>(tag >> 56);
}
constexpr std::uint64_t IdOf(std::uint64_t tag) {
    return tag & ((std::uint64_t{1} << 56) - 1);
}

constexpr std::size_t kReadChunk = 16 * 1024;
constexpr std::size_t kReadBudget = 256 * 1024;  // per connection and turn, so none hogs the loop
constexpr std::size_t kMaxControlLine = 4096;
constexpr auto kWebTimeout = std::chrono::seconds(10);

std::string Errno(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

Fd Listen(const Endpoint& ep, std::uint16_t* bound_port, std::string* error) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        *error = Errno("socket");
        return {};
    }
    const int one = 1;
    ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(ep.port);
    ::inet_pton(AF_INET, ep.host.c_str(), &addr.sin_addr);
    if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        *error = Errno(("cannot listen on " + ep.ToString()).c_str());
        return {};
    }
    if (::listen(fd.get(), 64) != 0) {
        *error = Errno("listen");
        return {};
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&addr), &len);
    *bound_port = ntohs(addr.sin_port);
    return fd;
}

std::string PeerName(const sockaddr_in& addr) {
    char text[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &addr.sin_addr, text, sizeof text);
    return std::string(text) + ":" + std::to_string(ntohs(addr.sin_port));
}

}  // namespace

void Fd::Reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

struct Server::Console {
    Fd fd;
    std::unique_ptr<ClientSession> session;
    bool watching_output = false;
};

struct Server::WebClient {
    Fd fd;
    std::string in;
    std::string out;
    std::size_t sent = 0;
    bool answered = false;
    TimePoint deadline;
};

Server::Server(SimConfig config, JsonLog& log, std::optional<Scenario> scenario, Sink report,
               Sink announce)
    : config_(std::move(config)),
      log_(log),
      scenario_(std::move(scenario)),
      report_(report ? std::move(report) : Sink([](const std::string& l) {
          std::cerr << "callshop-sim: " << l << std::endl;
      })),
      announce_(announce ? std::move(announce)
                         : Sink([](const std::string& l) { std::cout << l << std::endl; })) {}

Server::~Server() {
    consoles_.clear();  // sessions give back their logins before the set goes
}

void Server::Watch(int fd, std::uint64_t tag, std::uint32_t events) {
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = tag;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &ev);
}

std::string Server::Start() {
    epoll_ = Fd(::epoll_create1(EPOLL_CLOEXEC));
    wake_ = Fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!epoll_ || !wake_) return Errno("epoll");
    Watch(wake_.get(), Tag(kWake), EPOLLIN);
    if (signal_fd_ >= 0) Watch(signal_fd_, Tag(kSignal), EPOLLIN);

    std::string error;
    console_listener_ = Listen(config_.listen, &console_port_, &error);
    if (!console_listener_) return error;
    Watch(console_listener_.get(), Tag(kConsoleListener), EPOLLIN);
    if (config_.http) {
        const std::string automatic = "http://" + config_.http->ToString() + "/";
        web_listener_ = Listen(*config_.http, &http_port_, &error);
        if (!web_listener_) return error;
        Watch(web_listener_.get(), Tag(kWebListener), EPOLLIN);
        if (config_.web_address == automatic) {
            config_.web_address =
                "http://" + config_.http->host + ":" + std::to_string(http_port_) + "/";
        }
    }
    if (!config_.control_fifo.empty()) {
        struct stat st {};
        if (::stat(config_.control_fifo.c_str(), &st) != 0) {
            if (::mkfifo(config_.control_fifo.c_str(), 0600) != 0)
                return Errno(("cannot create control FIFO " + config_.control_fifo).c_str());
        } else if (!S_ISFIFO(st.st_mode)) {
            return "control FIFO " + config_.control_fifo + " exists and is not a FIFO";
        }
        control_fifo_ = Fd(::open(config_.control_fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (!control_fifo_) return Errno(("cannot open " + config_.control_fifo).c_str());
        control_fifo_keep_ =
            Fd(::open(config_.control_fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        Watch(control_fifo_.get(), Tag(kControl, 1), EPOLLIN);
    }
    if (config_.control_stdin) {
        stdin_open_ = true;
        Watch(STDIN_FILENO, Tag(kControl, 0), EPOLLIN);
    }
    if (log_.enabled()) {
        auto line = log_.Begin();
        line.Str("event", "start")
            .Str("listen", config_.listen.host + ":" + std::to_string(console_port_))
            .Str("web_address", config_.web_address)
            .Str("booth_list", BoothListText(config_));
        log_.Write(line);
        log_.Flush();
    }
    return {};
}

void Server::RequestStop() {
    stop_requested_ = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] auto r = ::write(wake_.get(), &one, sizeof one);
}

void Server::PostControl(std::string line) {
    {
        std::lock_guard<std::mutex> lock(posted_mutex_);
        posted_.push_back(std::move(line));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] auto r = ::write(wake_.get(), &one, sizeof one);
}

const Account* Server::FindAccount(const std::string& user) const {
    for (const auto& a : config_.accounts)
        if (a.user == user) return &a;
    return nullptr;
}

void Server::SetLoggedIn(const std::string& user, bool live) {
    if (live)
        live_.insert(user);
    else
        live_.erase(user);
}

ShopState* Server::ShopOf(const std::string& user) {
    if (!FindAccount(user)) return nullptr;
    auto it = shops_.find(user);
    if (it == shops_.end()) it = shops_.emplace(user, ShopState(config_.booths)).first;
    return &it->second;
}

const ShopState* Server::ShopOf(const std::string& user) const {
    auto it = shops_.find(user);
    return it == shops_.end() ? nullptr : &it->second;
}

link::Block Server::NewChallenge() {
    link::Block block{};
    std::size_t got = 0;
    while (got < block.size()) {
        const ssize_t n = ::getrandom(block.data() + got, block.size() - got, 0);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (errno != EINTR) {
            // Without a secure source every challenge could be guessed: better to stop.
            std::cerr << "callshop-sim: " << Errno("getrandom") << std::endl;
            std::abort();
        }
    }
    return block;
}

int Server::TimeoutMs(TimePoint now) const {
    TimePoint next = now + std::chrono::seconds(1);
    for (const auto& [id, c] : consoles_)
        if (auto wake = c->session->NextWake(); wake && *wake < next) next = *wake;
    for (const auto& [id, w] : web_)
        if (w->deadline < next) next = w->deadline;
    if (next <= now) return 0;
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count() + 1);
}

int Server::Run() {
    epoll_event events[64];
    while (!quit_) {
        const int n = ::epoll_wait(epoll_.get(), events, 64, TimeoutMs(Clock::now()));
        if (n < 0 && errno != EINTR) {
            report_(Errno("epoll_wait"));
            break;
        }
        for (int i = 0; i < n; ++i) {
            const std::uint64_t tag = events[i].data.u64;
            const std::uint32_t what = events[i].events;
            switch (KindOf(tag)) {
                case kWake: {
                    std::uint64_t count = 0;
                    [[maybe_unused]] auto r = ::read(wake_.get(), &count, sizeof count);
                    std::vector<std::string> lines;
                    {
                        std::lock_guard<std::mutex> lock(posted_mutex_);
                        lines.swap(posted_);
                    }
                    for (const auto& line : lines) ControlLine(line);
                    if (stop_requested_) quit_ = true;
                    break;
                }
                case kSignal:
                    report_("stopping on signal");
                    quit_ = true;
                    break;
                case kConsoleListener:
                    AcceptConsoles();
                    break;
                case kWebListener:
                    AcceptWeb();
                    break;
                case kControl:
                    ReadControl(IdOf(tag) == 0 ? STDIN_FILENO : control_fifo_.get());
                    break;
                case kConsole:
                    if (what & (EPOLLIN | EPOLLHUP | EPOLLERR)) ReadConsole(IdOf(tag));
                    break;
                case kWeb:
                    ServiceWeb(IdOf(tag),
                               (what & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP)) != 0);
                    break;
            }
        }
        const TimePoint now = Clock::now();
        for (auto it = consoles_.begin(); it != consoles_.end();) {
            const std::uint64_t id = (it++)->first;  // ServiceConsole may erase this entry
            ServiceConsole(id, now);
        }
        for (auto it = web_.begin(); it != web_.end();) {
            const std::uint64_t id = (it++)->first;
            ServiceWeb(id, false);
        }
        log_.Flush();
    }
    const std::size_t open = consoles_.size();
    consoles_.clear();
    web_.clear();
    if (log_.enabled()) {
        auto line = log_.Begin();
        line.Str("event", "stop")
            .Num("open_sessions", static_cast<std::int64_t>(open))
            .Num("failed_expectations", failures_);
        log_.Write(line);
        log_.Flush();
    }
    return failures_ ? 1 : 0;
}

void Server::AcceptConsoles() {
    for (int i = 0; i < 64; ++i) {
        sockaddr_in addr{};
        socklen_t len = sizeof addr;
        Fd fd(::accept4(console_listener_.get(), reinterpret_cast<sockaddr*>(&addr), &len,
                        SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) return;
        if (consoles_.size() >= config_.max_clients) {
            report_("refusing " + PeerName(addr) + ": already " + std::to_string(consoles_.size()) +
                    " consoles connected");
            continue;  // closed by Fd
        }
        const int one = 1;
        ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        const std::uint64_t id = next_id_++;
        auto console = std::make_unique<Console>();
        console->session = std::make_unique<ClientSession>(static_cast<int>(id), PeerName(addr),
                                                           *this, Clock::now());
        Watch(fd.get(), Tag(kConsole, id), EPOLLIN | EPOLLRDHUP);
        console->fd = std::move(fd);
        consoles_.emplace(id, std::move(console));
    }
}

void Server::ReadConsole(std::uint64_t id) {
    auto it = consoles_.find(id);
    if (it == consoles_.end()) return;
    Console& c = *it->second;
    std::uint8_t buf[kReadChunk];
    std::size_t total = 0;
    while (total < kReadBudget && !c.session->done()) {
        const ssize_t n = ::recv(c.fd.get(), buf, sizeof buf, 0);
        if (n > 0) {
            total += static_cast<std::size_t>(n);
            c.session->OnBytes({buf, static_cast<std::size_t>(n)}, Clock::now());
        } else if (n == 0) {
            c.session->OnPeerClosed(Clock::now(), "console closed the connection");
            return;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return;
        } else if (errno != EINTR) {
            c.session->OnPeerClosed(Clock::now(), Errno("connection failed"));
            return;
        }
    }
}

void Server::ServiceConsole(std::uint64_t id, TimePoint now) {
    auto it = consoles_.find(id);
    if (it == consoles_.end()) return;
    Console& c = *it->second;
    ClientSession& s = *c.session;
    // Fill and write in turns while the socket takes everything, so a flood runs at the
    // speed of the connection; stop after a few turns to give the others their share.
    for (int turn = 0; turn < 16 && !s.done(); ++turn) {
        s.Tick(now);
        if (s.pending_size() == 0) break;
        while (s.pending_size() > 0) {
            const auto bytes = s.pending();
            const ssize_t n = ::send(c.fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (n > 0) {
                s.Consumed(static_cast<std::size_t>(n));
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                break;
            } else {
                s.OnPeerClosed(now, Errno("sending failed"));
                break;
            }
        }
        if (s.pending_size() > 0) break;
    }
    if (s.done()) {
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, c.fd.get(), nullptr);
        consoles_.erase(it);
        return;
    }
    const bool want_output = s.pending_size() > 0 || s.wants_room();
    if (want_output != c.watching_output) {
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLRDHUP | (want_output ? EPOLLOUT : 0u);
        ev.data.u64 = Tag(kConsole, id);
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, c.fd.get(), &ev);
        c.watching_output = want_output;
    }
}

void Server::AcceptWeb() {
    for (int i = 0; i < 64; ++i) {
        sockaddr_in addr{};
        socklen_t len = sizeof addr;
        Fd fd(::accept4(web_listener_.get(), reinterpret_cast<sockaddr*>(&addr), &len,
                        SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) return;
        if (web_.size() >= 64) continue;
        const std::uint64_t id = next_id_++;
        auto w = std::make_unique<WebClient>();
        w->deadline = Clock::now() + kWebTimeout;
        Watch(fd.get(), Tag(kWeb, id), EPOLLIN | EPOLLRDHUP);
        w->fd = std::move(fd);
        web_.emplace(id, std::move(w));
    }
}

void Server::ServiceWeb(std::uint64_t id, bool readable) {
    auto it = web_.find(id);
    if (it == web_.end()) return;
    WebClient& w = *it->second;
    bool finished = false;
    if (readable && !w.answered) {
        char buf[4096];
        const ssize_t n = ::recv(w.fd.get(), buf, sizeof buf, 0);
        if (n > 0) {
            w.in.append(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            finished = true;
        }
        const HeadStatus head = CheckRequestHead(w.in);
        if (!finished && head != HeadStatus::kIncomplete) {
            HttpResponse response;
            std::string line;
            if (head == HeadStatus::kTooLarge) {
                response = BadRequest("request head too large");
                line = w.in.substr(0, std::min<std::size_t>(w.in.find('\n'), 200));
            } else if (auto request = ParseRequestLine(w.in)) {
                line = request->line;
                response = HandleRequest(*request, config_.accounts, *this);
            } else {
                line = w.in.substr(0, std::min<std::size_t>(w.in.find('\n'), 200));
                response = BadRequest("not an HTTP request");
            }
            while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
            report_("web: \"" + JsonEscape(line) + "\" " + std::to_string(response.status));
            if (log_.enabled()) {
                auto entry = log_.Begin();
                entry.Str("event", "http").Str("request", line).Num("status", response.status);
                log_.Write(entry);
            }
            w.out = std::move(response.bytes);
            w.answered = true;
        }
    }
    while (!finished && w.answered && w.sent < w.out.size()) {
        const ssize_t n =
            ::send(w.fd.get(), w.out.data() + w.sent, w.out.size() - w.sent, MSG_NOSIGNAL);
        if (n > 0) {
            w.sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        } else if (!(n < 0 && errno == EINTR)) {
            finished = true;
        }
    }
    if (w.answered && w.sent == w.out.size()) finished = true;
    if (!finished && w.answered) {  // the rest goes when the socket has room
        epoll_event ev{};
        ev.events = EPOLLOUT;
        ev.data.u64 = Tag(kWeb, id);
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, w.fd.get(), &ev);
    }
    if (Clock::now() >= w.deadline) finished = true;
    if (finished) {
        ::shutdown(w.fd.get(), SHUT_WR);
        ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, w.fd.get(), nullptr);
        web_.erase(it);
    }
}

void Server::ReadControl(int fd) {
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) {
        if (n == 0 && fd == STDIN_FILENO && stdin_open_) {
            // End of input stops the commands, not the simulator.
            ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, STDIN_FILENO, nullptr);
            stdin_open_ = false;
        }
        return;
    }
    control_buffer_.append(buf, static_cast<std::size_t>(n));
    std::size_t nl;
    while ((nl = control_buffer_.find('\n')) != std::string::npos) {
        const std::string line = control_buffer_.substr(0, nl);
        control_buffer_.erase(0, nl + 1);
        ControlLine(line);
    }
    if (control_buffer_.size() > kMaxControlLine) {
        report_("control: line longer than " + std::to_string(kMaxControlLine) + " bytes ignored");
        control_buffer_.clear();
    }
}

void Server::ControlLine(const std::string& raw) {
    std::string line = raw;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    std::string only_user;
    if (!line.empty() && line.front() == '@') {
        const auto sp = line.find(' ');
        only_user = line.substr(1, sp == std::string::npos ? std::string::npos : sp - 1);
        line = sp == std::string::npos ? "" : line.substr(sp + 1);
    }
    if (log_.enabled()) {
        auto entry = log_.Begin();
        entry.Str("event", "control").Str("line", raw);
        log_.Write(entry);
    }
    if (line == "status") {
        announce_("status: " + std::to_string(consoles_.size()) + " connection(s)");
        for (const auto& [id, c] : consoles_) {
            const ClientSession& s = *c->session;
            announce_("status: session " + std::to_string(id) + " user \"" + s.user() + "\" " +
                      (s.logged_in() ? "logged in" : "logging in") + ", " +
                      std::to_string(s.pending_size()) + " bytes pending");
        }
        return;
    }
    std::string error;
    const auto step = ParseStep(line, &error);
    if (!step) {
        if (!error.empty()) report_("control: " + error);
        return;
    }
    if (step->kind == Step::Kind::kQuit) {
        quit_ = true;
        return;
    }
    if (step->kind == Step::Kind::kWait || step->kind == Step::Kind::kExpectKeepAlive) {
        report_("control: wait and expect-keepalive belong in a scenario file");
        return;
    }
    int reached = 0;
    for (auto& [id, c] : consoles_) {
        ClientSession& s = *c->session;
        if (!s.logged_in() || (!only_user.empty() && s.user() != only_user)) continue;
        s.Execute(*step);
        ++reached;
    }
    if (reached == 0) report_("control: no console logged in for \"" + raw + "\"");
}

}  // namespace tlx::sim
