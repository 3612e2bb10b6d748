// The S clock exports against the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "api/skylark.h"
#include "clock_support.h"
#include "support.h"

namespace {

using namespace test;

// Outputs of the S clock reads, preset to the untouched values.
struct Outputs {
    char text[64];
    unsigned char state = 0xEE;
    double time1 = kUntouchedDate;
    double time2 = kUntouchedDate;
    SK_ULONG count1 = kUntouchedCount;
    SK_ULONG count2 = kUntouchedCount;

    Outputs() { std::strcpy(text, kUntouchedText.c_str()); }
    bool untouched() const {
        return text == kUntouchedText && state == 0xEE && time1 == kUntouchedDate &&
               time2 == kUntouchedDate && count1 == kUntouchedCount && count2 == kUntouchedCount;
    }
};

// ---- The command each export sends ------------------------------------------

struct Exchange {
    const char* name;
    std::function<BOOL16(SK_ULONG, Outputs&)> call;
    int function;
    SK_ULONG number;
    const char* params;
    SK_ULONG preset;  // 0: no reply, both reply pointers null
};

// Cases print as their names in test output.
void PrintTo(const Exchange& c, std::ostream* os) { *os << c.name; }

class SClockExchange : public ::testing::TestWithParam<Exchange> {};

TEST_P(SClockExchange, SendsItsCommand) {
    const Exchange& e = GetParam();
    test::TestClock clock;
    Outputs out;
    e.call(clock.handle(), out);
    const auto calls = clock.commands();
    ASSERT_EQ(calls.size(), 1u);
    const CltCall& c = calls[0];
    EXPECT_EQ(c.function, e.function);
    EXPECT_EQ(c.number, e.number);
    EXPECT_EQ(test::TestClock::params(c), hex(e.params));
    EXPECT_EQ(c.replyNull != 0, e.preset == 0);
    EXPECT_EQ(c.replyLenNull != 0, e.preset == 0);
    EXPECT_EQ(c.presetLen, e.preset);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SClockExchange,
    ::testing::Values(
        Exchange{"ReadCard", [](SK_ULONG h, Outputs& o) { return SKS_ReadCard(h, o.text); },
                 CLT_RUN_SYS_CMD, 5, "00", 16},
        Exchange{"QueryState",
                 [](SK_ULONG h, Outputs& o) {
                     return SKS_QueryState(h, &o.state, &o.time1, &o.count1, &o.count2);
                 },
                 CLT_RUN_SYS_CMD, 0, "11", 11},
        Exchange{"GetRaceInfo",
                 [](SK_ULONG h, Outputs& o) { return SKS_GetRaceInfo(h, o.text, &o.time1, &o.time2); },
                 CLT_RUN_SYS_CMD, 0, "12", 14},
        Exchange{"CreateRace",
                 [](SK_ULONG h, Outputs&) {
                     return SKS_CreateRace(h, "0123456789abcdef", kDate, kDate + 1);
                 },
                 CLT_RUN_USER_CMD, 2,
                 "01 23 45 67 89 AB CD EF  10 03 14 09 05 07  10 03 15 09 05 07", 0},
        Exchange{"CreateRaceShortKeyGivesZeros",
                 [](SK_ULONG h, Outputs&) { return SKS_CreateRace(h, "A1B2-C3", kDate, kDate); },
                 CLT_RUN_USER_CMD, 2,
                 "A1 B2 C3 00 00 00 00 00  10 03 14 09 05 07  10 03 14 09 05 07", 0},
        Exchange{"ClearRace", [](SK_ULONG h, Outputs&) { return SKS_ClearRace(h); },
                 CLT_RUN_USER_CMD, 5, "01", 0}),
    [](const ::testing::TestParamInfo<Exchange>& info) { return std::string(info.param.name); });

// The record request: the index (low 16 bits, big-endian), then a fresh
// challenge whose first byte is odd.
TEST(SClockRecord, RequestSendsIndexThenChallenge) {
    for (const SK_ULONG index : {0x0102u, 0xABCD0102u}) {
        test::TestClock clock;
        Outputs out;
        SKS_GetRaceRecord(clock.handle(), index, out.text, &out.time1);
        const auto calls = clock.commands();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].function, CLT_RUN_USER_CMD);
        EXPECT_EQ(calls[0].number, 6u);
        EXPECT_EQ(calls[0].presetLen, 30u);
        const Bytes p = test::TestClock::params(calls[0]);
        ASSERT_EQ(p.size(), 6u);
        EXPECT_EQ(p[0], 0x01) << std::hex << index;
        EXPECT_EQ(p[1], 0x02) << std::hex << index;
    }
}

