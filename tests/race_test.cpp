// M clock races: the commands that change the race table and the reads of it.
#include <gtest/gtest.h>

#include "skylark/skylark.h"
#include "export_names.h"
#include "support.h"

namespace {

using test::Answer;
using test::hex;
using test::Outputs;
using test::TestClock;

// SKM_GetRaceInfo2 is exported under its decorated name only (this
// platform's, from the export list), so it is reached the way a host
// reaches it: looked up by that name.
using RaceInfo2Fn = BOOL16(SKAPI_CALL*)(SK_ULONG, SK_ULONG, SK_ULONG*, SK_ULONG*);

constexpr const char* kRaceInfo2Name = SKYLARK_SYMBOL_SKM_GetRaceInfo2;

BOOL16 raceInfo2(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG* figure16, SK_ULONG* figure32) {
    const auto fn = reinterpret_cast<RaceInfo2Fn>(test::exportAddress(kRaceInfo2Name));
    if (fn == nullptr) {
        ADD_FAILURE() << kRaceInfo2Name << " is not exported";
        return 0;
    }
    return fn(handle, raceIndex, figure16, figure32);
}

constexpr int kSys = CLT_RUN_SYS_CMD;
constexpr int kUser = CLT_RUN_USER_CMD;
constexpr char kKey[] = "0102030405060708";
// Confirmation data: raw bytes, a zero among them.
constexpr char kConfirmData[8] = {0x11, 0x00, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};

// ---- Parameter blocks ----------------------------------------------------------

class RaceWire : public testing::TestWithParam<test::WireRow> {};
TEST_P(RaceWire, SendsTheBlock) { test::expectWire(GetParam()); }

const test::WireRow kRaceWire[] = {
    {"CreateRace",
     [](SK_ULONG h, Outputs&) { return SKM_CreateRace(h, kKey, test::k2024, test::k2031, 0x0A0B0C0D); },
     kUser, 2, "0102030405060708 240315123456 310704060504 0A0B0C0D", 0},
    {"CreateRace_Year1999ShortKey",
     [](SK_ULONG h, Outputs&) { return SKM_CreateRace(h, "ABCD", test::k1999, test::k1999, 0xFFFFFFFF); },
     kUser, 2, "ABCD000000000000 991231235959 991231235959 FFFFFFFF", 0},
    {"AddRaceCard", [](SK_ULONG h, Outputs&) { return SKM_AddRaceCard(h, "a1b2c3d4e5f60708"); }, kUser, 3,
     "A1B2C3D4E5F60708", 0},
    {"AddRaceCard_RingNumberGoesOutWithZeros",
     [](SK_ULONG h, Outputs&) { return SKM_AddRaceCard(h, "A1B2C3D4E5F6"); }, kUser, 3, "A1B2C3D4E5F6 0000",
     0},
    {"ConfirmRace_Low16BitsAndRawData",
     [](SK_ULONG h, Outputs&) { return SKM_ConfirmRace(h, kKey, 0x12345, kConfirmData); }, kUser, 4,
     "0102030405060708 2345 1100223344556677", 0},
    {"CloseRace", [](SK_ULONG h, Outputs&) { return SKM_CloseRace(h, kKey); }, kUser, 5,
     "02 0102030405060708", 0},
    {"PauseRace_SameAsClose", [](SK_ULONG h, Outputs&) { return SKM_PauseRace(h, kKey); }, kUser, 5,
     "02 0102030405060708", 0},
    {"RemoveRace", [](SK_ULONG h, Outputs&) { return SKM_RemoveRace(h, kKey); }, kUser, 5,
     "01 0102030405060708", 0},
    {"CloseRace_NonDigitsSkippedExtraDigitsIgnored",
     [](SK_ULONG h, Outputs&) { return SKM_CloseRace(h, "01-02-03-04-05-06-07-08-09-0A"); }, kUser, 5,
     "02 0102030405060708", 0},
    {"DeposeRaces", [](SK_ULONG h, Outputs&) { return SKM_DeposeRaces(h, "FFEEDDCCBBAA9988"); }, kUser, 8,
     "FFEEDDCCBBAA9988", 0},
    {"DeposeRaces_ShortTextZeroFilled", [](SK_ULONG h, Outputs&) { return SKM_DeposeRaces(h, "abc"); }, kUser,
     8, "AB00000000000000", 0},
    {"GetRaceIndex", [](SK_ULONG h, Outputs& o) { return SKM_GetRaceIndex(h, kKey, &o.n1); }, kSys, 0,
     "16 0102030405060708", 2},
    {"GetRaceIndex_ShortKeyZeroFilled",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceIndex(h, "12", &o.n1); }, kSys, 0,
     "16 1200000000000000", 2},
    {"GetRaceCount", [](SK_ULONG h, Outputs& o) { return SKM_GetRaceCount(h, &o.n1); }, kSys, 0, "17", 2},
    {"GetRaceInfo_Low16BitsOfIndex",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetRaceInfo(h, 0x10002, o.text, &o.time1, &o.time1, &o.n1);
     },
     kSys, 0, "18 0002", 22},
    {"GetRaceInfo2", [](SK_ULONG h, Outputs& o) { return raceInfo2(h, 0x1FFFF, &o.n1, &o.n1); }, kSys,
     0, "19 FFFF", 6},
    {"GetRaceCard", [](SK_ULONG h, Outputs& o) { return SKM_GetRaceCard(h, 0x10002, 0x30004, o.text); }, kSys,
     0, "1A 0002 0004", 8},
};
INSTANTIATE_TEST_SUITE_P(Race, RaceWire, testing::ValuesIn(kRaceWire),
                         test::rowName<test::WireRow>);

