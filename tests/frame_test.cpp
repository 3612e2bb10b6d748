// The command frame: every result rule against the test clock, the reply
// pointers it hands ClockLink, and the command index as a whole.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "skylark/skylark.h"
#include "frame/clocklink.h"
#include "frame/frame.h"
#include "support.h"

namespace {

using skylark::Command;
using skylark::Kind;
using skylark::Params;
using skylark::Reply;
using skylark::Rule;
namespace cmd = skylark::cmd;
using test::Answer;
using test::TestClock;

struct RuleCase {
    const char* name;
    const Command* command;
    BOOL16 status;
    SK_ULONG delivered;
    SK_ULONG errCode;
    BOOL16 expected;
};

class ResultRule : public testing::TestWithParam<RuleCase> {};

TEST_P(ResultRule, TurnsStatusAndLengthIntoTheResult) {
    const RuleCase& c = GetParam();
    TestClock clock;
    Answer answer = Answer::reply(test::Bytes(c.delivered, 0x5A), c.status);
    clock.answer(answer.errCode(c.errCode));

    Params params = skylark::paramsFor(*c.command);
    params.zeros(c.command->paramLen - params.size());
    Reply reply;
    const skylark::Outcome outcome = skylark::run(clock.handle(), *c.command, params, reply.bytes);
    EXPECT_EQ(outcome.result, c.expected);
    EXPECT_EQ(outcome.ok(), c.expected != 0);

    EXPECT_TRUE(test::sentOnly(
        clock, {c.command->kind == Kind::System ? CLT_RUN_SYS_CMD : CLT_RUN_USER_CMD,
                c.command->number, test::Bytes(params.data(), params.data() + params.size()),
                static_cast<SK_ULONG>(c.command->replyLen)}));
}

INSTANTIATE_TEST_SUITE_P(
    Frame, ResultRule,
    testing::Values(
        RuleCase{"PassThroughKeepsOne", &cmd::CloseRace, 1, 0, 0, 1},
        RuleCase{"PassThroughKeepsAnyValue", &cmd::CloseRace, 0x1234, 0, 0, 0x1234},
        RuleCase{"PassThroughFailure", &cmd::CloseRace, 0, 0, 0, 0},
        RuleCase{"NormalisedSuccess", &cmd::DeposeRaces, 1, 0, 0, -1},
        RuleCase{"NormalisedFailure", &cmd::DeposeRaces, 0, 0, 0, 0},
        RuleCase{"ExactLength", &cmd::GetRaceCount, 1, 2, 0, -1},
        RuleCase{"ExactLengthOneShort", &cmd::GetRaceCount, 1, 1, 0, 0},
        RuleCase{"ExactLengthOneLong", &cmd::GetRaceCount, 1, 3, 0, 0},
        RuleCase{"ExactLengthClockLinkFailed", &cmd::GetRaceCount, 0, 2, 0, 0},
        RuleCase{"MinimumLengthAtMinimum", &cmd::GetLogInfo, 1, 7, 0, -1},
        RuleCase{"MinimumLengthFull", &cmd::GetLogInfo, 1, 32, 0, -1},
        RuleCase{"MinimumLengthOneShort", &cmd::GetLogInfo, 1, 6, 0, 0},
        RuleCase{"MinimumLengthClockLinkFailed", &cmd::GetLogInfo, 0, 32, 0, 0},
        RuleCase{"UncheckedLengthAnyLength", &cmd::GetStaffNo, 1, 0, 0, -1},
        RuleCase{"UncheckedLengthFailure", &cmd::GetStaffNo, 0, 16, 0, 0},
        RuleCase{"UserCommandWithReply", &cmd::CreateTrain, 1, 2, 0, -1},
        RuleCase{"DeviceState", &cmd::GetDevState, 1, 1, 0, -1},
        RuleCase{"DeviceStateError145", &cmd::GetDevState, 0, 1, 145, -1},
        RuleCase{"DeviceStateOtherError", &cmd::GetDevState, 0, 1, 144, 0},
        RuleCase{"DeviceStateError145NoByte", &cmd::GetDevState, 0, 0, 145, 0},
        RuleCase{"DeviceStateNoByte", &cmd::GetDevState, 1, 0, 0, 0}),
    [](const testing::TestParamInfo<RuleCase>& info) { return std::string(info.param.name); });

// A Verified command: its exact length first, then the proof, which sees the
// delivered reply; no proof, or one that fails, and the command fails.
TEST(Frame, VerifiedRuleAsksItsProofOnlyOfAReplyOfTheRightLength) {
    struct Probe {
        bool verdict;
        int asked = 0;
        SK_ULONG length = 0;
        std::uint8_t first = 0;
    };
    struct Case {
        const char* name;
        BOOL16 status;
        SK_ULONG delivered;
        bool withProof;
        bool verdict;
        BOOL16 expected;
        int asked;
    };
    const Command& c = cmd::GetRaceRecord;  // 34 reply bytes
    for (const Case& k : {Case{"proved", 1, 34, true, true, -1, 1},
                          Case{"proof fails", 1, 34, true, false, 0, 1},
                          Case{"no proof", 1, 34, false, true, 0, 0},
                          Case{"one short", 1, 33, true, true, 0, 0},
                          Case{"ClockLink failed", 0, 34, true, true, 0, 0}}) {
        SCOPED_TRACE(k.name);
        TestClock clock;
        clock.answer(Answer::reply(test::Bytes(k.delivered, 0x5A), k.status));
        Probe probe{k.verdict};
        const skylark::ReplyProof proof{
            [](const void* context, const std::uint8_t* reply, std::uint32_t length) {
                Probe& p = *static_cast<Probe*>(const_cast<void*>(context));
                ++p.asked;
                p.length = length;
                p.first = reply[0];
                return p.verdict;
            },
            &probe};
        Params params = skylark::paramsFor(c);
        params.zeros(c.paramLen - params.size());
        Reply reply;
        const skylark::Outcome out =
            skylark::run(clock.handle(), c, params, reply.bytes, k.withProof ? &proof : nullptr);
        EXPECT_EQ(out.result, k.expected);
        EXPECT_EQ(probe.asked, k.asked);
        if (k.asked) {
            EXPECT_EQ(probe.length, 34u);
            EXPECT_EQ(probe.first, 0x5A);
        }
    }
}

// A block of another length than its entry, or one a field did not fit, is
// a fault of the export that built it: it is not sent and the command fails.
TEST(Frame, BlockThatDisagreesWithItsEntryIsNotSent) {
    struct Case {
        const char* name;
        std::size_t written;  // zero bytes after the selector
        bool overflow;
    };
    const Command& c = cmd::CloseRace;  // selector + 8 bytes; passes status 1 through
    for (const Case& k : {Case{"one short", 7, false}, Case{"one long", 9, false},
                          Case{"exact but overflowed", 8, true}}) {
        SCOPED_TRACE(k.name);
        TestClock clock;
        clock.answer(Answer::reply({}, 1));
        Params params = skylark::paramsFor(c);
        params.zeros(k.written);
        if (k.overflow) params.zeros(Params::kCapacity);
        EXPECT_EQ(skylark::blockFits(c, params), false);
        EXPECT_EQ(skylark::run(clock.handle(), c, params, nullptr).result, 0);
        EXPECT_TRUE(clock.commands().empty());
    }
}

TEST(Fields, WriterRefusesFieldsPastItsCapacity) {
    Params params;
    params.zeros(Params::kCapacity - 2).u8(0xAA);
    EXPECT_FALSE(params.overflowed());
    params.be16(0x1234);  // one byte left: refused whole
    EXPECT_TRUE(params.overflowed());
    EXPECT_EQ(params.size(), Params::kCapacity - 1);
    params.u8(0xBB);
    EXPECT_EQ(params.size(), Params::kCapacity);
    EXPECT_EQ(params.data()[Params::kCapacity - 2], 0xAA);
    EXPECT_EQ(params.data()[Params::kCapacity - 1], 0xBB);
    params.hex("1122", 2).bcdDate(0.0).zeros(1);
    EXPECT_EQ(params.size(), Params::kCapacity);
}

TEST(Frame, ReadPresetsExpectedLengthAndPassesBuffers) {
    TestClock clock;
    clock.answer(Answer::reply(test::hex("01 2C")));
    Params params = skylark::paramsFor(cmd::GetRaceCount);
    Reply reply;
    const skylark::Outcome outcome = skylark::run(clock.handle(), cmd::GetRaceCount, params, reply.bytes);
    ASSERT_TRUE(outcome.ok());
    EXPECT_EQ(outcome.length, 2u);
    EXPECT_EQ(skylark::getBe16(reply.bytes), 300u);

    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "17", 2}));
}

