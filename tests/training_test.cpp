// M clock training flights: the commands, the reads, the site values.
#include <gtest/gtest.h>

#include "skylark/skylark.h"
#include "support.h"

namespace {

using test::Answer;
using test::hex;
using test::Outputs;
using test::TestClock;

constexpr int kSys = CLT_RUN_SYS_CMD;
constexpr int kUser = CLT_RUN_USER_CMD;

// ---- Parameter blocks ----------------------------------------------------------

class TrainWire : public testing::TestWithParam<test::WireRow> {};
TEST_P(TrainWire, SendsTheBlock) { test::expectWire(GetParam()); }

const test::WireRow kTrainWire[] = {
    {"CreateTrain_Low8BitsOfByte",
     [](SK_ULONG h, Outputs& o) { return SKM_CreateTrain(h, test::k2024, test::k1999, 0x1FF, &o.n1); },
     kUser, 11, "240315123456 991231235959 FF", 2},
    {"AddTrainCard", [](SK_ULONG h, Outputs&) { return SKM_AddTrainCard(h, "a1b2c3d4e5f6"); }, kUser, 12,
     "A1B2C3D4E5F6 0000", 0},
    {"AddTrainCard_ShortTextZeroFilled", [](SK_ULONG h, Outputs&) { return SKM_AddTrainCard(h, "A1B2"); },
     kUser, 12, "A1B2 00000000 0000", 0},
    {"AddTrainCard_ExtraDigitsIgnored",
     [](SK_ULONG h, Outputs&) { return SKM_AddTrainCard(h, "A1B2C3D4E5F60708"); }, kUser, 12,
     "A1B2C3D4E5F6 0000", 0},
    {"ConfirmTrain_Low16Bits", [](SK_ULONG h, Outputs&) { return SKM_ConfirmTrain(h, 0x10102, 0x20304); },
     kUser, 13, "0102 0304", 0},
    {"CloseTrain", [](SK_ULONG h, Outputs&) { return SKM_CloseTrain(h, 0x0102); }, kUser, 14, "02 0102", 0},
    {"RemoveTrain", [](SK_ULONG h, Outputs&) { return SKM_RemoveTrain(h, 0x30102); }, kUser, 14, "01 0102",
     0},
    {"GetTrainIndex", [](SK_ULONG h, Outputs& o) { return SKM_GetTrainIndex(h, 0x10007, &o.n1); }, kSys, 0,
     "1B 0007", 2},
    {"GetTrainCount", [](SK_ULONG h, Outputs& o) { return SKM_GetTrainCount(h, &o.n1); }, kSys, 0, "1C",
     2},
    {"GetTrainInfo",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainInfo(h, 0x10003, &o.n1, &o.time1, &o.time1, &o.n1,
                                 &o.n1);
     },
     kSys, 0, "1D 0003", 17},
    {"GetTrainSite_Low8BitsOfSite",
     [](SK_ULONG h, Outputs& o) { return SKM_GetTrainSite(h, 0x105, &o.n1); }, kSys, 0, "1E 05", 4},
    {"SetTrainSite", [](SK_ULONG h, Outputs&) { return SKM_SetTrainSite(h, 0x105, 0x01020304); }, kSys, 1,
     "1E 05 01 02 03 04", 0},
    {"GetTrainRecord",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainRecord(h, 0x10002, 0x20003, o.text, &o.byte, &o.time1, &o.time1);
     },
     kSys, 0, "1F 0002 0003", 21},
};
INSTANTIATE_TEST_SUITE_P(Train, TrainWire, testing::ValuesIn(kTrainWire),
                         test::rowName<test::WireRow>);

// ---- Results of the commands -------------------------------------------------------

class TrainResult : public testing::TestWithParam<test::ResultRow> {};
TEST_P(TrainResult, FollowsItsRule) { test::expectResults(GetParam()); }

