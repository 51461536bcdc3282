// The login exchange against a scripted server: what the console sends, what each answer
// means, and that every refused attempt closes its connection.
#include "core/console/login_flow.h"

#include <gtest/gtest.h>

#include <deque>

#include "core/link/login.h"
#include "core/link/message.h"

namespace tlx::console {
namespace {

constexpr int kNothing = 0;  // a read that timed out or found the server gone

struct ScriptedServer : LoginConnection {
    bool reachable = true;
    std::deque<std::vector<std::uint8_t>> answers;  // empty vector: nothing arrives
    std::vector<std::vector<std::uint8_t>> sent;
    std::vector<std::size_t> asked;  // buffer size of every read
    bool closed = false;

    bool Open() override { return reachable; }
    int Send(std::span<const std::uint8_t> bytes) override {
        sent.emplace_back(bytes.begin(), bytes.end());
        return static_cast<int>(bytes.size());
    }
    int Receive(std::span<std::uint8_t> buffer, int) override {
        asked.push_back(buffer.size());
        if (answers.empty()) return -1;
        auto a = std::move(answers.front());
        answers.pop_front();
        const std::size_t n = std::min(a.size(), buffer.size());
        std::copy_n(a.begin(), n, buffer.begin());
        return a.empty() ? kNothing : static_cast<int>(n);
    }
    void Close() override { closed = true; }
};

std::vector<std::uint8_t> Message(std::int32_t type, const link::Block& data = {}) {
    link::ServerMessage m;
    m.type = type;
    std::copy(data.begin(), data.end(), m.data.begin());
    const auto bytes = m.Encode();
    return {bytes.begin(), bytes.end()};
}
std::vector<std::uint8_t> Short(std::int32_t type) {
    auto bytes = Message(type);
    bytes.resize(link::kShortSize);
    return bytes;
}

const link::Block kChallenge = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

TEST(Login, AcceptedExchangeSendsRequestAndRightResponse) {
    ScriptedServer server;
    server.answers = {Message(link::kLoginChallenge, link::EncipherChallenge("s3cret", kChallenge)),
                      Short(link::kLoginAccepted)};
    std::vector<std::string> statuses;
    EXPECT_EQ(RunLogin(server, "anna", "s3cret", [&](auto s) { statuses.emplace_back(s); }),
              LoginOutcome::kAccepted);
    EXPECT_FALSE(server.closed);
    EXPECT_EQ(statuses, std::vector<std::string>{std::string(texts::kStatusVerifying)});
    ASSERT_EQ(server.sent.size(), 2u);
    EXPECT_EQ(link::ReadLoginRequestUser(*link::DecodeMessage(server.sent[0])), "anna");
    const auto response = link::DecodeMessage(server.sent[1]);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->type, link::kChallengeResponse);
    const auto expected = link::ExpectedResponse("s3cret", kChallenge);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), response->data.begin()));
    // The verdict is read as the 4-byte short form only.
    EXPECT_EQ(server.asked, (std::vector<std::size_t>{link::kRecordSize, link::kShortSize}));
}

TEST(Login, EveryRefusalClosesTheConnection) {
    using enum LoginOutcome;
    const auto challenge = Message(link::kLoginChallenge);
    const std::pair<std::vector<std::vector<std::uint8_t>>, LoginOutcome> cases[] = {
        {{Short(link::kLoginIncorrect)}, kIncorrect},
        {{Message(link::kAlreadyLoggedIn)}, kAlreadyIn},
        {{{}}, kNoAnswer},
        {{{1, 2, 3}}, kNoAnswer},  // no whole type
        {{Short(link::kLoginAccepted)}, kLost},
        {{challenge, Short(link::kLoginIncorrect)}, kIncorrect},
        {{challenge, Short(link::kAlreadyLoggedIn)}, kAlreadyIn},
        {{challenge, {}}, kLost},
        {{challenge, Short(link::kBoothList)}, kLost}};
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        ScriptedServer server;
        server.answers.assign(cases[i].first.begin(), cases[i].first.end());
        EXPECT_EQ(RunLogin(server, "anna", "pw", nullptr), cases[i].second) << i;
        EXPECT_TRUE(server.closed) << i;
    }
    ScriptedServer down;
    down.reachable = false;
    EXPECT_EQ(RunLogin(down, "anna", "pw", nullptr), kCannotConnect);
    EXPECT_TRUE(down.sent.empty());
}

TEST(Login, FirstReadOfTheSessionTellsHowTheServerWrites) {
    ScriptedServer full;  // a whole record: the session reads full records
    full.answers = {Message(link::kBoothList)};
    std::copy_n("http://w/;1;2", 13, full.answers.front().begin() + 4);
    auto start = ReadSessionStart(full);
    EXPECT_EQ(start.framer.mode(), link::MessageFramer::Mode::kFullRecords);
    ASSERT_TRUE(start.booth_list);
    EXPECT_EQ(start.booth_list->keys, (std::vector<std::string>{"1", "2"}));

    ScriptedServer brief;  // type, text and NUL, with an event right behind it
    brief.answers = {{100, 0, 0, 0, 'w', ';', '7', 0, 104, 0, 0, 0, '7', 0}};
    start = ReadSessionStart(brief);
    EXPECT_EQ(start.framer.mode(), link::MessageFramer::Mode::kShortMessages);
    ASSERT_TRUE(start.booth_list);
    EXPECT_EQ(start.booth_list->web_address, "w");
    EXPECT_EQ(start.framer.Next().value().type, 104);

    ScriptedServer silent;
    EXPECT_FALSE(ReadSessionStart(silent).booth_list);
}

}  // namespace
}  // namespace tlx::console
