// What a virtual clock refuses when a host (or the person at the clock)
// enters what no clock could hold: one table per kind, each rule with the
// code it is refused with, and the cases just inside each rule accepted.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "frame/clocklink.h"
#include "skylark/skylark.h"
#include "skylark/virtual_clock.h"

namespace {

// 14 March 2026 09:05:07 and later times, as OLE dates.
constexpr double kStart = 46095.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0;
double at(int secondsLater) { return kStart + secondsLater / 86400.0; }

constexpr const char* kKey = "0102030405060708";
constexpr const char* kOtherKey = "1112131415161718";
constexpr const char* kRing1 = "DE0000000001";
constexpr const char* kRing2 = "DE0000000002";
constexpr const char* kStranger = "DE0000000099";

// The code a host sees for an export's result: CLV_OK on success, else the
// channel's error code.
int code(SK_ULONG h, BOOL16 result) { return result != 0 ? CLV_OK : static_cast<int>(IFD_GetErrCode(h)); }

struct Case {
    const char* name;
    std::function<int(SK_ULONG)> act;
    int expect;
};

// Runs each case on a fresh authenticated clock of the kind, set up by setup.
void runCases(int kind, const std::function<void(SK_ULONG)>& setup, const std::vector<Case>& cases) {
    for (const Case& k : cases) {
        const SK_ULONG h = CLV_Open(kind);
        CLV_FreezeClock(h, 1);
        CLV_SetClockTime(h, at(7200));  // two hours into the race day
        ASSERT_NE(SK_Connect(h), 0) << k.name;
        setup(h);
        if (::testing::Test::HasFatalFailure()) return;
        EXPECT_EQ(k.act(h), k.expect) << k.name << ": " << CLV_ErrorText(k.expect);
        CLV_Close(h);
    }
}

// M clock: race 0 confirmed (rings 1 and 2, liberation at 0, closing at
// 3600), training flight 1 confirmed (ring 1, release at 0).
void mSetup(SK_ULONG h) {
    ASSERT_EQ(SKM_CreateRace(h, kKey, at(0), at(3600), 7), -1);
    ASSERT_EQ(SKM_AddRaceCard(h, kRing1), -1);
    ASSERT_EQ(SKM_AddRaceCard(h, kRing2), -1);
    ASSERT_EQ(SKM_ConfirmRace(h, kKey, 2, "CONFIRM!"), -1);
    SK_ULONG number = 0;
    ASSERT_EQ(SKM_CreateTrain(h, at(0), at(3600), 1, &number), -1);
    ASSERT_EQ(SKM_AddTrainCard(h, kRing1), -1);
    ASSERT_EQ(SKM_ConfirmTrain(h, number, 1), -1);
}

TEST(VirtualRules, MClockRefuses) {
    runCases(CLV_KIND_M, mSetup, {
        {"race closing before its liberation",
         [](SK_ULONG h) { return code(h, SKM_CreateRace(h, kOtherKey, at(60), at(59), 0)); }, CLV_ERR_TIME_ORDER},
        {"race closing at its liberation",
         [](SK_ULONG h) { return code(h, SKM_CreateRace(h, kOtherKey, at(60), at(60), 0)); }, CLV_OK},
        {"race key twice",
         [](SK_ULONG h) { return code(h, SKM_CreateRace(h, kKey, at(0), at(60), 0)); }, CLV_ERR_EXISTS},
        {"race card with no race being set up",
         [](SK_ULONG h) { return code(h, SKM_AddRaceCard(h, kStranger)); }, CLV_ERR_BAD_STATE},
        {"race card twice",
         [](SK_ULONG h) {
             SKM_CreateRace(h, kOtherKey, at(0), at(60), 0);
             SKM_AddRaceCard(h, kRing1);
             return code(h, SKM_AddRaceCard(h, kRing1));
         }, CLV_ERR_EXISTS},
        {"race confirmed without cards",
         [](SK_ULONG h) {
             SKM_CreateRace(h, kOtherKey, at(0), at(60), 0);
             return code(h, SKM_ConfirmRace(h, kOtherKey, 0, "CONFIRM!"));
         }, CLV_ERR_BAD_STATE},
        {"arrival before the race's liberation",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing1, at(-1)); }, CLV_ERR_TIME_ORDER},
        {"arrival 26 years before the race",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing1, 36893.5); }, CLV_ERR_TIME_ORDER},
        {"arrival at the liberation",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing1, at(0)); }, CLV_OK},
        {"arrival after the closing time (late birds count)",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing1, at(5000)); }, CLV_OK},
        {"arrival in a race not confirmed",
         [](SK_ULONG h) {
             SKM_CreateRace(h, kOtherKey, at(0), at(60), 0);
             SKM_AddRaceCard(h, kRing1);
             return CLV_RecordArrival(h, 1, kRing1, at(10));
         }, CLV_ERR_BAD_STATE},
        {"arrival in a closed race",
         [](SK_ULONG h) {
             SKM_CloseRace(h, kKey);
             return CLV_RecordArrival(h, 0, kRing1, at(10));
         }, CLV_ERR_BAD_STATE},
        {"arrival of a ring not entered",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kStranger, at(10)); }, CLV_ERR_NOT_FOUND},
        {"arrival twice",
         [](SK_ULONG h) {
             CLV_RecordArrival(h, 0, kRing1, at(10));
             return CLV_RecordArrival(h, 0, kRing1, at(20));
         }, CLV_ERR_EXISTS},
        {"arrival in no race",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 5, kRing1, at(10)); }, CLV_ERR_NOT_FOUND},
        {"training flight ending before its release",
         [](SK_ULONG h) {
             SK_ULONG n = 0;
             return code(h, SKM_CreateTrain(h, at(60), at(0), 1, &n));
         }, CLV_ERR_TIME_ORDER},
        {"training arrival before the release",
         [](SK_ULONG h) { return CLV_RecordTrainArrival(h, 0, kRing1, at(-60)); }, CLV_ERR_TIME_ORDER},
        {"training arrival of a ring not in the flight",
         [](SK_ULONG h) { return CLV_RecordTrainArrival(h, 0, kRing2, at(60)); }, CLV_ERR_NOT_FOUND},
        {"training arrival twice",
         [](SK_ULONG h) {
             CLV_RecordTrainArrival(h, 0, kRing1, at(60));
             return CLV_RecordTrainArrival(h, 0, kRing1, at(61));
         }, CLV_ERR_EXISTS},
        {"training arrival in a flight not confirmed",
         [](SK_ULONG h) {
             SK_ULONG n = 0;
             SKM_CreateTrain(h, at(0), at(60), 1, &n);
             SKM_AddTrainCard(h, kRing2);
             return CLV_RecordTrainArrival(h, 1, kRing2, at(60));
         }, CLV_ERR_BAD_STATE},
    });
}

