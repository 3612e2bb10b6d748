// The S clock exports against the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "skylark/skylark.h"
#include "support.h"

namespace {

using namespace test;

// ---- The command each export sends ------------------------------------------

class SClockWire : public ::testing::TestWithParam<WireRow> {};
TEST_P(SClockWire, SendsItsCommand) { expectWire(GetParam()); }

const WireRow kSClockWire[] = {
    {"ReadCard", [](SK_ULONG h, Outputs& o) { return SKS_ReadCard(h, o.text); }, CLT_RUN_SYS_CMD,
     5, "00", 16},
    {"QueryState",
     [](SK_ULONG h, Outputs& o) { return SKS_QueryState(h, &o.byte, &o.time1, &o.n1, &o.n2); },
     CLT_RUN_SYS_CMD, 0, "11", 11},
    {"GetRaceInfo",
     [](SK_ULONG h, Outputs& o) { return SKS_GetRaceInfo(h, o.text, &o.time1, &o.time2); },
     CLT_RUN_SYS_CMD, 0, "12", 14},
    {"CreateRace",
     [](SK_ULONG h, Outputs&) { return SKS_CreateRace(h, "0123456789abcdef", kDate, kDate + 1); },
     CLT_RUN_USER_CMD, 2, "01 23 45 67 89 AB CD EF  10 03 14 09 05 07  10 03 15 09 05 07", 0},
    {"CreateRaceShortKeyGivesZeros",
     [](SK_ULONG h, Outputs&) { return SKS_CreateRace(h, "A1B2-C3", kDate, kDate); },
     CLT_RUN_USER_CMD, 2, "A1 B2 C3 00 00 00 00 00  10 03 14 09 05 07  10 03 14 09 05 07", 0},
    {"ClearRace", [](SK_ULONG h, Outputs&) { return SKS_ClearRace(h); }, CLT_RUN_USER_CMD, 5,
     "01", 0},
};
INSTANTIATE_TEST_SUITE_P(Commands, SClockWire, ::testing::ValuesIn(kSClockWire),
                         rowName<WireRow>);

// The record request: the index (low 16 bits, big-endian), then the fresh
// challenge the clock answers.
TEST(SClockRecord, RequestSendsIndexThenChallenge) {
    for (const SK_ULONG index : {0x0102u, 0xABCD0102u}) {
        SCOPED_TRACE(index);
        TestClock clock;
        RecordClock record;
        clock.answer(record.answer());
        Outputs out;
        SKS_GetRaceRecord(clock.handle(), index, out.text, &out.time1);
        Bytes params = hex("01 02");
        params.insert(params.end(), record.challenge, record.challenge + 4);
        EXPECT_TRUE(sentOnly(clock, {CLT_RUN_USER_CMD, 6, params, 30}));
    }
}

TEST(SClockRecord, ChallengeIsFreshWithOddFirstByte) {
    constexpr int kRequests = 64;
    TestClock clock;
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
    TestClock clock;
    clock.answer(Answer::reply(hex("00 01 02 03 04 05 06 07 08 09 0a 0b 0c 0d 0e ff")));
    Outputs out;
    EXPECT_EQ(SKS_ReadCard(clock.handle(), out.text), -1);
    EXPECT_STREQ(out.text, "000102030405060708090A0B0C0D0EFF");
}

TEST(SClockReply, QueryStateDecodesStateCountersAndTime) {
    TestClock clock;
    clock.answer(Answer::reply(hex("5A 01 02 03 04 10 03 14 09 05 07")));
    Outputs out;
    EXPECT_EQ(SKS_QueryState(clock.handle(), &out.byte, &out.time1, &out.n1, &out.n2), -1);
    EXPECT_EQ(out.byte, 0x5A);
    EXPECT_EQ(out.n1, 258u);
    EXPECT_EQ(out.n2, 772u);
    EXPECT_NEAR(out.time1, kDate, kDateTolerance);
}

TEST(SClockReply, GetRaceInfoGivesKeyFirstTimeAndNoSecondTime) {
    TestClock clock;
    clock.answer(Answer::reply(hex("01 23 45 67 89 AB CD EF 10 03 14 09 05 07")));
    Outputs out;
    EXPECT_EQ(SKS_GetRaceInfo(clock.handle(), out.text, &out.time1, &out.time2), -1);
    EXPECT_STREQ(out.text, "0123456789ABCDEF");
    EXPECT_NEAR(out.time1, kDate, kDateTolerance);
    EXPECT_EQ(out.time2, 0.0);
}

TEST(SClockReply, TimeThatIsNoDateGivesZeroAndSuccess) {
    TestClock clock;
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
        TestClock clock;
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
        TestClock clock;
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
        TestClock clock;
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

// Every read fails on a ClockLink failure and on a reply one byte short or
// long, and writes nothing.
class SClockReadFailure : public ::testing::TestWithParam<ReadRow> {};
TEST_P(SClockReadFailure, LeavesEveryOutput) { expectReadFailures(GetParam()); }

const ReadRow kSClockReads[] = {
    {"ReadCard", [](SK_ULONG h, Outputs& o) { return SKS_ReadCard(h, o.text); }, 16},
    {"QueryState",
     [](SK_ULONG h, Outputs& o) { return SKS_QueryState(h, &o.byte, &o.time1, &o.n1, &o.n2); },
     11},
    {"GetRaceInfo",
     [](SK_ULONG h, Outputs& o) { return SKS_GetRaceInfo(h, o.text, &o.time1, &o.time2); }, 14},
};
INSTANTIATE_TEST_SUITE_P(Results, SClockReadFailure, ::testing::ValuesIn(kSClockReads),
                         rowName<ReadRow>);

TEST(SClockResult, ClearRacePassesClockLinksStatusThrough) {
    for (const BOOL16 status : {BOOL16(1), BOOL16(0x1234), BOOL16(0)}) {
        TestClock clock;
        clock.answer(Answer::status(status));
        EXPECT_EQ(SKS_ClearRace(clock.handle()), status);
    }
}

TEST(SClockResult, CreateRaceIsNormalised) {
    TestClock clock;
    clock.answer({Answer::status(1), Answer::status(0)});
    EXPECT_EQ(SKS_CreateRace(clock.handle(), "01", kDate, kDate), -1);
    EXPECT_EQ(SKS_CreateRace(clock.handle(), "01", kDate, kDate), 0);
}

class SClockNull : public ::testing::TestWithParam<NullRow> {};
TEST_P(SClockNull, SendsNothing) { expectNullRefused(GetParam()); }

const NullRow kSClockNulls[] = {
    {"ReadCard", [](SK_ULONG h, Outputs&) { return SKS_ReadCard(h, nullptr); }},
    {"QueryState_State",
     [](SK_ULONG h, Outputs& o) { return SKS_QueryState(h, nullptr, &o.time1, &o.n1, &o.n2); }},
    {"QueryState_Time",
     [](SK_ULONG h, Outputs& o) { return SKS_QueryState(h, &o.byte, nullptr, &o.n1, &o.n2); }},
    {"QueryState_FirstCount",
     [](SK_ULONG h, Outputs& o) { return SKS_QueryState(h, &o.byte, &o.time1, nullptr, &o.n2); }},
    {"QueryState_SecondCount",
     [](SK_ULONG h, Outputs& o) { return SKS_QueryState(h, &o.byte, &o.time1, &o.n1, nullptr); }},
    {"GetRaceInfo_Key",
     [](SK_ULONG h, Outputs& o) { return SKS_GetRaceInfo(h, nullptr, &o.time1, &o.time2); }},
    {"GetRaceInfo_FirstTime",
     [](SK_ULONG h, Outputs& o) { return SKS_GetRaceInfo(h, o.text, nullptr, &o.time2); }},
    {"GetRaceInfo_SecondTime",
     [](SK_ULONG h, Outputs& o) { return SKS_GetRaceInfo(h, o.text, &o.time1, nullptr); }},
    {"CreateRace", [](SK_ULONG h, Outputs&) { return SKS_CreateRace(h, nullptr, kDate, kDate); }},
    {"GetRaceRecord_Record",
     [](SK_ULONG h, Outputs& o) { return SKS_GetRaceRecord(h, 1, nullptr, &o.time1); }},
    {"GetRaceRecord_Time",
     [](SK_ULONG h, Outputs& o) { return SKS_GetRaceRecord(h, 1, o.text, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(Results, SClockNull, ::testing::ValuesIn(kSClockNulls),
                         rowName<NullRow>);

// ---- The verified record download --------------------------------------------

TEST(SClockRecord, VerifiedRecordIsDelivered) {
    TestClock clock;
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
        TestClock clock;
        clock.answer(c.clock.answer());
        Outputs out;
        EXPECT_EQ(SKS_GetRaceRecord(clock.handle(), 7, out.text, &out.time1), 0) << c.name;
        EXPECT_TRUE(out.untouched()) << c.name;
    }
}

// The code covers every byte of the record and its time, and is compared in
// full: any one flipped bit of the 30 reply bytes fails the download.
TEST(SClockRecord, AnyFlippedBitFailsVerification) {
    TestClock clock;
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
