// The H clock exports against the test clock.
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

// ---- The commands each export sends -----------------------------------------

class HClockWire : public ::testing::TestWithParam<WireRow> {};
TEST_P(HClockWire, SendsItsCommand) { expectWire(GetParam()); }

const WireRow kHClockWire[] = {
    {"GetRaceCardIndexLow16Bits",
     [](SK_ULONG h, Outputs& o) { return SKH_GetRaceCard(h, 0x10203, o.text, o.text2, &o.time1); },
     CLT_RUN_SYS_CMD, 0, "15 02 03", 22},
    {"CreateRace", [](SK_ULONG h, Outputs&) { return SKH_CreateRace(h, "0123456789ABCDEF"); },
     CLT_RUN_USER_CMD, 2, "01 23 45 67 89 AB CD EF 00 00 00 00 00 00", 0},
    {"CreateRaceShortKeyGivesZeros", [](SK_ULONG h, Outputs&) { return SKH_CreateRace(h, "a1b2"); },
     CLT_RUN_USER_CMD, 2, "A1 B2 00 00 00 00 00 00 00 00 00 00 00 00", 0},
    {"AddRaceCard",
     [](SK_ULONG h, Outputs&) {
         return SKH_AddRaceCard(h, "112233445566", "0123456789ABCDEF", kDate);
     },
     CLT_RUN_USER_CMD, 3, "11 22 33 44 55 66  00 00  01 23 45 67 89 AB CD EF  10 03 14 09 05 07",
     0},
    {"AddRaceCardShortTextsGiveZeros",
     [](SK_ULONG h, Outputs&) { return SKH_AddRaceCard(h, "1122", "01", kDate); },
     CLT_RUN_USER_CMD, 3, "11 22 00 00 00 00  00 00  01 00 00 00 00 00 00 00  10 03 14 09 05 07",
     0},
    {"ConfirmRace",
     [](SK_ULONG h, Outputs&) { return SKH_ConfirmRace(h, "0123456789ABCDEF", 0x12345); },
     CLT_RUN_USER_CMD, 4, "01 23 45 67 89 AB CD EF 23 45", 0},
    {"ConfirmRaceShortKeyGivesZeros",
     [](SK_ULONG h, Outputs&) { return SKH_ConfirmRace(h, "FF", 7); }, CLT_RUN_USER_CMD, 4,
     "FF 00 00 00 00 00 00 00 00 07", 0},
};
INSTANTIATE_TEST_SUITE_P(Commands, HClockWire, ::testing::ValuesIn(kHClockWire),
                         rowName<WireRow>);

// ---- Race information: two commands ---------------------------------------------

// The key, then the card count once the key has come.
TEST(HClockRaceInfo, SendsKeyThenCountRequests) {
    TestClock clock;
    clock.answer({Answer::reply(hex("01 02 03 04 05 06 07 08")), Answer::reply(hex("00 01"))});
    Outputs out;
    SKH_GetRaceInfo(clock.handle(), out.text, &out.n1);
    EXPECT_TRUE(sentOnly(clock, {{CLT_RUN_SYS_CMD, 0, "12", 8}, {CLT_RUN_SYS_CMD, 0, "14", 2}}));
}

TEST(HClockRaceInfo, DeliversKeyAndCardCount) {
    TestClock clock;
    clock.answer({Answer::reply(hex("01 23 45 67 89 AB CD EF")), Answer::reply(hex("01 2C"))});
    Outputs out;
    EXPECT_EQ(SKH_GetRaceInfo(clock.handle(), out.text, &out.n1), -1);
    EXPECT_STREQ(out.text, "0123456789ABCDEF");
    EXPECT_EQ(out.n1, 300u);
}

TEST(HClockRaceInfo, FirstFailingSendsNoSecondAndWritesNothing) {
    for (const Answer& first : {Answer::status(0), Answer::reply(hex("01 02 03 04 05 06 07"))}) {
        TestClock clock;
        clock.answer(first);
        Outputs out;
        EXPECT_EQ(SKH_GetRaceInfo(clock.handle(), out.text, &out.n1), 0);
        EXPECT_EQ(clock.commands().size(), 1u);
        EXPECT_TRUE(out.untouched());
    }
}

