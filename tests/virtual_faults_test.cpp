// The virtual clocks' fault injection (CLV_SetFault, CLV_SetFailure) and the
// channel's error code, as a host meets them through the library's exports
// and ClockLink's functions.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "skylark/skylark.h"
#include "frame/clocklink.h"
#include "skylark/virtual_clock.h"

namespace {

constexpr const char* kRaceKey = "0102030405060708";
constexpr const char* kRing = "DE0000000001";
// 14 March 2026 09:05:07, as an OLE date.
constexpr double kStart = 46095.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0;

// An authenticated M clock, its time frozen, with one race of one arrival.
struct Clock {
    SK_ULONG h = CLV_Open(CLV_KIND_M);
    Clock() {
        CLV_FreezeClock(h, 1);
        EXPECT_NE(SK_InitDevEx(h, "loft7"), 0);
        EXPECT_NE(SK_ConnectEx(h, "loft7"), 0);
        EXPECT_EQ(SKM_AppendCard(h, kRing, 1, 2, 3, 4, 5, ""), -1);
        EXPECT_EQ(SKM_CreateRace(h, kRaceKey, kStart, kStart + 0.5, 7), -1);
        EXPECT_EQ(SKM_AddRaceCard(h, kRing), -1);
        EXPECT_EQ(SKM_ConfirmRace(h, kRaceKey, 1, "CONFIRM!"), -1);
        EXPECT_EQ(CLV_RecordArrival(h, 0, kRing, kStart + 0.1), CLV_OK);
    }
    ~Clock() { CLV_Close(h); }
    SK_ULONG err() const { return IFD_GetErrCode(h); }
    bool count() const {
        SK_ULONG n = 0;
        return SKM_GetRaceCount(h, &n) == -1;
    }
    bool download() const {
        char body[33], lead[9];
        double t = 0;
        return SKM_GetRaceRecord(h, 0, 0, body, &t, lead) == -1;
    }
};

using Millis = std::chrono::milliseconds;
template <class F>
Millis timed(F f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now() - start);
}

// ---- CLV_SetFault: what each mode accepts ----------------------------------------------

TEST(VirtualFaults, ArmingRefusesWhatCannotHappen) {
    Clock c;
    struct Case { const char* name; int fault; CLV_ULONG value; int expect; };
    const Case cases[] = {
        {"failure without a code", CLV_FAULT_FAIL, 0, CLV_ERR_BAD_ARGUMENT},
        {"failure with a code", CLV_FAULT_FAIL, 77, CLV_OK},
        {"delay above the cap", CLV_FAULT_DELAY, CLV_MAX_DELAY_MS + 1, CLV_ERR_BAD_ARGUMENT},
        {"delay of an hour", CLV_FAULT_DELAY, 3600000, CLV_ERR_BAD_ARGUMENT},
        {"delay at the cap", CLV_FAULT_DELAY, CLV_MAX_DELAY_MS, CLV_OK},
        {"slow above the cap", CLV_FAULT_SLOW, CLV_MAX_DELAY_MS + 1, CLV_ERR_BAD_ARGUMENT},
        {"tamper past the longest reply", CLV_FAULT_TAMPER, CLV_MAX_TAMPER_BIT + 1, CLV_ERR_BAD_ARGUMENT},
        {"tamper of a huge bit", CLV_FAULT_TAMPER, 0xFFFFFFFF, CLV_ERR_BAD_ARGUMENT},
        {"tamper of the last bit", CLV_FAULT_TAMPER, CLV_MAX_TAMPER_BIT, CLV_OK},
        {"unknown mode", 8, 1, CLV_ERR_BAD_ARGUMENT},
        {"negative mode", -1, 1, CLV_ERR_BAD_ARGUMENT},
    };
    for (const Case& k : cases) {
        EXPECT_EQ(CLV_SetFault(c.h, k.fault, k.value), k.expect) << k.name;
        ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_CLEAR, 0), CLV_OK);
    }
    // A refused failure arms nothing: the next command runs.
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_FAIL, 0), CLV_ERR_BAD_ARGUMENT);
    EXPECT_TRUE(c.count());
    EXPECT_EQ(CLV_SetFault(0xFFFFFF, CLV_FAULT_CLEAR, 0), CLV_ERR_NO_CHANNEL);
}