TEST(Frame, WriteSendsItsCodeFirstAndNullReplyPointers) {
    TestClock clock;
    Params params = skylark::paramsFor(cmd::SetChannelNo);
    params.u8(0x102).hex("0A0B0C0D", 4);
    Reply reply;
    EXPECT_EQ(skylark::run(clock.handle(), cmd::SetChannelNo, params, reply.bytes).result, -1);

    EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 1, "13 02 0A 0B 0C 0D", 0}));
}

TEST(Frame, DeviceStateReadsErrorCodeOnlyAfterAFailure) {
    TestClock clock;
    clock.answer({Answer::reply({0x01}), Answer::reply({0x02}, 0).errCode(145)});
    unsigned char state = 0;
    EXPECT_EQ(SK_GetDevState(clock.handle(), &state), -1);
    EXPECT_EQ(state, 0x01);
    EXPECT_EQ(SK_GetDevState(clock.handle(), &state), -1);
    EXPECT_EQ(state, 0x02);

    std::vector<int> functions;
    for (const CltCall& c : clock.calls()) functions.push_back(c.function);
    EXPECT_EQ(functions, (std::vector<int>{CLT_RUN_SYS_CMD, CLT_RUN_SYS_CMD, CLT_GET_ERR_CODE}));
    EXPECT_TRUE(test::sentOnly(clock, {{CLT_RUN_SYS_CMD, 0, "00", 1}, {CLT_RUN_SYS_CMD, 0, "00", 1}}));
}

