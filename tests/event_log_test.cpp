// Event log: the maximum log number and one entry of 7 to 32 bytes, against
// the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/skylark.h"
#include "clock_rows.h"
#include "support.h"

namespace {

using test::Bytes;
using test::hex;

TEST(MaxLogNo, ReadsFourBytesBigEndian) {
    test::TestClock clock;
    clock.answer(test::Answer::reply(hex("00 00 01 00")));
    SK_ULONG maxLogNo = 0;
    EXPECT_EQ(SKM_GetMaxLogNo(clock.handle(), &maxLogNo), -1);
    EXPECT_EQ(maxLogNo, 256u);
    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "23", 4}));
}

TEST(MaxLogNo, OtherLengthOrFailureLeavesOutputUntouched) {
    const test::Answer answers[] = {test::Answer::reply(hex("00 00 01")),
                                    test::Answer::reply(hex("00 00 01 00 00")),
                                    test::Answer::reply(hex("00 00 01 00"), 0)};
    for (const test::Answer& a : answers) {
        test::TestClock clock;
        clock.answer(a);
        SK_ULONG maxLogNo = 42;
        EXPECT_EQ(SKM_GetMaxLogNo(clock.handle(), &maxLogNo), 0);
        EXPECT_EQ(maxLogNo, 42u);
    }
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
    test::Answer answer;
    BOOL16 result;
    std::size_t digits;  // hex digits of the data text on success
};

const LogRow kLogRows[] = {
    {"SixBytesRejected", test::Answer::reply(logReply(6)), 0, 0},
    {"SevenBytesEmptyData", test::Answer::reply(logReply(7)), -1, 0},
    {"EightBytes", test::Answer::reply(logReply(8)), -1, 2},
    {"ThirtyTwoBytesFiftyDigits", test::Answer::reply(logReply(32)), -1, 50},
    // A longer reported length never reads past the 32 bytes asked for.
    {"ReportedLengthAboveThirtyTwoCapped", test::Answer::reply(logReply(32)).delivered(500), -1,
     50},
    {"FailedStatus", test::Answer::reply(logReply(32), 0), 0, 0},
};

TEST(LogInfo, ReplyLengths) {
    const std::string allData = "0102030405060708090A0B0C0D0E0F10111213141516171819";
    for (const LogRow& row : kLogRows) {
        SCOPED_TRACE(row.name);
        test::TestClock clock;
        clock.answer(row.answer);
        unsigned char type = 0xEE;
        double time = -1.0;
        char text[51];
        std::memset(text, '~', sizeof text);
        EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 258, &type, &time, text), row.result);
        if (row.result != 0) {
            EXPECT_EQ(type, 0x5C);
            EXPECT_NEAR(time, kLogTime, 1e-9);
            EXPECT_EQ(std::string(text), allData.substr(0, row.digits));
        } else {
            EXPECT_EQ(type, 0xEE);
            EXPECT_EQ(time, -1.0);
            EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, '~'));
        }
        EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "24 00 00 01 02", 32}));
    }
}

TEST(LogInfo, TimeThatIsNoDateReadsAsZero) {
    test::TestClock clock;
    clock.answer(test::Answer::reply(hex("01 24 13 40 25 61 61")));
    unsigned char type = 0;
    double time = -1.0;
    char text[51];
    EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 0xA1B2C3D4, &type, &time, text), -1);
    EXPECT_EQ(time, 0.0);
    EXPECT_STREQ(text, "");
    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "24 A1 B2 C3 D4", 32}));
}

TEST(LogNullPointer, ReturnsZeroWithoutCommand) {
    unsigned char type = 0;
    double time = 0;
    char text[51];
    std::memset(text, '~', sizeof text);
    test::TestClock clock;
    EXPECT_EQ(SKM_GetMaxLogNo(clock.handle(), nullptr), 0);
    EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 1, nullptr, &time, text), 0);
    EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 1, &type, nullptr, text), 0);
    EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 1, &type, &time, nullptr), 0);
    EXPECT_TRUE(clock.calls().empty());
    EXPECT_EQ(type, 0);
    EXPECT_EQ(time, 0.0);
    EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, '~'));
}

}  // namespace