TEST(SClockRecord, ChallengeIsFreshWithOddFirstByte) {
    constexpr int kRequests = 64;
    test::TestClock clock;
    Outputs out;
    for (int i = 0; i < kRequests; ++i) SKS_GetRaceRecord(clock.handle(), 1, out.text, &out.time1);
    const auto calls = clock.commands();
    ASSERT_EQ(calls.size(), static_cast<std::size_t>(kRequests));
    for (const CltCall& c : calls) EXPECT_EQ(c.params[2] & 1, 1) << "the first challenge byte";
    // Two requests drawing the same 32 bits would be a stuck source.
    EXPECT_NE(std::memcmp(calls[0].params + 2, calls[1].params + 2, 4), 0);
}

// ---- Replies ----------------------------------------------------------------

TEST(SClockReply, ReadCardDeliversTheCardAsHex) {
    test::TestClock clock;
    clock.answer(Answer::reply(hex("00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e ff")));
    Outputs out;
    EXPECT_EQ(SKS_ReadCard(clock.handle(), out.text), -1);
    EXPECT_STREQ(out.text, "000102030405060708090A0B0C0D0EFF");
}

TEST(SClockReply, QueryStateDecodesStateCountersAndTime) {
    test::TestClock clock;
    clock.answer(Answer::reply(hex("5A 01 02 03 04 10 03 14 09 05 07")));
    Outputs out;
    EXPECT_EQ(SKS_QueryState(clock.handle(), &out.state, &out.time1, &out.count1, &out.count2), -1);
    EXPECT_EQ(out.state, 0x5A);
    EXPECT_EQ(out.count1, 258u);
    EXPECT_EQ(out.count2, 772u);
    EXPECT_NEAR(out.time1, kDate, kDateTolerance);
}

TEST(SClockReply, GetRaceInfoGivesKeyFirstTimeAndNoSecondTime) {
    test::TestClock clock;
    clock.answer(Answer::reply(hex("01 23 45 67 89 AB CD EF 10 03 14 09 05 07")));
    Outputs out;
    EXPECT_EQ(SKS_GetRaceInfo(clock.handle(), out.text, &out.time1, &out.time2), -1);
    EXPECT_STREQ(out.text, "0123456789ABCDEF");
    EXPECT_NEAR(out.time1, kDate, kDateTolerance);
    EXPECT_EQ(out.time2, 0.0);
}

TEST(SClockReply, TimeThatIsNoDateGivesZeroAndSuccess) {
    test::TestClock clock;
    clock.answer(Answer::reply(hex("00 00 00 00 00 00 00 00 10 13 14 09 05 07")));
    Outputs out;
    EXPECT_EQ(SKS_GetRaceInfo(clock.handle(), out.text, &out.time1, &out.time2), -1);
    EXPECT_EQ(out.time1, 0.0);
}