// S clock: its race (liberation at 0, closing at 3600).
void sSetup(SK_ULONG h) { ASSERT_EQ(SKS_CreateRace(h, kKey, at(0), at(3600)), -1); }

TEST(VirtualRules, SClockRefuses) {
    runCases(CLV_KIND_S, sSetup, {
        {"race closing before its liberation",
         [](SK_ULONG h) {
             SKS_ClearRace(h);
             return code(h, SKS_CreateRace(h, kOtherKey, at(60), at(0)));
         }, CLV_ERR_TIME_ORDER},
        {"a second race before the first is cleared",
         [](SK_ULONG h) { return code(h, SKS_CreateRace(h, kOtherKey, at(0), at(60))); }, CLV_ERR_BAD_STATE},
        {"arrival before the liberation",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing1, at(-1)); }, CLV_ERR_TIME_ORDER},
        {"arrival at the liberation",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing1, at(0)); }, CLV_OK},
        {"arrival twice",
         [](SK_ULONG h) {
             CLV_RecordArrival(h, 0, kRing1, at(10));
             return CLV_RecordArrival(h, 0, kRing1, at(20));
         }, CLV_ERR_EXISTS},
        {"arrival with no race",
         [](SK_ULONG h) {
             SKS_ClearRace(h);
             return CLV_RecordArrival(h, 0, kRing1, at(10));
         }, CLV_ERR_NOT_FOUND},
    });
}

