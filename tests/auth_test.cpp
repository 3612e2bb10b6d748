// Channel authentication: the authentication block on the wire, the order of
// the ClockLink calls and where a failed step stops them, and the comm key.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "skylark/skylark.h"
#include "security/auth.h"
#include "security/des.h"
#include "support.h"

namespace {

using test::Answer;
using test::Bytes;
using test::hex;

using test::kTestVerifyKey;

// The plain 8 bytes of an encrypted verification block.
Bytes decrypted(const std::uint8_t* block, const Bytes& key8) {
    const CDesKey key(key8.data());
    Bytes out(8);
    skylark::desDecrypt(block, out.data(), key);
    return out;
}

std::vector<int> functions(const test::TestClock& clock) {
    std::vector<int> out;
    for (const CltCall& c : clock.calls()) out.push_back(c.function);
    return out;
}

// ---- The authentication block ------------------------------------------------

struct BlockCase {
    const char* name;
    const char* password;  // may be null
    Bytes t;               // comm-key random (first four bytes used)
    Bytes r;               // device random
    Bytes plain;           // bytes 4..11 before encryption, checked by hand
};

class AuthBlock : public testing::TestWithParam<BlockCase> {};

TEST_P(AuthBlock, SentAfterCommKeyAndRandoms) {
    const BlockCase& c = GetParam();
    const test::VerifyKey key(kTestVerifyKey);
    test::TestClock clock;
    Bytes commKeyRnd = c.t;
    commKeyRnd.insert(commKeyRnd.end(), {0xEE, 0xEE, 0xEE, 0xEE});  // not part of the block
    clock.answer({Answer::status(1), Answer::reply(c.r), Answer::reply(commKeyRnd),
                  Answer::status(1)});

    EXPECT_EQ(SK_ConnectEx(clock.handle(), c.password), 1);

    EXPECT_EQ(functions(clock), (std::vector<int>{CLT_IS_COMM_KEY_VALID, CLT_GET_RND,
                                                  CLT_GET_COMM_KEY_RND, CLT_RUN_SYS_CMD}));
    // The comm-key random, then the plain bytes encrypted under the verify key.
    Bytes block = c.t;
    block.resize(12);
    skylark::desEncrypt(c.plain.data(), block.data() + 4, CDesKey(kTestVerifyKey.data()));
    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 3, block, 0}));
    EXPECT_EQ(decrypted(clock.commands().at(0).params + 4, kTestVerifyKey), c.plain);
}

// System identifier pad 3A 91 E4 5D 08 B7 62 CF.
INSTANTIATE_TEST_SUITE_P(
    Connect, AuthBlock,
    testing::Values(
        BlockCase{"NullPasswordZeroRandomsGiveThePad", nullptr, hex("00000000"), hex("00000000"),
                  hex("3A 91 E4 5D 08 B7 62 CF")},
        BlockCase{"EmptyPasswordZeroRandomsGiveThePad", "", hex("00000000"), hex("00000000"),
                  hex("3A 91 E4 5D 08 B7 62 CF")},
        BlockCase{"RandomsFolded", nullptr, hex("11 22 33 44"), hex("A0 B0 C0 D0"),
                  hex("8B 03 17 C9 A8 07 A2 1F")},
        BlockCase{"ShortPasswordFoldsItsCharacters", "AB", hex("11 22 33 44"),
                  hex("A0 B0 C0 D0"), hex("CA 41 17 C9 A8 07 A2 1F")},
        BlockCase{"EightCharacterPassword", "Secret!x", hex("00000000"), hex("00000000"),
                  hex("69 F4 87 2F 6D C3 43 B7")},
        BlockCase{"NinthCharacterIgnored", "Secret!x9", hex("00000000"), hex("00000000"),
                  hex("69 F4 87 2F 6D C3 43 B7")}),
    [](const testing::TestParamInfo<BlockCase>& info) { return std::string(info.param.name); });

TEST(Connect, IsConnectExWithoutPassword) {
    Bytes sent[2];
    for (int i = 0; i < 2; ++i) {
        test::TestClock clock;
        clock.answer({Answer::status(1), Answer::reply(hex("01 02 03 04")),
                      Answer::reply(hex("05 06 07 08 00 00 00 00")), Answer::status(1)});
        EXPECT_EQ(i == 0 ? SK_Connect(clock.handle()) : SK_ConnectEx(clock.handle(), nullptr), 1);
        sent[i] = test::TestClock::params(clock.commands().at(0));
    }
    EXPECT_EQ(sent[0], sent[1]);
}

// ---- Call order, preliminary failures and the result -------------------------

struct FlowCase {
    const char* name;
    std::vector<Answer> answers;  // in call order
    BOOL16 result;
    std::vector<int> calls;
};

class ConnectFlow : public testing::TestWithParam<FlowCase> {};

