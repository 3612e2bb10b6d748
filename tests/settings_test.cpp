// Clock settings: the text forms on their own, then the ten exports against
// the test clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "api/skylark.h"
#include "clock/setting_texts.h"
#include "clock_rows.h"
#include "support.h"

namespace {

using test::Bytes;
using test::hex;

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

struct WriteRow {
    const char* name;
    std::function<BOOL16(SK_ULONG)> call;
    const char* params;
};

const WriteRow kWrites[] = {
    {"ChannelNoIndexLow8Bits", [](SK_ULONG h) { return SKM_SetChannelNo(h, 0x102, "11223344"); },
     "13 02 11 22 33 44"},
    {"ChannelNoShortTextZeroFilled", [](SK_ULONG h) { return SKM_SetChannelNo(h, 1, "AB"); },
     "13 01 AB 00 00 00"},
    {"TouchType", [](SK_ULONG h) { return SKM_SET_TOUCH_TYPE(h, 3, "0a0b0c0d"); },
     "28 03 0A 0B 0C 0D"},
    {"SiteInfo",
     [](SK_ULONG h) { return SKM_SetSiteInfo(h, "12345678", "120.12345678", "031,05000000"); },
     "25 12 34 56 78 01 20 12 34 56 78 00 31 05 00 00 00"},
    {"SiteInfoShortTextsZeroFilled", [](SK_ULONG h) { return SKM_SetSiteInfo(h, "12", "", "1"); },
     "25 12 00 00 00 00 00 00 00 00 00 01 00 00 00 00 00"},
    {"PhoneCode", [](SK_ULONG h) { return SKM_SetPhoneCode(h, "0571,88*#"); },
     "26 A5 71 D8 8B C0 00 00 00 00 00 00 00 00 00 00 00"},
    {"PhoneCodeDashEnds", [](SK_ULONG h) { return SKM_SetPhoneCode(h, "12-34"); },
     "26 12 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"StaffNo", [](SK_ULONG h) { return SKM_SetStaffNo(h, "A17"); },
     "27 41 31 37 00 00 00 00 00 00 00 00 00 00 00 00 00"},
    {"StaffNoCutToSixteen", [](SK_ULONG h) { return SKM_SetStaffNo(h, kTwentyChars); },
     "27 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50"},
};

TEST(SettingsWrite, SendsClassOneBlockWithoutReply) {
    for (const WriteRow& row : kWrites) {
        SCOPED_TRACE(row.name);
        test::TestClock clock;
        clock.answer(test::Answer::status(7));
        EXPECT_EQ(row.call(clock.handle()), -1);
        EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 1, row.params, 0}));
    }
}

TEST(SettingsWrite, FailedStatusGivesZero) {
    test::TestClock clock;
    clock.answer(test::Answer::status(0));
    EXPECT_EQ(SKM_SetStaffNo(clock.handle(), "A17"), 0);
}

// One read: the call, the block it sends, its reply and what it yields.
struct ReadRow {
    const char* name;
    // Runs the export on buffers filled with '~' and gives their texts,
    // joined by '|'.
    std::function<BOOL16(SK_ULONG, std::string&)> call;
    const char* params;
    SK_ULONG preset;
    const char* reply;
    const char* outputs;
    const char* untouched;  // the outputs when nothing was written
};

// A buffer's text, or "~" while it still holds nothing but the fill.
template <std::size_t N>
std::string textOf(const char (&buf)[N]) {
    if (std::string(buf, N) == std::string(N, '~')) return "~";
    return std::string(buf, std::find(buf, buf + N, '\0'));
}

// A channel number or touch type read at index.
template <BOOL16(SKAPI_CALL* Read)(SK_ULONG, SK_ULONG, char*), SK_ULONG index>
BOOL16 readIndexed(SK_ULONG h, std::string& out) {
    char text[9];
    std::memset(text, '~', sizeof text);
    const BOOL16 r = Read(h, index, text);
    out = textOf(text);
    return r;
}

BOOL16 readSite(SK_ULONG h, std::string& out) {
    char code[9], c1[14], c2[14];
    std::memset(code, '~', sizeof code);
    std::memset(c1, '~', sizeof c1);
    std::memset(c2, '~', sizeof c2);
    const BOOL16 r = SKM_GetSiteInfo(h, code, c1, c2);
    out = textOf(code) + "|" + textOf(c1) + "|" + textOf(c2);
    return r;
}

BOOL16 readPhone(SK_ULONG h, std::string& out) {
    char text[33];
    std::memset(text, '~', sizeof text);
    const BOOL16 r = SKM_GetPhoneCode(h, text);
    out = textOf(text);
    return r;
}

