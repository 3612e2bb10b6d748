// Ring registry: the change blocks on the wire, the three reads and their
// failures, against the test clock.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "api/skylark.h"
#include "clock_rows.h"
#include "support.h"

namespace {

using test::Bytes;
using test::hex;

struct ChangeRow {
    const char* name;
    std::function<BOOL16(SK_ULONG)> call;
    SK_ULONG userCmd;
    const char* params;
};

const ChangeRow kChanges[] = {
    {"Append",
     [](SK_ULONG h) {
         return SKM_AppendCard(h, "0102030405AB", 0x1FF, 0x12345, 0x0203, 0xFFFF, 0x11223344,
                               "00112233445566778899aabb");
     },
     9,
     "00 | 01 02 03 04 05 AB 00 00 | FF | 23 45 | 02 03 | FF FF | 11 22 33 44 |"
     " 00 11 22 33 44 55 66 77 88 99 AA BB"},
    {"AppendShortTextsZeroFilled",
     [](SK_ULONG h) { return SKM_AppendCard(h, "0102", 1, 2, 3, 4, 5, "AB"); },
     9,
     "00 | 01 02 00 00 00 00 00 00 | 01 | 00 02 | 00 03 | 00 04 | 00 00 00 05 |"
     " AB 00 00 00 00 00 00 00 00 00 00 00"},
    {"ModifyHasNoDataField",
     [](SK_ULONG h) {
         return SKM_ModifyCard(h, "A1A2A3A4A5A6", 0x42, 0x12345, 0x10000, 0xBEEF, 0xCAFEF00D);
     },
     9, "01 | A1 A2 A3 A4 A5 A6 00 00 | 42 | 23 45 | 00 00 | BE EF | CA FE F0 0D"},
    {"Remove", [](SK_ULONG h) { return SKM_RemoveCard(h, "A1A2A3A4A5A6"); }, 10,
     "A1 A2 A3 A4 A5 A6 00 00"},
    {"RemoveShortRing", [](SK_ULONG h) { return SKM_RemoveCard(h, "A1"); }, 10,
     "A1 00 00 00 00 00 00 00"},
};

TEST(RegistryChange, SendsUserCommandBlockWithoutReply) {
    for (const ChangeRow& row : kChanges) {
        SCOPED_TRACE(row.name);
        test::TestClock clock;
        clock.answer(test::Answer::status(3));
        EXPECT_EQ(row.call(clock.handle()), -1);
        EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_USER_CMD, row.userCmd, row.params, 0}));

        test::TestClock failing;
        failing.answer(test::Answer::status(0));
        EXPECT_EQ(row.call(failing.handle()), 0);
    }
}

TEST(RegistryRead, CardCount) {
    test::TestClock clock;
    clock.answer(test::Answer::reply(hex("01 2C")));
    SK_ULONG count = 0;
    EXPECT_EQ(SKM_GetCardCount(clock.handle(), &count), -1);
    EXPECT_EQ(count, 300u);
    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "21", 2}));
}

// The lookup sends its own code ahead of the ring field.
TEST(RegistryRead, CardIndexSendsCodeAndRingField) {
    test::TestClock clock;
    clock.answer(test::Answer::reply(hex("01 02")));
    SK_ULONG index = 0;
    EXPECT_EQ(SKM_GetCardIndex(clock.handle(), "0102030405ab", &index), -1);
    EXPECT_EQ(index, 0x102u);
    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "20 | 01 02 03 04 05 AB 00 00", 2}));
}

TEST(RegistryRead, CountAndIndexRejectOtherLengthsUntouched) {
    const test::Answer answers[] = {test::Answer::reply(hex("01")),
                                    test::Answer::reply(hex("01 02 03")),
                                    test::Answer::reply(hex("01 02"), 0)};
    for (const test::Answer& a : answers) {
        test::TestClock clock;
        clock.answer(a).answer(a);
        SK_ULONG count = 77, index = 88;
        EXPECT_EQ(SKM_GetCardCount(clock.handle(), &count), 0);
        EXPECT_EQ(SKM_GetCardIndex(clock.handle(), "010203040506", &index), 0);
        EXPECT_EQ(count, 77u);
        EXPECT_EQ(index, 88u);
    }
}

// The seven outputs of a card read, prefilled so that writes show.
struct CardOutputs {
    char ring[13];
    unsigned char byteField = 0x5A;
    SK_ULONG word1 = 1, word2 = 2, word3 = 3, longField = 4;
    char data[25];