// Outputs are written in a fixed order; a host that passes overlapping
// outputs sees the last one written. Each pair below shares storage.
TEST(SClockReply, OutputsAreWrittenInOrder) {
    alignas(8) unsigned char arena[64] = {};
    {
        test::TestClock clock;
        clock.answer(Answer::reply(hex("5A 01 02 03 04 10 03 14 09 05 07")));
        // state, then firstCount over it; secondCount, then stateTime over it.
        auto* state = arena;
        auto* first = reinterpret_cast<SK_ULONG*>(arena);
        auto* second = reinterpret_cast<SK_ULONG*>(arena + 8);
        auto* time = reinterpret_cast<double*>(arena + 8);
        ASSERT_EQ(SKS_QueryState(clock.handle(), state, time, first, second), -1);
        SK_ULONG firstCount;
        double stateTime;
        std::memcpy(&firstCount, arena, sizeof firstCount);
        std::memcpy(&stateTime, arena + 8, sizeof stateTime);
        EXPECT_EQ(firstCount, 258u);
        EXPECT_NEAR(stateTime, kDate, kDateTolerance);
    }
    {
        test::TestClock clock;
        clock.answer(Answer::reply(hex("01 23 45 67 89 AB CD EF 10 03 14 09 05 07")));
        // firstTime, then secondTime over it.
        auto* time = reinterpret_cast<double*>(arena);
        ASSERT_EQ(SKS_GetRaceInfo(clock.handle(), reinterpret_cast<char*>(arena + 16), time, time),
                  -1);
        double value;
        std::memcpy(&value, arena, sizeof value);
        EXPECT_EQ(value, 0.0);
    }
    {
        test::TestClock clock;
        RecordClock record;
        clock.answer(record.answer());
        // recordText, then arrivalTime over its bytes 8..15.
        char* text = reinterpret_cast<char*>(arena);
        auto* time = reinterpret_cast<double*>(arena + 8);
        ASSERT_EQ(SKS_GetRaceRecord(clock.handle(), 1, text, time), -1);
        double value;
        std::memcpy(&value, arena + 8, sizeof value);
        EXPECT_EQ(std::string(text, 8), "00112233");
        EXPECT_NEAR(value, kDate, kDateTolerance);
    }
}

// ---- Results ----------------------------------------------------------------

struct Failure {
    const char* name;
    BOOL16 status;
    int lengthDelta;  // delivered length minus the expected one
};

// Cases print as their names in test output.
void PrintTo(const Failure& c, std::ostream* os) { *os << c.name; }

class SClockFailure : public ::testing::TestWithParam<Failure> {};

