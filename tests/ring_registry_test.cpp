// Ring registry: the change blocks on the wire, the three reads and their
// failures, against the test clock.
#include <gtest/gtest.h>

#include "skylark/skylark.h"
#include "support.h"

namespace {

using namespace test;

constexpr int kUser = CLT_RUN_USER_CMD;

// ---- Changes: user command blocks without a reply, normalised --------------------

const WireRow kChanges[] = {
    {"Append",
     [](SK_ULONG h, Outputs&) {
         return SKM_AppendCard(h, "0102030405AB", 0x1FF, 0x12345, 0x0203, 0xFFFF, 0x11223344,
                               "00112233445566778899aabb");
     },
     kUser, 9,
     "00 | 01 02 03 04 05 AB 00 00 | FF | 23 45 | 02 03 | FF FF | 11 22 33 44 |"
     " 00 11 22 33 44 55 66 77 88 99 AA BB",
     0},
    {"AppendShortTextsZeroFilled",
     [](SK_ULONG h, Outputs&) { return SKM_AppendCard(h, "0102", 1, 2, 3, 4, 5, "AB"); }, kUser,
     9,
     "00 | 01 02 00 00 00 00 00 00 | 01 | 00 02 | 00 03 | 00 04 | 00 00 00 05 |"
     " AB 00 00 00 00 00 00 00 00 00 00 00",
     0},
    {"ModifyHasNoDataField",
     [](SK_ULONG h, Outputs&) {
         return SKM_ModifyCard(h, "A1A2A3A4A5A6", 0x42, 0x12345, 0x10000, 0xBEEF, 0xCAFEF00D);
     },
     kUser, 9, "01 | A1 A2 A3 A4 A5 A6 00 00 | 42 | 23 45 | 00 00 | BE EF | CA FE F0 0D", 0},
    {"Remove", [](SK_ULONG h, Outputs&) { return SKM_RemoveCard(h, "A1A2A3A4A5A6"); }, kUser, 10,
     "A1 A2 A3 A4 A5 A6 00 00", 0},
    {"RemoveShortRing", [](SK_ULONG h, Outputs&) { return SKM_RemoveCard(h, "A1"); }, kUser, 10,
     "A1 00 00 00 00 00 00 00", 0},
};

class RegistryChange : public testing::TestWithParam<WireRow> {};
TEST_P(RegistryChange, SendsItsBlock) { expectWire(GetParam()); }
TEST_P(RegistryChange, IsNormalised) { expectResults(GetParam(), false); }
INSTANTIATE_TEST_SUITE_P(Registry, RegistryChange, testing::ValuesIn(kChanges), rowName<WireRow>);

// ---- Reads ----------------------------------------------------------------------

TEST(RegistryRead, CardCount) {
    TestClock clock;
    clock.answer(Answer::reply(hex("01 2C")));
    SK_ULONG count = 0;
    EXPECT_EQ(SKM_GetCardCount(clock.handle(), &count), -1);
    EXPECT_EQ(count, 300u);
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "21", 2}));
}

// The lookup sends its own code ahead of the ring field.
TEST(RegistryRead, CardIndexSendsCodeAndRingField) {
    TestClock clock;
    clock.answer(Answer::reply(hex("01 02")));
    SK_ULONG index = 0;
    EXPECT_EQ(SKM_GetCardIndex(clock.handle(), "0102030405ab", &index), -1);
    EXPECT_EQ(index, 0x102u);
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "20 | 01 02 03 04 05 AB 00 00", 2}));
}

// The seven outputs of a card read: ring and data texts, the byte, the
// three words and the long field.
BOOL16 cardInfo(SK_ULONG h, SK_ULONG index, Outputs& o) {
    return SKM_GetCardInfo(h, index, o.text, &o.byte, &o.n1, &o.n2, &o.n3, &o.n4, o.text2);
}

