// The virtual reader behind RRV_Open: a field holding at most one tag, tags
// that keep their memory between visits, activation before page access, a
// page write that can be made to fail, and the reader kept in a file.
#include "skylark/virtual_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "standins/ringreader/reader_file.h"
#include "standins/ringreader/tag_device.h"
#include "standins/saved_file.h"

namespace standins {
namespace {

constexpr std::size_t kPageBytes = RRV_PAGE_BYTES;
constexpr std::size_t kPages = RRV_TAG_PAGES;
constexpr std::size_t kBlockPages = 4;
constexpr SK_ULONG kUidPage = 0;
constexpr SK_ULONG kConfigPage = 1;
// The configuration page as a tag leaves the factory.
constexpr std::array<unsigned char, kPageBytes> kFactoryConfig = {0x06, 0x00, 0x00, 0xAA};

using Uid = TagUid;

Uid uidOf(const unsigned char* uid4) {
    Uid uid;
    std::memcpy(uid.data(), uid4, uid.size());
    return uid;
}

// One tag's memory and its pending write fault.
struct Tag {
    TagMemory pages{};
    int writeFault = 0;

    explicit Tag(const Uid& uid) {
        std::memcpy(pages[kUidPage].data(), uid.data(), kPageBytes);
        pages[kConfigPage] = kFactoryConfig;
    }
    explicit Tag(const TagMemory& memory) : pages(memory) {}
};

class VirtualReader final : public TagDevice {
public:
    VirtualReader() = default;
    // The reader a file describes.
    explicit VirtualReader(const ReaderImage& image) {
        for (const auto& [uid, memory] : image.tags) tags_[uid] = std::make_unique<Tag>(memory);
        if (image.field) field_ = tags_.at(*image.field).get();
    }

    // ---- RingReader's calls ----
    int active(unsigned char* uid4) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (field_ == nullptr || uid4 == nullptr) return 0;
        std::memcpy(uid4, field_->pages[kUidPage].data(), kPageBytes);
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
        std::memcpy(data4, field_->pages[page].data(), kPageBytes);
        return 1;
    }
    int writePage(SK_ULONG page, unsigned char* data4) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!activeTag() || page >= kPages || page == kUidPage || data4 == nullptr) return 0;
        const int fault = field_->writeFault;
        field_->writeFault = 0;
        if (fault == RRV_WRITE_REFUSED) return 0;
        if (fault != RRV_WRITE_LOST) std::memcpy(field_->pages[page].data(), data4, kPageBytes);
        return 1;
    }
    int readBlock(SK_ULONG block, unsigned char* data16) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!activeTag() || block >= kPages / kBlockPages || data16 == nullptr) return 0;
        for (std::size_t i = 0; i < kBlockPages; ++i)
            std::memcpy(data16 + i * kPageBytes, field_->pages[block * kBlockPages + i].data(), kPageBytes);
        return 1;
    }

    // ---- The host's hands ----
    bool putTag(const Uid& uid) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (field_ != nullptr) return false;
        Tag* tag = find(uid);
        if (tag == nullptr) tag = add(uid);
        if (tag == nullptr) return false;
        field_ = tag;
        active_ = false;
        return true;
    }
    bool addTag(const Uid& uid) {
        std::lock_guard<std::mutex> lock(mutex_);
        return find(uid) == nullptr && add(uid) != nullptr;
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
        const Tag* tag = uid4 == nullptr ? field_ : find(uidOf(uid4));
        if (tag == nullptr || page >= kPages) return false;
        std::memcpy(data4, tag->pages[page].data(), kPageBytes);
        return true;
    }
    bool pokePage(const unsigned char* uid4, SK_ULONG page, const unsigned char* data4) {
        std::lock_guard<std::mutex> lock(mutex_);
        Tag* tag = uid4 == nullptr ? field_ : find(uidOf(uid4));
        if (tag == nullptr || page >= kPages || page == kUidPage) return false;
        std::memcpy(tag->pages[page].data(), data4, kPageBytes);
        return true;
    }
    bool failNextWrite(int fault) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (field_ == nullptr || (fault != RRV_WRITE_REFUSED && fault != RRV_WRITE_LOST))
            return false;
        field_->writeFault = fault;
        return true;
    }
    // What a file of this reader holds.
    ReaderImage image() const {
        std::lock_guard<std::mutex> lock(mutex_);
        ReaderImage out;
        for (const auto& [uid, tag] : tags_) {
            out.tags.emplace(uid, tag->pages);
            if (tag.get() == field_) out.field = uid;
        }
        return out;
    }

