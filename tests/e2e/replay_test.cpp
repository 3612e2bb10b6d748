// Replays: a genuine clock answer offered again is refused. A test channel of
// our ClockLink stands between the library and a virtual clock as a relay
// that can record what passes and send it again.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host.h"

namespace {

using e2e::at;
using e2e::bcd;
using e2e::Bytes;
using e2e::Clock;

// A test channel for the life of the object.
class Relay {
public:
    Relay() : handle_(CLT_OpenTestClock()) {}
    ~Relay() { CLT_Close(handle_); }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;
    operator SK_ULONG() const { return handle_; }

    void answer(BOOL16 status, const Bytes& bytes = {}) {
        CltAnswer a;
        std::memset(&a, 0, sizeof a);
        a.status = status;
        if (!bytes.empty()) std::memcpy(a.reply, bytes.data(), bytes.size());
        a.replyBytes = a.delivered = static_cast<SK_ULONG>(bytes.size());
        CLT_Queue(handle_, &a);
    }
    // The next command is passed on to the clock; its reply is kept.
    void forwardTo(SK_ULONG clock) {
        target_ = clock;
        CltAnswer a;
        std::memset(&a, 0, sizeof a);
        a.status = 1;
        a.hook = &Relay::forward;
        a.hookContext = this;
        CLT_Queue(handle_, &a);
    }
    const Bytes& kept() const { return kept_; }
    CltCall last() const {
        CltCall call;
        CLT_GetCall(handle_, CLT_CallCount(handle_) - 1, &call);
        return call;
    }

private:
    static void forward(void* context, const CltCall* call, unsigned char* reply,
                        SK_ULONG* replyBytes) {
        auto* self = static_cast<Relay*>(context);
        unsigned char params[CLT_MAX_BYTES];
        std::memcpy(params, call->params, sizeof params);
        SK_ULONG len = call->presetLen;
        const BOOL16 ok = call->function == CLT_RUN_USER_CMD
                              ? IFD_RunUserCmd(self->target_, call->number, params, call->paramLen,
                                               reply, &len)
                              : IFD_RunSysCmd(self->target_, call->number, params, call->paramLen,
                                              reply, &len);
        *replyBytes = ok ? len : 0;
        self->kept_.assign(reply, reply + *replyBytes);
    }

    SK_ULONG handle_;
    SK_ULONG target_ = 0;
    Bytes kept_;
};

// A download reply is bound to the challenge it answered: relayed it is
// accepted, offered again to the next request it is refused.
TEST(Replay, DownloadReplyAnswersOneChallengeOnly) {
    Clock clock(CLV_KIND_M);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_TRUE(e2e::stockRace(clock, 1, 1));
    Relay relay;
    char record[33] = {}, lead[9] = {};
    double arrived = 0.0;

    relay.forwardTo(clock);
    ASSERT_NE(SKM_GetRaceRecord(relay, 0, 0, record, &arrived, lead), 0);
    ASSERT_EQ(relay.kept().size(), 34u);
    EXPECT_EQ(std::string(record).substr(0, 12), e2e::ring(1));

    relay.answer(1, relay.kept());
    std::strcpy(record, "untouched");
    EXPECT_EQ(SKM_GetRaceRecord(relay, 0, 0, record, &arrived, lead), 0);
    EXPECT_STREQ(record, "untouched");
}

// A time-setting block is good once: sent again, the clock refuses it.
TEST(Replay, TimeBlockIsGoodOnce) {
    for (const bool encrypted : {true, false}) {
        SCOPED_TRACE(encrypted ? "SK_SetPigeon" : "SK_SetTime");
        Clock clock(CLV_KIND_M);
        ASSERT_TRUE(e2e::connect(clock));
        Relay relay;
        Bytes rnd(4);
        ASSERT_NE(IFD_GetRnd(clock, rnd.data()), 0);
        relay.answer(1, rnd);  // the relay hands the clock's random to the library
        relay.answer(1);
        const double when = at(12, 34, 56);
        ASSERT_NE(encrypted ? SK_SetPigeon(relay, when) : SK_SetTime(relay, when), 0);
        const CltCall sent = relay.last();
        ASSERT_TRUE(sent.function == CLT_RUN_SYS_CMD || sent.function == CLT_RUN_USER_CMD);

        auto send = [&] {
            unsigned char params[CLT_MAX_BYTES];
            std::memcpy(params, sent.params, sizeof params);
            return sent.function == CLT_RUN_SYS_CMD
                       ? IFD_RunSysCmd(clock, sent.number, params, sent.paramLen, nullptr, nullptr)
                       : IFD_RunUserCmd(clock, sent.number, params, sent.paramLen, nullptr, nullptr);
        };
        ASSERT_NE(send(), 0) << "the block the library built on the clock's random";
        double now = 0.0;
        ASSERT_NE(SK_GetTime(clock, &now), 0);
        EXPECT_EQ(bcd(now), bcd(when));

        EXPECT_EQ(send(), 0);
        EXPECT_EQ(clock.error(), static_cast<SK_ULONG>(CLV_ERR_REPLAY));
    }
}

}  // namespace
