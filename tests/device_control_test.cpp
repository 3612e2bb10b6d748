// Device control: the initialisation, programming and time-setting blocks on
// the wire, the reads and their result rules, and outputs left alone on
// failure.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "skylark/skylark.h"
#include "frame/codec.h"
#include "os/os.h"
#include "standins/clocklink/verify_key.h"
#include "security/des.h"
#include "support.h"

namespace {

using test::Answer;
using test::Bytes;
using test::hex;
using test::Outputs;
using test::sentOnly;

using test::kTestVerifyKey;
const Bytes kAccessCode = hex("5B C3 17 A9 6E 24 D0 8F");

Bytes localNowBcd() {
    std::uint8_t bcd[6];
    skylark::dateTimeToBcd(skylark::osLocalNow(), bcd);
    return Bytes(bcd, bcd + 6);
}

Bytes decrypted(const std::uint8_t* block, const CDesKey& key) {
    Bytes out(8);
    skylark::desDecrypt(block, out.data(), key);
    return out;
}

// ---- Initialisation and in-system programming ------------------------------------

struct InitCase {
    const char* name;
    bool viaInitDev;       // SK_InitDev rather than SK_InitDevEx
    const char* password;  // may be null
    Bytes code;            // bytes 0..7, checked by hand
};

class InitDev : public testing::TestWithParam<InitCase> {};

TEST_P(InitDev, SendsFoldedAccessCodeAndLocalTime) {
    const InitCase& c = GetParam();
    test::TestClock clock;
    clock.answer(Answer::status(1));

    const Bytes before = localNowBcd();
    EXPECT_EQ(c.viaInitDev ? SK_InitDev(clock.handle()) : SK_InitDevEx(clock.handle(), c.password),
              1);
    const Bytes after = localNowBcd();

    ASSERT_EQ(clock.calls().size(), 1u);
    // The code, then the local time of the call (read before and after it).
    const CltCall sent = clock.commands().at(0);
    const Bytes time(sent.params + 8, sent.params + 14);
    EXPECT_TRUE(time == before || time == after);
    Bytes block = c.code;
    block.insert(block.end(), time.begin(), time.end());
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 2, block, 0}));
}

INSTANTIATE_TEST_SUITE_P(
    Device, InitDev,
    testing::Values(InitCase{"InitDevSendsTheAccessCode", true, nullptr, kAccessCode},
                    InitCase{"EmptyPasswordSendsTheAccessCode", false, "", kAccessCode},
                    InitCase{"PasswordFolded", false, "pw", hex("2B B4 17 A9 6E 24 D0 8F")},
                    InitCase{"OnlyEightCharactersFolded", false, "LongPassword",
                             hex("17 AC 79 CE 3E 45 A3 FC")}),
    [](const testing::TestParamInfo<InitCase>& info) { return std::string(info.param.name); });

TEST(Device, ActiveIspSendsTheAccessCodeWhateverThePassword) {
    test::TestClock clock;
    SK_InitDevEx(clock.handle(), "LongPassword");
    const Bytes initBlock = test::TestClock::params(clock.commands().at(0));
    EXPECT_EQ(SK_ActiveIsp(clock.handle()), 1);
    EXPECT_TRUE(sentOnly(clock, {{CLT_RUN_SYS_CMD, 2, initBlock, 0},
                                 {CLT_RUN_SYS_CMD, 4, kAccessCode, 0}}));
}

// ---- Setting the time ------------------------------------------------------------

using test::kDate;  // 14 March 2010 09:05:07
const Bytes kRandom = hex("5A C3 0F 96");

// date 10 03 14 09 05 07, R 5A C3 0F 96; masks 6D B2 (SetPigeon), 9E 47 (SetTime)
const Bytes kSetTimeBlock = hex("10 03 14 09 05 07  4A C0 1B 9F 5F C4 91 D1");
const Bytes kSetPigeonPlain = hex("4A C0 1B 9F 5F C4 62 24");

