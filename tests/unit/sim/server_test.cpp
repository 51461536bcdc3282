// The simulator over real loopback sockets, driven by a small console written against the
// link core: scripted and generated traffic, several consoles, and consoles that misbehave.
#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <future>
#include <thread>

#include "link/framer.h"
#include "link/login.h"

extern char** environ;

namespace tlx::sim {
namespace {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

class TestConsole {
  public:
    explicit TestConsole(std::uint16_t port) : framer_(link::MessageFramer::Mode::kFullRecords) {
        fd_ = Fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    bool connected() const { return connected_; }

    void Send(std::span<const std::uint8_t> bytes) {
        ::send(fd_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    void SendKeepAlive() { Send(std::vector<std::uint8_t>{13, 0, 0, 0}); }

    // Reads exactly n bytes; fewer when the server closes or the time runs out.
    std::vector<std::uint8_t> ReadExactly(std::size_t n, Millis limit = 5000ms) {
        std::vector<std::uint8_t> out;
        const auto end = Clock::now() + limit;
        while (out.size() < n && Clock::now() < end) {
            pollfd p{fd_.get(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            std::uint8_t buf[4096];
            const ssize_t got = ::recv(fd_.get(), buf, std::min(sizeof buf, n - out.size()), 0);
            if (got <= 0) {
                closed_ = true;
                break;
            }
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

    // The login as the console runs it; the login result type, or -1 when nothing came.
    // With `read_list` false the booth list is left for the caller.
    int LogIn(const std::string& user, const std::string& password, bool read_list = true) {
        const auto request = link::MakeLoginRequest(user).Encode();
        Send(request);
        const auto reply = ReadOnce();
        if (reply.size() < 4) return -1;
        const auto first = link::DecodeMessage(reply);
        if (first->type != link::kLoginChallenge) return first->type;
        link::Block enc{};
        std::copy(reply.begin() + 4, reply.begin() + 20, enc.begin());
        link::ServerMessage response;
        response.type = link::kChallengeResponse;
        const auto block = link::ComputeChallengeResponse(password, enc);
        std::copy(block.begin(), block.end(), response.data.begin());
        Send(response.Encode());
        const auto result = ReadExactly(4);
        if (result.size() < 4) return -1;
        const int type = link::ReadType(std::span<const std::uint8_t, 4>(result.data(), 4));
        if (type == link::kLoginAccepted && read_list) booth_list = Next();
        return type;
    }

    // One read as the console's first read after login makes it: at most 259 bytes.
    std::vector<std::uint8_t> ReadOnce(Millis limit = 5000ms) {
        pollfd p{fd_.get(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) return {};
        std::vector<std::uint8_t> buf(link::kRecordSize);
        const ssize_t got = ::recv(fd_.get(), buf.data(), buf.size(), 0);
        buf.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
        return buf;
    }
    void UseFramer(link::MessageFramer::Mode mode) { framer_ = link::MessageFramer(mode); }

    std::optional<link::ServerMessage> Next(Millis limit = 5000ms) {
        const auto end = Clock::now() + limit;
        while (true) {
            if (auto m = framer_.Next()) return m;
            if (Clock::now() >= end || closed_) return std::nullopt;
            pollfd p{fd_.get(), POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            std::uint8_t buf[65536];
            const ssize_t got = ::recv(fd_.get(), buf, sizeof buf, 0);
            if (got <= 0) {
                closed_ = true;
                continue;
            }
            framer_.Feed({buf, static_cast<std::size_t>(got)});
        }
    }

    // True once the server has closed the connection (within the limit).
    bool ClosedByServer(Millis limit = 5000ms) {
        while (!closed_ && Next(limit)) {
        }
        return closed_;
    }
    void Close() { fd_.Reset(); }

    std::optional<link::ServerMessage> booth_list;

  private:
    Fd fd_;
    bool connected_ = false;
    bool closed_ = false;
    link::MessageFramer framer_;
};

class RunningServer {
  public:
    explicit RunningServer(SimConfig config, std::optional<Scenario> scenario = {},
                           const std::string& log_path = {}) {
        if (!log_path.empty()) log_ = JsonLog::Open(log_path, nullptr);
        config.listen = {"127.0.0.1", 0};
        config.http = Endpoint{"127.0.0.1", 0};
        config.web_address.clear();
        EXPECT_TRUE(Finish(config).ok);
        server_ = std::make_unique<Server>(
            config, *log_, std::move(scenario), [this](const std::string& l) { Keep(reports_, l); },
            [this](const std::string& l) { Keep(announced_, l); });
        EXPECT_EQ(server_->Start(), "");
        result_ = std::async(std::launch::async, [this] { return server_->Run(); });
    }
    ~RunningServer() { Stop(); }
    int Stop() {
        if (!result_.valid()) return stopped_;
        server_->RequestStop();
        return stopped_ = result_.get();
    }
    // The exit status once the server ends by itself; -1 when it does not in time.
    int WaitForEnd(Millis limit) {
        if (result_.wait_for(limit) != std::future_status::ready) return -1;
        return stopped_ = result_.get();
    }
    Server& server() { return *server_; }
    std::uint16_t port() const { return server_->console_port(); }
    std::vector<std::string> Reports() { return Copy(reports_); }
    std::vector<std::string> Announced() { return Copy(announced_); }

  private:
    void Keep(std::vector<std::string>& where, const std::string& line) {
        std::lock_guard<std::mutex> lock(mutex_);
        where.push_back(line);
    }
    std::vector<std::string> Copy(const std::vector<std::string>& v) {
        std::lock_guard<std::mutex> lock(mutex_);
        return v;
    }
    std::unique_ptr<JsonLog> log_ = std::make_unique<JsonLog>();
    std::mutex mutex_;
    std::vector<std::string> reports_, announced_;
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

TEST(SimServer, ScenarioRunsStepByStepAcrossADroppedConnection) {
    SimConfig config = Shop({{"anna", "secret"}});
    config.mode = TrafficMode::kScenario;
    auto scenario = ParseScenario(
        "dial 1;0123;Local;0.10\n"
        "wait 0.3\n"
        "connect 1\n"
        "expect-keepalive 3\n"
        "finish 1;75;1.50\n"
        "drop\n"
        "reject 2\n"
        "quit\n");
    RunningServer sim(config, scenario.scenario);

    TestConsole console(sim.port());
    const auto before_login = Clock::now();  // the dial cannot be sent earlier
    ASSERT_EQ(console.LogIn("anna", "secret"), link::kLoginAccepted);
    ASSERT_TRUE(console.booth_list);
    EXPECT_EQ(console.booth_list->Text(),
              "http://127.0.0.1:" + std::to_string(sim.server().http_port()) + "/;1;2;3");
    const auto dial = console.Next();
    ASSERT_TRUE(dial);
    EXPECT_EQ(dial->Text(), "1;0123;Local;0.10");
    const auto connect = console.Next();
    ASSERT_TRUE(connect);
    EXPECT_EQ(connect->type, link::kCallConnectedEvent);
    EXPECT_GE(Clock::now() - before_login, 300ms);
    // Nothing more until the console proves it is alive.
    EXPECT_FALSE(console.Next(300ms));
    console.SendKeepAlive();
    const auto finish = console.Next();
    ASSERT_TRUE(finish);
    EXPECT_EQ(finish->Text(), "1;75;1.50");
    EXPECT_TRUE(console.ClosedByServer());

    TestConsole again(sim.port());
    ASSERT_EQ(again.LogIn("anna", "secret"), link::kLoginAccepted);
    const auto reject = again.Next();
    ASSERT_TRUE(reject);
    EXPECT_EQ(reject->type, link::kCallRejectedEvent);
    EXPECT_EQ(sim.WaitForEnd(5000ms), 0);
}

TEST(SimServer, MissedKeepAliveFailsTheRun) {
    SimConfig config = Shop({{"anna", "secret"}});
    config.mode = TrafficMode::kScenario;
    RunningServer sim(config, ParseScenario("expect-keepalive 0.2\nquit\n").scenario);
    TestConsole console(sim.port());
    ASSERT_EQ(console.LogIn("anna", "secret"), link::kLoginAccepted);
    EXPECT_EQ(sim.WaitForEnd(5000ms), 1);
}

// Generated traffic in short form: the booth list stands alone in the first read, then the
// events are those the seed promises.
TEST(SimServer, GeneratedShortMessagesFollowTheSeedAfterALoneBoothList) {
    SimConfig config = Shop({{"anna", "secret"}});
    config.short_messages = true;
    config.mode = TrafficMode::kGenerate;
    config.rate = 5;
    config.speed = 5000;
    config.settle_ms = 1000;  // the console reads the booth list before any event comes
    RunningServer sim(config);
    TestConsole console(sim.port());
    ASSERT_EQ(console.LogIn("anna", "secret", false), link::kLoginAccepted);
    std::this_thread::sleep_for(50ms);  // the booth list is all there
    const auto first = console.ReadOnce();
    const std::string list =
        "http://127.0.0.1:" + std::to_string(sim.server().http_port()) + "/;1;2;3";
    ASSERT_EQ(first.size(), 4 + list.size() + 1);
    ASSERT_EQ(link::MessageFramer::ModeFromFirstRead(first.size()),
              link::MessageFramer::Mode::kShortMessages);
    EXPECT_EQ(link::DecodeMessage(first)->Text(), list);

    console.UseFramer(link::MessageFramer::Mode::kShortMessages);
    SimConfig finished = config;
    ASSERT_TRUE(Finish(finished).ok);
    CallGenerator same(finished.booths, finished.tariffs, config.rate, config.seed);
    for (int i = 0; i < 200; ++i) {
        const auto got = console.Next();
        ASSERT_TRUE(got) << i;
        const auto want = same.Next(nullptr);
        ASSERT_EQ(got->type, want.type) << i;
        ASSERT_EQ(got->Text(), want.text) << i;
    }
}

TEST(SimServer, SeveralConsolesOneSessionPerUserAndAimedControlCommands) {
    RunningServer sim(Shop({{"anna", "a"}, {"bob", "b"}}));
    TestConsole anna(sim.port()), bob(sim.port()), anna_again(sim.port()), wrong(sim.port()),
        stranger(sim.port());
    ASSERT_EQ(anna.LogIn("anna", "a"), link::kLoginAccepted);
    ASSERT_EQ(bob.LogIn("bob", "b"), link::kLoginAccepted);
    EXPECT_EQ(anna_again.LogIn("anna", "a"), link::kAlreadyLoggedIn);
    EXPECT_EQ(wrong.LogIn("bob", "a"), link::kLoginIncorrect);
    EXPECT_EQ(stranger.LogIn("carl", "c"), link::kLoginIncorrect);
    EXPECT_TRUE(anna_again.ClosedByServer());
    EXPECT_TRUE(wrong.ClosedByServer());
    EXPECT_TRUE(stranger.ClosedByServer());

    sim.server().PostControl("@bob connect 2");
    sim.server().PostControl("send 104 3");
    const auto b1 = bob.Next(), b2 = bob.Next(), a1 = anna.Next();
    ASSERT_TRUE(b1 && b2 && a1);
    EXPECT_EQ(b1->type, link::kCallConnectedEvent);
    EXPECT_EQ(b2->type, link::kCallRejectedEvent);
    EXPECT_EQ(a1->type, link::kCallRejectedEvent);
    EXPECT_FALSE(anna.Next(200ms));

    sim.server().PostControl("@anna drop");
    EXPECT_TRUE(anna.ClosedByServer());
    TestConsole anna_later(sim.port());
    EXPECT_EQ(anna_later.LogIn("anna", "a"), link::kLoginAccepted);
}

TEST(SimServer, MisbehavingConsolesDoNotStopTheFloodForOthers) {
    SimConfig config = Shop({{"good", "g"}, {"sleepy", "s"}});
    config.mode = TrafficMode::kFlood;
    config.flood_events = 30001;  // more than the socket buffers hold for the sleepy one
    RunningServer sim(config);

    TestConsole garbage(sim.port()), half(sim.port()), silent(sim.port()), sleepy(sim.port());
    garbage.Send(std::vector<std::uint8_t>(64, 0xAB));
    const auto request = link::MakeLoginRequest("good").Encode();
    half.Send(std::span(request).first(100));
    half.Close();
    ASSERT_EQ(sleepy.LogIn("sleepy", "s"), link::kLoginAccepted);  // and never reads again
    EXPECT_TRUE(garbage.ClosedByServer());

    TestConsole good(sim.port());
    ASSERT_EQ(good.LogIn("good", "g"), link::kLoginAccepted);
    std::map<std::string, std::pair<int, int>> rows;  // booth: calls, finished
    for (std::uint64_t i = 0; i < config.flood_events; ++i) {
        const auto m = good.Next();
        ASSERT_TRUE(m) << "event " << i << " lost";
        const std::string key = m->Text().substr(0, m->Text().find(';'));
        if (m->type == link::kCallDialEvent) ++rows[key].first;
        if (m->type == link::kCallFinishedEvent) ++rows[key].second;
    }
    EXPECT_FALSE(good.Next(200ms));
    // 10001 calls over three booths, the last one only dialled (on booth 2).
    EXPECT_EQ(rows["1"], std::make_pair(3334, 3334));
    EXPECT_EQ(rows["2"], std::make_pair(3334, 3333));
    EXPECT_EQ(rows["3"], std::make_pair(3333, 3333));

    // The summary comes once the good console has everything; none for the sleepy one.
    std::vector<std::string> announced;
    for (int i = 0; i < 100 && announced.empty(); ++i) {
        std::this_thread::sleep_for(20ms);
        announced = sim.Announced();
    }
    ASSERT_EQ(announced.size(), 1u);
    EXPECT_NE(announced[0].find("\"user\":\"good\""), std::string::npos);
    EXPECT_NE(announced[0].find("{\"booth\":\"2\",\"calls\":3334,\"finished\":3333,"
                                "\"last_state\":\"dialing\""),
              std::string::npos)
        << announced[0];
}

TEST(SimServer, WebRequestsAreAnsweredAndReported) {
    RunningServer sim(Shop({{"anna", "secret"}}));
    auto get = [&](const std::string& target) {
        Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(sim.server().http_port());
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::connect(fd.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        const std::string req = "GET " + target + " HTTP/1.1\r\nHost: x\r\n\r\n";
        ::send(fd.get(), req.data(), req.size(), MSG_NOSIGNAL);
        std::string reply;
        char buf[4096];
        ssize_t n;
        while ((n = ::recv(fd.get(), buf, sizeof buf, 0)) > 0) reply.append(buf, n);
        return reply;
    };
    EXPECT_EQ(get("/Login.aspx?login=anna&password=secret").rfind("HTTP/1.1 200 OK", 0), 0u);
    EXPECT_EQ(get("/Login.aspx?login=anna&password=guess").rfind("HTTP/1.1 403", 0), 0u);
    const auto reports = sim.Reports();
    EXPECT_NE(std::find(reports.begin(), reports.end(),
                        "web: \"GET /Login.aspx?login=anna&password=guess HTTP/1.1\" 403"),
              reports.end());
}

TEST(SimServer, ControlFifoCommandsReachConsolesAndTheLogRecordsTheWire) {
    char dir_template[] = "/tmp/sim_test_XXXXXX";
    ASSERT_NE(::mkdtemp(dir_template), nullptr);
    const std::string dir = dir_template;
    SimConfig config = Shop({{"anna", "secret"}});
    config.control_fifo = dir + "/control";
    {
        RunningServer sim(config, {}, dir + "/log.jsonl");
        TestConsole console(sim.port());
        ASSERT_EQ(console.LogIn("anna", "secret"), link::kLoginAccepted);
        {
            Fd fifo(::open(config.control_fifo.c_str(), O_WRONLY | O_CLOEXEC));
            const std::string commands = "dial 1;0123;Local;0.10\nbogus\n";
            ASSERT_EQ(::write(fifo.get(), commands.data(), commands.size()),
                      static_cast<ssize_t>(commands.size()));
        }
        const auto dial = console.Next();
        ASSERT_TRUE(dial);
        EXPECT_EQ(dial->Text(), "1;0123;Local;0.10");
        console.SendKeepAlive();
        std::this_thread::sleep_for(100ms);
        const auto reports = sim.Reports();
        EXPECT_NE(std::find(reports.begin(), reports.end(), "control: unknown step \"bogus\""),
                  reports.end());
        EXPECT_EQ(sim.Stop(), 0);
    }
    std::ifstream in(dir + "/log.jsonl");
    std::string all((std::istreambuf_iterator<char>(in)), {});
    for (
        const char* expected :
        {R"("session":1,"dir":"in","type":15,"name":"LoginRequest","bytes":259,"text":"anna"})",
         R"("dir":"out","type":3,"name":"LoginAccepted","bytes":4})",
         R"("dir":"out","type":101,"name":"CallDialEvent","bytes":259,"text":"1;0123;Local;0.10"})",
         R"("dir":"in","type":13,"name":"KeepAlive","bytes":4})",
         R"("event":"control","line":"dial 1;0123;Local;0.10"})",
         R"("event":"stop","open_sessions":1)"})
        EXPECT_NE(all.find(expected), std::string::npos) << expected << "\n" << all;
    ::unlink(config.control_fifo.c_str());
    ::unlink((dir + "/log.jsonl").c_str());
    ::rmdir(dir.c_str());
}

// The real program: a refused configuration, --help, and a clean end on SIGTERM.
// `while_running` talks to the program; SIGTERM follows it.
int RunProgram(std::vector<std::string> args, std::function<void()> while_running = {}) {
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
    if (while_running) {
        while_running();
        ::kill(pid, SIGTERM);
    }
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        std::this_thread::sleep_for(50ms);
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return -1;
}

TEST(SimProgram, ServesALoginFoundThroughItsReadyFileAndEndsOnSignal) {
    EXPECT_EQ(RunProgram({"--help"}), 0);
    EXPECT_EQ(RunProgram({"--booths", "1,1"}), 2);

    char dir_template[] = "/tmp/sim_ready_XXXXXX";
    ASSERT_NE(::mkdtemp(dir_template), nullptr);
    const std::string ready = std::string(dir_template) + "/ready.json";
    const int status = RunProgram(
        {"--listen", "127.0.0.1:0", "--http", "127.0.0.1:0", "--booths", "2", "--ready-file", ready,
         "--generate"},
        [&] {
            std::string line;
            for (int i = 0; i < 100 && line.empty(); ++i) {
                std::this_thread::sleep_for(50ms);
                std::ifstream in(ready);
                std::getline(in, line);
            }
            const auto at = line.find("\"console_port\":");
            ASSERT_NE(at, std::string::npos) << line;
            const auto port = static_cast<std::uint16_t>(std::stoi(line.substr(at + 15)));
            TestConsole console(port);
            ASSERT_EQ(console.LogIn("demo", "demo"), link::kLoginAccepted);
            const auto web = line.substr(line.find("\"web_address\":\"") + 15);
            EXPECT_EQ(console.booth_list->Text(), web.substr(0, web.find('"')) + ";1;2");
        });
    EXPECT_EQ(status, 0);
    ::unlink(ready.c_str());
    ::rmdir(dir_template);
}

}  // namespace
}  // namespace tlx::sim
