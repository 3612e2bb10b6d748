// Hex and BCD date codecs, through the exports. The date tables run in both
// the Linux and the Windows build: on Windows the conversions are oleaut32's,
// on Linux our own, so the same expectations passing on both shows they
// agree bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "skylark/skylark.h"
#include "support.h"

namespace {

using test::Bytes;
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

struct DateCase {
    const char* name;
    double date;
    const char* bcd;
};

class DateToBcdTest : public testing::TestWithParam<DateCase> {};

TEST_P(DateToBcdTest, PacksWholeSeconds) {
    unsigned char bcd[6];
    DateToBcd(bcd, GetParam().date);
    EXPECT_EQ(Bytes(bcd, bcd + 6), hex(GetParam().bcd));
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Codec, DateToBcdTest,
    testing::Values(
        DateCase{"Ordinary", 40251.37855324074, "10 03 14 09 05 07"},
        DateCase{"Year1999", 36161.0, "99 01 01 00 00 00"},
        DateCase{"DayZero", 0.0, "99 12 30 00 00 00"},
        DateCase{"NegativeTimeCountsForward", -1.25, "99 12 29 06 00 00"},
        DateCase{"NegativeHalfDay", -0.5, "99 12 30 12 00 00"},
        DateCase{"NegativeAlmostTwoDays", -1.999999, "99 12 30 00 00 00"},
        DateCase{"NegativeOneSecond", -1.0000057870370, "99 12 29 00 00 01"},
        DateCase{"HalfSecond", 40251.000005787037, "10 03 14 00 00 01"},
        DateCase{"HalfSecondBelow", 40251.0000057870366, "10 03 14 00 00 01"},
        DateCase{"LastHalfSecondCarriesToNextDay", 40251.999994212963, "10 03 15 00 00 00"},
        DateCase{"LastHalfSecondBelow", 40251.99999421296, "10 03 15 00 00 00"},
        DateCase{"CarryIntoYear10000", 2958465.999995, "00 01 01 00 00 00"},
        DateCase{"LastSecondOf9999", 2958465.99999, "99 12 31 23 59 59"},
        DateCase{"NoonOfLastDay", 2958465.5, "99 12 31 12 00 00"},
        DateCase{"FirstDay", -657434.0, "00 01 01 00 00 00"},
        DateCase{"FirstDayEvening", -657434.9, "00 01 01 21 36 00"},
        DateCase{"FirstDayCarry", -657434.99999999, "00 01 02 00 00 00"},
        DateCase{"BelowRange", -657435.0, "95 95 95 95 95 95"},
        DateCase{"AboveRange", 2958466.0, "95 95 95 95 95 95"},
        DateCase{"LeapDay2000", 36585.5, "00 02 29 12 00 00"},
        DateCase{"LeapDay2024", 45351.75, "24 02 29 18 00 00"},
        DateCase{"Feb27Of1900", 59.0, "00 02 27 00 00 00"},
        DateCase{"Feb28Of1900", 60.0, "00 02 28 00 00 00"},
        DateCase{"Mar1Of1900NoLeapDay", 61.0, "00 03 01 00 00 00"},
        DateCase{"Huge", 1e300, "95 95 95 95 95 95"},
        DateCase{"HugeNegative", -1e300, "95 95 95 95 95 95"},
        DateCase{"NaN", kNaN, "95 95 95 95 95 95"},
        DateCase{"Infinity", kInf, "95 95 95 95 95 95"},
        DateCase{"NegativeInfinity", -kInf, "95 95 95 95 95 95"}),
    [](const testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

class BcdToDateTest : public testing::TestWithParam<DateCase> {};

TEST_P(BcdToDateTest, ReadsYears2000To2099OrZero) {
    const Bytes bcd = hex(GetParam().bcd);
    // Bit for bit: the platform adds days, hours, minutes and seconds in turn.
    EXPECT_EQ(BcdToDate(bcd.data()), GetParam().date);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, BcdToDateTest,
    testing::Values(
        DateCase{"Ordinary", 0x1.3a76c1d1baf98p+15, "10 03 14 09 05 07"},
        DateCase{"Year99Is2099", 0x1.1d5affff3dd1cp+16, "99 12 31 23 59 59"},
        DateCase{"Year00Is2000", 36526.0, "00 01 01 00 00 00"},
        DateCase{"NibbleAboveNineCounts", 43831.0, "1A 01 01 00 00 00"},
        DateCase{"LeapDay2012", 40968.5, "12 02 29 12 00 00"},
        DateCase{"LeapDay2000", 36585.0, "00 02 29 00 00 00"},
        DateCase{"LargestYearByte", 0x1.7b84ffff3dd1cp+16, "FF 12 31 23 59 59"},
        DateCase{"Month13", 0.0, "10 13 01 00 00 00"},
        DateCase{"Month0", 0.0, "10 00 01 00 00 00"},
        DateCase{"Feb29NotLeap", 0.0, "10 02 29 00 00 00"},
        DateCase{"Feb29Of2100", 0.0, "A0 02 29 00 00 00"},
        DateCase{"April31", 0.0, "10 04 31 00 00 00"},
        DateCase{"Day0", 0.0, "10 01 00 00 00 00"},
        DateCase{"Hour24", 0.0, "10 01 01 24 00 00"},
        DateCase{"Minute60", 0.0, "10 01 01 00 60 00"},
        DateCase{"Second60", 0.0, "10 01 01 00 00 60"},
        DateCase{"Unconvertible", 0.0, "95 95 95 95 95 95"}),
    [](const testing::TestParamInfo<DateCase>& info) { return std::string(info.param.name); });

TEST(Codecs, DateRoundTripsThroughBcd) {
    unsigned char bcd[6];
    DateToBcd(bcd, 40251.37855324074);
    unsigned char again[6];
    DateToBcd(again, BcdToDate(bcd));
    EXPECT_EQ(Bytes(again, again + 6), Bytes(bcd, bcd + 6));
}

}  // namespace
