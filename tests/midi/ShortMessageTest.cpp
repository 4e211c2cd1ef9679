// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/ShortMessage.h"

#include <gtest/gtest.h>

namespace marovane {
namespace {

using Bytes = std::vector<unsigned char>;

struct WireCase {
    ShortMessage message;
    Bytes bytes;  // empty: refused
};

TEST(WireBytes, LengthFollowsTheStatus) {
    const WireCase cases[] = {
        {{0x80, 60, 0}, {0x80, 60, 0}},     // note off
        {{144, 60, 100}, {0x90, 60, 100}},  // note on
        {{0xA3, 1, 2}, {0xA3, 1, 2}},       // key pressure
        {{176, 123, 0}, {0xB0, 123, 0}},    // control change
        {{192, 5, 0}, {0xC0, 5}},           // program change: two bytes
        {{192, 5, 99}, {0xC0, 5}},          // its second data value never leaves
        {{0xDF, 64, 200}, {0xDF, 64}},      // channel pressure
        {{0xE0, 0, 64}, {0xE0, 0, 64}},     // pitch bend
        {{0xF1, 7, 0}, {0xF1, 7}},          // time code quarter frame
        {{0xF2, 1, 2}, {0xF2, 1, 2}},       // song position
        {{0xF3, 3, 300}, {0xF3, 3}},        // song select
        {{0xF6, 500, -1}, {0xF6}},          // tune request: one byte, data ignored
        {{0xF8, 0, 0}, {0xF8}},             // clock
        {{0xFF, 0, 0}, {0xFF}},             // reset
        {{144, 130, 85}, {}},               // a note above 127 is not masked into another
        {{144, -5, 88}, {}},
        {{144, 60, 128}, {}},
        {{192, 128, 0}, {}},
        {{127, 0, 0}, {}},  // not a status byte
        {{256, 0, 0}, {}},
        {{-112, 60, 100}, {}},
        {{0xF0, 1, 2}, {}},  // system exclusive is not a short message
        {{0xF7, 0, 0}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.message.status << ", " << c.message.data1 << ", " << c.message.data2);
        std::string why;
        const auto bytes = wireBytes(c.message, why);
        if (c.bytes.empty()) {
            EXPECT_FALSE(bytes.has_value());
            EXPECT_FALSE(why.empty());
        } else {
            ASSERT_TRUE(bytes.has_value()) << why;
            EXPECT_EQ(*bytes, c.bytes);
            // Taken in whole, and neither cut short nor with a byte more.
            Bytes longer = c.bytes;
            longer.push_back(0);
            EXPECT_TRUE(isCompleteMessage(c.bytes.data(), c.bytes.size()));
            EXPECT_FALSE(isCompleteMessage(c.bytes.data(), c.bytes.size() - 1));
            EXPECT_FALSE(isCompleteMessage(longer.data(), longer.size()));
        }
    }
}

TEST(IsCompleteMessage, RefusesDataFirstHighDataAndSystemExclusive) {
    for (const Bytes& bytes : {Bytes{60, 64}, Bytes{0x90, 60, 200}, Bytes{0xF8, 0x90}, Bytes{0xF0, 1, 0xF7}}) {
        EXPECT_FALSE(isCompleteMessage(bytes.data(), bytes.size())) << int{bytes[0]} << ", " << int{bytes[1]};
    }
}

TEST(FromWire, MissingBytesShowAsZero) {
    const Bytes noteOn{0x90, 60, 100}, program{0xC0, 5}, tune{0xF6};
    EXPECT_EQ(fromWire(noteOn.data(), noteOn.size()), (ShortMessage{144, 60, 100}));
    EXPECT_EQ(fromWire(program.data(), program.size()), (ShortMessage{192, 5, 0}));
    EXPECT_EQ(fromWire(tune.data(), tune.size()), (ShortMessage{246, 0, 0}));
}

}  // namespace
}  // namespace marovane
