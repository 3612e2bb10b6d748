// The scriptable test reader behind RRT_OpenTestReader.
#include "platform/test_reader.h"

#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/tag_device.h"

namespace platform {
namespace {

class TestReader final : public TagDevice {
public:
    int active(unsigned char* uid4) override { return answer(RRT_ACTIVE, 0, nullptr, uid4, 4); }
    int deactive() override { return answer(RRT_DEACTIVE, 0, nullptr, nullptr, 0); }
    int readPage(SK_ULONG page, unsigned char* data4) override {
        return answer(RRT_READ_PAGE, page, nullptr, data4, 4);
    }
    int writePage(SK_ULONG page, unsigned char* data4) override {
        return answer(RRT_WRITE_PAGE, page, data4, nullptr, 0);
    }
    int readBlock(SK_ULONG block, unsigned char* data16) override {
        return answer(RRT_READ_BLOCK, block, nullptr, data16, 16);
    }

    void queue(const RrtAnswer& a) {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_.push_back(a);
    }
    SK_ULONG callCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<SK_ULONG>(calls_.size());
    }
    bool call(SK_ULONG index, RrtCall* out) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (index >= calls_.size()) return false;
        *out = calls_[index];
        return true;
    }

private:
    int answer(int function, SK_ULONG page, const unsigned char* written, unsigned char* out,
               std::size_t outLen) {
        std::lock_guard<std::mutex> lock(mutex_);
        RrtCall call;
        std::memset(&call, 0, sizeof call);
        call.function = function;
        call.page = page;
        call.dataNull = function != RRT_DEACTIVE && written == nullptr && out == nullptr;
        if (written != nullptr) std::memcpy(call.data, written, 4);
        calls_.push_back(call);

        RrtAnswer a;
        std::memset(&a, 0, sizeof a);
        a.result = 1;
        if (!answers_.empty()) {
            a = answers_.front();
            answers_.pop_front();
        }
        if (out != nullptr) std::memcpy(out, a.data, outLen);
        return a.result;
    }

    mutable std::mutex mutex_;
    std::deque<RrtAnswer> answers_;
    std::vector<RrtCall> calls_;
};

std::shared_ptr<TestReader> findTestReader(SK_ULONG reader) {
    return std::dynamic_pointer_cast<TestReader>(tagDevices().find(reader));
}

}  // namespace
}  // namespace platform

extern "C" {

SK_ULONG RRT_OpenTestReader(void) {
    return platform::tagDevices().add(std::make_shared<platform::TestReader>());
}

void RRT_Close(SK_ULONG reader) { platform::tagDevices().remove(reader); }

void RRT_Queue(SK_ULONG reader, const RrtAnswer* answer) {
    if (auto r = platform::findTestReader(reader); r && answer != nullptr) r->queue(*answer);
}

SK_ULONG RRT_CallCount(SK_ULONG reader) {
    auto r = platform::findTestReader(reader);
    return r ? r->callCount() : 0;
}

int RRT_GetCall(SK_ULONG reader, SK_ULONG index, RrtCall* out) {
    auto r = platform::findTestReader(reader);
    return r && out != nullptr && r->call(index, out) ? 1 : 0;
}

}  // extern "C"
