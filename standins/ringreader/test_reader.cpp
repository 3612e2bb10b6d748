// The scriptable test reader behind RRT_OpenTestReader.
#include "standins/ringreader/test_reader.h"

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "standins/ringreader/tag_device.h"

namespace standins {
namespace {

constexpr std::size_t kPageBytes = 4;
constexpr std::size_t kBlockPages = 4;

class TestReader final : public TagDevice {
public:
    int active(unsigned char* uid4) override {
        return answer(RRT_ACTIVE, 0, nullptr, uid4, 4);
    }
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
    void script(SK_ULONG index, const RrtAnswer& a) {
        std::lock_guard<std::mutex> lock(mutex_);
        scripts_[index] = a;
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

    void insertTag(const unsigned char* uid4) {
        std::lock_guard<std::mutex> lock(mutex_);
        tag_ = true;
        std::memcpy(uid_, uid4, sizeof uid_);
        std::memset(pages_, 0, sizeof pages_);
    }
    bool setPage(SK_ULONG page, const unsigned char* data4) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!tag_ || page >= RRT_TAG_PAGES) return false;
        std::memcpy(pages_[page], data4, kPageBytes);
        return true;
    }
    bool getPage(SK_ULONG page, unsigned char* data4) const {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!tag_ || page >= RRT_TAG_PAGES) return false;
        std::memcpy(data4, pages_[page], kPageBytes);
        return true;
    }

private:
    int answer(int function, SK_ULONG page, const unsigned char* written, unsigned char* out,
               std::size_t outLen) {
        std::lock_guard<std::mutex> lock(mutex_);
        const SK_ULONG index = static_cast<SK_ULONG>(calls_.size());
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
        if (const auto s = scripts_.find(index); s != scripts_.end()) {
            a = s->second;
        } else if (!answers_.empty()) {
            a = answers_.front();
            answers_.pop_front();
        } else if (tag_) {
            return onTag(function, page, written, out);
        }
        if (out != nullptr) std::memcpy(out, a.data, outLen);
        return a.result;
    }

    // The call acting on the tag's memory.
    int onTag(int function, SK_ULONG page, const unsigned char* written, unsigned char* out) {
        switch (function) {
            case RRT_ACTIVE:
                if (out != nullptr) std::memcpy(out, uid_, sizeof uid_);
                return 1;
            case RRT_DEACTIVE:
                return 1;
            case RRT_READ_PAGE:
                if (page >= RRT_TAG_PAGES || out == nullptr) return 0;
                std::memcpy(out, pages_[page], kPageBytes);
                return 1;
            case RRT_WRITE_PAGE:
                if (page >= RRT_TAG_PAGES || written == nullptr) return 0;
                std::memcpy(pages_[page], written, kPageBytes);
                return 1;
            case RRT_READ_BLOCK:
                if (page >= RRT_TAG_PAGES / kBlockPages || out == nullptr) return 0;
                std::memcpy(out, pages_[page * kBlockPages], kBlockPages * kPageBytes);
                return 1;
            default:
                return 0;
        }
    }

    mutable std::mutex mutex_;
    std::deque<RrtAnswer> answers_;
    std::map<SK_ULONG, RrtAnswer> scripts_;
    std::vector<RrtCall> calls_;
    bool tag_ = false;
    unsigned char uid_[4] = {};
    unsigned char pages_[RRT_TAG_PAGES][kPageBytes] = {};
};

std::shared_ptr<TestReader> findTestReader(SK_ULONG reader) {
    return std::dynamic_pointer_cast<TestReader>(tagDevices().find(reader));
}

}  // namespace
}  // namespace standins

extern "C" {

SK_ULONG SKAPI_CALL RRT_OpenTestReader(void) {
    return standins::tagDevices().add(std::make_shared<standins::TestReader>());
}

void SKAPI_CALL RRT_Close(SK_ULONG reader) { standins::tagDevices().remove(reader); }

void SKAPI_CALL RRT_Queue(SK_ULONG reader, const RrtAnswer* answer) {
    if (auto r = standins::findTestReader(reader); r && answer != nullptr) r->queue(*answer);
}

SK_ULONG SKAPI_CALL RRT_CallCount(SK_ULONG reader) {
    auto r = standins::findTestReader(reader);
    return r ? r->callCount() : 0;
}

int SKAPI_CALL RRT_GetCall(SK_ULONG reader, SK_ULONG index, RrtCall* out) {
    auto r = standins::findTestReader(reader);
    return r && out != nullptr && r->call(index, out) ? 1 : 0;
}

void SKAPI_CALL RRT_InsertTag(SK_ULONG reader, const unsigned char* uid4) {
    if (auto r = standins::findTestReader(reader); r && uid4 != nullptr) r->insertTag(uid4);
}

int SKAPI_CALL RRT_SetPage(SK_ULONG reader, SK_ULONG page, const unsigned char* data4) {
    auto r = standins::findTestReader(reader);
    return r && data4 != nullptr && r->setPage(page, data4) ? 1 : 0;
}

int SKAPI_CALL RRT_GetPage(SK_ULONG reader, SK_ULONG page, unsigned char* data4) {
    auto r = standins::findTestReader(reader);
    return r && data4 != nullptr && r->getPage(page, data4) ? 1 : 0;
}

void SKAPI_CALL RRT_Script(SK_ULONG reader, SK_ULONG index, const RrtAnswer* answer) {
    if (auto r = standins::findTestReader(reader); r && answer != nullptr) r->script(index, *answer);
}

}  // extern "C"