TEST(RegistryRead, CardInfoDecodesAllSevenOutputs) {
    TestClock clock;
    clock.answer(Answer::reply(hex("0102030405AB | EE EE | 7F | 12 34 | 00 01 | FF FF |"
                                   " 89 AB CD EF | 00 11 22 33 44 55 66 77 88 99 AA BB")));
    Outputs out;
    EXPECT_EQ(cardInfo(clock.handle(), 0x10102, out), -1);
    EXPECT_STREQ(out.text, "0102030405AB");
    EXPECT_EQ(out.byte, 0x7F);
    EXPECT_EQ(out.n1, 0x1234u);
    EXPECT_EQ(out.n2, 1u);
    EXPECT_EQ(out.n3, 0xFFFFu);
    EXPECT_EQ(out.n4, 0x89ABCDEFu);
    EXPECT_STREQ(out.text2, "00112233445566778899AABB");
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "22 01 02", 31}));
}

// Other lengths and ClockLink failures leave every output untouched.
class RegistryReadFailure : public testing::TestWithParam<ReadRow> {};
TEST_P(RegistryReadFailure, LeavesEveryOutput) { expectReadFailures(GetParam()); }

const ReadRow kReads[] = {
    {"GetCardCount", [](SK_ULONG h, Outputs& o) { return SKM_GetCardCount(h, &o.n1); }, 2},
    {"GetCardIndex",
     [](SK_ULONG h, Outputs& o) { return SKM_GetCardIndex(h, "010203040506", &o.n1); }, 2},
    {"GetCardInfo", [](SK_ULONG h, Outputs& o) { return cardInfo(h, 1, o); }, 31},
};
INSTANTIATE_TEST_SUITE_P(Registry, RegistryReadFailure, testing::ValuesIn(kReads),
                         rowName<ReadRow>);

// ---- Null pointers -------------------------------------------------------------------

class RegistryNull : public testing::TestWithParam<NullRow> {};
TEST_P(RegistryNull, SendsNothing) { expectNullRefused(GetParam()); }

const NullRow kNulls[] = {
    {"GetCardCount", [](SK_ULONG h, Outputs&) { return SKM_GetCardCount(h, nullptr); }},
    {"GetCardIndex_Ring",
     [](SK_ULONG h, Outputs& o) { return SKM_GetCardIndex(h, nullptr, &o.n1); }},
    {"GetCardIndex_Index",
     [](SK_ULONG h, Outputs&) { return SKM_GetCardIndex(h, "010203040506", nullptr); }},
    {"GetCardInfo_Ring",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetCardInfo(h, 0, nullptr, &o.byte, &o.n1, &o.n2, &o.n3, &o.n4, o.text2);
     }},
    {"GetCardInfo_Byte",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetCardInfo(h, 0, o.text, nullptr, &o.n1, &o.n2, &o.n3, &o.n4, o.text2);
     }},
    {"GetCardInfo_Word1",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetCardInfo(h, 0, o.text, &o.byte, nullptr, &o.n2, &o.n3, &o.n4, o.text2);
     }},
    {"GetCardInfo_Word2",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetCardInfo(h, 0, o.text, &o.byte, &o.n1, nullptr, &o.n3, &o.n4, o.text2);
     }},
    {"GetCardInfo_Word3",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetCardInfo(h, 0, o.text, &o.byte, &o.n1, &o.n2, nullptr, &o.n4, o.text2);
     }},
    {"GetCardInfo_Long",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetCardInfo(h, 0, o.text, &o.byte, &o.n1, &o.n2, &o.n3, nullptr, o.text2);
     }},
    {"GetCardInfo_Data",
     [](SK_ULONG h, Outputs& o) {
         return SKM_GetCardInfo(h, 0, o.text, &o.byte, &o.n1, &o.n2, &o.n3, &o.n4, nullptr);
     }},
    {"AppendCard_Ring",
     [](SK_ULONG h, Outputs&) { return SKM_AppendCard(h, nullptr, 0, 0, 0, 0, 0, ""); }},
    {"AppendCard_Data",
     [](SK_ULONG h, Outputs&) { return SKM_AppendCard(h, "", 0, 0, 0, 0, 0, nullptr); }},
    {"ModifyCard", [](SK_ULONG h, Outputs&) { return SKM_ModifyCard(h, nullptr, 0, 0, 0, 0, 0); }},
    {"RemoveCard", [](SK_ULONG h, Outputs&) { return SKM_RemoveCard(h, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(Registry, RegistryNull, testing::ValuesIn(kNulls), rowName<NullRow>);

}  // namespace
