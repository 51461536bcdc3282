// The console-facing session without sockets: login answers checked against ciphertexts made
// by the OpenSSL command line, then the traffic a logged-in console gets.
#include "session.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "link/framer.h"
#include "link/login.h"

namespace tlx::sim {
namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> FromHex(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

link::Block ToBlock(const std::vector<std::uint8_t>& v) {
    link::Block b{};
    std::copy(v.begin(), v.end(), b.begin());
    return b;
}

struct Vector {
    std::string user;
    std::string password;
    link::Block challenge, enciphered, response;
};

std::vector<Vector> LoadVectors() {
    std::ifstream in(SIM_TEST_DATA "/login_vectors.txt");
    std::vector<Vector> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string user, pw, ch, enc, resp;
        std::getline(fields, user, '\t');
        std::getline(fields, pw, '\t');
        std::getline(fields, ch, '\t');
        std::getline(fields, enc, '\t');
        std::getline(fields, resp, '\t');
        const auto pw_bytes = FromHex(pw);
        out.push_back({user, std::string(pw_bytes.begin(), pw_bytes.end()), ToBlock(FromHex(ch)),
                       ToBlock(FromHex(enc)), ToBlock(FromHex(resp))});
    }
    return out;
}

class FakeHost : public SessionHost {
  public:
    SimConfig cfg;
    JsonLog quiet;
    std::set<std::string> live;
    std::map<std::string, ShopState> shops;
    std::map<std::string, std::size_t> cursors;
    std::optional<Scenario> script;
    link::Block next_challenge{};
    std::vector<std::string> reports, announced;
    int failures = 0;
    bool quit = false;

