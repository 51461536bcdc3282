#include "core/link/message.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/link/framer.h"

namespace tlx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Received = std::vector<std::pair<std::int32_t, std::string>>;

Bytes Record(std::int32_t type, const std::string& text, bool compact = false) {
    const auto rec = MakeTextMessage(type, text).Encode();
    // Compact: type, text and its NUL only, as a server writing short messages sends them.
    return Bytes(rec.begin(), rec.begin() + (compact ? kShortSize + text.size() + 1 : kRecordSize));
}

TEST(ServerMessage, TypeIsLittleEndianInBothForms) {
    ServerMessage m;
    m.type = 0x01020304;
    const auto rec = m.Encode();
    EXPECT_EQ(Bytes(rec.begin(), rec.begin() + 4), (Bytes{4, 3, 2, 1}));
    for (std::int32_t type : {103, -2, INT32_MIN}) {
        m.type = type;
        EXPECT_EQ(DecodeMessage(m.Encode())->type, type);
        EXPECT_EQ(DecodeMessage(m.EncodeShort())->type, type);
    }
}

TEST(ServerMessage, TextComesOnlyFromTheBytesDelivered) {
    EXPECT_FALSE(DecodeMessage(Bytes{3, 0, 0}));
    const auto accepted = DecodeMessage(Bytes{3, 0, 0, 0});  // the 4-byte short form
    ASSERT_TRUE(accepted);
    EXPECT_EQ(accepted->type, kLoginAccepted);
    EXPECT_EQ(accepted->Text(), "");

    // A long message, then a short one whose NUL did not arrive: nothing of the first leaks.
    ASSERT_TRUE(DecodeMessage(Record(kCallDialEvent, "Booth 1;0049301234;Berlin;0.10")));
    const auto second = DecodeMessage(Bytes{102, 0, 0, 0, 'B', '2'});
    EXPECT_EQ(second->Text(), "B2");
    EXPECT_EQ(second->data_length, 2u);
    EXPECT_EQ(second->Encode(), MakeTextMessage(kCallConnectedEvent, "B2").Encode());
    EXPECT_EQ(DecodeMessage(Bytes{101, 0, 0, 0, 'A', 0, 'j', 'u', 'n', 'k'})->Text(), "A");

    // 255 data bytes and no NUL: at most 254 characters. Bytes beyond one record are ignored.
    Bytes full = Record(kCallRejectedEvent, std::string(300, 'k'));
    full.back() = 'k';
    full.insert(full.end(), 40, 'z');
    EXPECT_EQ(DecodeMessage(full)->Text(), std::string(kMaxText, 'k'));
    EXPECT_EQ(DecodeMessage(full)->data_length, kDataSize);
    EXPECT_EQ(MakeTextMessage(kBoothList, std::string(300, 'x')).data[kMaxText], 0);
}

// One stream cut at every offset comes out as the same messages, in both modes; the
// 255-byte text without NUL ends a short message on its own.
TEST(MessageFramer, JoinsAndSplitsAtEveryOffset) {
    const Received sent = {{kCallDialEvent, "B1;0049301234;Berlin;0.10"},
                           {kCallConnectedEvent, "B1"},
                           {kBoothList, std::string(kMaxText, 'w')},
                           {kCallFinishedEvent, "B1;75;1.5"}};
    for (bool compact : {false, true}) {
        Bytes stream;
        for (const auto& [type, text] : sent) {
            Bytes b = Record(type, text, compact);
            if (text.size() == kMaxText) b.back() = 'w';  // its NUL never comes
            stream.insert(stream.end(), b.begin(), b.end());
        }
        for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
            MessageFramer f(compact ? MessageFramer::Mode::kShortMessages
                                    : MessageFramer::Mode::kFullRecords);
            Received got;
            for (auto part : {std::span(stream).first(cut), std::span(stream).subspan(cut)}) {
                f.Feed(part);
                while (auto m = f.Next()) got.emplace_back(m->type, m->Text());
            }
            ASSERT_EQ(got, sent) << (compact ? "short" : "full") << " cut at " << cut;
            ASSERT_EQ(f.buffered(), 0u);
        }
    }
}

}  // namespace
}  // namespace tlx::link
