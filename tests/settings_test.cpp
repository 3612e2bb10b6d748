// Clock settings: the text forms on their own, then the ten exports against
// the test clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "skylark/skylark.h"
#include "clock/setting_texts.h"
#include "support.h"

namespace {

using namespace test;

// ---- Text forms -------------------------------------------------------------

struct PhoneRow {
    const char* name;
    const char* dial;
    const char* wire;
    const char* readBack;  // what the wire bytes read as
};

const PhoneRow kPhoneRows[] = {
    {"AllSymbols", "0571,88*#", "A5 71 D8 8B C0 00 00 00 00 00 00 00 00 00 00 00", "0571,88*#"},
    {"DashEndsTheCode", "12-34", "12 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "12"},
    {"FortyDigitsKeepThirtyTwo", "1234567891234567891234567891234567891234",
     "12 34 56 78 91 23 45 67 89 12 34 56 78 91 23 45", "12345678912345678912345678912345"},
    {"Empty", "", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", ""},
    {"OddLength", "019", "A1 90 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "019"},
};

TEST(PhoneCodeText, ToWireAndBack) {
    for (const PhoneRow& row : kPhoneRows) {
        SCOPED_TRACE(row.name);
        std::uint8_t wire[skylark::kPhoneBytes];
        skylark::phoneToWire(row.dial, wire);
        EXPECT_EQ(Bytes(wire, wire + sizeof wire), hex(row.wire));

        char text[skylark::kPhoneTextSize];
        skylark::phoneFromWire(wire, text);
        EXPECT_STREQ(text, row.readBack);
    }
}

TEST(PhoneCodeText, FromWireOddSymbols) {
    struct Row { const char* wire; const char* text; };
    const Row rows[] = {
        {"0F 12 00 00 00 00 00 00 00 00 00 00 00 00 00 00", ""},   // empty first symbol
        {"1D EF 20 00 00 00 00 00 00 00 00 00 00 00 00 00", "1,,,2"},
        {"10 23 00 00 00 00 00 00 00 00 00 00 00 00 00 00", "1"},   // stops at the first 0
    };
    for (const Row& row : rows) {
        char text[skylark::kPhoneTextSize];
        std::memset(text, 'x', sizeof text);
        skylark::phoneFromWire(hex(row.wire).data(), text);
        EXPECT_STREQ(text, row.text) << row.wire;
        EXPECT_EQ(text[32], '\0');
    }
}

struct CoordRow {
    const char* name;
    const char* text;
    const char* wire;
};

const CoordRow kCoordToWire[] = {
    {"Point", "120.12345678", "01 20 12 34 56 78"},
    {"CommaAtThePoint", "120,12345678", "01 20 12 34 56 78"},
    {"LeadingZeros", "031.05000000", "00 31 05 00 00 00"},
    {"ShortFractionCountsMissingDigitsAsZero", "120.1234567", "01 20 12 34 56 70"},
    {"WholePartOnly", "12", "01 20 00 00 00 00"},
    {"Empty", "", "00 00 00 00 00 00"},
    {"LongerTextReadsTwelvePositions", "120.123456789999", "01 20 12 34 56 78"},
    // A stray character stays in its own run: it drops that byte, not the next.
    {"StrayCharacterInWholePart", "1x0.12345678", "01 00 12 34 56 78"},
    {"LetterAsHundredsDigit", "A20.00000000", "11 20 00 00 00 00"},
};

TEST(CoordinateText, ToWire) {
    for (const CoordRow& row : kCoordToWire) {
        SCOPED_TRACE(row.name);
        std::uint8_t wire[skylark::kCoordBytes];
        std::memset(wire, 0xEE, sizeof wire);
        skylark::coordToWire(row.text, wire);
        EXPECT_EQ(Bytes(wire, wire + sizeof wire), hex(row.wire));
    }
}

TEST(CoordinateText, FromWireAndBack) {
    const CoordRow rows[] = {
        {"Point", "120.12345678", "01 20 12 34 56 78"},
        {"LeadingZeros", "031.05000000", "00 31 05 00 00 00"},
    };
    for (const CoordRow& row : rows) {
        SCOPED_TRACE(row.name);
        char text[skylark::kCoordTextSize];
        skylark::coordFromWire(hex(row.wire).data(), text);
        EXPECT_STREQ(text, row.text);

        std::uint8_t wire[skylark::kCoordBytes];
        skylark::coordToWire(text, wire);
        EXPECT_EQ(Bytes(wire, wire + sizeof wire), hex(row.wire));
    }
}

TEST(CoordinateText, WideFirstByteFillsFourteenCharacters) {
    char text[skylark::kCoordTextSize];
    skylark::coordFromWire(hex("FF 99 99 99 99 99").data(), text);
    EXPECT_STREQ(text, "FF99.99999999");
}

TEST(StaffNoText, ToWire) {
    struct Row { const char* text; const char* wire; };
    const Row rows[] = {
        {"A17", "41 31 37 00 00 00 00 00 00 00 00 00 00 00 00 00"},
        {"ABCDEFGHIJKLMNOPQRST", "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50"},
        {"", "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    };
    for (const Row& row : rows) {
        std::uint8_t wire[skylark::kStaffBytes];
        std::memset(wire, 0xEE, sizeof wire);
        skylark::staffToWire(row.text, wire);
        EXPECT_EQ(Bytes(wire, wire + sizeof wire), hex(row.wire)) << row.text;
    }
}

TEST(StaffNoText, FromWireEndsAtDeliveredLengthAtMostSixteen) {
    struct Row { std::uint32_t delivered; const char* text; };
    const Row rows[] = {{5, "ABCDE"}, {0, ""}, {16, "ABCDEFGHIJKLMNOP"},
                        {17, "ABCDEFGHIJKLMNOP"}, {0xFFFFFFFF, "ABCDEFGHIJKLMNOP"}};
    for (const Row& row : rows) {
        std::vector<char> buffer(skylark::kStaffTextSize, 'x');
        std::memcpy(buffer.data(), "ABCDEFGHIJKLMNOP", 16);
        skylark::staffFromWire(buffer.data(), row.delivered);
        EXPECT_STREQ(buffer.data(), row.text) << row.delivered;
    }
}

TEST(StaffNoText, RoundTrip) {
    std::uint8_t wire[skylark::kStaffBytes];
    skylark::staffToWire("A17", wire);
    char buffer[skylark::kStaffTextSize];
    std::memcpy(buffer, wire, sizeof wire);
    skylark::staffFromWire(buffer, sizeof wire);
    EXPECT_STREQ(buffer, "A17");
}

// ---- Exports against the test clock -----------------------------------------

const char kTwentyChars[] = "ABCDEFGHIJKLMNOPQRST";

constexpr int kSys = CLT_RUN_SYS_CMD;

// Writes: class 1 blocks without a reply, normalised.
const WireRow kWrites[] = {
    {"ChannelNoIndexLow8Bits",
     [](SK_ULONG h, Outputs&) { return SKM_SetChannelNo(h, 0x102, "11223344"); }, kSys, 1,
     "13 02 11 22 33 44", 0},
    {"ChannelNoShortTextZeroFilled", [](SK_ULONG h, Outputs&) { return SKM_SetChannelNo(h, 1, "AB"); },
     kSys, 1, "13 01 AB 00 00 00", 0},
    {"TouchType", [](SK_ULONG h, Outputs&) { return SKM_SET_TOUCH_TYPE(h, 3, "0a0b0c0d"); }, kSys,
     1, "28 03 0A 0B 0C 0D", 0},
    {"SiteInfo",
     [](SK_ULONG h, Outputs&) {
         return SKM_SetSiteInfo(h, "12345678", "120.12345678", "031,05000000");
     },
     kSys, 1, "25 12 34 56 78 01 20 12 34 56 78 00 31 05 00 00 00", 0},
    {"SiteInfoShortTextsZeroFilled",
     [](SK_ULONG h, Outputs&) { return SKM_SetSiteInfo(h, "12", "", "1"); }, kSys, 1,
     "25 12 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00", 0},
    {"PhoneCode", [](SK_ULONG h, Outputs&) { return SKM_SetPhoneCode(h, "0571,88*#"); }, kSys, 1,
     "26 A5 71 D8 8B C0 00 00 00 00 00 00 00 00 00 00 00", 0},
    {"PhoneCodeDashEnds", [](SK_ULONG h, Outputs&) { return SKM_SetPhoneCode(h, "12-34"); }, kSys,
     1, "26 12 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00", 0},
    {"StaffNo", [](SK_ULONG h, Outputs&) { return SKM_SetStaffNo(h, "A17"); }, kSys, 1,
     "27 41 31 37 00 00 00 00 00 00 00 00 00 00 00 00 00", 0},
    {"StaffNoCutToSixteen", [](SK_ULONG h, Outputs&) { return SKM_SetStaffNo(h, kTwentyChars); },
     kSys, 1, "27 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50", 0},
};

class SettingsWrite : public testing::TestWithParam<WireRow> {};
TEST_P(SettingsWrite, SendsItsBlock) { expectWire(GetParam()); }
TEST_P(SettingsWrite, IsNormalised) { expectResults(GetParam(), false); }
INSTANTIATE_TEST_SUITE_P(Settings, SettingsWrite, testing::ValuesIn(kWrites), rowName<WireRow>);

// The texts a read wrote, joined by '|'; those still holding the fill are
// left out.
std::string writtenTexts(const Outputs& o) {
    std::string out;
    const auto add = [&out](const auto& text) {
        if (unwritten(text)) return;
        if (!out.empty()) out += '|';
        out += text;
    };
    add(o.text);
    add(o.text2);
    add(o.text3);
    return out;
}

// One read: the call, the block it sends, its reply and the texts it yields.
struct DecodeRow {
    const char* name;
    Call call;
    const char* params;
    const char* reply;
    const char* texts;
};

const DecodeRow kReads[] = {
    {"ChannelNo", [](SK_ULONG h, Outputs& o) { return SKM_GetChannelNo(h, 0x102, o.text); },
     "13 02", "DE AD BE EF", "DEADBEEF"},
    {"TouchType", [](SK_ULONG h, Outputs& o) { return SKM_GET_TOUCH_TYPE(h, 5, o.text); }, "28 05",
     "00 01 02 03", "00010203"},
    {"SiteInfo",
     [](SK_ULONG h, Outputs& o) { return SKM_GetSiteInfo(h, o.text, o.text2, o.text3); }, "25",
     "12 34 56 78 01 20 12 34 56 78 00 31 05 00 00 00", "12345678|120.12345678|031.05000000"},
    {"PhoneCode", [](SK_ULONG h, Outputs& o) { return SKM_GetPhoneCode(h, o.text); }, "26",
     "A5 71 D8 8B C0 00 00 00 00 00 00 00 00 00 00 00", "0571,88*#"},
};

class SettingsRead : public testing::TestWithParam<DecodeRow> {};

TEST_P(SettingsRead, SendsClassZeroBlockAndDecodes) {
    const DecodeRow& row = GetParam();
    TestClock clock;
    const Bytes reply = hex(row.reply);
    clock.answer(Answer::reply(reply));
    Outputs out;
    EXPECT_EQ(row.call(clock.handle(), out), -1);
    EXPECT_EQ(writtenTexts(out), row.texts);
    EXPECT_TRUE(sentOnly(clock, {kSys, 0, row.params, static_cast<SK_ULONG>(reply.size())}));
}

// A wrong length or failed status leaves every output untouched.
TEST_P(SettingsRead, FailuresLeaveEveryOutput) {
    const DecodeRow& row = GetParam();
    expectReadFailures({row.name, row.call, static_cast<SK_ULONG>(hex(row.reply).size())});
}

void PrintTo(const DecodeRow& row, std::ostream* os) { *os << row.name; }
INSTANTIATE_TEST_SUITE_P(Settings, SettingsRead, testing::ValuesIn(kReads), rowName<DecodeRow>);

// The staff number goes straight into the caller's 17 bytes.
TEST(StaffNoRead, TerminatesAtDeliveredLengthWithinTheBuffer) {
    struct Row { SK_ULONG delivered; const char* text; };
    const Row rows[] = {{5, "ABCDE"}, {16, "ABCDEFGHIJKLMNOP"}, {40, "ABCDEFGHIJKLMNOP"},
                        {0, ""}};
    for (const Row& row : rows) {
        TestClock clock;
        clock.answer(Answer::reply(Bytes(kTwentyChars, kTwentyChars + 16)).delivered(row.delivered));
        std::vector<char> buffer(17, 'x');  // exactly the minimum: ASan sees any overrun
        EXPECT_EQ(SKM_GetStaffNo(clock.handle(), buffer.data()), -1);
        EXPECT_STREQ(buffer.data(), row.text) << row.delivered;
        EXPECT_TRUE(sentOnly(clock, {kSys, 0, "27", 16}));
    }
}

TEST(StaffNoRead, FailureAddsNoTerminator) {
    TestClock clock;
    clock.answer(Answer::status(0));
    Outputs out;
    EXPECT_EQ(SKM_GetStaffNo(clock.handle(), out.text), 0);
    EXPECT_TRUE(out.untouched());
}

// ---- Null pointers -------------------------------------------------------------------

class SettingsNull : public testing::TestWithParam<NullRow> {};
TEST_P(SettingsNull, SendsNothing) { expectNullRefused(GetParam()); }

const NullRow kNulls[] = {
    {"GetChannelNo", [](SK_ULONG h, Outputs&) { return SKM_GetChannelNo(h, 0, nullptr); }},
    {"SetChannelNo", [](SK_ULONG h, Outputs&) { return SKM_SetChannelNo(h, 0, nullptr); }},
    {"GET_TOUCH_TYPE", [](SK_ULONG h, Outputs&) { return SKM_GET_TOUCH_TYPE(h, 0, nullptr); }},
    {"SET_TOUCH_TYPE", [](SK_ULONG h, Outputs&) { return SKM_SET_TOUCH_TYPE(h, 0, nullptr); }},
    {"GetSiteInfo_Code",
     [](SK_ULONG h, Outputs& o) { return SKM_GetSiteInfo(h, nullptr, o.text2, o.text3); }},
    {"GetSiteInfo_Longitude",
     [](SK_ULONG h, Outputs& o) { return SKM_GetSiteInfo(h, o.text, nullptr, o.text3); }},
    {"GetSiteInfo_Latitude",
     [](SK_ULONG h, Outputs& o) { return SKM_GetSiteInfo(h, o.text, o.text2, nullptr); }},
    {"SetSiteInfo_Code", [](SK_ULONG h, Outputs&) { return SKM_SetSiteInfo(h, nullptr, "", ""); }},
    {"SetSiteInfo_Longitude",
     [](SK_ULONG h, Outputs&) { return SKM_SetSiteInfo(h, "", nullptr, ""); }},
    {"SetSiteInfo_Latitude",
     [](SK_ULONG h, Outputs&) { return SKM_SetSiteInfo(h, "", "", nullptr); }},
    {"GetPhoneCode", [](SK_ULONG h, Outputs&) { return SKM_GetPhoneCode(h, nullptr); }},
    {"SetPhoneCode", [](SK_ULONG h, Outputs&) { return SKM_SetPhoneCode(h, nullptr); }},
    {"GetStaffNo", [](SK_ULONG h, Outputs&) { return SKM_GetStaffNo(h, nullptr); }},
    {"SetStaffNo", [](SK_ULONG h, Outputs&) { return SKM_SetStaffNo(h, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(Settings, SettingsNull, testing::ValuesIn(kNulls), rowName<NullRow>);

}  // namespace
