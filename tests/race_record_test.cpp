// M clock race record download: a fresh challenge goes out with every
// request, and a reply is delivered only when its code answers it.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "skylark/skylark.h"
#include "support.h"
#include "frame/clocklink.h"

namespace {

using test::Answer;
using test::Bytes;
using test::hex;
using test::Outputs;
using test::Sent;
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
                                 out.text2);
    }
    BOOL16 download() { return download(side.answer()); }
    TestClock clock;
    ClockSide side;
    Outputs out;  // text: record body; time1: arrival time; text2: lead field
};

TEST_F(RaceRecord, GenuineReplyIsDelivered) {
    ASSERT_EQ(download(side.answer(), 0x10002, 0x20005), -1);
    EXPECT_STREQ(out.text2, "00000000");
    EXPECT_STREQ(out.text, "0F1E2D3C4B5A69788796A5B4C3D2E1F0");
    EXPECT_NEAR(out.time1, test::k2024, test::kSeconds / 2);
    EXPECT_EQ(static_cast<unsigned char>(out.text[33]), test::kFill) << "written past the record text";
    EXPECT_EQ(static_cast<unsigned char>(out.text2[9]), test::kFill) << "written past the lead text";

    // Indexes in their low 16 bits, then the challenge the clock answered.
    Bytes params = hex("00 02 00 05");
    params.insert(params.end(), side.challenge, side.challenge + 4);
    EXPECT_TRUE(test::sentOnly(clock, Sent{CLT_RUN_USER_CMD, 7, params, kReplyLen}));
}

TEST_F(RaceRecord, LeadFieldAndBadTimeAreDeliveredAsTheyCome) {
    side.covered =
        hex("DE AD BE EF  00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00  99 02 30 00 00 00");
    ASSERT_EQ(download(), -1);
    EXPECT_STREQ(out.text2, "DEADBEEF");
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
    out = Outputs();
    EXPECT_EQ(download(Answer::reply(recorded)), 0);
    EXPECT_TRUE(out.untouched());
}

TEST_F(RaceRecord, AnySingleBitFlipFails) {
    for (int bit = 0; bit < static_cast<int>(kReplyLen * 8); ++bit) {
        side.flipBit = bit;
        EXPECT_EQ(download(), 0) << "bit " << bit;
        EXPECT_TRUE(out.untouched()) << "bit " << bit;
    }
}

TEST_F(RaceRecord, WrongLengthOrClockFailureFails) {
    // A 35-byte reply whose first 34 bytes would verify, a short one, a failure.
    for (const SK_ULONG deliver : {kReplyLen + 1, kReplyLen - 1}) {
        side.length = deliver;
        EXPECT_EQ(download(), 0) << deliver << " bytes";
        EXPECT_TRUE(out.untouched());
    }
    side.length = kReplyLen;
    Answer failed = side.answer();
    failed.a.status = 0;
    EXPECT_EQ(download(failed), 0);
    EXPECT_TRUE(out.untouched());
}

class RaceRecordNull : public testing::TestWithParam<test::NullRow> {};
TEST_P(RaceRecordNull, SendsNothing) { test::expectNullRefused(GetParam()); }

const test::NullRow kNulls[] = {
    {"GetRaceRecord_Record",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceRecord(h, 0, 0, nullptr, &o.time1, o.text2); }},
    {"GetRaceRecord_Time",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceRecord(h, 0, 0, o.text, nullptr, o.text2); }},
    {"GetRaceRecord_Lead",
     [](SK_ULONG h, Outputs& o) { return SKM_GetRaceRecord(h, 0, 0, o.text, &o.time1, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(RaceRecord, RaceRecordNull, testing::ValuesIn(kNulls),
                         test::rowName<test::NullRow>);

}  // namespace