TEST(HClockRaceInfo, SecondFailingLeavesTheKeyWritten) {
    for (const Answer& second : {Answer::status(0), Answer::reply(hex("01 02 03"))}) {
        TestClock clock;
        clock.answer({Answer::reply(hex("01 23 45 67 89 AB CD EF")), second});
        Outputs out;
        EXPECT_EQ(SKH_GetRaceInfo(clock.handle(), out.text, &out.n1), 0);
        EXPECT_STREQ(out.text, "0123456789ABCDEF");
        EXPECT_TRUE(unwritten(out.n1));
    }
}

// ---- Race cards -----------------------------------------------------------------

TEST(HClockRaceCard, DecodesTheCardIgnoringBytes6And7) {
    for (const char* gap : {"00 00", "FF EE"}) {
        TestClock clock;
        clock.answer(Answer::reply(
            hex(std::string("11 22 33 44 55 66") + gap + "01 23 45 67 89 AB CD EF 10 03 14 09 05 07")));
        Outputs out;
        EXPECT_EQ(SKH_GetRaceCard(clock.handle(), 1, out.text, out.text2, &out.time1), -1) << gap;
        EXPECT_STREQ(out.text, "112233445566") << gap;
        EXPECT_STREQ(out.text2, "0123456789ABCDEF") << gap;
        EXPECT_NEAR(out.time1, kDate, kDateTolerance) << gap;
    }
}

TEST(HClockRaceCard, RejectedReplyLeavesOutputsUntouched) {
    const Bytes card = hex("11 22 33 44 55 66 00 00 01 23 45 67 89 AB CD EF 10 03 14 09 05 07");
    for (const Answer& a : {Answer::reply(card, 0), Answer::reply(card).delivered(21),
                            Answer::reply(card).delivered(23)}) {
        TestClock clock;
        clock.answer(a);
        Outputs out;
        EXPECT_EQ(SKH_GetRaceCard(clock.handle(), 1, out.text, out.text2, &out.time1), 0);
        EXPECT_TRUE(out.untouched());
    }
}

// What the host writes with SKH_AddRaceCard reads back the same through
// SKH_GetRaceCard: one layout both ways.
TEST(HClockRaceCard, AddedCardReadsBackTheSame) {
    TestClock clock;
    ASSERT_NE(SKH_AddRaceCard(clock.handle(), "A1A2A3A4A5A6", "B1B2B3B4B5B6B7B8", kDate), 0);
    const Bytes sent = TestClock::params(clock.commands().at(0));
    clock.answer(Answer::reply(sent));
    Outputs out;
    EXPECT_EQ(SKH_GetRaceCard(clock.handle(), 0, out.text, out.text2, &out.time1), -1);
    EXPECT_STREQ(out.text, "A1A2A3A4A5A6");
    EXPECT_STREQ(out.text2, "B1B2B3B4B5B6B7B8");
    EXPECT_NEAR(out.time1, kDate, kDateTolerance);
}

// ---- Results --------------------------------------------------------------------

TEST(HClockResult, AddRaceCardAndConfirmRacePassStatusThrough) {
    for (const BOOL16 status : {BOOL16(1), BOOL16(0x0200), BOOL16(0)}) {
        TestClock clock;
        clock.answer({Answer::status(status), Answer::status(status)});
        EXPECT_EQ(SKH_AddRaceCard(clock.handle(), "11", "22", kDate), status);
        EXPECT_EQ(SKH_ConfirmRace(clock.handle(), "33", 1), status);
    }
}

TEST(HClockResult, CreateRaceIsNormalised) {
    TestClock clock;
    clock.answer({Answer::status(1), Answer::status(0)});
    EXPECT_EQ(SKH_CreateRace(clock.handle(), "01"), -1);
    EXPECT_EQ(SKH_CreateRace(clock.handle(), "01"), 0);
}

class HClockNull : public ::testing::TestWithParam<NullRow> {};
TEST_P(HClockNull, SendsNothing) { expectNullRefused(GetParam()); }

