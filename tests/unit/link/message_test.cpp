#include "link/message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "link/framer.h"

namespace tlx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Record(std::int32_t type, const std::string& text) {
    const auto rec = MakeTextMessage(type, text).Encode();
    return Bytes(rec.begin(), rec.end());
}

// Type, text and its NUL only: how a server writing short messages sends a text.
Bytes Compact(std::int32_t type, const std::string& text) {
    Bytes b = Record(type, text);
    b.resize(kShortSize + text.size() + 1);
    return b;
}

TEST(ServerMessage, TypeIsLittleEndianWhateverTheHost) {
    for (std::int32_t type : {0, 1, 103, 0x01020304, -1, -2, INT32_MIN, INT32_MAX}) {
        ServerMessage m;
        m.type = type;
        const auto rec = m.Encode();
        const auto shrt = m.EncodeShort();
        const auto u = static_cast<std::uint32_t>(type);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(rec[i], static_cast<std::uint8_t>(u >> (8 * i)));
            EXPECT_EQ(shrt[i], rec[i]);
        }
        EXPECT_EQ(DecodeMessage(rec)->type, type);
        EXPECT_EQ(DecodeMessage(shrt)->type, type);
    }
}

TEST(ServerMessage, TextMessagesCutToLeaveRoomForTheNul) {
    const std::string long_text(300, 'x');
    const ServerMessage m = MakeTextMessage(kBoothList, long_text);
    EXPECT_EQ(m.Text(), long_text.substr(0, kMaxText));
    const auto rec = m.Encode();
    EXPECT_EQ(rec.size(), 259u);
    EXPECT_EQ(rec[kShortSize + kMaxText], 0);

    const auto back = DecodeMessage(rec);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->type, kBoothList);
    EXPECT_EQ(back->data_length, kDataSize);
    EXPECT_EQ(back->Text(), long_text.substr(0, kMaxText));
    EXPECT_EQ(MakeTextMessage(kCallConnectedEvent, "").Text(), "");
}

TEST(ServerMessage, DecodeTakesOnlyWhatTheReadDelivered) {
    EXPECT_FALSE(DecodeMessage(Bytes{}));
    EXPECT_FALSE(DecodeMessage(Bytes{3, 0, 0}));

    // The 4-byte short form: a type with no data.
    const auto accepted = DecodeMessage(Bytes{3, 0, 0, 0});
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->type, kLoginAccepted);
    EXPECT_EQ(accepted->data_length, 0u);
    EXPECT_EQ(accepted->Text(), "");

    // A short text after a long one: nothing of the first leaks into the second.
    const auto first = DecodeMessage(Record(kCallDialEvent, "Booth 1;0049301234;Berlin;0.10"));
    const Bytes second_bytes = {102, 0, 0, 0, 'B', '2'};  // no NUL arrived
    const auto second = DecodeMessage(second_bytes);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(second->type, kCallConnectedEvent);
    EXPECT_EQ(second->Text(), "B2");
    for (std::size_t i = 2; i < kDataSize; ++i) EXPECT_EQ(second->data[i], 0) << i;

    // 255 data bytes with no NUL: the text keeps at most 254 characters.
    Bytes full(kRecordSize, 'k');
    full[0] = 104, full[1] = full[2] = full[3] = 0;
    EXPECT_EQ(DecodeMessage(full)->Text(), std::string(kMaxText, 'k'));

    // Bytes beyond one record are not this message's.
    Bytes longer = Record(kCallRejectedEvent, "A");
    longer.insert(longer.end(), 40, 'z');
    const auto rejected = DecodeMessage(longer);
    EXPECT_EQ(rejected->data_length, kDataSize);
    EXPECT_EQ(rejected->Text(), "A");

    // Bytes after the NUL have no meaning.
    const Bytes after_nul = {101, 0, 0, 0, 'A', 0, 'j', 'u', 'n', 'k'};
    EXPECT_EQ(DecodeMessage(after_nul)->Text(), "A");
}

