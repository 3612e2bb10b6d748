// Shared test helpers: hex written in tests, C++ handles on the test clock
// and test reader of our ClockLink and RingReader, the test verification
// key, a clock that answers record downloads, and the lookup of an export in
// the loaded library.
#pragma once

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "frame/clocklink.h"
#include "security/reply_mac.h"
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

// A verification key for tests, other than the one ClockLink loads with.
inline const Bytes kTestVerifyKey = hex("13 57 9B DF 02 46 8A CE");

// Puts key (8 bytes) behind ClockLink's s_verifykey for the life of the
// object, then restores the key ClockLink loads with.
class VerifyKey {
public:
    explicit VerifyKey(const Bytes& key) { CLT_SetVerifyKey(key.data()); }
    ~VerifyKey() { CLT_SetVerifyKey(nullptr); }
    VerifyKey(const VerifyKey&) = delete;
    VerifyKey& operator=(const VerifyKey&) = delete;
};

// A clock's answer to a record download: the covered reply bytes, then the
// verification code over them for the challenge the request carries, as a
// genuine clock answers. Faults can be put into the answer. The object must
// outlive the call it answers.
struct DownloadClock {
    Bytes covered;                    // reply bytes the code covers
    std::size_t challengeAt;          // offset of the challenge in the request
    SK_ULONG length;                  // reply bytes delivered
    int flipBit = -1;                 // reply bit to invert after computing the code
    std::uint8_t otherChallenge = 0;  // XORed into the challenge the code answers
    BOOL16 status = 1;
    std::uint8_t challenge[4] = {};   // the last request's challenge
    std::uint8_t reply[64] = {};      // the last reply

    static void respond(void* context, const CltCall* call, unsigned char* out,
                        SK_ULONG* replyBytes) {
        auto& self = *static_cast<DownloadClock*>(context);
        std::memcpy(self.challenge, call->params + self.challengeAt, sizeof self.challenge);
        std::uint8_t challenge[4];
        std::memcpy(challenge, self.challenge, sizeof challenge);
        challenge[0] ^= self.otherChallenge;
        std::memset(self.reply, 0, sizeof self.reply);
        std::memcpy(self.reply, self.covered.data(), self.covered.size());
        skylark::replyMac(s_verifykey, self.reply, self.covered.size(), challenge,
                          self.reply + self.covered.size());
        if (self.flipBit >= 0)
            self.reply[self.flipBit / 8] ^= static_cast<std::uint8_t>(0x80 >> (self.flipBit % 8));
        std::memcpy(out, self.reply, self.covered.size() + skylark::kReplyMacSize);
        *replyBytes = self.length;
    }
    Answer answer() { return Answer::status(status).hook(&DownloadClock::respond, this); }
};

// The address of an export of the loaded library, by its exported name.
inline void* exportAddress(const char* name) {
#if defined(_WIN32)
    HMODULE lib = GetModuleHandleA("Skylark.dll");
    return lib ? reinterpret_cast<void*>(GetProcAddress(lib, name)) : nullptr;
#else
    static void* const lib = dlopen("libskylark.so", RTLD_NOW | RTLD_NOLOAD);
    return lib ? dlsym(lib, name) : nullptr;
#endif
}

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
