// The recorded calls of one replay device, in the order they were made:
// which call the device answers next, and where the replay first went
// wrong. The replay clock and the replay reader each keep one; their own
// code compares what a call carries.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "standins/replay/replay_device.h"
#include "standins/trace_file.h"

namespace standins::replay {

using tracefile::json;

class TraceCursor {
public:
    // The events of kind `ev` ("clocklink", "ringreader") whose `idKey`
    // ("handle", "reader") is `recorded`; `device` names it in messages.
    TraceCursor(std::shared_ptr<const tracefile::Trace> trace, const char* ev, const char* idKey,
                std::uint64_t recorded, const char* device)
        : trace_(std::move(trace)), device_(device) {
        for (const json& e : trace_->events)
            if (e["ev"] == ev && e.value(idKey, std::uint64_t{0}) == recorded) events_.push_back(&e);
    }

    const tracefile::Trace& trace() const { return *trace_; }
    bool failed() const { return failed_; }

    // The next recorded call, if it is fn; otherwise the replay fails here.
    const json* expect(const char* fn) {
        if (failed_) return nullptr;
        if (pos_ >= events_.size()) {
            fail("after exchange " +
                 (events_.empty() ? std::string("0")
                                  : std::to_string((*events_.back())["n"].get<std::uint64_t>())) +
                 ": the trace holds no further call on this " + device_ + "; the library called " + fn);
            return nullptr;
        }
        const json& e = *events_[pos_];
        if (e["fn"] != fn) {
            fail(where(e) + ": expected " + e["fn"].get<std::string>() + ", the library called " + fn);
            return nullptr;
        }
        ++pos_;
        return &e;
    }

    // The next recorded call if it is fn (and the replay has not failed),
    // taken; null otherwise, without failing: for calls a host may make or
    // leave out.
    const json* takeIf(const char* fn) {
        if (failed_ || pos_ >= events_.size() || (*events_[pos_])["fn"] != fn) return nullptr;
        return events_[pos_++];
    }

    // The replay fails: every later call fails too, and check() says this.
    void fail(std::string message) {
        failed_ = true;
        error_ = std::move(message);
    }

    // Fails unless the recorded call's number field `key` is `got`.
    bool sameNumber(const json& e, const char* key, std::uint64_t got) {
        const std::uint64_t want = e.value(key, std::uint64_t{~0u});
        if (want == got) return true;
        fail(where(e) + ": " + e["fn"].get<std::string>() + " " + key + ": expected " +
             std::to_string(want) + ", received " + std::to_string(got));
        return false;
    }

    // "exchange 83 (call 38, SKM_GetRaceRecord)": where a recorded call is.
    std::string where(const json& e) const { return tracefile::where(*trace_, e); }

    // REPLAY_OK while every call so far matched and every call recorded for
    // export calls up to `call` has been made.
    int check(std::uint64_t call, std::string& message) const {
        if (failed_) {
            message = error_;
            return REPLAY_ERR_MISMATCH;
        }
        if (pos_ < events_.size() && (*events_[pos_]).value("call", std::uint64_t{0}) <= call) {
            const json& e = *events_[pos_];
            message = where(e) + ": the library did not call " + e["fn"].get<std::string>() + " as recorded";
            return REPLAY_ERR_MISMATCH;
        }
        message.clear();
        return REPLAY_OK;
    }

private:
    std::shared_ptr<const tracefile::Trace> trace_;
    std::string device_;
    std::vector<const json*> events_;
    std::size_t pos_ = 0;
    bool failed_ = false;
    std::string error_;
};

// Reads the trace at path for a replay device opened in `mode`: the trace,
// or null with *err (if not null) set to REPLAY_ERR_ARGUMENT, _FILE or _TRACE.
inline std::shared_ptr<const tracefile::Trace> openTrace(const char* path, int mode, int* err) {
    auto setErr = [&](int e) {
        if (err != nullptr) *err = e;
    };
    if (path == nullptr || (mode != REPLAY_TOLERANT && mode != REPLAY_STRICT)) {
        setErr(REPLAY_ERR_ARGUMENT);
        return nullptr;
    }
    try {
        auto trace = std::make_shared<tracefile::Trace>();
        std::string error;
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            setErr(REPLAY_ERR_FILE);
            return nullptr;
        }
        if (!tracefile::parseTrace(in, *trace, error)) {
            setErr(REPLAY_ERR_TRACE);
            return nullptr;
        }
        setErr(REPLAY_OK);
        return trace;
    } catch (...) {
        setErr(REPLAY_ERR_FILE);
        return nullptr;
    }
}

// A message into a caller's buffer of `size` bytes, NUL included, cut short
// if needed; nothing when out is null or size 0.
inline void copyMessage(const std::string& m, char* out, REPLAY_ULONG size) {
    if (out == nullptr || size == 0) return;
    const std::size_t n = m.size() < size - 1 ? m.size() : size - 1;
    std::memcpy(out, m.data(), n);
    out[n] = '\0';
}

// The check export of a replay device (CLR_ReplayCheck, RRR_ReplayCheck):
// the device's check with its message copied out; REPLAY_ERR_ARGUMENT for
// an unknown device.
template <class Device>
int reportCheck(const std::shared_ptr<Device>& device, REPLAY_ULONG call, char* message,
                REPLAY_ULONG size) {
    if (!device) return REPLAY_ERR_ARGUMENT;
    try {
        std::string m;
        const int rc = device->check(call, m);
        copyMessage(m, message, size);
        return rc;
    } catch (...) {
        return REPLAY_ERR_ARGUMENT;
    }
}

}  // namespace standins::replay
