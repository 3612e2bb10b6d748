// The H clock exports against the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "api/skylark.h"
#include "clock_support.h"

namespace {

using namespace test;

// Outputs of the H clock reads, preset to the untouched values.
struct Outputs {
    char text1[32];
    char text2[32];
    double time = kUntouchedDate;
    SK_ULONG count = kUntouchedCount;

    Outputs() {
        std::strcpy(text1, kUntouchedText.c_str());
        std::strcpy(text2, kUntouchedText.c_str());
    }
};

// ---- The commands each export sends -----------------------------------------

struct Command {
    int function;
    SK_ULONG number;
    const char* params;
    SK_ULONG preset;  // 0: no reply, both reply pointers null
};

struct Exchange {
    const char* name;
    std::function<BOOL16(SK_ULONG, Outputs&)> call;
    std::vector<Command> commands;
};

// Cases print as their names in test output.
void PrintTo(const Exchange& c, std::ostream* os) { *os << c.name; }

class HClockExchange : public ::testing::TestWithParam<Exchange> {};

TEST_P(HClockExchange, SendsItsCommands) {
    const Exchange& e = GetParam();
    test::TestClock clock;
    // Answers that satisfy each command, so a second command runs.
    clock.answer({Answer::reply(hex("01 02 03 04 05 06 07 08")), Answer::reply(hex("00 01"))});
    Outputs out;
    e.call(clock.handle(), out);
    const auto calls = clock.commands();
    ASSERT_EQ(calls.size(), e.commands.size());
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const CltCall& c = calls[i];
        const Command& want = e.commands[i];
        EXPECT_EQ(c.function, want.function) << i;
        EXPECT_EQ(c.number, want.number) << i;
        EXPECT_EQ(test::TestClock::params(c), hex(want.params)) << i;
        EXPECT_EQ(c.replyNull != 0, want.preset == 0) << i;
        EXPECT_EQ(c.replyLenNull != 0, want.preset == 0) << i;
        EXPECT_EQ(c.presetLen, want.preset) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HClockExchange,
    ::testing::Values(
        Exchange{"GetRaceInfo",
                 [](SK_ULONG h, Outputs& o) { return SKH_GetRaceInfo(h, o.text1, &o.count); },
                 {{CLT_RUN_SYS_CMD, 0, "12", 8}, {CLT_RUN_SYS_CMD, 0, "14", 2}}},
        Exchange{"GetRaceCardIndexLow16Bits",
                 [](SK_ULONG h, Outputs& o) {
                     return SKH_GetRaceCard(h, 0x10203, o.text1, o.text2, &o.time);
                 },
                 {{CLT_RUN_SYS_CMD, 0, "15 02 03", 22}}},
        Exchange{"CreateRace",
                 [](SK_ULONG h, Outputs&) { return SKH_CreateRace(h, "0123456789ABCDEF"); },
                 {{CLT_RUN_USER_CMD, 2, "01 23 45 67 89 AB CD EF 00 00 00 00 00 00", 0}}},
        Exchange{"CreateRaceShortKeyGivesZeros",
                 [](SK_ULONG h, Outputs&) { return SKH_CreateRace(h, "a1b2"); },
                 {{CLT_RUN_USER_CMD, 2, "A1 B2 00 00 00 00 00 00 00 00 00 00 00 00", 0}}},
        Exchange{"AddRaceCard",
                 [](SK_ULONG h, Outputs&) {
                     return SKH_AddRaceCard(h, "112233445566", "0123456789ABCDEF", kDate);
                 },
                 {{CLT_RUN_USER_CMD, 3,
                   "11 22 33 44 55 66  00 00  01 23 45 67 89 AB CD EF  10 03 14 09 05 07", 0}}},
        Exchange{"AddRaceCardShortTextsGiveZeros",
                 [](SK_ULONG h, Outputs&) { return SKH_AddRaceCard(h, "1122", "01", kDate); },
                 {{CLT_RUN_USER_CMD, 3,
                   "11 22 00 00 00 00  00 00  01 00 00 00 00 00 00 00  10 03 14 09 05 07", 0}}},
        Exchange{"ConfirmRace",
                 [](SK_ULONG h, Outputs&) { return SKH_ConfirmRace(h, "0123456789ABCDEF", 0x12345); },
                 {{CLT_RUN_USER_CMD, 4, "01 23 45 67 89 AB CD EF 23 45", 0}}},
        Exchange{"ConfirmRaceShortKeyGivesZeros",
                 [](SK_ULONG h, Outputs&) { return SKH_ConfirmRace(h, "FF", 7); },
                 {{CLT_RUN_USER_CMD, 4, "FF 00 00 00 00 00 00 00 00 07", 0}}}),
    [](const ::testing::TestParamInfo<Exchange>& info) { return std::string(info.param.name); });

// ---- Race information: two commands ---------------------------------------------

TEST(HClockRaceInfo, DeliversKeyAndCardCount) {
    test::TestClock clock;
    clock.answer({Answer::reply(hex("01 23 45 67 89 AB CD EF")), Answer::reply(hex("01 2C"))});
    Outputs out;
    EXPECT_EQ(SKH_GetRaceInfo(clock.handle(), out.text1, &out.count), -1);
    EXPECT_STREQ(out.text1, "0123456789ABCDEF");
    EXPECT_EQ(out.count, 300u);
}

TEST(HClockRaceInfo, FirstFailingSendsNoSecondAndWritesNothing) {
    for (const Answer& first : {Answer::status(0), Answer::reply(hex("01 02 03 04 05 06 07"))}) {
        test::TestClock clock;
        clock.answer(first);
        Outputs out;
        EXPECT_EQ(SKH_GetRaceInfo(clock.handle(), out.text1, &out.count), 0);
        EXPECT_EQ(clock.commands().size(), 1u);
        EXPECT_EQ(out.text1, kUntouchedText);
        EXPECT_EQ(out.count, kUntouchedCount);
    }
}

TEST(HClockRaceInfo, SecondFailingLeavesTheKeyWritten) {
    for (const Answer& second : {Answer::status(0), Answer::reply(hex("01 02 03"))}) {
        test::TestClock clock;
        clock.answer({Answer::reply(hex("01 23 45 67 89 AB CD EF")), second});
        Outputs out;
        EXPECT_EQ(SKH_GetRaceInfo(clock.handle(), out.text1, &out.count), 0);
        EXPECT_STREQ(out.text1, "0123456789ABCDEF");
        EXPECT_EQ(out.count, kUntouchedCount);
    }
}

// ---- Race cards -----------------------------------------------------------------

TEST(HClockRaceCard, DecodesTheCardIgnoringBytes6And7) {
    for (const char* gap : {"00 00", "FF EE"}) {
        test::TestClock clock;
        clock.answer(Answer::reply(
            hex(std::string("11 22 33 44 55 66") + gap + "01 23 45 67 89 AB CD EF 10 03 14 09 05 07")));
        Outputs out;
        EXPECT_EQ(SKH_GetRaceCard(clock.handle(), 1, out.text1, out.text2, &out.time), -1) << gap;
        EXPECT_STREQ(out.text1, "112233445566") << gap;
        EXPECT_STREQ(out.text2, "0123456789ABCDEF") << gap;
        EXPECT_NEAR(out.time, kDate, kDateTolerance) << gap;
    }
}

TEST(HClockRaceCard, RejectedReplyLeavesOutputsUntouched) {
    const Bytes card = hex("11 22 33 44 55 66 00 00 01 23 45 67 89 AB CD EF 10 03 14 09 05 07");
    for (const Answer& a : {Answer::reply(card, 0), Answer::reply(card).delivered(21),
                            Answer::reply(card).delivered(23)}) {
        test::TestClock clock;
        clock.answer(a);
        Outputs out;
        EXPECT_EQ(SKH_GetRaceCard(clock.handle(), 1, out.text1, out.text2, &out.time), 0);
        EXPECT_EQ(out.text1, kUntouchedText);
        EXPECT_EQ(out.text2, kUntouchedText);
        EXPECT_EQ(out.time, kUntouchedDate);
    }
}

// What the host writes with SKH_AddRaceCard reads back the same through
// SKH_GetRaceCard: one layout both ways.
TEST(HClockRaceCard, AddedCardReadsBackTheSame) {
    test::TestClock clock;
    ASSERT_NE(SKH_AddRaceCard(clock.handle(), "A1A2A3A4A5A6", "B1B2B3B4B5B6B7B8", kDate), 0);
    const Bytes sent = test::TestClock::params(clock.commands().at(0));
    clock.answer(Answer::reply(sent));
    Outputs out;
    EXPECT_EQ(SKH_GetRaceCard(clock.handle(), 0, out.text1, out.text2, &out.time), -1);
    EXPECT_STREQ(out.text1, "A1A2A3A4A5A6");
    EXPECT_STREQ(out.text2, "B1B2B3B4B5B6B7B8");
    EXPECT_NEAR(out.time, kDate, kDateTolerance);
}

// ---- Results --------------------------------------------------------------------

TEST(HClockResult, AddRaceCardAndConfirmRacePassStatusThrough) {
    for (const BOOL16 status : {BOOL16(1), BOOL16(0x0200), BOOL16(0)}) {
        test::TestClock clock;
        clock.answer({Answer::status(status), Answer::status(status)});
        EXPECT_EQ(SKH_AddRaceCard(clock.handle(), "11", "22", kDate), status);
        EXPECT_EQ(SKH_ConfirmRace(clock.handle(), "33", 1), status);
    }
}

TEST(HClockResult, CreateRaceIsNormalised) {
    test::TestClock clock;
    clock.answer({Answer::status(1), Answer::status(0)});
    EXPECT_EQ(SKH_CreateRace(clock.handle(), "01"), -1);
    EXPECT_EQ(SKH_CreateRace(clock.handle(), "01"), 0);
}

TEST(HClockResult, NullRequiredPointerSendsNothing) {
    test::TestClock clock;
    const SK_ULONG h = clock.handle();
    Outputs o;
    EXPECT_EQ(SKH_GetRaceInfo(h, nullptr, &o.count), 0);
    EXPECT_EQ(SKH_GetRaceInfo(h, o.text1, nullptr), 0);
    EXPECT_EQ(SKH_GetRaceCard(h, 1, nullptr, o.text2, &o.time), 0);
    EXPECT_EQ(SKH_GetRaceCard(h, 1, o.text1, nullptr, &o.time), 0);
    EXPECT_EQ(SKH_GetRaceCard(h, 1, o.text1, o.text2, nullptr), 0);
    EXPECT_EQ(SKH_CreateRace(h, nullptr), 0);
    EXPECT_EQ(SKH_AddRaceCard(h, nullptr, "22", kDate), 0);
    EXPECT_EQ(SKH_AddRaceCard(h, "11", nullptr, kDate), 0);
    EXPECT_EQ(SKH_ConfirmRace(h, nullptr, 1), 0);
    EXPECT_EQ(SKH_ReadCard(h, nullptr), 0);
    EXPECT_EQ(SKH_GetRaceRecord(h, 1, nullptr, &o.time), 0);
    EXPECT_TRUE(clock.calls().empty());
    EXPECT_EQ(o.text1, kUntouchedText);
    EXPECT_EQ(o.count, kUntouchedCount);
    EXPECT_EQ(o.time, kUntouchedDate);
}

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
    test::RecordClock record;
    const Bytes state = hex("5A 01 02 03 04 10 03 14 09 05 07");
    const Pair pairs[] = {
        {"ReadCard", [](SK_ULONG c, Outputs& o) { return SKS_ReadCard(c, o.text1); },
         [](SK_ULONG c, Outputs& o) { return SKH_ReadCard(c, o.text1); },
         Answer::reply(hex("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F")), 1, -1},
        {"QueryState",
         [](SK_ULONG c, Outputs& o) {
             unsigned char s;
             SK_ULONG n;
             return SKS_QueryState(c, &s, &o.time, &o.count, &n);
         },
         [](SK_ULONG c, Outputs& o) {
             unsigned char s;
             SK_ULONG n;
             return SKH_QueryState(c, &s, &o.time, &o.count, &n);
         },
         Answer::reply(state), 1, -1},
        {"ClearRace", [](SK_ULONG c, Outputs&) { return SKS_ClearRace(c); },
         [](SK_ULONG c, Outputs&) { return SKH_ClearRace(c); }, Answer::status(0x77), 1, 0x77},
        {"GetRaceRecord",
         [](SK_ULONG c, Outputs& o) { return SKS_GetRaceRecord(c, 0xABCD0102, o.text1, &o.time); },
         [](SK_ULONG c, Outputs& o) { return SKH_GetRaceRecord(c, 0xABCD0102, o.text1, &o.time); },
         record.answer(), 2, -1},
    };
    for (const Pair& p : pairs) {
        SCOPED_TRACE(p.name);
        test::TestClock sClock, hClock;
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
        EXPECT_STREQ(sOut.text1, hOut.text1);
        EXPECT_EQ(sOut.time, hOut.time);
        EXPECT_EQ(sOut.count, hOut.count);
    }
}

}  // namespace