const test::ResultRow kTrainResults[] = {
    {"AddTrainCard", [](SK_ULONG h, Outputs&) { return SKM_AddTrainCard(h, "A1B2C3D4E5F6"); }, false},
    {"ConfirmTrain", [](SK_ULONG h, Outputs&) { return SKM_ConfirmTrain(h, 1, 2); }, false},
    {"SetTrainSite", [](SK_ULONG h, Outputs&) { return SKM_SetTrainSite(h, 1, 2); }, false},
    {"CloseTrain", [](SK_ULONG h, Outputs&) { return SKM_CloseTrain(h, 1); }, true},
    {"RemoveTrain", [](SK_ULONG h, Outputs&) { return SKM_RemoveTrain(h, 1); }, true},
};
INSTANTIATE_TEST_SUITE_P(Train, TrainResult, testing::ValuesIn(kTrainResults),
                         test::rowName<test::ResultRow>);

// ---- Creating a flight ---------------------------------------------------------------

TEST(CreateTrain, DeliversTheNumberFromAtLeastTwoBytes) {
    const struct {
        const char* name;
        Answer answer;
        BOOL16 result;
        SK_ULONG number;  // on success
    } rows[] = {
        {"two bytes", Answer::reply(hex("00 07")), -1, 7},
        {"more than two", Answer::reply(hex("12 34 56")), -1, 0x1234},
        {"one byte", Answer::reply(hex("12 34")).delivered(1), 0, 0},
        {"none", Answer::status(1), 0, 0},
        {"ClockLink failed", Answer::reply(hex("00 07"), 0), 0, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TestClock clock;
        clock.answer(row.answer);
        Outputs out;
        EXPECT_EQ(SKM_CreateTrain(clock.handle(), test::k2024, test::k2031, 1, &out.n1), row.result);
        if (row.result != 0)
            EXPECT_EQ(out.n1, row.number);
        else
            EXPECT_TRUE(out.untouched());
    }
}

// ---- Replies ---------------------------------------------------------------------

TEST(TrainQuery, CountIndexAndSiteAreBigEndian) {
    TestClock clock;
    clock.answer({Answer::reply(hex("01 2C")), Answer::reply(hex("FF FE")),
                  Answer::reply(hex("01 02 03 04")), Answer::reply(hex("FF FF FF FF"))});
    SK_ULONG count = 0, index = 0, site = 0, fullSite = 0;
    EXPECT_EQ(SKM_GetTrainCount(clock.handle(), &count), -1);
    EXPECT_EQ(SKM_GetTrainIndex(clock.handle(), 1, &index), -1);
    EXPECT_EQ(SKM_GetTrainSite(clock.handle(), 5, &site), -1);
    EXPECT_EQ(SKM_GetTrainSite(clock.handle(), 5, &fullSite), -1);
    EXPECT_EQ(count, 300u);
    EXPECT_EQ(index, 65534u);
    EXPECT_EQ(site, 0x01020304u);
    EXPECT_EQ(fullSite, 0xFFFFFFFFu);
}

TEST(TrainQuery, InfoDeliversEveryField) {
    TestClock clock;
    // number | first time | second time: last second of 2099 | figure | byte
    clock.answer(Answer::reply(hex("00 07  24 03 15 12 34 56  99 12 31 23 59 59  FF FE  FF")));
    Outputs out;
    ASSERT_EQ(
        SKM_GetTrainInfo(clock.handle(), 0, &out.n1, &out.time1, &out.time2, &out.n2, &out.n3), -1);
    EXPECT_EQ(out.n1, 7u);
    EXPECT_NEAR(out.time1, test::k2024, test::kSeconds / 2);
    EXPECT_NEAR(out.time2, test::k2099, test::kSeconds / 2);
    EXPECT_EQ(out.n2, 65534u);
    EXPECT_EQ(out.n3, 255u);
}

TEST(TrainQuery, RecordWritesOneByteAndSkipsTheRestOfTheEntry) {
    TestClock clock;
    // ring | not delivered | record byte | time 1 | time 2: hour 24
    clock.answer(
        Answer::reply(hex("AB CD EF 01 23 45  EE DD  5A  24 03 15 12 34 56  24 03 15 24 00 00")));
    Outputs out;
    ASSERT_EQ(SKM_GetTrainRecord(clock.handle(), 0, 0, out.text, &out.byte, &out.time1, &out.time2),
              -1);
    EXPECT_STREQ(out.text, "ABCDEF012345");
    EXPECT_EQ(static_cast<unsigned char>(out.text[13]), test::kFill) << "written past the ring text";
    EXPECT_EQ(out.byte, 0x5A);
    EXPECT_EQ(out.after, test::kFill) << "written past the record byte";
    EXPECT_NEAR(out.time1, test::k2024, test::kSeconds / 2);
    EXPECT_EQ(out.time2, 0.0);
}

// ---- Failed reads ------------------------------------------------------------------

class TrainReadFailure : public testing::TestWithParam<test::ReadRow> {};
TEST_P(TrainReadFailure, LeavesEveryOutput) { test::expectReadFailures(GetParam()); }

const test::ReadRow kTrainReads[] = {
    {"GetTrainIndex", [](SK_ULONG h, Outputs& o) { return SKM_GetTrainIndex(h, 1, &o.n1); }, 2},
    {"GetTrainCount", [](SK_ULONG h, Outputs& o) { return SKM_GetTrainCount(h, &o.n1); }, 2},
    {"GetTrainInfo",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainInfo(h, 0, &o.n1, &o.time1, &o.time2, &o.n2, &o.n3);
     },
     17},
    {"GetTrainSite", [](SK_ULONG h, Outputs& o) { return SKM_GetTrainSite(h, 1, &o.n1); }, 4},
    {"GetTrainRecord",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainRecord(h, 0, 0, o.text, &o.byte, &o.time1, &o.time2);
     },
     21},
};
INSTANTIATE_TEST_SUITE_P(Train, TrainReadFailure, testing::ValuesIn(kTrainReads),
                         test::rowName<test::ReadRow>);

