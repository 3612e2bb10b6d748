// The virtual reader behind RRV_Open: a field holding at most one tag, tags
// that keep their memory between visits, activation before page access, and
// a page write that can be made to fail.
#include "skylark/virtual_reader.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "standins/ringreader/tag_device.h"

namespace standins {
namespace {

constexpr std::size_t kPageBytes = RRV_PAGE_BYTES;
constexpr std::size_t kPages = RRV_TAG_PAGES;
constexpr std::size_t kBlockPages = 4;
constexpr SK_ULONG kUidPage = 0;
constexpr SK_ULONG kConfigPage = 1;
// The configuration page as a tag leaves the factory.
constexpr std::array<unsigned char, kPageBytes> kFactoryConfig = {0x06, 0x00, 0x00, 0xAA};

using Uid = std::array<unsigned char, 4>;

// One tag's memory and its pending write fault.
struct Tag {
    unsigned char pages[kPages][kPageBytes] = {};
    int writeFault = 0;

    explicit Tag(const Uid& uid) {
        std::memcpy(pages[kUidPage], uid.data(), kPageBytes);
        std::memcpy(pages[kConfigPage], kFactoryConfig.data(), kPageBytes);
    }
};

class VirtualReader final : public TagDevice {
public:
    // ---- RingReader's calls ----
    int active(unsigned char* uid4) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (field_ == nullptr || uid4 == nullptr) return 0;
        std::memcpy(uid4, field_->pages[kUidPage], kPageBytes);
        active_ = true;
        return 1;
    }
    int deactive() override {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool was = active_;
        active_ = false;
        return was ? 1 : 0;
    }
    int readPage(SK_ULONG page, unsigned char* data4) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!activeTag() || page >= kPages || data4 == nullptr) return 0;
        std::memcpy(data4, field_->pages[page], kPageBytes);
        return 1;
    }
    int writePage(SK_ULONG page, unsigned char* data4) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!activeTag() || page >= kPages || page == kUidPage || data4 == nullptr) return 0;
        const int fault = field_->writeFault;
        field_->writeFault = 0;
        if (fault == RRV_WRITE_REFUSED) return 0;
        if (fault != RRV_WRITE_LOST) std::memcpy(field_->pages[page], data4, kPageBytes);
        return 1;
    }
    int readBlock(SK_ULONG block, unsigned char* data16) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!activeTag() || block >= kPages / kBlockPages || data16 == nullptr) return 0;
        std::memcpy(data16, field_->pages[block * kBlockPages], kBlockPages * kPageBytes);
        return 1;
    }

    // ---- The host's hands ----
    bool putTag(const Uid& uid) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (field_ != nullptr) return false;
        auto& tag = tags_[uid];
        if (!tag) tag = std::make_unique<Tag>(uid);
        field_ = tag.get();
        active_ = false;
        return true;
    }
    bool takeTag() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (field_ == nullptr) return false;
        field_ = nullptr;
        active_ = false;
        return true;
    }
    bool peekPage(const unsigned char* uid4, SK_ULONG page, unsigned char* data4) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const Tag* tag = field_;
        if (uid4 != nullptr) {
            Uid uid;
            std::memcpy(uid.data(), uid4, uid.size());
            const auto it = tags_.find(uid);
            tag = it == tags_.end() ? nullptr : it->second.get();
        }
        if (tag == nullptr || page >= kPages) return false;
        std::memcpy(data4, tag->pages[page], kPageBytes);
        return true;
    }
    bool failNextWrite(int fault) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (field_ == nullptr || (fault != RRV_WRITE_REFUSED && fault != RRV_WRITE_LOST))
            return false;
        field_->writeFault = fault;
        return true;
    }

private:
    bool activeTag() const { return field_ != nullptr && active_; }

    mutable std::mutex mutex_;
    std::map<Uid, std::unique_ptr<Tag>> tags_;  // every tag this reader has seen
    Tag* field_ = nullptr;                       // the tag in the field, if any
    bool active_ = false;
};

std::shared_ptr<VirtualReader> findVirtualReader(SK_ULONG reader) {
    return std::dynamic_pointer_cast<VirtualReader>(tagDevices().find(reader));
}

}  // namespace
}  // namespace standins

extern "C" {

RRV_HANDLE RRV_CALL RRV_Open(void) {
    return standins::tagDevices().add(std::make_shared<standins::VirtualReader>());
}

void RRV_CALL RRV_Close(RRV_HANDLE reader) {
    if (standins::findVirtualReader(reader)) standins::tagDevices().remove(reader);
}

int RRV_CALL RRV_PutTag(RRV_HANDLE reader, const unsigned char* uid4) {
    auto r = standins::findVirtualReader(reader);
    if (!r || uid4 == nullptr) return 0;
    standins::Uid uid;
    std::memcpy(uid.data(), uid4, uid.size());
    return r->putTag(uid) ? 1 : 0;
}

int RRV_CALL RRV_TakeTag(RRV_HANDLE reader) {
    auto r = standins::findVirtualReader(reader);
    return r && r->takeTag() ? 1 : 0;
}

int RRV_CALL RRV_ReadTagPage(RRV_HANDLE reader, const unsigned char* uid4, RRV_ULONG page,
                             unsigned char* data4) {
    auto r = standins::findVirtualReader(reader);
    return r && data4 != nullptr && r->peekPage(uid4, page, data4) ? 1 : 0;
}

int RRV_CALL RRV_FailNextWrite(RRV_HANDLE reader, int fault) {
    auto r = standins::findVirtualReader(reader);
    return r && r->failNextWrite(fault) ? 1 : 0;
}

}  // extern "C"