const NullRow kHClockNulls[] = {
    {"GetRaceInfo_Key", [](SK_ULONG h, Outputs& o) { return SKH_GetRaceInfo(h, nullptr, &o.n1); }},
    {"GetRaceInfo_Count", [](SK_ULONG h, Outputs& o) { return SKH_GetRaceInfo(h, o.text, nullptr); }},
    {"GetRaceCard_Ring",
     [](SK_ULONG h, Outputs& o) { return SKH_GetRaceCard(h, 1, nullptr, o.text2, &o.time1); }},
    {"GetRaceCard_Key",
     [](SK_ULONG h, Outputs& o) { return SKH_GetRaceCard(h, 1, o.text, nullptr, &o.time1); }},
    {"GetRaceCard_Time",
     [](SK_ULONG h, Outputs& o) { return SKH_GetRaceCard(h, 1, o.text, o.text2, nullptr); }},
    {"CreateRace", [](SK_ULONG h, Outputs&) { return SKH_CreateRace(h, nullptr); }},
    {"AddRaceCard_Ring", [](SK_ULONG h, Outputs&) { return SKH_AddRaceCard(h, nullptr, "22", kDate); }},
    {"AddRaceCard_Key", [](SK_ULONG h, Outputs&) { return SKH_AddRaceCard(h, "11", nullptr, kDate); }},
    {"ConfirmRace", [](SK_ULONG h, Outputs&) { return SKH_ConfirmRace(h, nullptr, 1); }},
    {"ReadCard", [](SK_ULONG h, Outputs&) { return SKH_ReadCard(h, nullptr); }},
    {"GetRaceRecord",
     [](SK_ULONG h, Outputs& o) { return SKH_GetRaceRecord(h, 1, nullptr, &o.time1); }},
};
INSTANTIATE_TEST_SUITE_P(Results, HClockNull, ::testing::ValuesIn(kHClockNulls),
                         rowName<NullRow>);

// ---- The exports the H clock shares with the S clock ------------------------------

// Each SKH_ export makes the same exchange as its SKS_ namesake and returns
// the same result. The record download's challenge is random, so its
// parameters are compared without it.
TEST(HClockShared, ForwardingExportsMatchTheirSClockNamesakes) {
    struct Pair {
        const char* name;
        std::function<BOOL16(SK_ULONG, Outputs&)> s, h;
        Answer answer;
        std::size_t comparedParams;  // the record request's challenge is random
        BOOL16 result;
    };
    RecordClock record;
    const Bytes state = hex("5A 01 02 03 04 10 03 14 09 05 07");
    const Pair pairs[] = {
        {"ReadCard", [](SK_ULONG c, Outputs& o) { return SKS_ReadCard(c, o.text); },
         [](SK_ULONG c, Outputs& o) { return SKH_ReadCard(c, o.text); },
         Answer::reply(hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F")), 1, -1},
        {"QueryState",
         [](SK_ULONG c, Outputs& o) { return SKS_QueryState(c, &o.byte, &o.time1, &o.n1, &o.n2); },
         [](SK_ULONG c, Outputs& o) { return SKH_QueryState(c, &o.byte, &o.time1, &o.n1, &o.n2); },
         Answer::reply(state), 1, -1},
        {"ClearRace", [](SK_ULONG c, Outputs&) { return SKS_ClearRace(c); },
         [](SK_ULONG c, Outputs&) { return SKH_ClearRace(c); }, Answer::status(0x77), 1, 0x77},
        {"GetRaceRecord",
         [](SK_ULONG c, Outputs& o) { return SKS_GetRaceRecord(c, 0xABCD0102, o.text, &o.time1); },
         [](SK_ULONG c, Outputs& o) { return SKH_GetRaceRecord(c, 0xABCD0102, o.text, &o.time1); },
         record.answer(), 2, -1},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.name);
        TestClock sClock, hClock;
        sClock.answer(p.answer);
        hClock.answer(p.answer);
        Outputs sOut, hOut;
        EXPECT_EQ(p.s(sClock.handle(), sOut), p.result);
        EXPECT_EQ(p.h(hClock.handle(), hOut), p.result);
        const auto sCalls = sClock.commands(), hCalls = hClock.commands();
        ASSERT_EQ(sCalls.size(), 1u);
        ASSERT_EQ(hCalls.size(), 1u);
        EXPECT_EQ(sCalls[0].function, hCalls[0].function);
        EXPECT_EQ(sCalls[0].number, hCalls[0].number);
        EXPECT_EQ(sCalls[0].paramLen, hCalls[0].paramLen);
        EXPECT_EQ(sCalls[0].presetLen, hCalls[0].presetLen);
        EXPECT_EQ(0, std::memcmp(sCalls[0].params, hCalls[0].params, p.comparedParams));
        EXPECT_EQ(std::string(sOut.text, sizeof sOut.text), std::string(hOut.text, sizeof hOut.text));
        EXPECT_EQ(sOut.time1, hOut.time1);
        EXPECT_EQ(sOut.n1, hOut.n1);
        EXPECT_EQ(sOut.byte, hOut.byte);
        EXPECT_EQ(sOut.n2, hOut.n2);
    }
}

}  // namespace