// The date, then the 8-byte block made with the clock's random: the random
// is read first, then the block goes out as user command 0 without a reply.
Bytes setTimeBlock(BOOL16(SKAPI_CALL* fn)(SK_ULONG, double), const Bytes& block8) {
    test::TestClock clock;
    clock.answer({Answer::reply(kRandom), Answer::status(1)});
    EXPECT_EQ(fn(clock.handle(), kDate), 1);
    const auto calls = clock.calls();
    EXPECT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls.at(0).function, CLT_GET_RND);
    Bytes block = test::kDateBcd;
    block.insert(block.end(), block8.begin(), block8.end());
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_USER_CMD, 0, block, 0}));
    return test::TestClock::params(clock.commands().at(0));
}

Bytes encrypted(const Bytes& plain, const CDesKey& key) {
    Bytes out(8);
    skylark::desEncrypt(plain.data(), out.data(), key);
    return out;
}

TEST(SetTime, SendsTheVerificationBlockInClear) {
    EXPECT_EQ(setTimeBlock(SK_SetTime, Bytes(kSetTimeBlock.begin() + 6, kSetTimeBlock.end())),
              kSetTimeBlock);
}

TEST(SetTime, SetPigeonSendsTheSameTimeAndEncryptsItsBlock) {
    const test::VerifyKey key(kTestVerifyKey);
    const Bytes pigeon =
        setTimeBlock(SK_SetPigeon, encrypted(kSetPigeonPlain, CDesKey(kTestVerifyKey.data())));
    const Bytes time = setTimeBlock(SK_SetTime, Bytes(kSetTimeBlock.begin() + 6, kSetTimeBlock.end()));
    EXPECT_EQ(Bytes(pigeon.begin(), pigeon.begin() + 6), Bytes(time.begin(), time.begin() + 6));
    const Bytes plain = decrypted(pigeon.data() + 6, CDesKey(kTestVerifyKey.data()));
    EXPECT_EQ(plain, kSetPigeonPlain);
    // Only the mask bytes tell the two blocks apart.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(plain[i], time[6 + i]);
}

TEST(SetTime, StandInLoadsItsFixedVerifyKey) {
    const Bytes pigeon =
        setTimeBlock(SK_SetPigeon, encrypted(kSetPigeonPlain, CDesKey(standins::kVerifyKey)));
    EXPECT_EQ(decrypted(pigeon.data() + 6, CDesKey(standins::kVerifyKey)), kSetPigeonPlain);
}

TEST(SetTime, FailedRandomSendsNothing) {
    for (auto fn : {SK_SetTime, SK_SetPigeon}) {
        test::TestClock clock;
        clock.answer(Answer::status(0));
        EXPECT_EQ(fn(clock.handle(), kDate), 0);
        EXPECT_TRUE(clock.commands().empty());
    }
}

// ---- Pass-through results -----------------------------------------------------------

struct PassCase {
    const char* name;
    int preliminaries;  // ClockLink calls before the command
    std::function<BOOL16(SK_ULONG)> call;
};

class PassThrough : public testing::TestWithParam<PassCase> {};