// ---- Null pointers -------------------------------------------------------------------

class TrainNull : public testing::TestWithParam<test::NullRow> {};
TEST_P(TrainNull, SendsNothing) { test::expectNullRefused(GetParam()); }

const test::NullRow kTrainNulls[] = {
    {"CreateTrain", [](SK_ULONG h, Outputs&) { return SKM_CreateTrain(h, 0, 0, 0, nullptr); }},
    {"AddTrainCard", [](SK_ULONG h, Outputs&) { return SKM_AddTrainCard(h, nullptr); }},
    {"GetTrainIndex", [](SK_ULONG h, Outputs&) { return SKM_GetTrainIndex(h, 0, nullptr); }},
    {"GetTrainCount", [](SK_ULONG h, Outputs&) { return SKM_GetTrainCount(h, nullptr); }},
    {"GetTrainInfo_Number",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainInfo(h, 0, nullptr, &o.time1, &o.time1, &o.n1, &o.n1);
     }},
    {"GetTrainInfo_FirstTime",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainInfo(h, 0, &o.n1, nullptr, &o.time1, &o.n1, &o.n1);
     }},
    {"GetTrainInfo_SecondTime",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainInfo(h, 0, &o.n1, &o.time1, nullptr, &o.n1, &o.n1);
     }},
    {"GetTrainInfo_Figure",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainInfo(h, 0, &o.n1, &o.time1, &o.time1, nullptr, &o.n1);
     }},
    {"GetTrainInfo_Byte",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetTrainInfo(h, 0, &o.n1, &o.time1, &o.time1, &o.n1, nullptr);
     }},
    {"GetTrainSite", [](SK_ULONG h, Outputs&) { return SKM_GetTrainSite(h, 0, nullptr); }},
    {"GetTrainRecord_Ring",
     [](SK_ULONG h, Outputs& o) { return SKM_GetTrainRecord(h, 0, 0, nullptr, &o.byte, &o.time1, &o.time1); }},
    {"GetTrainRecord_Byte",
     [](SK_ULONG h, Outputs& o) { return SKM_GetTrainRecord(h, 0, 0, o.text, nullptr, &o.time1, &o.time1); }},
    {"GetTrainRecord_Time1",
     [](SK_ULONG h, Outputs& o) { return SKM_GetTrainRecord(h, 0, 0, o.text, &o.byte, nullptr, &o.time1); }},
    {"GetTrainRecord_Time2",
     [](SK_ULONG h, Outputs& o) { return SKM_GetTrainRecord(h, 0, 0, o.text, &o.byte, &o.time1, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(Train, TrainNull, testing::ValuesIn(kTrainNulls),
                         test::rowName<test::NullRow>);

}  // namespace