// H clock: its race with ring 1 basketed at 0 and ring 2 at 100, confirmed.
void hSetup(SK_ULONG h) {
    ASSERT_EQ(SKH_CreateRace(h, kKey), -1);
    ASSERT_NE(SKH_AddRaceCard(h, kRing1, "C0DEC0DEC0DEC0DE", at(0)), 0);
    ASSERT_NE(SKH_AddRaceCard(h, kRing2, "C0DEC0DEC0DEC0DF", at(100)), 0);
    ASSERT_NE(SKH_ConfirmRace(h, kKey, 2), 0);
}

TEST(VirtualRules, HClockRefuses) {
    runCases(CLV_KIND_H, hSetup, {
        {"arrival before its card's time",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing2, at(99)); }, CLV_ERR_TIME_ORDER},
        {"arrival at its card's time",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kRing2, at(100)); }, CLV_OK},
        {"arrival of a ring without a race card",
         [](SK_ULONG h) { return CLV_RecordArrival(h, 0, kStranger, at(200)); }, CLV_ERR_NOT_FOUND},
        {"arrival twice",
         [](SK_ULONG h) {
             CLV_RecordArrival(h, 0, kRing1, at(200));
             return CLV_RecordArrival(h, 0, kRing1, at(300));
         }, CLV_ERR_EXISTS},
        {"arrival before the race is confirmed",
         [](SK_ULONG h) {
             SKH_ClearRace(h);
             SKH_CreateRace(h, kKey);
             SKH_AddRaceCard(h, kRing1, "C0DEC0DEC0DEC0DE", at(0));
             return CLV_RecordArrival(h, 0, kRing1, at(200));
         }, CLV_ERR_BAD_STATE},
        {"race card after confirmation",
         [](SK_ULONG h) { return code(h, SKH_AddRaceCard(h, kStranger, "C0DEC0DEC0DEC0DE", at(0))); },
         CLV_ERR_BAD_STATE},
        {"race card twice",
         [](SK_ULONG h) {
             SKH_ClearRace(h);
             SKH_CreateRace(h, kKey);
             SKH_AddRaceCard(h, kRing1, "C0DEC0DEC0DEC0DE", at(0));
             return code(h, SKH_AddRaceCard(h, kRing1, "C0DEC0DEC0DEC0DE", at(0)));
         }, CLV_ERR_EXISTS},
        {"race confirmed without cards",
         [](SK_ULONG h) {
             SKH_ClearRace(h);
             SKH_CreateRace(h, kKey);
             return code(h, SKH_ConfirmRace(h, kKey, 0));
         }, CLV_ERR_BAD_STATE},
    });
}

// An arrival is never after the clock's present: one from the clock's
// future brings the present on to it (the bird is clocked in when it
// arrives), one from its past leaves the present where it is.
TEST(VirtualRules, ArrivalBringsThePresentOn) {
    const SK_ULONG h = CLV_Open(CLV_KIND_M);
    CLV_FreezeClock(h, 1);
    ASSERT_EQ(CLV_SetClockTime(h, at(100)), CLV_OK);
    ASSERT_NE(SK_Connect(h), 0);
    mSetup(h);
    double now = 0;
    ASSERT_EQ(CLV_RecordArrival(h, 0, kRing1, at(50)), CLV_OK);
    ASSERT_EQ(CLV_GetClockTime(h, &now), CLV_OK);
    EXPECT_LT(std::fabs(now - at(100)), 0.5 / 86400);
    ASSERT_EQ(CLV_RecordArrival(h, 0, kRing2, at(900)), CLV_OK);
    ASSERT_EQ(CLV_GetClockTime(h, &now), CLV_OK);
    EXPECT_LT(std::fabs(now - at(900)), 0.5 / 86400);
    double clockTime = 0;
    ASSERT_EQ(SK_GetTime(h, &clockTime), -1);
    EXPECT_LT(std::fabs(clockTime - at(900)), 0.5 / 86400);
    // The log stamps the arrival with the clock's time.
    CLV_ULONG last = 0;
    unsigned char type = 0;
    double when = 0;
    char data[51];
    ASSERT_EQ(CLV_GetLogCount(h, &last), CLV_OK);
    ASSERT_EQ(CLV_GetLogEntry(h, last, &type, &when, data), CLV_OK);
    EXPECT_EQ(type, CLV_LOG_ARRIVAL);
    EXPECT_LT(std::fabs(when - at(900)), 0.5 / 86400);
    CLV_Close(h);
}

}  // namespace