private:
    bool activeTag() const { return field_ != nullptr && active_; }
    Tag* find(const Uid& uid) const {
        const auto it = tags_.find(uid);
        return it == tags_.end() ? nullptr : it->second.get();
    }
    // A new factory tag, or null when the reader is full.
    Tag* add(const Uid& uid) {
        if (tags_.size() >= RRV_MAX_TAGS) return nullptr;
        auto tag = std::make_unique<Tag>(uid);
        Tag* added = tag.get();
        tags_.emplace(uid, std::move(tag));
        return added;
    }

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
    try {
        return r->putTag(standins::uidOf(uid4)) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int RRV_CALL RRV_AddTag(RRV_HANDLE reader, const unsigned char* uid4) {
    auto r = standins::findVirtualReader(reader);
    if (!r || uid4 == nullptr) return 0;
    try {
        return r->addTag(standins::uidOf(uid4)) ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
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

int RRV_CALL RRV_WriteTagPage(RRV_HANDLE reader, const unsigned char* uid4, RRV_ULONG page,
                              const unsigned char* data4) {
    auto r = standins::findVirtualReader(reader);
    return r && data4 != nullptr && r->pokePage(uid4, page, data4) ? 1 : 0;
}

int RRV_CALL RRV_FailNextWrite(RRV_HANDLE reader, int fault) {
    auto r = standins::findVirtualReader(reader);
    return r && r->failNextWrite(fault) ? 1 : 0;
}

int RRV_CALL RRV_Save(RRV_HANDLE reader, const char* path) {
    auto r = standins::findVirtualReader(reader);
    if (!r || path == nullptr) return RRV_ERR_BAD_ARGUMENT;
    try {
        return standins::replaceFile(path, standins::readerFileText(r->image())) ? RRV_OK : RRV_ERR_FILE_IO;
    } catch (...) {  // out of memory
        return RRV_ERR_FULL;
    }
}

RRV_HANDLE RRV_CALL RRV_LoadEx(const char* path, int* err, char* why, RRV_ULONG whySize) {
    int code = RRV_ERR_BAD_ARGUMENT;
    RRV_HANDLE handle = 0;
    std::string reason;
    try {
        std::string text;
        standins::ReaderImage image;
        if (path == nullptr) reason = "no path";
        else if (!standins::readFile(path, text)) code = RRV_ERR_FILE_IO, reason = "the file cannot be read";
        else if ((code = standins::readerFromText(text, image, &reason)) == RRV_OK)
            handle = standins::tagDevices().add(std::make_shared<standins::VirtualReader>(image));
    } catch (...) {  // out of memory
        code = RRV_ERR_FULL;
        reason.clear();
    }
    if (handle != 0) reason.clear();
    if (err != nullptr) *err = handle != 0 ? RRV_OK : code;
    if (why != nullptr && whySize > 0) {
        const std::size_t n = std::min<std::size_t>(reason.size(), whySize - 1);
        std::memcpy(why, reason.data(), n);
        why[n] = '\0';
    }
    return handle;
}

RRV_HANDLE RRV_CALL RRV_Load(const char* path, int* err) { return RRV_LoadEx(path, err, nullptr, 0); }

}  // extern "C"
