// Hex and BCD date codecs, through the exports. The date tables hold the
// answers of the Windows conversions (oleaut32) and run in every build;
// fp_mode_test.cpp runs them again in each floating-point mode a host may
// set.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "date_cases.h"
#include "skylark/skylark.h"
#include "support.h"

namespace {

using test::Bytes;
using test::DateCase;
using test::hex;

std::string toHex(const Bytes& data) {
    std::string text(2 * data.size() + 1, '?');
    BinToHex(data.data(), static_cast<SK_ULONG>(data.size()), text.data());
    return text;
}

TEST(BinToHex, WritesUpperCaseDigitsAndNul) {
    EXPECT_EQ(toHex(hex("00 AB 9F")), std::string("00AB9F") + '\0');
    const unsigned char none = 0x12;
    char text[3] = "??";
    BinToHex(&none, 0, text);
    EXPECT_EQ(std::string(text, 3), std::string("\0?\0", 3));
    EXPECT_EQ(toHex(hex("01 23 45 67 89 ab cd ef")), std::string("0123456789ABCDEF") + '\0');
}

struct HexCase {
    const char* name;
    const char* text;
    SK_ULONG capacity;
    const char* bytes;  // expected bytes written
};

class HexToBinTest : public testing::TestWithParam<HexCase> {};

TEST_P(HexToBinTest, DecodesDigitPairsAndSkipsTheRest) {
    const HexCase& c = GetParam();
    unsigned char out[16];
    std::memset(out, 0xEE, sizeof out);
    const Bytes expected = hex(c.bytes);
    EXPECT_EQ(HexToBin(c.text, out, c.capacity), expected.size());
    EXPECT_EQ(Bytes(out, out + expected.size()), expected);
    for (std::size_t i = expected.size(); i < sizeof out; ++i) EXPECT_EQ(out[i], 0xEE) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Codec, HexToBinTest,
    testing::Values(HexCase{"MixedCaseWithSeparators", "ab-CD 12", 8, "AB CD 12"},
                    HexCase{"LoneLastDigitDropped", "ABC", 8, "AB"},
                    HexCase{"PrefixPairsItsZero", "0x1F", 8, "01"},
                    HexCase{"CapacityStopsWriting", "A1B2C3", 2, "A1 B2"},
                    HexCase{"ZeroCapacity", "A1B2", 0, ""},
                    HexCase{"Empty", "", 8, ""},
                    HexCase{"HighBytesSkipped", "\x80" "1\xff" "2", 8, "12"}),
    [](const testing::TestParamInfo<HexCase>& info) { return std::string(info.param.name); });

TEST(Codecs, NullPointersWriteNothing) {
    unsigned char bytes[6];
    std::memset(bytes, 0xEE, sizeof bytes);
    char text[4] = "xyz";
    BinToHex(nullptr, 1, text);
    BinToHex(bytes, 1, nullptr);
    EXPECT_STREQ(text, "xyz");
    EXPECT_EQ(HexToBin(nullptr, bytes, 6), 0u);
    EXPECT_EQ(HexToBin("12", nullptr, 6), 0u);
    DateToBcd(nullptr, 40251.0);
    EXPECT_EQ(BcdToDate(nullptr), 0.0);
    EXPECT_EQ(bytes[0], 0xEE);
}

class DateToBcdTest : public testing::TestWithParam<DateCase> {};

TEST_P(DateToBcdTest, PacksWholeSeconds) {
    unsigned char bcd[6];
    DateToBcd(bcd, GetParam().date);
    EXPECT_EQ(Bytes(bcd, bcd + 6), hex(GetParam().bcd));
}

INSTANTIATE_TEST_SUITE_P(
    Codec, DateToBcdTest, testing::ValuesIn(test::kDateToBcdCases),
    [](const testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

class BcdToDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(BcdToDateTest, ReadsYears2000To2099OrZero) {
    const Bytes bcd = hex(GetParam().bcd);
    // Bit for bit: the platform adds days, hours, minutes and seconds in turn.
    EXPECT_EQ(BcdToDate(bcd.data()), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, BcdToDateTest, testing::ValuesIn(test::kBcdToDateCases),
    [](const testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

TEST(Codecs, DateRoundTripsThroughBcd) {
    unsigned char bcd[6];
    DateToBcd(bcd, 40251.37855324074);
    unsigned char again[6];
    DateToBcd(again, BcdToDate(bcd));
    EXPECT_EQ(Bytes(again, again + 6), Bytes(bcd, bcd + 6));
}

}  // namespace