TEST(Frame, DeviceStateNullOutputSendsNothing) {
    TestClock clock;
    EXPECT_EQ(SK_GetDevState(clock.handle(), nullptr), 0);
    EXPECT_TRUE(clock.calls().empty());
}

TEST(Fields, NumbersGoOutBigEndianInTheirLowBits) {
    Params params;
    params.be16(0x12345).be32(0x01020304).u8(0x1FF);
    EXPECT_EQ(test::Bytes(params.data(), params.data() + params.size()),
              test::hex("23 45 01 02 03 04 FF"));
}

TEST(Fields, ShortHexTextLeavesZerosInItsField) {
    Params params;
    params.u8(0xAA).hex("1234", 6).u8(0xBB);
    EXPECT_EQ(test::Bytes(params.data(), params.data() + params.size()),
              test::hex("AA 12 34 00 00 00 00 BB"));
    Params longer;
    longer.hex("11223344556677", 6);
    EXPECT_EQ(test::Bytes(longer.data(), longer.data() + longer.size()),
              test::hex("11 22 33 44 55 66"));
}

TEST(Fields, ReplyReaderDecodesInOrder) {
    const test::Bytes reply = test::hex("00 05 00 01 86 A0 AB CD 99 12 31 23 59 59");
    skylark::ReplyReader r(reply.data());
    EXPECT_EQ(r.be16(), 5u);
    EXPECT_EQ(r.be32(), 100000u);
    char text[5];
    r.hex(2, text);
    EXPECT_STREQ(text, "ABCD");
    const double date = r.bcdDate();
    unsigned char bcd[6];
    DateToBcd(bcd, date);
    EXPECT_EQ(test::Bytes(bcd, bcd + 6), test::hex("99 12 31 23 59 59"));
}

