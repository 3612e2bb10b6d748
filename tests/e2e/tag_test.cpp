// Ring tags end to end: SKR_ exports over our RingReader's virtual reader.
#include <gtest/gtest.h>

#include <string>

#include "host.h"

namespace {

using e2e::Bytes;
using e2e::hex;

const Bytes kUid = hex("5A 01 C3 7E");

struct Written {
    const char* name;
    const char* ring;
    const char* race;
    const char* frame;  // pages 4..7 as the tag must hold them
};

// Frames worked out bit by bit from the tag layout (ten 0 bits, thirteen
// 1-bit-plus-byte groups, a final 1 bit), with the CRC-8 (poly 0x1D, init
// 0xFF) check bytes.
const Written kWritten[] = {
    {"Counted", "112233445566", "01020304", "00 22 32 29 9D 12 AB 66 80 C0 A0 70 48 04 62 07"},
    {"AllZero", "000000000000", "00000000", "00 20 10 08 04 02 01 00 80 40 20 10 08 04 27 DF"},
    {"AllOnes", "FFFFFFFFFFFF", "FFFFFFFF", "00 3F FF FF FF FF FF FF FF FF FF FF F8 07 0B D3"},
};

// Test names, not bytes, in failure messages.
void PrintTo(const Written& c, std::ostream* os) { *os << c.name; }

class TagRoad : public ::testing::TestWithParam<Written> {};

// Activate, format, read back and release: the tag holds the frame, the
// configuration byte is set with the other three bytes kept, and a read
// gives back what was written.
TEST_P(TagRoad, FormatThenRead) {
    const Written& w = GetParam();
    e2e::Reader reader;
    ASSERT_TRUE(reader.put(kUid));

    char uid[9] = {};
    ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
    EXPECT_STREQ(uid, "5A01C37E");
    ASSERT_NE(SKR_FormatCard(reader.handle(), w.ring, w.race), 0);
    EXPECT_EQ(reader.pages(4, 4), hex(w.frame));
    EXPECT_EQ(reader.pages(1, 1), hex("06 08 00 AA"));

    char ring[13] = {}, race[9] = {};
    ASSERT_NE(SKR_ReadCard(reader.handle(), ring, race), 0);
    EXPECT_EQ(std::string(ring), w.ring);
    EXPECT_EQ(std::string(race), w.race);
    EXPECT_NE(SKR_DeactiveCard(reader.handle()), 0);
}

INSTANTIATE_TEST_SUITE_P(Tags, TagRoad, ::testing::ValuesIn(kWritten),
                         [](const auto& info) { return std::string(info.param.name); });

// A tag keeps what was written while it is out of the field; a second tag
// is a fresh one; without activation, or with the field empty, nothing is
// read or written.
TEST(Tag, MemoryFollowsTheTagAndAccessNeedsActivation) {
    e2e::Reader reader;
    char uid[9] = {}, ring[13] = {}, race[9] = {};
    EXPECT_EQ(SKR_ActiveCard(reader.handle(), uid), 0) << "empty field";

    ASSERT_TRUE(reader.put(kUid));
    EXPECT_FALSE(reader.put(hex("00 00 00 01"))) << "the field holds one tag";
    EXPECT_EQ(SKR_ReadCard(reader.handle(), ring, race), 0) << "not activated";
    EXPECT_EQ(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0);
    ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
    ASSERT_NE(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0);

    ASSERT_TRUE(reader.take());
    EXPECT_EQ(SKR_ReadCard(reader.handle(), ring, race), 0) << "taken out";
    EXPECT_EQ(SKR_DeactiveCard(reader.handle()), 0) << "nothing active";

    const Bytes other = hex("00 00 00 01");
    ASSERT_TRUE(reader.put(other));
    ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
    EXPECT_STREQ(uid, "00000001");
    ASSERT_NE(SKR_ReadCard(reader.handle(), ring, race), 0);
    EXPECT_STREQ(ring, "000000000000");
    EXPECT_EQ(reader.pages(1, 1), hex("06 00 00 AA")) << "factory configuration";
    ASSERT_TRUE(reader.take());

    ASSERT_TRUE(reader.put(kUid));
    ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
    ASSERT_NE(SKR_ReadCard(reader.handle(), ring, race), 0);
    EXPECT_STREQ(ring, "112233445566");
    EXPECT_STREQ(race, "01020304");
    EXPECT_EQ(reader.pages(4, 4, other), Bytes(16, 0))
        << "the other tag, read while out of the field, was never written";
}

// A page write that fails, loudly or silently, fails the format without
// touching the configuration page; the next attempt succeeds.
TEST(Tag, FailedWriteFailsTheFormat) {
    for (const int fault : {RRV_WRITE_REFUSED, RRV_WRITE_LOST}) {
        SCOPED_TRACE(fault);
        e2e::Reader reader;
        ASSERT_TRUE(reader.put(kUid));
        char uid[9] = {};
        ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
        ASSERT_NE(RRV_FailNextWrite(reader.handle(), fault), 0);
        EXPECT_EQ(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0);
        EXPECT_EQ(reader.pages(1, 1), hex("06 00 00 AA"));
        EXPECT_EQ(reader.pages(4, 1), hex("00 00 00 00")) << "the failed page keeps its bytes";

        ASSERT_NE(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0);
        EXPECT_EQ(reader.pages(4, 4), hex("00 22 32 29 9D 12 AB 66 80 C0 A0 70 48 04 62 07"));
    }
}

}  // namespace