// Every read fails on a ClockLink failure and on a reply one byte short or
// long, and writes nothing.
TEST_P(SClockFailure, ReadsFailWithOutputsUntouched) {
    const Bytes bytes = hex("5A 01 02 03 04 10 03 14 09 05 07 08 09 0A 0B 0C 0D");
    struct Read {
        const char* name;
        SK_ULONG expected;
        std::function<BOOL16(SK_ULONG, Outputs&)> call;
    };
    const Read reads[] = {
        {"ReadCard", 16, [](SK_ULONG h, Outputs& o) { return SKS_ReadCard(h, o.text); }},
        {"QueryState", 11,
         [](SK_ULONG h, Outputs& o) {
             return SKS_QueryState(h, &o.state, &o.time1, &o.count1, &o.count2);
         }},
        {"GetRaceInfo", 14,
         [](SK_ULONG h, Outputs& o) { return SKS_GetRaceInfo(h, o.text, &o.time1, &o.time2); }},
    };
    const Failure& f = GetParam();
    for (const Read& read : reads) {
        test::TestClock clock;
        clock.answer(Answer::reply(bytes, f.status)
                         .delivered(static_cast<SK_ULONG>(static_cast<int>(read.expected) + f.lengthDelta)));
        Outputs out;
        EXPECT_EQ(read.call(clock.handle(), out), 0) << read.name;
        EXPECT_TRUE(out.untouched()) << read.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Results, SClockFailure,
                         ::testing::Values(Failure{"ClockLinkFails", 0, 0},
                                           Failure{"OneByteShort", 1, -1},
                                           Failure{"OneByteLong", 1, +1}),
                         [](const ::testing::TestParamInfo<Failure>& info) {
                             return std::string(info.param.name);
                         });

TEST(SClockResult, ClearRacePassesClockLinksStatusThrough) {
    for (const BOOL16 status : {BOOL16(1), BOOL16(0x1234), BOOL16(0)}) {
        test::TestClock clock;
        clock.answer(Answer::status(status));
        EXPECT_EQ(SKS_ClearRace(clock.handle()), status);
    }
}

TEST(SClockResult, CreateRaceIsNormalised) {
    test::TestClock clock;
    clock.answer({Answer::status(1), Answer::status(0)});
    EXPECT_EQ(SKS_CreateRace(clock.handle(), "01", kDate, kDate), -1);
    EXPECT_EQ(SKS_CreateRace(clock.handle(), "01", kDate, kDate), 0);
}

TEST(SClockResult, NullRequiredPointerSendsNothing) {
    test::TestClock clock;
    const SK_ULONG h = clock.handle();
    Outputs o;
    EXPECT_EQ(SKS_ReadCard(h, nullptr), 0);
    EXPECT_EQ(SKS_QueryState(h, nullptr, &o.time1, &o.count1, &o.count2), 0);
    EXPECT_EQ(SKS_QueryState(h, &o.state, nullptr, &o.count1, &o.count2), 0);
    EXPECT_EQ(SKS_QueryState(h, &o.state, &o.time1, nullptr, &o.count2), 0);
    EXPECT_EQ(SKS_QueryState(h, &o.state, &o.time1, &o.count1, nullptr), 0);
    EXPECT_EQ(SKS_GetRaceInfo(h, nullptr, &o.time1, &o.time2), 0);
    EXPECT_EQ(SKS_GetRaceInfo(h, o.text, nullptr, &o.time2), 0);
    EXPECT_EQ(SKS_GetRaceInfo(h, o.text, &o.time1, nullptr), 0);
    EXPECT_EQ(SKS_CreateRace(h, nullptr, kDate, kDate), 0);
    EXPECT_EQ(SKS_GetRaceRecord(h, 1, nullptr, &o.time1), 0);
    EXPECT_EQ(SKS_GetRaceRecord(h, 1, o.text, nullptr), 0);
    EXPECT_TRUE(clock.calls().empty());
    EXPECT_TRUE(o.untouched());
}

// ---- The verified record download --------------------------------------------

TEST(SClockRecord, VerifiedRecordIsDelivered) {
    test::TestClock clock;
    RecordClock record;
    clock.answer(record.answer());
    Outputs out;
    EXPECT_EQ(SKS_GetRaceRecord(clock.handle(), 7, out.text, &out.time1), -1);
    EXPECT_STREQ(out.text, "00112233445566778899AABBCCDDEEFF");
    EXPECT_NEAR(out.time1, kDate, kDateTolerance);
}

TEST(SClockRecord, RejectedRepliesLeaveOutputsUntouched) {
    struct Case {
        const char* name;
        RecordClock clock;
    };
    RecordClock failed, shortReply, longReply, otherChallenge;
    failed.status = 0;
    shortReply.length = 29;
    longReply.length = 31;  // its first 30 bytes carry a valid code: the length alone fails it
    otherChallenge.otherChallenge = 0x02;
    Case cases[] = {
        {"ClockLink fails", failed},
        {"29 bytes", shortReply},
        {"31 bytes", longReply},
        {"code for another challenge", otherChallenge},
    };
    for (Case& c : cases) {
        test::TestClock clock;
        clock.answer(c.clock.answer());
        Outputs out;
        EXPECT_EQ(SKS_GetRaceRecord(clock.handle(), 7, out.text, &out.time1), 0) << c.name;
        EXPECT_TRUE(out.untouched()) << c.name;
    }
}

// The code covers every byte of the record and its time, and is compared in
// full: any one flipped bit of the 30 reply bytes fails the download.
TEST(SClockRecord, AnyFlippedBitFailsVerification) {
    test::TestClock clock;
    std::vector<RecordClock> records(30 * 8);
    for (std::size_t bit = 0; bit < records.size(); ++bit) {
        records[bit].flipBit = static_cast<int>(bit);
        clock.answer(records[bit].answer());
    }
    for (std::size_t bit = 0; bit < records.size(); ++bit) {
        Outputs out;
        EXPECT_EQ(SKS_GetRaceRecord(clock.handle(), 7, out.text, &out.time1), 0) << "bit " << bit;
        EXPECT_TRUE(out.untouched()) << "bit " << bit;
    }
}

}  // namespace