// A failure reaches every ClockLink call, not only the commands.
TEST(VirtualFaults, FailureReachesEveryClockLinkCall) {
    Clock c;
    unsigned char rnd[8] = {}, key[8] = {}, rnd8[8] = {};
    SK_ULONG len = 2;
    unsigned char code = 0x17, reply[2];
    struct Case { const char* name; std::function<BOOL16()> call; };
    const Case calls[] = {
        {"IFD_RunSysCmd", [&] { len = 2; return IFD_RunSysCmd(c.h, 0, &code, 1, reply, &len); }},
        {"IFD_RunUserCmd", [&] { return IFD_RunUserCmd(c.h, 99, rnd, 1, nullptr, nullptr); }},
        {"IFD_GetRnd", [&] { return IFD_GetRnd(c.h, rnd); }},
        {"IFD_GetCommKeyRnd", [&] { return IFD_GetCommKeyRnd(c.h, rnd8); }},
        {"IFD_SetCommKey", [&] { return IFD_SetCommKey(c.h, key, rnd8); }},
        {"IFD_IsCommKeyValid", [&] { return IFD_IsCommKeyValid(c.h); }},
    };
    for (const Case& k : calls) {
        ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_FAIL, 201), CLV_OK);
        EXPECT_EQ(k.call(), 0) << k.name;
        EXPECT_EQ(c.err(), 201u) << k.name;
    }
    // Nothing happened: the channel still holds its key and its session.
    EXPECT_NE(IFD_IsCommKeyValid(c.h), 0);
    EXPECT_TRUE(c.count());
    // The host's view: the device random or the comm key cannot be had.
    ASSERT_EQ(CLV_SetFailure(c.h, CLV_ON_GET_RND, 0, 1, 202), CLV_OK);
    EXPECT_EQ(SK_ConnectEx(c.h, "loft7"), 0);
    EXPECT_EQ(c.err(), 202u);
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_LOSE_COMM_KEY, 0), CLV_OK);
    ASSERT_EQ(CLV_SetFailure(c.h, CLV_ON_SET_COMM_KEY, 0, 1, 203), CLV_OK);
    EXPECT_EQ(SK_ConnectEx(c.h, "loft7"), 0);
    EXPECT_EQ(c.err(), 203u);
    EXPECT_NE(SK_ConnectEx(c.h, "loft7"), 0);
}

// A tamper bit waits for a reply that holds it; it never wraps into a
// shorter one.
TEST(VirtualFaults, TamperWaitsForAReplyHoldingTheBit) {
    Clock c;
    double before = 0, after = 0;
    ASSERT_EQ(SK_GetTime(c.h, &before), -1);
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_TAMPER, 100), CLV_OK);  // byte 12
    ASSERT_EQ(SK_GetTime(c.h, &after), -1);                        // 6 bytes: untouched
    EXPECT_EQ(after, before);
    EXPECT_FALSE(c.download());  // 34 bytes: byte 12 flipped, the proof fails
    EXPECT_TRUE(c.download());
}

// A delay is waited out without the clock's lock: the clock's own API, the
// error code and the fault's clearing do not wait for it.
TEST(VirtualFaults, DelayDoesNotHoldTheClock) {
    Clock c;
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_DELAY, 3000), CLV_OK);
    std::atomic<bool> answered{false};
    Millis slow{};
    std::thread host([&] {
        slow = timed([&] { answered = c.count(); });
    });
    std::this_thread::sleep_for(Millis(100));
    const std::string path = ::testing::TempDir() + "delayed_clock.json";
    double t = 0;
    const Millis others = timed([&] {
        EXPECT_EQ(IFD_GetErrCode(c.h), 0u);
        EXPECT_EQ(CLV_GetClockTime(c.h, &t), CLV_OK);
        EXPECT_EQ(CLV_Save(c.h, path.c_str()), CLV_OK);
        EXPECT_EQ(CLV_SetFault(c.h, CLV_FAULT_CLEAR, 0), CLV_OK);
    });
    host.join();
    EXPECT_LT(others.count(), 1500) << "waited for the delayed command";
    EXPECT_GE(slow.count(), 2900);
    EXPECT_TRUE(answered);
    std::remove(path.c_str());
}