TEST_P(ConnectFlow, CallsAndResult) {
    const FlowCase& c = GetParam();
    test::TestClock clock;
    for (const Answer& a : c.answers) clock.answer(a);
    EXPECT_EQ(SK_ConnectEx(clock.handle(), "pw"), c.result);
    EXPECT_EQ(functions(clock), c.calls);
}

constexpr int kValid = CLT_IS_COMM_KEY_VALID, kSet = CLT_SET_COMM_KEY, kRnd = CLT_GET_RND,
              kCkRnd = CLT_GET_COMM_KEY_RND, kSys = CLT_RUN_SYS_CMD;

INSTANTIATE_TEST_SUITE_P(
    Connect, ConnectFlow,
    testing::Values(
        FlowCase{"ValidCommKeyIsKept",
                 {Answer::status(1), Answer::status(1), Answer::status(1), Answer::status(0x2345)},
                 0x2345, {kValid, kRnd, kCkRnd, kSys}},
        FlowCase{"MissingCommKeyIsInstalled",
                 {Answer::status(0), Answer::status(1), Answer::status(1), Answer::status(1),
                  Answer::status(1)},
                 1, {kValid, kSet, kRnd, kCkRnd, kSys}},
        FlowCase{"FailedInstallSendsNothing", {Answer::status(0), Answer::status(0)}, 0,
                 {kValid, kSet}},
        FlowCase{"FailedRandomSendsNothing", {Answer::status(1), Answer::status(0)}, 0,
                 {kValid, kRnd}},
        FlowCase{"CommKeyRandomStatusNotExamined",
                 {Answer::status(1), Answer::status(1), Answer::status(0), Answer::status(1)}, 1,
                 {kValid, kRnd, kCkRnd, kSys}},
        FlowCase{"RefusalPassedThrough",
                 {Answer::status(1), Answer::status(1), Answer::status(1), Answer::status(0)}, 0,
                 {kValid, kRnd, kCkRnd, kSys}}),
    [](const testing::TestParamInfo<FlowCase>& info) { return std::string(info.param.name); });

// ---- The comm key ------------------------------------------------------------------

const Bytes kCommKeyConstant = hex("A4 1F 6B D2 37 8E C5 49");

Bytes installedPair(const test::TestClock& clock) {
    for (const CltCall& c : clock.calls())
        if (c.function == CLT_SET_COMM_KEY) return Bytes(c.params, c.params + 16);
    return {};
}

TEST(CommKey, RandomFollowsTheGeneratorFromItsSeed) {
    // Seed 1 draws 41, 18467, 6334, 26500; seed 0 draws 38 (made odd: 39),
    // 7719, 21238, 2437. Low 8 bits kept.
    const struct {
        std::uint32_t seed;
        Bytes random;
    } rows[] = {
        {1, hex("29 23 BE 84 29 23 BE 84")},
        {0, hex("27 27 F6 85 27 27 F6 85")},
    };
    for (const auto& row : rows) {
        test::TestClock clock;
        clock.answer(Answer::status(0x0321));
        EXPECT_EQ(skylark::createCommKeySeeded(clock.handle(), row.seed), 0x0321);
        Bytes expected = kCommKeyConstant;
        expected.insert(expected.end(), row.random.begin(), row.random.end());
        EXPECT_EQ(installedPair(clock), expected) << "seed " << row.seed;
    }
}

TEST(CommKey, EveryRandomHasAnOddFirstByteAndRepeatsItsHalf) {
    for (std::uint32_t seed = 0; seed < 5000; seed += 7) {
        std::uint8_t rnd[8];
        skylark::commKeyRandom(seed * 2654435761u, rnd);
        EXPECT_EQ(rnd[0] & 1, 1) << seed;
        EXPECT_EQ(Bytes(rnd, rnd + 4), Bytes(rnd + 4, rnd + 8)) << seed;
    }
}

TEST(CommKey, ExportInstallsTheConstantAndLeavesTheHostsRandAlone) {
    std::srand(77);
    const int expectedNext = std::rand();
    std::srand(77);

    Bytes pairs[2];
    std::time_t before, after;
    do {
        before = std::time(nullptr);
        for (Bytes& pair : pairs) {
            test::TestClock clock;
            EXPECT_EQ(SK_CreateCommKey(clock.handle()), 1);
            pair = installedPair(clock);
        }
        after = std::time(nullptr);
    } while (before != after);  // both calls within one second

    EXPECT_EQ(std::rand(), expectedNext);
    EXPECT_EQ(Bytes(pairs[0].begin(), pairs[0].begin() + 8), kCommKeyConstant);
    EXPECT_EQ(pairs[0][8] & 1, 1);
    EXPECT_EQ(Bytes(pairs[0].begin() + 8, pairs[0].begin() + 12),
              Bytes(pairs[0].begin() + 12, pairs[0].end()));
    EXPECT_EQ(pairs[0], pairs[1]);
}

}  // namespace
