// Event log: the maximum log number and one entry of 7 to 32 bytes, against
// the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "skylark/skylark.h"
#include "support.h"

namespace {

using namespace test;

TEST(MaxLogNo, ReadsFourBytesBigEndian) {
    TestClock clock;
    clock.answer(Answer::reply(hex("00 00 01 00")));
    SK_ULONG maxLogNo = 0;
    EXPECT_EQ(SKM_GetMaxLogNo(clock.handle(), &maxLogNo), -1);
    EXPECT_EQ(maxLogNo, 256u);
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "23", 4}));
}

// Other lengths or a failure leave every output untouched.
TEST(MaxLogNo, OtherLengthOrFailureLeavesOutputUntouched) {
    expectReadFailures({"GetMaxLogNo", [](SK_ULONG h, Outputs& o) { return SKM_GetMaxLogNo(h, &o.n1); }, 4});
}

// Type 0x5C, 2024-03-15 12:30:45, then the data bytes 01 02 03 ...
Bytes logReply(std::size_t n) {
    Bytes r = hex("5C 24 03 15 12 30 45");
    for (std::uint8_t i = 1; r.size() < n; ++i) r.push_back(i);
    r.resize(n);
    return r;
}

const double kLogTime = 45366.0 + 45045.0 / 86400.0;

struct LogRow {
    const char* name;
    Answer answer;
    BOOL16 result;
    std::size_t digits;  // hex digits of the data text on success
};

const LogRow kLogRows[] = {
    {"SixBytesRejected", Answer::reply(logReply(6)), 0, 0},
    {"SevenBytesEmptyData", Answer::reply(logReply(7)), -1, 0},
    {"EightBytes", Answer::reply(logReply(8)), -1, 2},
    {"ThirtyTwoBytesFiftyDigits", Answer::reply(logReply(32)), -1, 50},
    // A longer reported length never reads past the 32 bytes asked for.
    {"ReportedLengthAboveThirtyTwoCapped", Answer::reply(logReply(32)).delivered(500), -1,
     50},
    {"FailedStatus", Answer::reply(logReply(32), 0), 0, 0},
};

TEST(LogInfo, ReplyLengths) {
    const std::string allData = "0102030405060708090A0B0C0D0E0F10111213141516171819";
    for (const LogRow& row : kLogRows) {
        SCOPED_TRACE(row.name);
        TestClock clock;
        clock.answer(row.answer);
        Outputs out;
        EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 258, &out.byte, &out.time1, out.text), row.result);
        if (row.result != 0) {
            EXPECT_EQ(out.byte, 0x5C);
            EXPECT_NEAR(out.time1, kLogTime, 1e-9);
            EXPECT_EQ(std::string(out.text), allData.substr(0, row.digits));
        } else {
            EXPECT_TRUE(out.untouched());
        }
        EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "24 00 00 01 02", 32}));
    }
}

TEST(LogInfo, TimeThatIsNoDateReadsAsZero) {
    TestClock clock;
    clock.answer(Answer::reply(hex("01 24 13 40 25 61 61")));
    unsigned char type = 0;
    double time = -1.0;
    char text[51];
    EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 0xA1B2C3D4, &type, &time, text), -1);
    EXPECT_EQ(time, 0.0);
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "24 A1 B2 C3 D4", 32}));
}

class LogNull : public testing::TestWithParam<NullRow> {};
TEST_P(LogNull, SendsNothing) { expectNullRefused(GetParam()); }

const NullRow kLogNulls[] = {
    {"GetMaxLogNo", [](SK_ULONG h, Outputs&) { return SKM_GetMaxLogNo(h, nullptr); }},
    {"GetLogInfo_Type",
     [](SK_ULONG h, Outputs& o) { return SKM_GetLogInfo(h, 1, nullptr, &o.time1, o.text); }},
    {"GetLogInfo_Time",
     [](SK_ULONG h, Outputs& o) { return SKM_GetLogInfo(h, 1, &o.byte, nullptr, o.text); }},
    {"GetLogInfo_Data",
     [](SK_ULONG h, Outputs& o) { return SKM_GetLogInfo(h, 1, &o.byte, &o.time1, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(Log, LogNull, testing::ValuesIn(kLogNulls), rowName<NullRow>);

}  // namespace