    FakeHost() {
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
        if (on)
            live.insert(user);
        else
            live.erase(user);
    }
    ShopState* ShopOf(const std::string& user) override {
        return &shops.try_emplace(user, ShopState(cfg.booths)).first->second;
    }
    const Scenario* scenario() const override { return script ? &*script : nullptr; }
    std::size_t& ScenarioCursor(const std::string& user) override { return cursors[user]; }
    link::Block NewChallenge() override { return next_challenge; }
    void Report(const std::string& line) override { reports.push_back(line); }
    void Announce(const std::string& line) override { announced.push_back(line); }
    void ExpectationFailed() override { ++failures; }
    void RequestQuit() override { quit = true; }
};

std::vector<std::uint8_t> Take(ClientSession& s) {
    const auto p = s.pending();
    std::vector<std::uint8_t> out(p.begin(), p.end());
    s.Consumed(out.size());
    return out;
}

std::int32_t TypeOf(const std::vector<std::uint8_t>& bytes) {
    return link::ReadType(std::span<const std::uint8_t, 4>(bytes.data(), 4));
}

std::vector<std::uint8_t> Record(const link::ServerMessage& m) {
    const auto r = m.Encode();
    return {r.begin(), r.end()};
}

std::vector<std::uint8_t> ResponseRecord(const link::Block& block) {
    link::ServerMessage m;
    m.type = link::kChallengeResponse;
    std::copy(block.begin(), block.end(), m.data.begin());
    return Record(m);
}

const TimePoint t0 = Clock::now();

// Logs `user` in with the right response and returns what followed LoginAccepted.
std::vector<std::uint8_t> LogIn(FakeHost& host, ClientSession& s, const std::string& user,
                                TimePoint now = t0) {
    s.OnBytes(Record(link::MakeLoginRequest(user)), now);
    const auto challenge = Take(s);
    const auto* account = host.FindAccount(user);
    link::Block enc{};
    std::copy(challenge.begin() + 4, challenge.begin() + 20, enc.begin());
    s.OnBytes(ResponseRecord(link::ComputeChallengeResponse(account->password, enc)), now);
    return Take(s);
}

TEST(SessionLogin, ChallengeAndAnswerMatchIndependentCiphertexts) {
    const auto vectors = LoadVectors();
    ASSERT_EQ(vectors.size(), 4u);
    for (const auto& v : vectors) {
        SCOPED_TRACE(v.user);
        FakeHost host;
        host.cfg.accounts = {{v.user, v.password}};
        host.next_challenge = v.challenge;
        ClientSession s(1, "test", host, t0);
        s.OnBytes(Record(link::MakeLoginRequest(v.user)), t0);
        const auto challenge = Take(s);
        ASSERT_EQ(challenge.size(), link::kRecordSize);
        EXPECT_EQ(TypeOf(challenge), link::kLoginChallenge);
        EXPECT_TRUE(std::equal(v.enciphered.begin(), v.enciphered.end(), challenge.begin() + 4));
        // The console's side of the computation gives the same independent answer.
        EXPECT_EQ(link::ComputeChallengeResponse(v.password, v.enciphered), v.response);

        s.OnBytes(ResponseRecord(v.response), t0);
        const auto after = Take(s);
        ASSERT_EQ(after.size(), link::kShortSize + link::kRecordSize);
        EXPECT_EQ(TypeOf(after), link::kLoginAccepted);
        const auto list = link::DecodeMessage(std::span(after).subspan(4));
        EXPECT_EQ(list->type, link::kBoothList);
        EXPECT_EQ(list->Text(), "http://127.0.0.1:1805/;1;2");
        EXPECT_TRUE(s.logged_in());
        EXPECT_TRUE(host.IsLoggedIn(v.user));
    }
}

TEST(SessionLogin, RefusalsUseTheRightTypeAndLength) {
    const auto v = LoadVectors().front();
    {  // one wrong bit in the response
        FakeHost host;
        host.cfg.accounts = {{v.user, v.password}};
        host.next_challenge = v.challenge;
        ClientSession s(1, "test", host, t0);
        s.OnBytes(Record(link::MakeLoginRequest(v.user)), t0);
        Take(s);
        link::Block wrong = v.response;
        wrong[15] ^= 1;
        s.OnBytes(ResponseRecord(wrong), t0);
        const auto answer = Take(s);
        ASSERT_EQ(answer.size(), link::kShortSize);
        EXPECT_EQ(TypeOf(answer), link::kLoginIncorrect);
        EXPECT_TRUE(s.done());
        EXPECT_FALSE(host.IsLoggedIn(v.user));
    }
    {  // unknown user: type 2 straight after the LoginRequest, no challenge
        FakeHost host;
        host.cfg.accounts = {{v.user, v.password}};
        ClientSession s(1, "test", host, t0);
        s.OnBytes(Record(link::MakeLoginRequest("nobody")), t0);
        const auto answer = Take(s);
        ASSERT_EQ(answer.size(), link::kRecordSize);
        EXPECT_EQ(TypeOf(answer), link::kLoginIncorrect);
        EXPECT_TRUE(s.done());
    }
    {  // right password, but the user has a live session
        FakeHost host;
        host.cfg.accounts = {{v.user, v.password}};
        host.next_challenge = v.challenge;
        ClientSession first(1, "a", host, t0);
        LogIn(host, first, v.user);
        ClientSession second(2, "b", host, t0);
        second.OnBytes(Record(link::MakeLoginRequest(v.user)), t0);
        Take(second);
        second.OnBytes(ResponseRecord(v.response), t0);
        const auto answer = Take(second);
        ASSERT_EQ(answer.size(), link::kShortSize);
        EXPECT_EQ(TypeOf(answer), link::kAlreadyLoggedIn);
        // Once the first console is gone the user may log in again.
        first.OnPeerClosed(t0, "gone");
        ClientSession third(3, "c", host, t0);
        EXPECT_EQ(TypeOf(LogIn(host, third, v.user)), link::kLoginAccepted);
    }
}

TEST(SessionLogin, RecordsSplitAnywhereAreJoined) {
    FakeHost host;
    host.cfg.accounts = {{"bob", "secret"}};
    ClientSession s(1, "test", host, t0);
    const auto request = Record(link::MakeLoginRequest("bob"));
    for (std::size_t i = 0; i < request.size(); i += 7)
        s.OnBytes(std::span(request).subspan(i, std::min<std::size_t>(7, request.size() - i)), t0);
    const auto challenge = Take(s);
    ASSERT_EQ(TypeOf(challenge), link::kLoginChallenge);
    link::Block enc{};
    std::copy(challenge.begin() + 4, challenge.begin() + 20, enc.begin());
    auto response = ResponseRecord(link::ComputeChallengeResponse("secret", enc));
    // The response and a first keep-alive arrive in one read.
    response.insert(response.end(), {13, 0, 0, 0});
    s.OnBytes(response, t0 + 30s);
    EXPECT_EQ(TypeOf(Take(s)), link::kLoginAccepted);
}

TEST(SessionInput, BadClientsAreClosedOrIgnored) {
    FakeHost host;
    host.cfg.accounts = {{"bob", "secret"}};
    {  // garbage before login
        ClientSession s(1, "g", host, t0);
        const std::vector<std::uint8_t> junk = {'G', 'E', 'T', ' ', '/', ' ', 'H'};
        s.OnBytes(junk, t0);
        EXPECT_TRUE(s.done());
    }
    {  // a keep-alive before any login is not a login
        ClientSession s(1, "k", host, t0);
        link::ServerMessage ka;
        ka.type = link::kKeepAlive;
        s.OnBytes(Record(ka), t0);
        EXPECT_TRUE(s.done());
    }
    {  // after login: a stray login record is skipped whole, garbage ends the session
        ClientSession s(1, "s", host, t0);
        LogIn(host, s, "bob");
        s.OnBytes(Record(link::MakeLoginRequest("bob")), t0);
        s.OnBytes(std::vector<std::uint8_t>{13, 0, 0, 0}, t0);
        EXPECT_TRUE(s.logged_in());
        s.OnBytes(std::vector<std::uint8_t>{0xff, 0xff, 0xff, 0x7f}, t0);
        EXPECT_TRUE(s.done());
        EXPECT_FALSE(host.IsLoggedIn("bob"));
    }
    {  // silence before login runs into the time limit
        host.cfg.login_timeout_s = 5;
        ClientSession s(1, "q", host, t0);
        s.OnBytes(std::vector<std::uint8_t>{15, 0}, t0);
        s.Tick(t0 + 4s);
        EXPECT_FALSE(s.done());
        s.Tick(t0 + 6s);
        EXPECT_TRUE(s.done());
    }
}

TEST(SessionInput, KeepAliveGapsOverTheLimitAreReported) {
    FakeHost host;
    host.cfg.accounts = {{"bob", "secret"}};
    ClientSession s(1, "t", host, t0);
    LogIn(host, s, "bob");
    const std::vector<std::uint8_t> ka = {13, 0, 0, 0};
    s.OnBytes(ka, t0 + 20s);  // exactly the limit: fine
    s.OnBytes(ka, t0 + 41500ms);
    ASSERT_EQ(host.reports.size(), 2u);  // the login line, then the gap
    EXPECT_NE(host.reports[1].find("keep-alive gap of 21.50 s"), std::string::npos)
        << host.reports[1];
    s.OnBytes(ka, t0 + 50s);
    EXPECT_EQ(host.reports.size(), 2u);
    // A console that goes quiet is reported while it stays quiet, once.
    s.Tick(t0 + 79s);
    EXPECT_EQ(host.reports.size(), 2u);
    s.Tick(t0 + 81s);
    s.Tick(t0 + 90s);
    ASSERT_EQ(host.reports.size(), 3u);
    EXPECT_NE(host.reports[2].find("no keep-alive for 31.00 s"), std::string::npos);
}

TEST(SessionInput, RandomBytesInAnyPhaseNeverBreakTheSession) {
    // Mostly valid type words so the records get past the first check now and then.
    SeededRandom random(2024);
    const std::int32_t types[] = {13, 15, 19, 13, 2, -1};
    for (int round = 0; round < 300; ++round) {
        FakeHost host;
        host.cfg.accounts = {{"bob", "secret"}};
        host.cfg.short_messages = round % 2;
        ClientSession s(round, "fuzz", host, t0);
        if (round % 3 == 0) LogIn(host, s, "bob");
        for (int chunk = 0; chunk < 20 && !s.done(); ++chunk) {
            std::vector<std::uint8_t> bytes(random.Below(600));
            for (auto& b : bytes) b = static_cast<std::uint8_t>(random.Below(256));
            if (bytes.size() >= 4 && random.Below(2)) {
                const std::int32_t type = types[random.Below(6)];
                link::WriteType(type, std::span<std::uint8_t, 4>(bytes.data(), 4));
            }
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

TEST(SessionOutput, ShortMessagesCarryTypeTextAndNulOnly) {
    FakeHost host;
    host.cfg.accounts = {{"bob", "secret"}};
    host.cfg.short_messages = true;
    ClientSession s(1, "t", host, t0);
    s.OnBytes(Record(link::MakeLoginRequest("bob")), t0);
    const auto challenge = Take(s);
    EXPECT_EQ(challenge.size(), link::kShortSize + link::kBlockSize);
    link::Block enc{};
    std::copy(challenge.begin() + 4, challenge.begin() + 20, enc.begin());
    s.OnBytes(ResponseRecord(link::ComputeChallengeResponse("secret", enc)), t0);
    const auto after = Take(s);
    const std::string list = "http://127.0.0.1:1805/;1;2";
    ASSERT_EQ(after.size(), 4 + 4 + list.size() + 1);
    EXPECT_EQ(after.back(), 0);
    Step step;
    step.type = link::kCallConnectedEvent;
    step.text = "2";
    s.Execute(step);
    EXPECT_EQ(Take(s), (std::vector<std::uint8_t>{102, 0, 0, 0, '2', 0}));
}

TEST(SessionOutput, ConsoleThatStopsReadingIsDroppedAtTheLimit) {
    FakeHost host;
    host.cfg.accounts = {{"bob", "secret"}};
    host.cfg.max_pending = 4096;
    ClientSession s(1, "t", host, t0);
    LogIn(host, s, "bob");
    Step step;
    step.type = link::kCallRejectedEvent;
    step.text = "1";
    for (int i = 0; i < 15; ++i) s.Execute(step);  // 15 * 259 < 4096
    EXPECT_TRUE(s.logged_in());
    s.Execute(step);
    EXPECT_TRUE(s.done());
    EXPECT_EQ(s.pending_size(), 0u);
    EXPECT_FALSE(host.IsLoggedIn("bob"));

    // A drop lets queued events go, but not for ever.
    ClientSession t(2, "t", host, t0);
    LogIn(host, t, "bob");
    t.Execute(step);
    Step drop;
    drop.kind = Step::Kind::kDrop;
    t.Execute(drop);
    EXPECT_FALSE(host.IsLoggedIn("bob"));  // the user may log in again at once
    EXPECT_FALSE(t.done());
    EXPECT_EQ(t.pending_size(), 259u);
    t.Tick(t0 + 1s);
    t.Tick(t0 + 5500ms);
    EXPECT_FALSE(t.done());
    t.Tick(t0 + 6100ms);
    EXPECT_TRUE(t.done());
}

TEST(SessionTraffic, GeneratedEventsComeAfterTheirOwnGapInShopTime) {
    FakeHost host;
    host.cfg.accounts = {{"bob", "secret"}};
    host.cfg.mode = TrafficMode::kGenerate;
    host.cfg.rate = 2;
    host.cfg.speed = 4;
    host.cfg.settle_ms = 500;
    ClientSession s(1, "t", host, t0);
    LogIn(host, s, "bob");
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
        const auto got = link::DecodeMessage(Take(s));
        ASSERT_TRUE(got) << "event " << i << " did not come";
        EXPECT_EQ(got->Text(), want.text);
    }
}

TEST(SessionTraffic, ScenarioWaitsExpectsAndResumesAfterDrop) {
    FakeHost host;
    host.cfg.accounts = {{"bob", "secret"}};
    host.cfg.mode = TrafficMode::kScenario;
    host.script = ParseScenario(
                      "connect 1\n"
                      "wait 2\n"
                      "expect-keepalive 5\n"
                      "reject 2\n"
                      "expect-keepalive 1\n"
                      "drop\n"
                      "finish 1;60;0.10\n"
                      "quit\n")
                      .scenario;
    ClientSession s(1, "t", host, t0);
    auto got = LogIn(host, s, "bob");
    ASSERT_EQ(got.size(), 4 + 259 + 259);  // accepted, booth list, first event at once
    EXPECT_EQ(TypeOf(std::vector(got.begin() + 263, got.end())), link::kCallConnectedEvent);
    EXPECT_EQ(s.NextWake(), t0 + 2s);
    s.Tick(t0 + 1s);
    EXPECT_EQ(s.pending_size(), 0u);
    s.Tick(t0 + 2s);  // now waiting for the keep-alive
    EXPECT_EQ(s.pending_size(), 0u);
    s.OnBytes(std::vector<std::uint8_t>{13, 0, 0, 0}, t0 + 3s);
    s.Tick(t0 + 3s);
    got = Take(s);
    ASSERT_EQ(got.size(), 259u);
    EXPECT_EQ(TypeOf(got), link::kCallRejectedEvent);
    s.Tick(t0 + 5s);  // no keep-alive within 1 s: counted, then the drop
    EXPECT_EQ(host.failures, 1);
    EXPECT_TRUE(s.done());
    // The next session of the same user goes on after the drop.
    ClientSession again(2, "t", host, t0 + 6s);
    got = LogIn(host, again, "bob", t0 + 6s);
    const auto last = link::DecodeMessage(std::span(got).subspan(4 + 259));
    EXPECT_EQ(last->type, link::kCallFinishedEvent);
    EXPECT_EQ(last->Text(), "1;60;0.10");
    EXPECT_TRUE(host.quit);
}

}  // namespace
}  // namespace tlx::sim
