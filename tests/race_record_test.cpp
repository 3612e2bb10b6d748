// M clock race record download: a fresh challenge goes out with every
// request, and a reply is delivered only when its code answers it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "api/skylark.h"
#include "clock_rows.h"
#include "frame/clocklink.h"

namespace {

using test::Answer;
using test::Bytes;
using test::hex;
using test::Outputs;
using test::TestClock;

constexpr SK_ULONG kReplyLen = 34;

// The clock's side of a download: the lead field, record body and arrival
// time, then the code; the challenge follows race and record index.
struct ClockSide : test::DownloadClock {
    ClockSide()
        : DownloadClock{hex("00 00 00 00"                                      // lead
                            "0F 1E 2D 3C 4B 5A 69 78 87 96 A5 B4 C3 D2 E1 F0"  // record body
                            "24 03 15 12 34 56"),                              // arrival time
                        4, kReplyLen} {}
};

class RaceRecord : public testing::Test {
protected:
    // Queues the clock's answer and runs one download into out.
    BOOL16 download(Answer answer, SK_ULONG raceIndex = 1, SK_ULONG recordIndex = 1) {
        clock.answer(answer);
        return SKM_GetRaceRecord(clock.handle(), raceIndex, recordIndex, out.text, &out.time1,
                                 leadText);
    }
    BOOL16 download() { return download(side.answer()); }
    bool untouched() const {
        return out.untouched() && std::memcmp(leadText, kLeadSentinel, sizeof leadText) == 0;
    }

    static constexpr char kLeadSentinel[12] = "LLLLLLLLLLL";
    TestClock clock;
    ClockSide side;
    Outputs out = test::outputs();  // text: record body; time1: arrival time
    char leadText[12] = "LLLLLLLLLLL";
};

TEST_F(RaceRecord, GenuineReplyIsDelivered) {
    ASSERT_EQ(download(side.answer(), 0x10002, 0x20005), -1);
    EXPECT_STREQ(leadText, "00000000");
    EXPECT_STREQ(out.text, "0F1E2D3C4B5A69788796A5B4C3D2E1F0");
    EXPECT_NEAR(out.time1, test::k2024, test::kSeconds / 2);
    EXPECT_EQ(static_cast<unsigned char>(out.text[33]), 0xA5) << "written past the record text";
    EXPECT_EQ(leadText[9], 'L') << "written past the lead text";

    const auto commands = clock.commands();
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].function, CLT_RUN_USER_CMD);
    EXPECT_EQ(commands[0].number, 7u);
    EXPECT_EQ(commands[0].paramLen, 8u);
    EXPECT_EQ(commands[0].presetLen, kReplyLen);
    // Indexes in their low 16 bits, then the challenge the clock answered.
    const Bytes expected = {0x00,
                            0x02,
                            0x00,
                            0x05,
                            side.challenge[0],
                            side.challenge[1],
                            side.challenge[2],
                            side.challenge[3]};
    EXPECT_EQ(TestClock::params(commands[0]), expected);
}

TEST_F(RaceRecord, LeadFieldAndBadTimeAreDeliveredAsTheyCome) {
    side.covered =
        hex("DE AD BE EF  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  99 02 30 00 00 00");
    ASSERT_EQ(download(), -1);
    EXPECT_STREQ(leadText, "DEADBEEF");
    EXPECT_STREQ(out.text, "00000000000000000000000000000000");
    EXPECT_EQ(out.time1, 0.0);  // 30 February
}

TEST_F(RaceRecord, EveryCallDrawsAFreshChallenge) {
    std::set<Bytes> challenges;
    for (int i = 0; i < 8; ++i) {
        ASSERT_EQ(download(), -1);
        challenges.insert(Bytes(side.challenge, side.challenge + 4));
    }
    EXPECT_EQ(challenges.size(), 8u);
}

TEST_F(RaceRecord, ReplyRecordedForAnotherChallengeFails) {
    ASSERT_EQ(download(), -1);
    const Bytes recorded(side.reply, side.reply + kReplyLen);
    out = test::outputs();
    std::memcpy(leadText, kLeadSentinel, sizeof leadText);
    EXPECT_EQ(download(Answer::reply(recorded)), 0);
    EXPECT_TRUE(untouched());
}

TEST_F(RaceRecord, AnySingleBitFlipFails) {
    for (int bit = 0; bit < static_cast<int>(kReplyLen * 8); ++bit) {
        side.flipBit = bit;
        EXPECT_EQ(download(), 0) << "bit " << bit;
        EXPECT_TRUE(untouched()) << "bit " << bit;
    }
}

TEST_F(RaceRecord, WrongLengthOrClockFailureFails) {
    // A 35-byte reply whose first 34 bytes would verify, a short one, a failure.
    for (const SK_ULONG deliver : {kReplyLen + 1, kReplyLen - 1}) {
        side.length = deliver;
        EXPECT_EQ(download(), 0) << deliver << " bytes";
        EXPECT_TRUE(untouched());
    }
    side.length = kReplyLen;
    Answer failed = side.answer();
    failed.a.status = 0;
    EXPECT_EQ(download(failed), 0);
    EXPECT_TRUE(untouched());
}

TEST_F(RaceRecord, NullOutputSendsNothing) {
    EXPECT_EQ(SKM_GetRaceRecord(clock.handle(), 0, 0, nullptr, &out.time1, leadText), 0);
    EXPECT_EQ(SKM_GetRaceRecord(clock.handle(), 0, 0, out.text, nullptr, leadText), 0);
    EXPECT_EQ(SKM_GetRaceRecord(clock.handle(), 0, 0, out.text, &out.time1, nullptr), 0);
    EXPECT_TRUE(clock.calls().empty());
    EXPECT_TRUE(untouched());
}

}  // namespace
