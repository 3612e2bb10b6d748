// The scriptable test clock behind CLT_OpenTestClock.
#include "standins/clocklink/test_clock.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

#include "standins/clocklink/clock_device.h"
#include "standins/clocklink/verify_key.h"
#include "security/des.h"

namespace standins {
namespace {

class TestClock final : public ClockDevice {
public:
    BOOL16 runSysCmd(SK_ULONG cls, unsigned char* params, SK_ULONG paramLen,
                     unsigned char* reply, SK_ULONG* replyLen) override {
        return command(CLT_RUN_SYS_CMD, cls, params, paramLen, reply, replyLen);
    }
    BOOL16 runUserCmd(SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                      unsigned char* reply, SK_ULONG* replyLen) override {
        return command(CLT_RUN_USER_CMD, cmdNo, params, paramLen, reply, replyLen);
    }
    BOOL16 getRnd(unsigned char* rnd4) override { return fill(CLT_GET_RND, rnd4, 4); }
    BOOL16 getCommKeyRnd(unsigned char* rnd8) override {
        return fill(CLT_GET_COMM_KEY_RND, rnd8, 8);
    }
    BOOL16 setCommKey(unsigned char* key8, unsigned char* rnd8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        CltCall call = newCall(CLT_SET_COMM_KEY, 0);
        if (key8 != nullptr) std::memcpy(call.params, key8, 8);
        if (rnd8 != nullptr) std::memcpy(call.params + 8, rnd8, 8);
        call.paramLen = 16;
        calls_.push_back(call);
        return take().status;
    }
    BOOL16 isCommKeyValid() override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(newCall(CLT_IS_COMM_KEY_VALID, 0));
        return take().status;
    }
    SK_ULONG getErrCode() override {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(newCall(CLT_GET_ERR_CODE, 0));
        return errCode_;
    }

    void queue(const CltAnswer& answer) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_.push_back(answer);
    }
    SK_ULONG callCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<SK_ULONG>(calls_.size());
    }
    bool call(SK_ULONG index, CltCall* out) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index >= calls_.size()) return false;
        *out = calls_[index];
        return true;
    }

private:
    static CltCall newCall(int function, SK_ULONG number) {
        CltCall call;
        std::memset(&call, 0, sizeof call);
        call.function = function;
        call.number = number;
        return call;
    }

    // The next answer; its error code becomes the channel's last error.
    CltAnswer take() {
        CltAnswer answer;
        std::memset(&answer, 0, sizeof answer);
        answer.status = 1;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        errCode_ = answer.errCode;
        return answer;
    }

    BOOL16 command(int function, SK_ULONG number, unsigned char* params, SK_ULONG paramLen,
                   unsigned char* reply, SK_ULONG* replyLen) {
        std::lock_guard<std::mutex> lock(mutex_);
        CltCall call = newCall(function, number);
        call.paramLen = paramLen;
        if (params != nullptr)
            std::memcpy(call.params, params, std::min<SK_ULONG>(paramLen, CLT_MAX_BYTES));
        call.replyNull = reply == nullptr;
        call.replyLenNull = replyLen == nullptr;
        call.presetLen = replyLen != nullptr ? *replyLen : 0;
        calls_.push_back(call);

        CltAnswer answer = take();
        if (answer.hook != nullptr) {
            answer.replyBytes = 0;
            answer.hook(answer.hookContext, &call, answer.reply, &answer.replyBytes);
            answer.delivered = answer.replyBytes;
        }
        // Like ClockLink: never more than the preset length into the buffer.
        if (reply != nullptr && replyLen != nullptr) {
            const SK_ULONG n = std::min(std::min(answer.replyBytes, call.presetLen),
                                        static_cast<SK_ULONG>(CLT_MAX_BYTES));
            std::memcpy(reply, answer.reply, n);
        }
        if (replyLen != nullptr) *replyLen = answer.delivered;
        return answer.status;
    }

    BOOL16 fill(int function, unsigned char* out, SK_ULONG size) {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(newCall(function, 0));
        const CltAnswer answer = take();
        if (out != nullptr) std::memcpy(out, answer.reply, size);
        return answer.status;
    }

    mutable std::mutex mutex_;
    std::deque<CltAnswer> answers_;
    std::vector<CltCall> calls_;
    SK_ULONG errCode_ = 0;
};

std::shared_ptr<TestClock> findTestClock(SK_ULONG handle) {
    return std::dynamic_pointer_cast<TestClock>(clockDevices().find(handle));
}

}  // namespace
}  // namespace standins

extern "C" {

SK_ULONG SKAPI_CALL CLT_OpenTestClock(void) {
    return standins::clockDevices().add(std::make_shared<standins::TestClock>());
}

void SKAPI_CALL CLT_Close(SK_ULONG handle) { standins::clockDevices().remove(handle); }

void SKAPI_CALL CLT_Queue(SK_ULONG handle, const CltAnswer* answer) {
    if (auto clock = standins::findTestClock(handle); clock && answer != nullptr)
        clock->queue(*answer);
}

SK_ULONG SKAPI_CALL CLT_CallCount(SK_ULONG handle) {
    auto clock = standins::findTestClock(handle);
    return clock ? clock->callCount() : 0;
}

int SKAPI_CALL CLT_GetCall(SK_ULONG handle, SK_ULONG index, CltCall* out) {
    auto clock = standins::findTestClock(handle);
    return clock && out != nullptr && clock->call(index, out) ? 1 : 0;
}

void SKAPI_CALL CLT_SetVerifyKey(const unsigned char* key8) {
    s_verifykey = CDesKey(key8 != nullptr ? key8 : standins::kVerifyKey);
}

}  // extern "C"
