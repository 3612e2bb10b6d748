// Ring tags: the CRC-8, the data frame, and the SKR_ exports against the
// test reader's simulated tag.
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>

#include "skylark/skylark.h"
#include "ring/crc8.h"
#include "ring/tag_frame.h"
#include "support.h"

namespace {

using test::Bytes;
using test::hex;

const Bytes kUid = hex("04 A1 B2 C3");
// Ring number 11 22 33 44 55 66 and race number 01 02 03 04 in their frame.
const Bytes kFrame = hex("00 22 32 29 9D 12 AB 66 80 C0 A0 70 48 04 62 07");
const Bytes kUnconfigured = hex("AA 00 BB CC");  // configuration page before formatting
const Bytes kConfigured = hex("AA 08 BB CC");

// ---- CRC-8 and the frame ------------------------------------------------------

std::uint8_t crcOf(const Bytes& b) { return skylark::crc8(b.data(), b.size()); }

TEST(RingCrc8, KnownValues) {
    struct Row {
        const char* name;
        Bytes data;
        std::uint8_t crc;
    };
    const Row rows[] = {
        {"check value, ASCII 1..9", Bytes{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0xB4},
        {"empty gives the initial value", Bytes{}, 0xFF},
        {"ring number 112233445566", hex("11 22 33 44 55 66"), 0x18},
        {"race info 01020304 00", hex("01 02 03 04 00"), 0x03},
        {"zero ring number", hex("00 00 00 00 00 00"), 0x09},
        {"zero race info", hex("00 00 00 00 00"), 0xEF},
    };
    for (const Row& r : rows) EXPECT_EQ(crcOf(r.data), r.crc) << r.name;
}

skylark::TagFields fieldsOf(const Bytes& b) {
    skylark::TagFields f{};
    std::memcpy(f.data(), b.data(), f.size());
    return f;
}

Bytes bytesOf(const skylark::TagFrame& f) { return Bytes(f.begin(), f.end()); }

TEST(RingFrame, PacksTheKnownFrame) {
    const auto frame =
        skylark::packTagFrame(fieldsOf(hex("11 22 33 44 55 66 01 02 03 04 00 18 03")));
    EXPECT_EQ(bytesOf(frame), kFrame);
}

// Every field bit lands in its own place and comes back out of it.
TEST(RingFrame, UnpackInvertsPackForEveryFieldBit) {
    for (std::size_t field = 0; field < skylark::kTagFrameFields; ++field) {
        for (int bit = 0; bit < 8; ++bit) {
            skylark::TagFields f{};
            f[field] = static_cast<std::uint8_t>(1u << bit);
            const skylark::TagFrame frame = skylark::packTagFrame(f);
            EXPECT_EQ(skylark::unpackTagFrame(frame), f) << field << "/" << bit;
            // The bit sits at 11 + 9*field + (7 - bit) of the bit string.
            const std::size_t at = 11 + 9 * field + (7 - bit);
            EXPECT_NE(frame[at / 8] & (0x80 >> (at % 8)), 0) << field << "/" << bit;
        }
    }
}

// A ring number text and a race number text.
struct Texts {
    const char* ring;
    const char* race;
};

std::ostream& operator<<(std::ostream& os, const Texts& t) {
    return os << (t.ring ? t.ring : "null") << " / " << (t.race ? t.race : "null");
}

// ---- The test reader's tag ------------------------------------------------------

struct RingTagTest : ::testing::Test {
    test::TestReader reader;

    RingTagTest() { reader.insertTag(kUid).setPage(1, kUnconfigured); }

    BOOL16 format(const char* ring = "112233445566", const char* race = "01020304") {
        return SKR_FormatCard(reader.handle(), ring, race);
    }
    // The functions and pages of the calls so far, as "W4 W5 RB1 RP1".
    std::string trace() const {
        std::string out;
        for (const RrtCall& c : reader.calls()) {
            if (!out.empty()) out += ' ';
            switch (c.function) {
                case RRT_ACTIVE: out += "A"; continue;
                case RRT_DEACTIVE: out += "D"; continue;
                case RRT_READ_PAGE: out += "RP"; break;
                case RRT_WRITE_PAGE: out += "W"; break;
                case RRT_READ_BLOCK: out += "RB"; break;
            }
            out += std::to_string(c.page);
        }
        return out;
    }
    Bytes framePages() const { return reader.pages(4, 4); }
    // SKR_ReadCard succeeds with these texts.
    void expectRead(const Texts& want) const {
        char ring[13], race[9];
        EXPECT_EQ(SKR_ReadCard(reader.handle(), ring, race), -1) << want;
        EXPECT_STREQ(ring, want.ring);
        EXPECT_STREQ(race, want.race);
    }
};

// ---- Formatting -----------------------------------------------------------------

TEST_F(RingTagTest, FormatWritesTheFrameThenSetsTheConfigurationByte) {
    EXPECT_EQ(format(), -1);
    EXPECT_EQ(trace(), "W4 W5 W6 W7 RB1 RP1 W1 RP1");
    EXPECT_EQ(framePages(), kFrame);
    EXPECT_EQ(reader.page(1), kConfigured);  // bytes 0, 2, 3 written back as read
}

TEST_F(RingTagTest, FormatLeavesAConfiguredPageAlone) {
    reader.setPage(1, kConfigured);
    EXPECT_EQ(format(), -1);
    EXPECT_EQ(trace(), "W4 W5 W6 W7 RB1 RP1");
    EXPECT_EQ(framePages(), kFrame);
}

// Each step that fails stops the sequence there.
struct FailurePoint {
    const char* name;
    SK_ULONG call;     // the call that fails (from 0)
    int result;        // what it returns
    Bytes data;        // what a read delivers
    const char* trace;
    Bytes pages4to7;   // the frame pages afterwards
    Bytes page1;
};

// Cases print as their names in test output.
void PrintTo(const FailurePoint& c, std::ostream* os) { *os << c.name; }

Bytes frameWithByte9Flipped() {
    Bytes b = kFrame;
    b[9] ^= 0x01;
    return b;
}

Bytes partialFrame(std::size_t pages) {
    Bytes b(16, 0);
    std::copy(kFrame.begin(), kFrame.begin() + static_cast<std::ptrdiff_t>(4 * pages), b.begin());
    return b;
}

class RingFormatFailure : public RingTagTest, public ::testing::WithParamInterface<FailurePoint> {};

TEST_P(RingFormatFailure, StopsAtTheFailingStep) {
    const FailurePoint& p = GetParam();
    reader.script(p.call, p.result, p.data);
    EXPECT_EQ(format(), 0);
    EXPECT_EQ(trace(), p.trace);
    EXPECT_EQ(framePages(), p.pages4to7);
    EXPECT_EQ(reader.page(1), p.page1);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, RingFormatFailure,
    ::testing::Values(
        FailurePoint{"WritePage4", 0, 0, {}, "W4", partialFrame(0), kUnconfigured},
        FailurePoint{"WritePage6", 2, 0, {}, "W4 W5 W6", partialFrame(2), kUnconfigured},
        FailurePoint{"WritePage7", 3, 0, {}, "W4 W5 W6 W7", partialFrame(3), kUnconfigured},
        FailurePoint{"ReadBack", 4, 0, {}, "W4 W5 W6 W7 RB1", kFrame, kUnconfigured},
        FailurePoint{"ReadBackDiffers", 4, 1, frameWithByte9Flipped(), "W4 W5 W6 W7 RB1", kFrame,
                     kUnconfigured},
        FailurePoint{"ConfigRead", 5, 0, {}, "W4 W5 W6 W7 RB1 RP1", kFrame, kUnconfigured},
        FailurePoint{"ConfigWrite", 6, 0, {}, "W4 W5 W6 W7 RB1 RP1 W1", kFrame, kUnconfigured},
        FailurePoint{"ConfigReread", 7, 0, {}, "W4 W5 W6 W7 RB1 RP1 W1 RP1", kFrame, kConfigured},
        // The page was written, but does not read back as configured.
        FailurePoint{"ConfigRereadNot08", 7, 1, hex("AA 00 BB CC"), "W4 W5 W6 W7 RB1 RP1 W1 RP1",
                     kFrame, kConfigured}),
    [](const ::testing::TestParamInfo<FailurePoint>& info) { return std::string(info.param.name); });

// The race number must give exactly four bytes and the ring number six;
// anything else fails before the reader is touched.
TEST_F(RingTagTest, BadTextsAreRejectedBeforeTheReader) {
    const Texts rows[] = {
        {"112233445566", "0102030405"},    // race number of 10 digits
        {"112233445566", "010203040506"},  // and more
        {"112233445566", "010203"},        // too short
        {"1122334455", "01020304"},        // ring number too short
        {"", ""},
    };
    for (const Texts& t : rows) EXPECT_EQ(format(t.ring, t.race), 0) << t;
    EXPECT_EQ(format(nullptr, "01020304"), 0);
    EXPECT_EQ(format("112233445566", nullptr), 0);
    EXPECT_TRUE(reader.calls().empty());
}

// Extra ring number digits are ignored, separators skipped, a ninth race
// digit dropped as a lone digit: all give the same frame.
TEST(RingTagTexts, LenientTextsGiveTheSameFrame) {
    const Texts rows[] = {
        {"112233445566", "01020304"},
        {"11-22-33-44-55-66", "01 02 03 04"},
        {"1122334455667788", "01020304"},
        {"112233445566", "010203040"},
    };
    for (const Texts& t : rows) {
        test::TestReader reader;
        reader.insertTag(kUid);
        EXPECT_EQ(SKR_FormatCard(reader.handle(), t.ring, t.race), -1) << t;
        EXPECT_EQ(reader.pages(4, 4), kFrame) << t;
    }
}

// ---- Reading back -----------------------------------------------------------------

TEST_F(RingTagTest, FormatThenReadGivesBackWhatWasWritten) {
    const Texts rows[] = {
        {"112233445566", "01020304"},
        {"000000000000", "00000000"},
        {"FFFFFFFFFFFF", "FFFFFFFF"},
        {"8001FE7F55AA", "A55A0FF0"},
    };
    for (const Texts& t : rows) {
        ASSERT_EQ(format(t.ring, t.race), -1) << t;
        expectRead(t);
    }
}

// Reading checks nothing: any 16 bytes are decoded.
TEST_F(RingTagTest, ReadDecodesAnyBlock) {
    struct Row {
        Bytes block;
        Texts texts;
    };
    const Row rows[] = {
        {Bytes(16, 0x00), {"000000000000", "00000000"}},
        {kFrame, {"112233445566", "01020304"}},
        {Bytes(16, 0xFF), {"FFFFFFFFFFFF", "FFFFFFFF"}},
    };
    for (const Row& r : rows) {
        for (SK_ULONG p = 0; p < 4; ++p)
            reader.setPage(4 + p, Bytes(r.block.begin() + 4 * p, r.block.begin() + 4 * p + 4));
        expectRead(r.texts);
    }
    EXPECT_EQ(trace(), "RB1 RB1 RB1");
}

TEST_F(RingTagTest, FailedReadWritesNothing) {
    reader.script(0, 0, kFrame);
    test::Outputs out;
    EXPECT_EQ(SKR_ReadCard(reader.handle(), out.text, out.text2), 0);
    EXPECT_EQ(SKR_ReadCard(reader.handle(), nullptr, out.text2), 0);
    EXPECT_EQ(SKR_ReadCard(reader.handle(), out.text, nullptr), 0);
    EXPECT_TRUE(out.untouched());
    EXPECT_EQ(reader.calls().size(), 1u);
}

// ---- Activation ---------------------------------------------------------------------

TEST_F(RingTagTest, ActivateDeliversTheUidAndDeactivateReleases) {
    char uid[9];
    EXPECT_EQ(SKR_ActiveCard(reader.handle(), uid), -1);
    EXPECT_STREQ(uid, "04A1B2C3");
    EXPECT_EQ(SKR_DeactiveCard(reader.handle()), -1);
    EXPECT_EQ(trace(), "A D");
}

// RingReader's results count on all 32 bits; ours are -1 or 0.
TEST(RingTagResults, ReaderResultsAreNormalised) {
    for (const int result : {1, 0x10000, -1, 0}) {
        test::TestReader reader;
        reader.answer(result, kUid).answer(result);
        test::Outputs out;
        const BOOL16 want = result != 0 ? -1 : 0;
        EXPECT_EQ(SKR_ActiveCard(reader.handle(), out.text), want) << result;
        EXPECT_EQ(SKR_DeactiveCard(reader.handle()), want) << result;
        if (result != 0)
            EXPECT_STREQ(out.text, "04A1B2C3") << result;
        else
            EXPECT_TRUE(out.untouched()) << result;
    }
}

TEST(RingTagResults, NullUidCallsNoReader) {
    test::TestReader reader;
    EXPECT_EQ(SKR_ActiveCard(reader.handle(), nullptr), 0);
    EXPECT_TRUE(reader.calls().empty());
}

}  // namespace
