// The S and H clocks end to end: the typical road of each.
#include <gtest/gtest.h>

#include <string>

#include "host.h"

namespace {

using e2e::at;
using e2e::bcd;
using e2e::Clock;
using e2e::ring;

constexpr const char* kKey = "5352414345303031";

// Downloads arrival i of a single-race clock and checks its ring and time.
void expectArrival(BOOL16 (SKAPI_CALL* download)(SK_ULONG, SK_ULONG, char*, double*),
                   const Clock& clock, SK_ULONG i, const std::string& ringNo, double when) {
    SCOPED_TRACE(i);
    char record[33] = {};
    double arrived = 0.0;
    ASSERT_NE(download(clock, i, record, &arrived), 0);
    // Body: ring (6) | arrival number (2) | body check (4) | race key 0-3 (4).
    EXPECT_EQ(std::string(record).substr(0, 12), ringNo);
    EXPECT_EQ(std::string(record).substr(12, 4), e2e::hexText({0, static_cast<std::uint8_t>(i)}));
    EXPECT_EQ(std::string(record).substr(24, 8), std::string(kKey).substr(0, 8));
    EXPECT_EQ(bcd(arrived), bcd(when));
}

TEST(SClock, TypicalRoad) {
    Clock clock(CLV_KIND_S);
    ASSERT_NE(clock.handle(), 0u);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_NE(SKS_CreateRace(clock, kKey, at(7, 0, 0), at(20, 0, 0)), 0);
    char key[17] = {};
    double first = 0.0, second = 1.0;
    ASSERT_NE(SKS_GetRaceInfo(clock, key, &first, &second), 0);
    EXPECT_STREQ(key, kKey);
    EXPECT_EQ(bcd(first), bcd(at(7, 0, 0)));

    ASSERT_EQ(CLV_SetCardData(clock, "00112233445566778899AABBCCDDEEFF"), CLV_OK);
    char card[33] = {};
    ASSERT_NE(SKS_ReadCard(clock, card), 0);
    EXPECT_STREQ(card, "00112233445566778899AABBCCDDEEFF");

    for (unsigned i = 0; i < 3; ++i)
        ASSERT_EQ(CLV_RecordArrival(clock, 0, ring(i + 1).c_str(), at(10, 0, 10 * i)), CLV_OK);
    unsigned char state = 0;
    double stateTime = 0.0;
    SK_ULONG c1 = 0, c2 = 0;
    ASSERT_NE(SKS_QueryState(clock, &state, &stateTime, &c1, &c2), 0);
    EXPECT_TRUE(c1 == 3 || c2 == 3) << c1 << " " << c2;
    for (unsigned i = 0; i < 3; ++i) expectArrival(SKS_GetRaceRecord, clock, i, ring(i + 1), at(10, 0, 10 * i));

    ASSERT_EQ(CLV_SetFault(clock, CLV_FAULT_TAMPER, 100), CLV_OK);
    char record[33];
    double arrived;
    EXPECT_EQ(SKS_GetRaceRecord(clock, 0, record, &arrived), 0);
    ASSERT_EQ(CLV_SetFault(clock, CLV_FAULT_CUT, 1), CLV_OK);
    EXPECT_EQ(SKS_GetRaceRecord(clock, 0, record, &arrived), 0);

    EXPECT_NE(SKS_ClearRace(clock), 0);
    EXPECT_EQ(SKS_GetRaceRecord(clock, 0, record, &arrived), 0) << "cleared";
}

TEST(HClock, TypicalRoad) {
    Clock clock(CLV_KIND_H);
    ASSERT_NE(clock.handle(), 0u);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_NE(SKH_CreateRace(clock, kKey), 0);
    for (unsigned i = 0; i < 3; ++i)
        ASSERT_NE(SKH_AddRaceCard(clock, ring(i + 1).c_str(), "C0DE00000000000A", at(6, 30, i)), 0);
    ASSERT_NE(SKH_ConfirmRace(clock, kKey, 3), 0);

    char key[17] = {}, ringNo[13] = {}, code[17] = {};
    SK_ULONG cards = 0;
    double cardTime = 0.0;
    ASSERT_NE(SKH_GetRaceInfo(clock, key, &cards), 0);
    EXPECT_STREQ(key, kKey);
    EXPECT_EQ(cards, 3u);
    ASSERT_NE(SKH_GetRaceCard(clock, 2, ringNo, code, &cardTime), 0);
    EXPECT_EQ(std::string(ringNo), ring(3));
    EXPECT_STREQ(code, "C0DE00000000000A");
    EXPECT_EQ(bcd(cardTime), bcd(at(6, 30, 2)));

    ASSERT_EQ(CLV_RecordArrival(clock, 0, ring(2).c_str(), at(11, 0, 0)), CLV_OK);
    ASSERT_EQ(CLV_RecordArrival(clock, 0, ring(3).c_str(), at(11, 0, 30)), CLV_OK);
    EXPECT_NE(CLV_RecordArrival(clock, 0, ring(9).c_str(), at(11, 1, 0)), CLV_OK) << "no race card";
    expectArrival(SKH_GetRaceRecord, clock, 0, ring(2), at(11, 0, 0));
    expectArrival(SKH_GetRaceRecord, clock, 1, ring(3), at(11, 0, 30));

    EXPECT_NE(SKH_ClearRace(clock), 0);
    char record[33];
    double arrived;
    EXPECT_EQ(SKH_GetRaceRecord(clock, 0, record, &arrived), 0) << "cleared";
}

}  // namespace