// The index as a whole: what holds for every command of a kind.
TEST(CommandIndex, EntriesAgreeWithTheirKind) {
    std::set<int> readCodes;
    for (const Command* c : skylark::kCommandIndex) {
        SCOPED_TRACE(c->name);
        EXPECT_GE(c->paramLen, 1);
        EXPECT_LE(c->replyLen, skylark::Reply::kSize);
        EXPECT_LE(c->paramLen, Params::kCapacity);
        EXPECT_EQ(c->minReply != 0, c->rule == Rule::MinimumLength);
        // Answered by at least one kind of clock, and only by M, S and H.
        EXPECT_NE(c->kinds, 0);
        EXPECT_EQ(c->kinds & ~(skylark::kClockM | skylark::kClockS | skylark::kClockH), 0);
        if (c->kind == Kind::System && c->number == 0) {
            EXPECT_NE(c->selector, skylark::kNoSelector);  // reads start with their code
            EXPECT_GT(c->replyLen, 0);
            readCodes.insert(c->selector);
        }
    }
    for (const Command* c : skylark::kCommandIndex) {
        if (c->kind == Kind::System && c->number == 1) {
            SCOPED_TRACE(c->name);
            EXPECT_EQ(c->replyLen, 0);
            EXPECT_EQ(c->rule, Rule::Normalised);
            EXPECT_TRUE(readCodes.count(c->selector)) << "a write reuses the code of its read";
        }
    }
}

TEST(ClockLinkStandIn, UnknownHandleFailsWithAnErrorCode) {
    SK_ULONG length = 2;
    unsigned char reply[2];
    unsigned char param = 0x17;
    EXPECT_EQ(IFD_RunSysCmd(0xDEAD, 0, &param, 1, reply, &length), 0);
    EXPECT_EQ(IFD_RunUserCmd(0xDEAD, 2, &param, 1, nullptr, nullptr), 0);
    EXPECT_EQ(IFD_IsCommKeyValid(0xDEAD), 0);
    EXPECT_NE(IFD_GetErrCode(0xDEAD), 0u);
}

TEST(ClockLinkStandIn, ChannelsServeSeveralThreadsAtOnce) {
    constexpr int kThreads = 4;
    constexpr int kCalls = 200;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            TestClock clock;
            for (int i = 0; i < kCalls; ++i) {
                clock.answer(Answer::reply({static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(i)}));
                Params params = skylark::paramsFor(cmd::GetRaceCount);
                Reply reply;
                if (!skylark::run(clock.handle(), cmd::GetRaceCount, params, reply.bytes).ok() ||
                    reply.bytes[0] != t || reply.bytes[1] != static_cast<std::uint8_t>(i))
                    ++failures[t];
            }
            if (clock.commands().size() != kCalls) ++failures[t];
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
}

TEST(RingReaderStandIn, UnknownHandleFailsAndTestReaderRecords) {
    unsigned char data[16] = {};
    EXPECT_EQ(HTS_ReadBlock(0xDEAD, 1, data), 0);

    test::TestReader reader;
    reader.answer(1, test::hex("11 22 33 44"));
    unsigned char uid[4] = {};
    EXPECT_EQ(HTS_Active(reader.handle(), uid), 1);
    EXPECT_EQ(test::Bytes(uid, uid + 4), test::hex("11 22 33 44"));
    unsigned char page[4] = {1, 2, 3, 4};
    EXPECT_EQ(HTS_WritePage(reader.handle(), 5, page), 1);
    const auto calls = reader.calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].function, RRT_WRITE_PAGE);
    EXPECT_EQ(calls[1].page, 5u);
    EXPECT_EQ(test::Bytes(calls[1].data, calls[1].data + 4), test::hex("01 02 03 04"));
}

}  // namespace