const ReadRow kReads[] = {
    {"ChannelNo", readIndexed<SKM_GetChannelNo, 0x102>, "13 02", 4, "DE AD BE EF", "DEADBEEF", "~"},
    {"TouchType", readIndexed<SKM_GET_TOUCH_TYPE, 5>, "28 05", 4, "00 01 02 03", "00010203", "~"},
    {"SiteInfo", readSite, "25", 16, "12 34 56 78 01 20 12 34 56 78 00 31 05 00 00 00",
     "12345678|120.12345678|031.05000000", "~|~|~"},
    {"PhoneCode", readPhone, "26", 16, "A5 71 D8 8B C0 00 00 00 00 00 00 00 00 00 00 00",
     "0571,88*#", "~"},
};

TEST(SettingsRead, SendsClassZeroBlockAndDecodes) {
    for (const ReadRow& row : kReads) {
        SCOPED_TRACE(row.name);
        test::TestClock clock;
        clock.answer(test::Answer::reply(hex(row.reply)));
        std::string out;
        EXPECT_EQ(row.call(clock.handle(), out), -1);
        EXPECT_EQ(out, row.outputs);
        EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, row.params, row.preset}));
    }
}

TEST(SettingsRead, WrongLengthOrFailedStatusLeavesOutputsUntouched) {
    for (const ReadRow& row : kReads) {
        const Bytes full = hex(row.reply);
        const Bytes shortReply(full.begin(), full.end() - 1);
        Bytes longReply = full;
        longReply.push_back(0);
        const test::Answer answers[] = {test::Answer::reply(shortReply),
                                        test::Answer::reply(longReply),
                                        test::Answer::reply(full, 0)};
        for (const test::Answer& a : answers) {
            SCOPED_TRACE(row.name);
            test::TestClock clock;
            clock.answer(a);
            std::string out;
            EXPECT_EQ(row.call(clock.handle(), out), 0);
            EXPECT_EQ(out, row.untouched);
        }
    }
}

// The staff number goes straight into the caller's 17 bytes.
TEST(StaffNoRead, TerminatesAtDeliveredLengthWithinTheBuffer) {
    struct Row { SK_ULONG delivered; const char* text; };
    const Row rows[] = {{5, "ABCDE"}, {16, "ABCDEFGHIJKLMNOP"}, {40, "ABCDEFGHIJKLMNOP"},
                        {0, ""}};
    for (const Row& row : rows) {
        test::TestClock clock;
        clock.answer(test::Answer::reply(Bytes(kTwentyChars, kTwentyChars + 16)).delivered(row.delivered));
        std::vector<char> buffer(17, 'x');  // exactly the minimum: ASan sees any overrun
        EXPECT_EQ(SKM_GetStaffNo(clock.handle(), buffer.data()), -1);
        EXPECT_STREQ(buffer.data(), row.text) << row.delivered;
        EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "27", 16}));
    }
}

TEST(StaffNoRead, FailureAddsNoTerminator) {
    test::TestClock clock;
    clock.answer(test::Answer::status(0));
    std::vector<char> buffer(17, 'x');
    EXPECT_EQ(SKM_GetStaffNo(clock.handle(), buffer.data()), 0);
    EXPECT_EQ(std::string(buffer.begin(), buffer.end()), std::string(17, 'x'));
}

TEST(SettingsNullPointer, ReturnsZeroWithoutCommand) {
    char buf[40];
    const std::function<BOOL16(SK_ULONG)> calls[] = {
        [](SK_ULONG h) { return SKM_GetChannelNo(h, 0, nullptr); },
        [](SK_ULONG h) { return SKM_SetChannelNo(h, 0, nullptr); },
        [](SK_ULONG h) { return SKM_GET_TOUCH_TYPE(h, 0, nullptr); },
        [](SK_ULONG h) { return SKM_SET_TOUCH_TYPE(h, 0, nullptr); },
        [&](SK_ULONG h) { return SKM_GetSiteInfo(h, nullptr, buf, buf + 14); },
        [&](SK_ULONG h) { return SKM_GetSiteInfo(h, buf, nullptr, buf + 14); },
        [&](SK_ULONG h) { return SKM_GetSiteInfo(h, buf, buf + 14, nullptr); },
        [](SK_ULONG h) { return SKM_SetSiteInfo(h, nullptr, "", ""); },
        [](SK_ULONG h) { return SKM_SetSiteInfo(h, "", nullptr, ""); },
        [](SK_ULONG h) { return SKM_SetSiteInfo(h, "", "", nullptr); },
        [](SK_ULONG h) { return SKM_GetPhoneCode(h, nullptr); },
        [](SK_ULONG h) { return SKM_SetPhoneCode(h, nullptr); },
        [](SK_ULONG h) { return SKM_GetStaffNo(h, nullptr); },
        [](SK_ULONG h) { return SKM_SetStaffNo(h, nullptr); },
    };
    for (std::size_t i = 0; i < sizeof calls / sizeof calls[0]; ++i) {
        test::TestClock clock;
        std::memset(buf, 'x', sizeof buf);
        EXPECT_EQ(calls[i](clock.handle()), 0) << i;
        EXPECT_TRUE(clock.calls().empty()) << i;
        EXPECT_EQ(std::string(buf, sizeof buf), std::string(sizeof buf, 'x')) << i;
    }
}

}  // namespace