    CardOutputs() {
        std::memset(ring, '~', sizeof ring);
        std::memset(data, '~', sizeof data);
    }
    BOOL16 read(SK_ULONG h, SK_ULONG index) {
        return SKM_GetCardInfo(h, index, ring, &byteField, &word1, &word2, &word3, &longField,
                               data);
    }
    bool untouched() const {
        return std::string(ring, sizeof ring) == std::string(sizeof ring, '~') &&
               std::string(data, sizeof data) == std::string(sizeof data, '~') &&
               byteField == 0x5A && word1 == 1 && word2 == 2 && word3 == 3 && longField == 4;
    }
};

const char kCardReply[] =
    "0102030405AB | EE EE | 7F | 12 34 | 00 01 | FF FF | 89 AB CD EF |"
    " 00 11 22 33 44 55 66 77 88 99 AA BB";

TEST(RegistryRead, CardInfoDecodesAllSevenOutputs) {
    test::TestClock clock;
    clock.answer(test::Answer::reply(hex(kCardReply)));
    CardOutputs out;
    EXPECT_EQ(out.read(clock.handle(), 0x10102), -1);
    EXPECT_STREQ(out.ring, "0102030405AB");
    EXPECT_EQ(out.byteField, 0x7F);
    EXPECT_EQ(out.word1, 0x1234u);
    EXPECT_EQ(out.word2, 1u);
    EXPECT_EQ(out.word3, 0xFFFFu);
    EXPECT_EQ(out.longField, 0x89ABCDEFu);
    EXPECT_STREQ(out.data, "00112233445566778899AABB");
    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "22 01 02", 31}));
}

TEST(RegistryRead, CardInfoFailureLeavesOutputsUntouched) {
    const Bytes full = hex(kCardReply);
    Bytes longReply = full;
    longReply.push_back(0);
    const test::Answer answers[] = {test::Answer::reply(Bytes(full.begin(), full.end() - 1)),
                                    test::Answer::reply(longReply),
                                    test::Answer::reply(full, 0)};
    for (const test::Answer& a : answers) {
        test::TestClock clock;
        clock.answer(a);
        CardOutputs out;
        EXPECT_EQ(out.read(clock.handle(), 1), 0);
        EXPECT_TRUE(out.untouched());
    }
}

TEST(RegistryNullPointer, ReturnsZeroWithoutCommand) {
    char ring[13], data[25];
    unsigned char b = 0;
    SK_ULONG w = 0;
    const std::function<BOOL16(SK_ULONG)> calls[] = {
        [](SK_ULONG h) { return SKM_GetCardCount(h, nullptr); },
        [&](SK_ULONG h) { return SKM_GetCardIndex(h, nullptr, &w); },
        [](SK_ULONG h) { return SKM_GetCardIndex(h, "010203040506", nullptr); },
        [&](SK_ULONG h) { return SKM_GetCardInfo(h, 0, nullptr, &b, &w, &w, &w, &w, data); },
        [&](SK_ULONG h) { return SKM_GetCardInfo(h, 0, ring, nullptr, &w, &w, &w, &w, data); },
        [&](SK_ULONG h) { return SKM_GetCardInfo(h, 0, ring, &b, nullptr, &w, &w, &w, data); },
        [&](SK_ULONG h) { return SKM_GetCardInfo(h, 0, ring, &b, &w, nullptr, &w, &w, data); },
        [&](SK_ULONG h) { return SKM_GetCardInfo(h, 0, ring, &b, &w, &w, nullptr, &w, data); },
        [&](SK_ULONG h) { return SKM_GetCardInfo(h, 0, ring, &b, &w, &w, &w, nullptr, data); },
        [&](SK_ULONG h) { return SKM_GetCardInfo(h, 0, ring, &b, &w, &w, &w, &w, nullptr); },
        [](SK_ULONG h) { return SKM_AppendCard(h, nullptr, 0, 0, 0, 0, 0, ""); },
        [](SK_ULONG h) { return SKM_AppendCard(h, "", 0, 0, 0, 0, 0, nullptr); },
        [](SK_ULONG h) { return SKM_ModifyCard(h, nullptr, 0, 0, 0, 0, 0); },
        [](SK_ULONG h) { return SKM_RemoveCard(h, nullptr); },
    };
    for (std::size_t i = 0; i < sizeof calls / sizeof calls[0]; ++i) {
        test::TestClock clock;
        std::memset(ring, '~', sizeof ring);
        std::memset(data, '~', sizeof data);
        b = 0x5A;
        w = 99;
        EXPECT_EQ(calls[i](clock.handle()), 0) << i;
        EXPECT_TRUE(clock.calls().empty()) << i;
        EXPECT_EQ(std::string(ring, sizeof ring) + std::string(data, sizeof data),
                  std::string(sizeof ring + sizeof data, '~')) << i;
        EXPECT_EQ(b, 0x5A) << i;
        EXPECT_EQ(w, 99u) << i;
    }
}

}  // namespace
