// Shared test helpers: hex written in tests, and C++ handles on the test
// clock and test reader of our ClockLink and RingReader.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "standins/clocklink/test_clock.h"
#include "standins/ringreader/test_reader.h"

namespace test {

using Bytes = std::vector<std::uint8_t>;

// Bytes of a hex string written in a test ("0A 1b-FF"): decoded here, not by
// the codec under test. Spaces and dashes are ignored.
inline Bytes hex(const std::string& text) {
    Bytes out;
    int high = -1;
    for (const char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

// One answer of the test clock.
struct Answer {
    CltAnswer a;

    Answer() { std::memset(&a, 0, sizeof a); a.status = 1; }
    // Success delivering these bytes (delivered length = their count).
    static Answer reply(const Bytes& bytes, BOOL16 status = 1) {
        Answer r;
        r.a.status = status;
        if (!bytes.empty()) std::memcpy(r.a.reply, bytes.data(), bytes.size());
        r.a.replyBytes = r.a.delivered = static_cast<SK_ULONG>(bytes.size());
        return r;
    }
    static Answer status(BOOL16 s, SK_ULONG errCode = 0) {
        Answer r;
        r.a.status = s;
        r.a.errCode = errCode;
        return r;
    }
    Answer& delivered(SK_ULONG n) { a.delivered = n; return *this; }
    Answer& errCode(SK_ULONG e) { a.errCode = e; return *this; }
    Answer& hook(CltReplyHook h, void* context) { a.hook = h; a.hookContext = context; return *this; }
};

// A test clock open for the life of the object.
class TestClock {
public:
    TestClock() : handle_(CLT_OpenTestClock()) {}
    ~TestClock() { CLT_Close(handle_); }
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    SK_ULONG handle() const { return handle_; }
    TestClock& answer(const Answer& a) { CLT_Queue(handle_, &a.a); return *this; }
    TestClock& answer(std::initializer_list<Answer> list) {
        for (const Answer& a : list) answer(a);
        return *this;
    }

    std::vector<CltCall> calls() const {
        std::vector<CltCall> out(CLT_CallCount(handle_));
        for (SK_ULONG i = 0; i < out.size(); ++i) CLT_GetCall(handle_, i, &out[i]);
        return out;
    }
    // The calls that ran a command (system or user).
    std::vector<CltCall> commands() const {
        std::vector<CltCall> out;
        for (const CltCall& c : calls())
            if (c.function == CLT_RUN_SYS_CMD || c.function == CLT_RUN_USER_CMD) out.push_back(c);
        return out;
    }
    // The parameter bytes of a call.
    static Bytes params(const CltCall& c) { return Bytes(c.params, c.params + c.paramLen); }

private:
    SK_ULONG handle_;
};

// Puts key (8 bytes) behind ClockLink's s_verifykey for the life of the
// object, then restores the key ClockLink loads with.
class VerifyKey {
public:
    explicit VerifyKey(const Bytes& key) { CLT_SetVerifyKey(key.data()); }
    ~VerifyKey() { CLT_SetVerifyKey(nullptr); }
    VerifyKey(const VerifyKey&) = delete;
    VerifyKey& operator=(const VerifyKey&) = delete;
};

// A test reader open for the life of the object.
class TestReader {
public:
    TestReader() : handle_(RRT_OpenTestReader()) {}
    ~TestReader() { RRT_Close(handle_); }
    TestReader(const TestReader&) = delete;
    TestReader& operator=(const TestReader&) = delete;

    SK_ULONG handle() const { return handle_; }
    TestReader& answer(int result, const Bytes& data = {}) {
        RrtAnswer a;
        std::memset(&a, 0, sizeof a);
        a.result = result;
        if (!data.empty()) std::memcpy(a.data, data.data(), data.size() < 16 ? data.size() : 16);
        RRT_Queue(handle_, &a);
        return *this;
    }
    std::vector<RrtCall> calls() const {
        std::vector<RrtCall> out(RRT_CallCount(handle_));
        for (SK_ULONG i = 0; i < out.size(); ++i) RRT_GetCall(handle_, i, &out[i]);
        return out;
    }

    // A tag in the field: its pages are written and read by the calls that
    // no script or queued answer takes.
    TestReader& insertTag(const Bytes& uid4) {
        RRT_InsertTag(handle_, uid4.data());
        return *this;
    }
    TestReader& setPage(SK_ULONG page, const Bytes& data4) {
        RRT_SetPage(handle_, page, data4.data());
        return *this;
    }
    Bytes page(SK_ULONG page) const {
        Bytes out(4);
        RRT_GetPage(handle_, page, out.data());
        return out;
    }
    // Pages first..first+count-1 in order.
    Bytes pages(SK_ULONG first, SK_ULONG count) const {
        Bytes out;
        for (SK_ULONG p = first; p < first + count; ++p) {
            const Bytes one = page(p);
            out.insert(out.end(), one.begin(), one.end());
        }
        return out;
    }
    // Call number index (from 0) returns result and, for a read, data.
    TestReader& script(SK_ULONG index, int result, const Bytes& data = {}) {
        RrtAnswer a{};
        a.result = result;
        std::copy_n(data.begin(), std::min<std::size_t>(data.size(), sizeof a.data), a.data);
        RRT_Script(handle_, index, &a);
        return *this;
    }

private:

    SK_ULONG handle_;
};

}  // namespace test