TEST(VirtualFaults, SlowChannelDelaysEveryCallUntilCleared) {
    Clock c;
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_SLOW, 200), CLV_OK);
    for (int i = 0; i < 2; ++i) {
        bool ok = false;
        EXPECT_GE(timed([&] { ok = c.count(); }).count(), 195) << i;
        EXPECT_TRUE(ok);
    }
    EXPECT_GE(timed([&] { IFD_IsCommKeyValid(c.h); }).count(), 195);
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_SLOW, 0), CLV_OK);
    EXPECT_LT(timed([&] { c.count(); }).count(), 150);
}

// ---- CLV_SetFailure: counted and persistent failures -------------------------------------

TEST(VirtualFaults, FailureRulesCountTheCallsTheyMatch) {
    Clock c;
    // The next two calls fail, the third runs.
    ASSERT_EQ(CLV_SetFailure(c.h, CLV_ON_ANY, 0, 2, 91), CLV_OK);
    EXPECT_FALSE(c.count());
    EXPECT_FALSE(c.download());
    EXPECT_EQ(c.err(), 91u);
    EXPECT_TRUE(c.count());
    EXPECT_TRUE(c.count());
    // The third call from now fails, alone.
    ASSERT_EQ(CLV_SetFailure(c.h, CLV_ON_ANY, 2, 1, 92), CLV_OK);
    EXPECT_TRUE(c.count());
    EXPECT_TRUE(c.download());
    EXPECT_FALSE(c.count());
    EXPECT_EQ(c.err(), 92u);
    EXPECT_TRUE(c.count());
    // Every download fails until cleared; other commands run.
    ASSERT_EQ(CLV_SetFailure(c.h, CLV_ON_USER | 7, 0, 0, 93), CLV_OK);
    for (int i = 0; i < 5; ++i) EXPECT_FALSE(c.download()) << i;
    EXPECT_TRUE(c.count());
    // Every race count (class 0, code 0x17), not the registry's count (0x21).
    ASSERT_EQ(CLV_SetFailure(c.h, CLV_ON_SYSTEM | 0 << 8 | 0x17, 0, 0, 94), CLV_OK);
    EXPECT_TRUE(c.download());  // the rule replaced the one before
    EXPECT_FALSE(c.count());
    EXPECT_FALSE(c.count());
    SK_ULONG cards = 0;
    EXPECT_EQ(SKM_GetCardCount(c.h, &cards), -1);
    EXPECT_EQ(c.err(), 94u);
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_CLEAR, 0), CLV_OK);
    EXPECT_TRUE(c.count());
}

TEST(VirtualFaults, FailureRulesRefuseWhatNamesNoCall) {
    Clock c;
    struct Case { const char* name; CLV_ULONG command; CLV_ULONG code; int expect; };
    const Case cases[] = {
        {"code 0", CLV_ON_ANY, 0, CLV_ERR_BAD_ARGUMENT},
        {"any with bits", CLV_ON_ANY | 5, 1, CLV_ERR_BAD_ARGUMENT},
        {"class 2 with a code", CLV_ON_SYSTEM | 2 << 8 | 1, 1, CLV_ERR_BAD_ARGUMENT},
        {"class 2", CLV_ON_SYSTEM | 2 << 8, 1, CLV_OK},
        {"class 1 code 0x25", CLV_ON_SYSTEM | 1 << 8 | 0x25, 1, CLV_OK},
        {"system above 16 bits", CLV_ON_SYSTEM | 0x10000, 1, CLV_ERR_BAD_ARGUMENT},
        {"user 65535", CLV_ON_USER | 0xFFFF, 1, CLV_OK},
        {"user above 16 bits", CLV_ON_USER | 0x10000, 1, CLV_ERR_BAD_ARGUMENT},
        {"random with bits", CLV_ON_GET_RND | 1, 1, CLV_ERR_BAD_ARGUMENT},
        {"comm key check", CLV_ON_IS_COMM_KEY_VALID, 1, CLV_OK},
        {"unknown call", 0x07000000, 1, CLV_ERR_BAD_ARGUMENT},
    };
    for (const Case& k : cases) EXPECT_EQ(CLV_SetFailure(c.h, k.command, 0, 1, k.code), k.expect) << k.name;
}