TEST_P(PassThrough, ReturnsClockLinksStatus) {
    const PassCase& c = GetParam();
    for (const BOOL16 status : {BOOL16(1), BOOL16(0x2345), BOOL16(-2), BOOL16(0)}) {
        test::TestClock clock;
        for (int i = 0; i < c.preliminaries; ++i) clock.answer(Answer::status(1));
        clock.answer(Answer::status(status));
        EXPECT_EQ(c.call(clock.handle()), status);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Device, PassThrough,
    testing::Values(PassCase{"InitDev", 0, [](SK_ULONG h) { return SK_InitDev(h); }},
                    PassCase{"InitDevEx", 0, [](SK_ULONG h) { return SK_InitDevEx(h, "x"); }},
                    PassCase{"ActiveIsp", 0, [](SK_ULONG h) { return SK_ActiveIsp(h); }},
                    PassCase{"SetTime", 1, [](SK_ULONG h) { return SK_SetTime(h, kDate); }},
                    PassCase{"SetPigeon", 1, [](SK_ULONG h) { return SK_SetPigeon(h, kDate); }},
                    PassCase{"Connect", 3, [](SK_ULONG h) { return SK_Connect(h); }},
                    PassCase{"CreateCommKey", 0, [](SK_ULONG h) { return SK_CreateCommKey(h); }}),
    [](const testing::TestParamInfo<PassCase>& info) { return std::string(info.param.name); });

// ---- Reads ------------------------------------------------------------------------

struct InfoCase {
    const char* name;
    Answer answer;
    BOOL16 result;
    const char* text;  // expected output; null = left untouched
};

class GetDevInfo : public testing::TestWithParam<InfoCase> {};

const Bytes kInfo = hex("01 23 45 67 89 AB CD EF FE DC BA 98 76 54 32 10");

TEST_P(GetDevInfo, DecodesOnlyAnExactReply) {
    const InfoCase& c = GetParam();
    test::TestClock clock;
    clock.answer(c.answer);
    Outputs out;
    EXPECT_EQ(SK_GetDevInfo(clock.handle(), out.text), c.result);
    EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "01", 16}));
    if (c.text != nullptr) {
        EXPECT_STREQ(out.text, c.text);
    } else {
        EXPECT_TRUE(out.untouched());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Device, GetDevInfo,
    testing::Values(
        InfoCase{"SixteenBytes", Answer::reply(kInfo), -1, "0123456789ABCDEFFEDCBA9876543210"},
        InfoCase{"OneShort", Answer::reply(kInfo).delivered(15), 0, nullptr},
        InfoCase{"OneLong", Answer::reply(kInfo).delivered(17), 0, nullptr},
        InfoCase{"Refused", Answer::reply(kInfo, 0), 0, nullptr}),
    [](const testing::TestParamInfo<InfoCase>& info) { return std::string(info.param.name); });

TEST(GetTime, ReadsTheClocksTime) {
    const struct {
        const char* name;
        Answer answer;
        BOOL16 result;
        double date;  // on success
    } rows[] = {
        {"March14", Answer::reply(hex("10 03 14 09 05 07")), -1, kDate},
        {"NotADateGivesZero", Answer::reply(hex("10 13 14 09 05 07")), -1, 0.0},
        {"OneShort", Answer::reply(hex("10 03 14 09 05")), 0, 0.0},
        {"Refused", Answer::reply(hex("10 03 14 09 05 07"), 0), 0, 0.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TestClock clock;
        clock.answer(row.answer);
        Outputs out;
        EXPECT_EQ(SK_GetTime(clock.handle(), &out.time1), row.result);
        if (row.result != 0)
            EXPECT_NEAR(out.time1, row.date, 1e-9);
        else
            EXPECT_TRUE(out.untouched());
        EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "10", 6}));
    }
}

TEST(GetDevState, StateRule) {
    const struct {
        const char* name;
        Answer answer;
        BOOL16 result;
    } rows[] = {
        {"OneByte", Answer::reply(hex("5A")), -1},
        {"Error145WithTheByte", Answer::reply(hex("5A"), 0).errCode(145), -1},
        {"OtherError", Answer::reply(hex("5A"), 0).errCode(146), 0},
        {"NoByte", Answer::reply(hex("5A")).delivered(0), 0},
    };
    for (const auto& row : rows) {
        test::TestClock clock;
        clock.answer(row.answer);
        unsigned char state = 0;
        EXPECT_EQ(SK_GetDevState(clock.handle(), &state), row.result) << row.name;
        EXPECT_TRUE(sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "00", 1})) << row.name;
    }
}

class DeviceNull : public testing::TestWithParam<test::NullRow> {};
TEST_P(DeviceNull, CallsNothing) { test::expectNullRefused(GetParam()); }

const test::NullRow kDeviceNulls[] = {
    {"GetDevState", [](SK_ULONG h, Outputs&) { return SK_GetDevState(h, nullptr); }},
    {"GetDevInfo", [](SK_ULONG h, Outputs&) { return SK_GetDevInfo(h, nullptr); }},
    {"GetTime", [](SK_ULONG h, Outputs&) { return SK_GetTime(h, nullptr); }},
};
INSTANTIATE_TEST_SUITE_P(Device, DeviceNull, testing::ValuesIn(kDeviceNulls),
                         test::rowName<test::NullRow>);

}  // namespace
