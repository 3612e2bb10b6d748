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
#include "standins/ringreader/tag_device.h"
#include "standins/trace_file.h"

namespace standins {

namespace {

using tracefile::json;
using Bytes = std::vector<std::uint8_t>;

class ReplayReader : public TagDevice {
public:
    ReplayReader(std::shared_ptr<const tracefile::Trace> trace, std::uint32_t recorded)
        : trace_(std::move(trace)) {
        for (const json& e : trace_->events)
            if (e["ev"] == "ringreader" && e.value("reader", std::uint64_t{0}) == recorded)
                events_.push_back(&e);
    }

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
        const json* e = expect("HTS_WritePage");
        if (e == nullptr || !sameNumber(*e, "page", page)) return 0;
        Bytes want;
        tracefile::hexBytes((*e)["data"], want);
        const Bytes got = data4 != nullptr ? Bytes(data4, data4 + 4) : Bytes{};
        if (want != got) {
            fail(tracefile::where(*trace_, *e) + ": HTS_WritePage page " + std::to_string(page) +
                 " data: expected " + tracefile::hexText(want) + ", received " +
                 tracefile::hexText(got));
            return 0;
        }
        return static_cast<int>((*e).value("status", std::int64_t{0}));
    }

    int check(std::uint64_t call, std::string& message) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (failed_) {
            message = error_;
            return REPLAY_ERR_MISMATCH;
        }
        if (pos_ < events_.size() && (*events_[pos_]).value("call", std::uint64_t{0}) <= call) {
            const json& e = *events_[pos_];
            message = tracefile::where(*trace_, e) + ": the library did not call " +
                      e["fn"].get<std::string>() + " as recorded";
            return REPLAY_ERR_MISMATCH;
        }
        return REPLAY_OK;
    }

private:
    const json* expect(const char* fn) {
        if (failed_) return nullptr;
        if (pos_ >= events_.size()) {
            fail(std::string("the trace holds no further call on this reader; the library called ") + fn);
            return nullptr;
        }
        const json& e = *events_[pos_];
        if (e["fn"] != fn) {
            fail(tracefile::where(*trace_, e) + ": expected " + e["fn"].get<std::string>() +
                 ", the library called " + fn);
            return nullptr;
        }
        ++pos_;
        return &e;
    }

    void fail(std::string message) {
        failed_ = true;
        error_ = std::move(message);
    }

    bool sameNumber(const json& e, const char* key, SK_ULONG got) {
        const std::uint64_t want = e.value(key, std::uint64_t{~0u});
        if (want == got) return true;
        fail(tracefile::where(*trace_, e) + ": " + e["fn"].get<std::string>() + " " + key +
             ": expected " + std::to_string(want) + ", received " + std::to_string(got));
        return false;
    }

    // A call that delivers bytes: the recorded status and data.
    int deliver(const char* fn, const char* key, SK_ULONG number, unsigned char* out, std::size_t n) {
        std::lock_guard<std::mutex> lock(mutex_);
        const json* e = expect(fn);
        if (e == nullptr || (key != nullptr && !sameNumber(*e, key, number))) return 0;
        if (out != nullptr && n > 0) {
            Bytes data;
            tracefile::hexBytes((*e).value("data", json("")), data);
            if (data.size() == n) std::memcpy(out, data.data(), n);
        }
        return static_cast<int>((*e).value("status", std::int64_t{0}));
    }

    std::mutex mutex_;
    std::shared_ptr<const tracefile::Trace> trace_;
    std::vector<const json*> events_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    std::string error_;
};

std::shared_ptr<ReplayReader> findReplay(REPLAY_ULONG reader) {
    return std::dynamic_pointer_cast<ReplayReader>(tagDevices().find(reader));
}

}  // namespace

}  // namespace standins

extern "C" {

REPLAY_RRR_API REPLAY_ULONG REPLAY_CALL RRR_OpenReplay(const char* path, REPLAY_ULONG recorded,
                                                      int mode, int* err) {
    auto setErr = [&](int e) {
        if (err != nullptr) *err = e;
    };
    if (path == nullptr || (mode != REPLAY_TOLERANT && mode != REPLAY_STRICT)) {
        setErr(REPLAY_ERR_ARGUMENT);
        return 0;
    }
    try {
        auto trace = std::make_shared<standins::tracefile::Trace>();
        std::string error;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            setErr(REPLAY_ERR_FILE);
            return 0;
        }
        if (!standins::tracefile::parseTrace(in, *trace, error)) {
            setErr(REPLAY_ERR_TRACE);
            return 0;
        }
        setErr(REPLAY_OK);
        return standins::tagDevices().add(std::make_shared<standins::ReplayReader>(trace, recorded));
    } catch (...) {
        setErr(REPLAY_ERR_FILE);
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
    auto r = standins::findReplay(reader);
    if (!r) return REPLAY_ERR_ARGUMENT;
    try {
        std::string m;
        const int rc = r->check(call, m);
        if (message != nullptr && size > 0) {
            const std::size_t n = m.size() < size - 1 ? m.size() : size - 1;
            std::memcpy(message, m.data(), n);
            message[n] = '\0';
        }
        return rc;
    } catch (...) {
        return REPLAY_ERR_ARGUMENT;
    }
}

}  // extern "C"
