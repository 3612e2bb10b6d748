// The replay device of our RingReader: the RingReader calls a trace recorded
// for one reader, answered again in order (standins/include/replay_device.h).
// Every call is compared as recorded: reader calls carry nothing that
// differs by design.
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "standins/replay/replay_device.h"
#include "standins/replay/trace_cursor.h"
#include "standins/ringreader/tag_device.h"
#include "standins/trace_file.h"

namespace standins {

namespace {

using tracefile::json;
using Bytes = std::vector<std::uint8_t>;

class ReplayReader : public TagDevice {
public:
    ReplayReader(std::shared_ptr<const tracefile::Trace> trace, std::uint32_t recorded)
        : cur_(std::move(trace), "ringreader", "reader", recorded, "reader") {}

    int active(unsigned char* uid4) override { return deliver("HTS_Active", nullptr, 0, uid4, 4); }
    int deactive() override { return deliver("HTS_Deactive", nullptr, 0, nullptr, 0); }
    int readPage(SK_ULONG page, unsigned char* data4) override {
        return deliver("HTS_ReadPage", "page", page, data4, 4);
    }
    int readBlock(SK_ULONG block, unsigned char* data16) override {
        return deliver("HTS_ReadBlock", "block", block, data16, 16);
    }
    int writePage(SK_ULONG page, unsigned char* data4) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const json* e = cur_.expect("HTS_WritePage");
        if (e == nullptr || !cur_.sameNumber(*e, "page", page)) return 0;
        Bytes want;
        tracefile::hexBytes((*e)["data"], want);
        const Bytes got = data4 != nullptr ? Bytes(data4, data4 + 4) : Bytes{};
        if (want != got) {
            cur_.fail(cur_.where(*e) + ": HTS_WritePage page " + std::to_string(page) +
                 " data: expected " + tracefile::hexText(want) + ", received " +
                 tracefile::hexText(got));
            return 0;
        }
        return static_cast<int>((*e).value("status", std::int64_t{0}));
    }

    int check(std::uint64_t call, std::string& message) {
        std::lock_guard<std::mutex> lock(mutex_);
        return cur_.check(call, message);
    }

private:
    // A call that delivers bytes: the recorded status and data.
    int deliver(const char* fn, const char* key, SK_ULONG number, unsigned char* out, std::size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        const json* e = cur_.expect(fn);
        if (e == nullptr || (key != nullptr && !cur_.sameNumber(*e, key, number))) return 0;
        if (out != nullptr && n > 0) {
            Bytes data;
            tracefile::hexBytes((*e).value("data", json("")), data);
            if (data.size() == n) std::memcpy(out, data.data(), n);
        }
        return static_cast<int>((*e).value("status", std::int64_t{0}));
    }

    std::mutex mutex_;
    replay::TraceCursor cur_;
};

std::shared_ptr<ReplayReader> findReplay(REPLAY_ULONG reader) {
    return std::dynamic_pointer_cast<ReplayReader>(tagDevices().find(reader));
}

}  // namespace

}  // namespace standins

extern "C" {

REPLAY_RRR_API REPLAY_ULONG REPLAY_CALL RRR_OpenReplay(const char* path, REPLAY_ULONG recorded,
                                                      int mode, int* err) {
    auto trace = standins::replay::openTrace(path, mode, err);
    if (!trace) return 0;
    try {
        return standins::tagDevices().add(std::make_shared<standins::ReplayReader>(trace, recorded));
    } catch (...) {
        if (err != nullptr) *err = REPLAY_ERR_FILE;
        return 0;
    }
}

REPLAY_RRR_API int REPLAY_CALL RRR_CloseReplay(REPLAY_ULONG reader) {
    if (!standins::findReplay(reader)) return REPLAY_ERR_ARGUMENT;
    standins::tagDevices().remove(reader);
    return REPLAY_OK;
}

REPLAY_RRR_API int REPLAY_CALL RRR_ReplayCheck(REPLAY_ULONG reader, REPLAY_ULONG call,
                                              char* message, REPLAY_ULONG size) {
    return standins::replay::reportCheck(standins::findReplay(reader), call, message, size);
}

}  // extern "C"
