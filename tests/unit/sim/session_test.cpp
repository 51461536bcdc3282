// The console-facing session without sockets: login answers checked against ciphertexts made
// by the OpenSSL command line, then the traffic a logged-in console gets.
#include "sim/session.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/link/framer.h"
#include "tests/unit/sim/wire.h"

namespace tlx::sim {
namespace {

using namespace std::chrono_literals;
using namespace test;

std::string Unhex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

link::Block BlockOf(const std::string& hex) {  // every block in the vectors has 16 bytes
    link::Block b{};
    std::ranges::copy(Unhex(hex), b.begin());
    return b;
}

class FakeHost : public SessionHost {
  public:
    SimConfig cfg;
    JsonLog quiet;
    std::set<std::string> live;
    std::map<std::string, ShopState> shops;
    std::size_t cursor = 0;
    link::Block next_challenge{};
    std::vector<std::string> reports;

    FakeHost() {
        cfg.accounts = {{"bob", "secret"}};
        cfg.booths = {"1", "2"};
        cfg.web_address = "http://127.0.0.1:1805/";
        cfg.settle_ms = 0;
        cfg.tariffs = {{"0", "Local", 10}};
    }
    const SimConfig& config() const override { return cfg; }
    JsonLog& log() override { return quiet; }
    const Account* FindAccount(const std::string& user) const override {
        for (const auto& a : cfg.accounts)
            if (a.user == user) return &a;
        return nullptr;
    }
    bool IsLoggedIn(const std::string& user) const override { return live.count(user) != 0; }
    void SetLoggedIn(const std::string& user, bool on) override {
        on ? void(live.insert(user)) : void(live.erase(user));
    }
    ShopState* ShopOf(const std::string& user) override {
        return &shops.try_emplace(user, ShopState(cfg.booths)).first->second;
    }
    const Scenario* scenario() const override { return nullptr; }
    std::size_t& ScenarioCursor(const std::string&) override { return cursor; }
    link::Block NewChallenge() override { return next_challenge; }
    void Report(const std::string& line) override { reports.push_back(line); }
    void Announce(const std::string&) override {}
    void ExpectationFailed() override {}
    void RequestQuit() override {}
};

const TimePoint t0 = Clock::now();
const Bytes kKeepAlive = {13, 0, 0, 0};

Bytes Take(ClientSession& s) {
    const auto p = s.pending();
    Bytes out(p.begin(), p.end());
    s.Consumed(out.size());
    return out;
}

// The LoginRequest in pieces, as a slow network hands it over; the reply is the challenge or
// a refusal.
Bytes Request(ClientSession& s, const std::string& user) {
    const auto request = Record(link::MakeLoginRequest(user));
    for (std::size_t i = 0; i < request.size(); i += 7)
        s.OnBytes(std::span(request).subspan(i, std::min<std::size_t>(7, request.size() - i)), t0);
    return Take(s);
}

Bytes Respond(ClientSession& s, const link::Block& response) {
    s.OnBytes(ResponseRecord(response), t0);
    return Take(s);
}

// Logs in as a console knowing `pw` would, its first keep-alive in the same read as the
// response; returns what followed.
Bytes LogIn(ClientSession& s, const std::string& user = "bob", const std::string& pw = "secret") {
    auto response = ResponseTo(Request(s, user), pw);
    response.insert(response.end(), kKeepAlive.begin(), kKeepAlive.end());
    s.OnBytes(response, t0);
    return Take(s);
}

std::pair<std::int32_t, std::size_t> TypeAndSize(const Bytes& b) {
    return {b.size() < 4 ? -1 : TypeOf(b), b.size()};
}

// Per line: user, password, challenge, the challenge enciphered, the response (all but the
// user in hex). A response with one bit wrong must be refused with the 4-byte answer.
TEST(SessionLogin, ChallengeAndAnswerMatchIndependentCiphertexts) {
    std::ifstream in(SIM_TEST_DATA "/login_vectors.txt");
    int vectors = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string f[5];
        for (auto& field : f) std::getline(fields, field, '\t');
        const std::string user = f[0], password = Unhex(f[1]);
        const link::Block enciphered = BlockOf(f[3]), response = BlockOf(f[4]);
        SCOPED_TRACE(user);
        ++vectors;
        FakeHost host;
        host.cfg.accounts = {{user, password}};
        host.next_challenge = BlockOf(f[2]);
        ClientSession bad(1, "bad", host, t0), s(2, "good", host, t0);
        link::Block wrong = response;
        wrong[15] ^= 1;
        Request(bad, user);
        EXPECT_EQ(TypeAndSize(Respond(bad, wrong)),
                  std::make_pair(+link::kLoginIncorrect, link::kShortSize));
        EXPECT_TRUE(bad.done());  // and it left the user free: the next login must pass

        const auto challenge = Request(s, user);
        ASSERT_EQ(TypeAndSize(challenge),
                  std::make_pair(+link::kLoginChallenge, link::kRecordSize));
        EXPECT_EQ(Enciphered(challenge), enciphered);
        // The console's side of the computation gives the same independent answer.
        EXPECT_EQ(link::ComputeChallengeResponse(password, enciphered), response);
        const auto after = Respond(s, response);
        // Accepted, then the booth list (its text is checked with the generated traffic).
        EXPECT_EQ(TypeAndSize(after),
                  std::make_pair(+link::kLoginAccepted, link::kShortSize + link::kRecordSize));
        EXPECT_TRUE(host.IsLoggedIn(user) && s.logged_in());
    }
    EXPECT_EQ(vectors, 4);
}

TEST(SessionLogin, RefusalsUseTheRightTypeAndLength) {
    FakeHost host;
    ClientSession stranger(1, "a", host, t0), first(2, "b", host, t0), second(3, "c", host, t0),
        third(4, "d", host, t0), brief(5, "e", host, t0);
    // An unknown user gets a whole record straight after the LoginRequest, no challenge.
    EXPECT_EQ(TypeAndSize(Request(stranger, "nobody")),
              std::make_pair(+link::kLoginIncorrect, link::kRecordSize));
    EXPECT_TRUE(stranger.done());
    // Right password, but the user has a live session; once it is gone they may log in again.
    EXPECT_EQ(TypeOf(LogIn(first)), link::kLoginAccepted);
    EXPECT_EQ(TypeAndSize(LogIn(second)),
              std::make_pair(+link::kAlreadyLoggedIn, link::kShortSize));
    first.OnPeerClosed(t0, "gone");
    EXPECT_EQ(TypeOf(LogIn(third)), link::kLoginAccepted);
    // A server writing short messages sends the challenge as type and block only.
    host.cfg.short_messages = true;
    EXPECT_EQ(TypeAndSize(Request(brief, "bob")),
              std::make_pair(+link::kLoginChallenge, link::kShortSize + link::kBlockSize));
}

TEST(SessionInput, BadClientsAreClosedOrIgnored) {
    FakeHost host;
    host.cfg.login_timeout_s = 5;
    ClientSession early(1, "k", host, t0), stray(2, "s", host, t0), quiet(3, "q", host, t0);
    early.OnBytes(Record(link::MakeTextMessage(link::kKeepAlive, "")), t0);  // not a login
    EXPECT_TRUE(early.done());
    // After login a stray login record is skipped whole; garbage ends the session.
    LogIn(stray);
    stray.OnBytes(Record(link::MakeLoginRequest("bob")), t0);
    stray.OnBytes(kKeepAlive, t0);
    EXPECT_TRUE(stray.logged_in());
    stray.OnBytes(Bytes{0xff, 0xff, 0xff, 0x7f}, t0);
    EXPECT_TRUE(stray.done());
    EXPECT_FALSE(host.IsLoggedIn("bob"));
    // Half a record and then silence runs into the login time limit.
    quiet.OnBytes(Bytes{15, 0}, t0);
    quiet.Tick(t0 + 4s);
    EXPECT_FALSE(quiet.done());
    quiet.Tick(t0 + 6s);
    EXPECT_TRUE(quiet.done());
}

TEST(SessionInput, RandomBytesInAnyPhaseNeverBreakTheSession) {
    // Mostly valid type words so the records get past the first check now and then.
    SeededRandom random(2024);
    const std::int32_t types[] = {13, 15, 19, 13, 2, -1};
    for (int round = 0; round < 300; ++round) {
        FakeHost host;
        host.cfg.short_messages = round % 2;
        ClientSession s(round, "fuzz", host, t0);
        if (round % 3 == 0) LogIn(s);
        for (int chunk = 0; chunk < 20 && !s.done(); ++chunk) {
            Bytes bytes(random.Below(600));
            for (auto& b : bytes) b = static_cast<std::uint8_t>(random.Below(256));
            if (bytes.size() >= 4 && random.Below(2))
                link::WriteType(types[random.Below(6)], std::span(bytes).first<4>());
            s.OnBytes(bytes, t0);
            s.Tick(t0);
            EXPECT_LE(s.pending_size(), host.cfg.max_pending);
            s.Consumed(random.Below(300));
        }
        s.OnPeerClosed(t0, "end");
        EXPECT_TRUE(s.done());
        EXPECT_TRUE(host.live.empty());
    }
}

TEST(SessionInput, KeepAliveGapsOverTheLimitAreReported) {
    FakeHost host;
    ClientSession s(1, "t", host, t0);
    LogIn(s);
    s.OnBytes(kKeepAlive, t0 + 20s);  // exactly the limit: fine
    s.OnBytes(kKeepAlive, t0 + 41500ms);
    ASSERT_EQ(host.reports.size(), 2u);  // the login line, then the gap
    EXPECT_NE(host.reports[1].find("keep-alive gap of 21.50 s"), std::string::npos)
        << host.reports[1];
    s.OnBytes(kKeepAlive, t0 + 50s);
    EXPECT_EQ(host.reports.size(), 2u);
    // A console that goes quiet is reported while it stays quiet, once.
    s.Tick(t0 + 79s);
    EXPECT_EQ(host.reports.size(), 2u);
    s.Tick(t0 + 81s);
    s.Tick(t0 + 90s);
    ASSERT_EQ(host.reports.size(), 3u);
    EXPECT_NE(host.reports[2].find("no keep-alive for 31.00 s"), std::string::npos);
}

TEST(SessionOutput, ConsoleThatStopsReadingIsDroppedAtTheLimit) {
    FakeHost host;
    host.cfg.max_pending = 4096;
    ClientSession s(1, "t", host, t0), t(2, "t", host, t0);
    LogIn(s);
    const Step step = *ParseStep("reject 1", nullptr);
    for (int i = 0; i < 15; ++i) s.Execute(step);  // 15 * 259 < 4096
    EXPECT_TRUE(s.logged_in());
    s.Execute(step);
    EXPECT_TRUE(s.done());
    EXPECT_EQ(s.pending_size(), 0u);
    EXPECT_FALSE(host.IsLoggedIn("bob"));

    // A drop lets queued events go, but not for ever.
    LogIn(t);
    t.Execute(step);
    t.Execute(*ParseStep("drop", nullptr));
    EXPECT_FALSE(host.IsLoggedIn("bob"));  // the user may log in again at once
    EXPECT_FALSE(t.done());
    EXPECT_EQ(t.pending_size(), 259u);
    t.Tick(t0 + 1s);  // the grace counts from here
    t.Tick(t0 + 5500ms);
    EXPECT_FALSE(t.done());
    t.Tick(t0 + 6100ms);
    EXPECT_TRUE(t.done());
}

// In short form, read as the console reads it: the booth list alone, then each generated
// event once its own gap in shop time has passed, and not before.
TEST(SessionTraffic, GeneratedEventsComeAfterTheirOwnGapInShopTime) {
    FakeHost host;
    host.cfg.mode = TrafficMode::kGenerate;
    host.cfg.short_messages = true;
    host.cfg.rate = 2;
    host.cfg.speed = 4;
    host.cfg.settle_ms = 500;
    ClientSession s(1, "t", host, t0);
    link::MessageFramer console(link::MessageFramer::Mode::kShortMessages);
    const Bytes first = LogIn(s);
    ASSERT_EQ(TypeOf(first), link::kLoginAccepted);
    console.Feed(std::span(first).subspan(4));
    const auto list = console.Next();
    EXPECT_EQ(std::make_pair(list->type, list->Text()),
              std::make_pair(+link::kBoothList, std::string("http://127.0.0.1:1805/;1;2")));
    CallGenerator same(host.cfg.booths, host.cfg.tariffs, host.cfg.rate, host.cfg.seed);
    auto due = t0 + 500ms;
    for (int i = 0; i < 50; ++i) {
        double delay = 0;
        const auto want = same.Next(&delay);
        due += std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(delay / host.cfg.speed));
        s.Tick(due - 2ms);
        ASSERT_EQ(s.pending_size(), 0u) << "event " << i << " came early";
        s.Tick(due + 1ms);
        console.Feed(Take(s));
        const auto got = console.Next();
        ASSERT_TRUE(got && console.buffered() == 0) << i;
        EXPECT_EQ(std::make_pair(got->type, got->Text()), std::make_pair(want.type, want.text));
    }
}

}  // namespace
}  // namespace tlx::sim