// ---- Results of the commands -------------------------------------------------------

class RaceResult : public testing::TestWithParam<test::ResultRow> {};
TEST_P(RaceResult, FollowsItsRule) { test::expectResults(GetParam()); }

const test::ResultRow kRaceResults[] = {
    {"CreateRace", [](SK_ULONG h, Outputs&) { return SKM_CreateRace(h, kKey, test::k2024, test::k2031, 1); },
     false},
    {"AddRaceCard", [](SK_ULONG h, Outputs&) { return SKM_AddRaceCard(h, kKey); }, false},
    {"ConfirmRace", [](SK_ULONG h, Outputs&) { return SKM_ConfirmRace(h, kKey, 1, kConfirmData); }, false},
    {"DeposeRaces", [](SK_ULONG h, Outputs&) { return SKM_DeposeRaces(h, kKey); }, false},
    {"CloseRace", [](SK_ULONG h, Outputs&) { return SKM_CloseRace(h, kKey); }, true},
    {"PauseRace", [](SK_ULONG h, Outputs&) { return SKM_PauseRace(h, kKey); }, true},
    {"RemoveRace", [](SK_ULONG h, Outputs&) { return SKM_RemoveRace(h, kKey); }, true},
};
INSTANTIATE_TEST_SUITE_P(Race, RaceResult, testing::ValuesIn(kRaceResults),
                         test::rowName<test::ResultRow>);

// ---- Replies ---------------------------------------------------------------------

TEST(RaceQuery, CountAndIndexAreBigEndian) {
    const struct {
        const char* reply;
        SK_ULONG value;
    } rows[] = {{"01 2C", 300}, {"FF FF", 65535}, {"00 00", 0}};
    for (const auto& row : rows) {
        TestClock clock;
        clock.answer({Answer::reply(hex(row.reply)), Answer::reply(hex(row.reply))});
        SK_ULONG count = 7, index = 7;
        EXPECT_EQ(SKM_GetRaceCount(clock.handle(), &count), -1);
        EXPECT_EQ(SKM_GetRaceIndex(clock.handle(), kKey, &index), -1);
        EXPECT_EQ(count, row.value) << row.reply;
        EXPECT_EQ(index, row.value) << row.reply;
    }
}

TEST(RaceQuery, Info2DeliversBothFigures) {
    const struct {
        const char* reply;
        SK_ULONG figure16, figure32;
    } rows[] = {{"00 05 00 01 86 A0", 5, 100000}, {"FF FF FF FF FF FF", 65535, 0xFFFFFFFF}};
    for (const auto& row : rows) {
        TestClock clock;
        clock.answer(Answer::reply(hex(row.reply)));
        SK_ULONG figure16 = 7, figure32 = 7;
        EXPECT_EQ(raceInfo2(clock.handle(), 1, &figure16, &figure32), -1);
        EXPECT_EQ(figure16, row.figure16) << row.reply;
        EXPECT_EQ(figure32, row.figure32) << row.reply;
    }
}

TEST(RaceQuery, InfoDeliversKeyTimesAndFigure) {
    TestClock clock;
    // key | first time: last second of 2099 | second time: month 13 | figure
    clock.answer(
        Answer::reply(hex("AB CD EF 01 23 45 67 89  99 12 31 23 59 59  24 13 01 00 00 00  FF FE")));
    Outputs out;
    ASSERT_EQ(SKM_GetRaceInfo(clock.handle(), 0, out.text, &out.time1, &out.time2, &out.n1), -1);
    EXPECT_STREQ(out.text, "ABCDEF0123456789");
    EXPECT_NEAR(out.time1, test::k2099, test::kSeconds / 2);
    EXPECT_EQ(out.time2, 0.0);
    EXPECT_EQ(out.n1, 65534u);
    EXPECT_EQ(static_cast<unsigned char>(out.text[17]), test::kFill) << "written past the key text";
}