TEST(VirtualFaults, LostCommKeyEndsTheSession) {
    Clock c;
    ASSERT_NE(IFD_IsCommKeyValid(c.h), 0);
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_LOSE_COMM_KEY, 0), CLV_OK);
    EXPECT_EQ(IFD_IsCommKeyValid(c.h), 0);
    unsigned char rnd8[8];
    EXPECT_EQ(IFD_GetCommKeyRnd(c.h, rnd8), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NO_COMM_KEY});
    EXPECT_FALSE(c.count());
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_AUTHENTICATED});
    // The host recovers as it started: SK_ConnectEx installs a key again.
    ASSERT_NE(SK_ConnectEx(c.h, "loft7"), 0);
    EXPECT_NE(IFD_IsCommKeyValid(c.h), 0);
    EXPECT_TRUE(c.download());
}

TEST(VirtualFaults, ChannelDownStaysDownUntilBroughtUp) {
    Clock c;
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_DOWN, 1), CLV_OK);
    unsigned char state = 0, rnd[4];
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(c.count());
        EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_CHANNEL_DOWN});
    }
    EXPECT_EQ(SK_GetDevState(c.h, &state), 0);  // no state byte either
    EXPECT_EQ(IFD_GetRnd(c.h, rnd), 0);
    EXPECT_EQ(IFD_IsCommKeyValid(c.h), 0);
    EXPECT_EQ(SK_ConnectEx(c.h, "loft7"), 0);
    // The clock itself is fine: its API answers, its arrivals are kept.
    CLV_ULONG arrivals = 0;
    EXPECT_EQ(CLV_GetArrivalCount(c.h, 0, &arrivals), CLV_OK);
    EXPECT_EQ(arrivals, 1u);
    // Up again, the host connects anew: the session did not survive.
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_DOWN, 0), CLV_OK);
    EXPECT_FALSE(c.count());
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_AUTHENTICATED});
    ASSERT_NE(SK_ConnectEx(c.h, "loft7"), 0);
    EXPECT_TRUE(c.download());
    EXPECT_STRNE(CLV_ErrorText(CLV_ERR_CHANNEL_DOWN), CLV_ErrorText(-12345));
}

// ---- IFD_GetErrCode: the last failure, per thread ---------------------------------------

TEST(VirtualErrorCode, LastFailureSurvivesSuccesses) {
    Clock c;
    SK_ULONG index = 0;
    EXPECT_EQ(c.err(), 0u);  // no failure yet on this thread
    ASSERT_EQ(SKM_GetRaceIndex(c.h, "FFFFFFFFFFFFFFFF", &index), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_FOUND});
    ASSERT_TRUE(c.count());
    ASSERT_TRUE(c.download());
    unsigned char rnd[4];
    ASSERT_NE(IFD_GetRnd(c.h, rnd), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_FOUND});
    // The next failure replaces it.
    ASSERT_EQ(SKM_CreateRace(c.h, kRaceKey, kStart, kStart + 0.5, 7), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_EXISTS});
}

TEST(VirtualErrorCode, EachThreadKeepsItsOwnReason) {
    Clock c;
    SK_ULONG index = 0;
    ASSERT_EQ(SKM_GetRaceIndex(c.h, "FFFFFFFFFFFFFFFF", &index), 0);
    SK_ULONG other = 1, fresh = 1;
    std::thread([&] {
        EXPECT_EQ(SKM_CreateRace(c.h, kRaceKey, kStart, kStart + 0.5, 7), 0);
        other = IFD_GetErrCode(c.h);
    }).join();
    std::thread([&] {
        EXPECT_TRUE(c.count());
        fresh = IFD_GetErrCode(c.h);
    }).join();
    EXPECT_EQ(other, SK_ULONG{CLV_ERR_EXISTS});
    EXPECT_EQ(fresh, 0u);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_FOUND});
}

}  // namespace