struct Stream {
    Bytes bytes;
    std::vector<std::pair<std::int32_t, std::string>> expected;
};

Stream ThreeMessages(bool compact) {
    const std::vector<std::pair<std::int32_t, std::string>> msgs = {
        {kCallDialEvent, "B1;0049301234;Berlin;0.10"},
        {kCallConnectedEvent, "B1"},
        {kCallFinishedEvent, "B1;75;1.5"},
    };
    Stream s;
    for (const auto& [type, text] : msgs) {
        const Bytes b = compact ? Compact(type, text) : Record(type, text);
        s.bytes.insert(s.bytes.end(), b.begin(), b.end());
        s.expected.emplace_back(type, text);
    }
    return s;
}

std::vector<std::pair<std::int32_t, std::string>> Drain(MessageFramer& f) {
    std::vector<std::pair<std::int32_t, std::string>> out;
    while (auto m = f.Next()) out.emplace_back(m->type, m->Text());
    return out;
}

// The same stream, cut once at every possible offset, comes out as the same messages; and
// all of it in one feed gives them all.
TEST(MessageFramer, JoinsAndSplitsAtEveryOffsetInBothModes) {
    for (bool compact : {false, true}) {
        SCOPED_TRACE(compact ? "short messages" : "full records");
        const auto mode =
            compact ? MessageFramer::Mode::kShortMessages : MessageFramer::Mode::kFullRecords;
        const Stream s = ThreeMessages(compact);
        for (std::size_t cut = 0; cut <= s.bytes.size(); ++cut) {
            MessageFramer f(mode);
            f.Feed(std::span(s.bytes).first(cut));
            auto got = Drain(f);
            f.Feed(std::span(s.bytes).subspan(cut));
            const auto rest = Drain(f);
            got.insert(got.end(), rest.begin(), rest.end());
            ASSERT_EQ(got, s.expected) << "cut at " << cut;
            ASSERT_EQ(f.buffered(), 0u);
        }
        // Byte by byte, and a partial message left over stays buffered.
        MessageFramer f(mode);
        std::vector<std::pair<std::int32_t, std::string>> got;
        for (std::size_t i = 0; i + 3 < s.bytes.size(); ++i) {
            f.Feed(std::span(s.bytes).subspan(i, 1));
            const auto more = Drain(f);
            got.insert(got.end(), more.begin(), more.end());
        }
        EXPECT_EQ(got.size(), 2u);
        const std::size_t last =
            compact ? Compact(kCallFinishedEvent, "B1;75;1.5").size() : kRecordSize;
        EXPECT_EQ(f.buffered(), last - 3);
    }
}

TEST(MessageFramer, ShortMessageWithoutNulEndsAfter255DataBytes) {
    MessageFramer f(MessageFramer::Mode::kShortMessages);
    Bytes b = {100, 0, 0, 0};
    b.insert(b.end(), 255, 'w');
    const Bytes next = Compact(kCallRejectedEvent, "B9");
    b.insert(b.end(), next.begin(), next.end());
    f.Feed(std::span(b).first(200));
    EXPECT_FALSE(f.Next());
    f.Feed(std::span(b).subspan(200));
    const auto first = f.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ(first->data_length, kDataSize);
    EXPECT_EQ(first->Text(), std::string(kMaxText, 'w'));
    const auto second = f.Next();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->type, kCallRejectedEvent);
    EXPECT_EQ(second->Text(), "B9");
}

TEST(MessageFramer, ModeFollowsTheFirstRead) {
    EXPECT_EQ(MessageFramer::ModeFromFirstRead(259), MessageFramer::Mode::kFullRecords);
    EXPECT_EQ(MessageFramer::ModeFromFirstRead(40), MessageFramer::Mode::kShortMessages);
}

}  // namespace
}  // namespace tlx::link