TEST(RaceQuery, CardDeliversTheRingNumberOnly) {
    TestClock clock;
    clock.answer(Answer::reply(hex("AB CD EF 01 23 45 FF EE")));
    Outputs out;
    ASSERT_EQ(SKM_GetRaceCard(clock.handle(), 0, 0, out.text), -1);
    EXPECT_STREQ(out.text, "ABCDEF012345");
    EXPECT_EQ(static_cast<unsigned char>(out.text[13]), test::kFill) << "written past the ring text";
}

// ---- Failed reads ------------------------------------------------------------------

class RaceReadFailure : public testing::TestWithParam<test::ReadRow> {};
TEST_P(RaceReadFailure, LeavesEveryOutput) { test::expectReadFailures(GetParam()); }

const test::ReadRow kRaceReads[] = {
    {"GetRaceIndex", [](SK_ULONG h, Outputs& o) { return SKM_GetRaceIndex(h, kKey, &o.n1); }, 2},
    {"GetRaceCount", [](SK_ULONG h, Outputs& o) { return SKM_GetRaceCount(h, &o.n1); }, 2},
    {"GetRaceInfo",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetRaceInfo(h, 0, o.text, &o.time1, &o.time2, &o.n1);
     },
     22},
    {"GetRaceInfo2", [](SK_ULONG h, Outputs& o) { return raceInfo2(h, 0, &o.n1, &o.n2); }, 6},
    {"GetRaceCard", [](SK_ULONG h, Outputs& o) { return SKM_GetRaceCard(h, 0, 0, o.text); }, 8},
};
INSTANTIATE_TEST_SUITE_P(Race, RaceReadFailure, testing::ValuesIn(kRaceReads),
                         test::rowName<test::ReadRow>);

// ---- Null pointers -------------------------------------------------------------------

class RaceNull : public testing::TestWithParam<test::NullRow> {};
TEST_P(RaceNull, SendsNothing) { test::expectNullRefused(GetParam()); }

const test::NullRow kRaceNulls[] = {
    {"CreateRace", [](SK_ULONG h, Outputs&) { return SKM_CreateRace(h, nullptr, 0, 0, 0); }},
    {"AddRaceCard", [](SK_ULONG h, Outputs&) { return SKM_AddRaceCard(h, nullptr); }},
    {"ConfirmRace_Key", [](SK_ULONG h, Outputs&) { return SKM_ConfirmRace(h, nullptr, 0, kConfirmData); }},
    {"ConfirmRace_Data", [](SK_ULONG h, Outputs&) { return SKM_ConfirmRace(h, kKey, 0, nullptr); }},
    {"CloseRace", [](SK_ULONG h, Outputs&) { return SKM_CloseRace(h, nullptr); }},
    {"PauseRace", [](SK_ULONG h, Outputs&) { return SKM_PauseRace(h, nullptr); }},
    {"RemoveRace", [](SK_ULONG h, Outputs&) { return SKM_RemoveRace(h, nullptr); }},
    {"DeposeRaces", [](SK_ULONG h, Outputs&) { return SKM_DeposeRaces(h, nullptr); }},
    {"GetRaceIndex_Key", [](SK_ULONG h, Outputs& o) { return SKM_GetRaceIndex(h, nullptr, &o.n1); }},
    {"GetRaceIndex_Index", [](SK_ULONG h, Outputs&) { return SKM_GetRaceIndex(h, kKey, nullptr); }},
    {"GetRaceCount", [](SK_ULONG h, Outputs&) { return SKM_GetRaceCount(h, nullptr); }},
    {"GetRaceInfo_Key",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceInfo(h, 0, nullptr, &o.time1, &o.time1, &o.n1); }},
    {"GetRaceInfo_FirstTime",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceInfo(h, 0, o.text, nullptr, &o.time1, &o.n1); }},
    {"GetRaceInfo_SecondTime",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceInfo(h, 0, o.text, &o.time1, nullptr, &o.n1); }},
    {"GetRaceInfo_Figure",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceInfo(h, 0, o.text, &o.time1, &o.time1, nullptr); }},
    {"GetRaceInfo2_Figure16", [](SK_ULONG h, Outputs& o) { return raceInfo2(h, 0, nullptr, &o.n1); }},
    {"GetRaceInfo2_Figure32", [](SK_ULONG h, Outputs& o) { return raceInfo2(h, 0, &o.n1, nullptr); }},
    {"GetRaceCard", [](SK_ULONG h, Outputs&) { return SKM_GetRaceCard(h, 0, 0, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(Race, RaceNull, testing::ValuesIn(kRaceNulls),
                         test::rowName<test::NullRow>);

// ---- The decorated export --------------------------------------------------------------

TEST(RaceInfo2Export, OnlyTheDecoratedNameIsExported) {
    EXPECT_NE(test::exportAddress(kRaceInfo2Name), nullptr);
    EXPECT_EQ(test::exportAddress("SKM_GetRaceInfo2"), nullptr);
}

}  // namespace
