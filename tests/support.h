// The test toolkit, the one header the suites include: hex written in
// tests, C++ handles on the test clock and test reader of our ClockLink and
// RingReader, the dates the suites send and read back, the outputs an export
// must leave alone, the rows that say which command an export sends
// (wire), how it turns ClockLink's status into its result (result), that a
// failed read writes nothing (read) and that a null pointer sends nothing
// (null), the test verification key, the clocks that answer record
// downloads, and the lookup of an export in the loaded library.
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

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "frame/clocklink.h"
#include "hex_text.h"
#include "security/reply_mac.h"
#include "standins/clocklink/test_clock.h"
#include "standins/ringreader/test_reader.h"

namespace test {


// OLE dates of the times the suites send and read back, with their BCD bytes.
inline constexpr double kSeconds = 1.0 / 86400;
inline constexpr double kDate = 40251 + 32707 / 86400.0;  // 10 03 14 09 05 07
inline const Bytes kDateBcd = hex("10 03 14 09 05 07");
inline constexpr double kDateTolerance = 1e-9;
inline constexpr double k2024 = 45366 + 45296 * kSeconds;  // 24 03 15 12 34 56
inline constexpr double k2031 = 48033 + 21904 * kSeconds;  // 31 07 04 06 05 04
inline constexpr double k1999 = 36525 + 86399 * kSeconds;  // 99 12 31 23 59 59
inline constexpr double k2099 = 73050 + 86399 * kSeconds;  // 99 12 31 23 59 59, read back

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

// The S clock's download answer: the record and its arrival time (kDate),
// then the code; the challenge follows the record index in the request.
struct RecordClock : DownloadClock {
    RecordClock()
        : DownloadClock{hex("00 11 22 33 44 55 66 77 88 99 AA BB CC DD EE FF"  // record
                            "10 03 14 09 05 07"),                              // kDate
                        2, 30} {}
};

// The address of an export of the loaded library, by its exported name.
inline void* exportAddress(const char* name) {
#if defined(_WIN32)
    HMODULE lib = GetModuleHandleA("Skylark.dll");
    return lib ? reinterpret_cast<void*>(GetProcAddress(lib, name)) : nullptr;
#else
    // The library this program loaded, found from one of its exports (its
    // file name carries the SONAME's version).
    static void* const lib = [] {
        Dl_info info{};
        void* const any = dlsym(RTLD_DEFAULT, "BinToHex");
        return any && dladdr(any, &info) && info.dli_fname
                   ? dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD)
                   : nullptr;
    }();
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

// ---- Outputs an export must leave alone ----------------------------------------

// The fill every output starts with: no decoding produces it, so any stray
// write shows.
inline constexpr unsigned char kFill = 0xA5;

// Whether an output still holds nothing but the fill.
template <class T>
bool unwritten(const T& output) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&output);
    return std::all_of(bytes, bytes + sizeof output, [](unsigned char b) { return b == kFill; });
}

// Every kind of output the exports write, filled on construction.
struct Outputs {
    char text[128];
    char text2[64];
    char text3[64];
    double time1, time2;
    SK_ULONG n1, n2, n3, n4;
    unsigned char byte;
    unsigned char after;  // the byte behind a one-byte output

    Outputs() { std::memset(static_cast<void*>(this), kFill, sizeof *this); }
    bool untouched() const {
        return unwritten(text) && unwritten(text2) && unwritten(text3) && unwritten(time1) &&
               unwritten(time2) && unwritten(n1) && unwritten(n2) && unwritten(n3) &&
               unwritten(n4) && unwritten(byte) && unwritten(after);
    }
};

// An export called on a clock, with its outputs in an Outputs.
using Call = std::function<BOOL16(SK_ULONG, Outputs&)>;

// ---- Exactly these commands were sent ---------------------------------------------

// One command an exchange should have sent.
struct Sent {
    int function;     // CLT_RUN_SYS_CMD or CLT_RUN_USER_CMD
    SK_ULONG number;  // class or user command number
    Bytes params;     // the exact parameter bytes
    SK_ULONG preset;  // preset reply length; 0: both reply pointers null

    Sent(int f, SK_ULONG n, const char* hexParams, SK_ULONG p)
        : function(f), number(n), params(hex(hexParams)), preset(p) {}
    Sent(int f, SK_ULONG n, Bytes block, SK_ULONG p)
        : function(f), number(n), params(std::move(block)), preset(p) {}
};

inline std::string functionName(int function) {
    return function == CLT_RUN_SYS_CMD ? "IFD_RunSysCmd" : "IFD_RunUserCmd";
}

inline std::string hexOf(const Bytes& bytes) {
    std::ostringstream out;
    for (const std::uint8_t b : bytes) out << ' ' << "0123456789ABCDEF"[b >> 4]
                                           << "0123456789ABCDEF"[b & 0x0F];
    return out.str();
}

// The clock ran exactly these commands, in this order. Use as
// EXPECT_TRUE(test::sentOnly(clock, {{CLT_RUN_SYS_CMD, 0, "12", 8}, ...})).
inline ::testing::AssertionResult sentOnly(const TestClock& clock, const std::vector<Sent>& want) {
    const auto calls = clock.commands();
    if (calls.size() != want.size())
        return ::testing::AssertionFailure()
               << calls.size() << " commands sent, not " << want.size();
    for (std::size_t i = 0; i < calls.size(); ++i) {
        const CltCall& c = calls[i];
        const Sent& w = want[i];
        const Bytes params = TestClock::params(c);
        if (c.function != w.function || c.number != w.number)
            return ::testing::AssertionFailure()
                   << "command " << i << ": " << functionName(c.function) << " number "
                   << c.number << ", expected " << functionName(w.function) << " number "
                   << w.number;
        if (params != w.params)
            return ::testing::AssertionFailure() << "command " << i << ": params" << hexOf(params)
                                                 << ", expected" << hexOf(w.params);
        const bool noReply = c.replyNull && c.replyLenNull;
        if (w.preset == 0 ? !noReply : (noReply || c.presetLen != w.preset))
            return ::testing::AssertionFailure()
                   << "command " << i << ": reply pointers null " << c.replyNull << "/"
                   << c.replyLenNull << ", preset " << c.presetLen << ", expected preset "
                   << w.preset;
    }
    return ::testing::AssertionSuccess();
}

// The clock ran exactly this one command. Use as
// EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "21", 2})).
inline ::testing::AssertionResult sentOnly(const TestClock& clock, const Sent& want) {
    return sentOnly(clock, std::vector<Sent>{want});
}

// ---- Rows -------------------------------------------------------------------------

// Wire: one call of an export and the single command it must send.
struct WireRow {
    const char* name;
    Call call;
    int function;        // CLT_RUN_SYS_CMD or CLT_RUN_USER_CMD
    SK_ULONG number;     // class or user command number
    const char* params;  // the exact parameter bytes
    SK_ULONG preset;     // reply length preset; 0: both reply pointers null
};

inline void expectWire(const WireRow& row) {
    SCOPED_TRACE(row.name);
    TestClock clock;
    Outputs out;
    row.call(clock.handle(), out);
    EXPECT_TRUE(sentOnly(clock, {row.function, row.number, row.params, row.preset}));
}

// Result: a command export and how it turns ClockLink's status into its
// result.
struct ResultRow {
    const char* name;
    Call call;
    bool passThrough;  // ClockLink's status unchanged; otherwise normalised
};

// Pass-through hands back whatever status ClockLink gave (1 stays 1);
// normalised turns any non-zero status into -1.
inline void expectResults(const ResultRow& row) {
    SCOPED_TRACE(row.name);
    for (const BOOL16 status : {BOOL16(1), BOOL16(0x1234), BOOL16(-1), BOOL16(0)}) {
        TestClock clock;
        clock.answer(Answer::status(status));
        Outputs out;
        const BOOL16 expected = row.passThrough ? status : BOOL16(status != 0 ? -1 : 0);
        EXPECT_EQ(row.call(clock.handle(), out), expected) << "ClockLink status " << status;
    }
}

// A write's wire row, normalised or passed through.
inline void expectResults(const WireRow& row, bool passThrough) {
    expectResults(ResultRow{row.name, row.call, passThrough});
}

// Read: an export's read into the Outputs, with the reply length it expects.
struct ReadRow {
    const char* name;
    Call call;
    SK_ULONG replyLen;
};

// A read fails and leaves every output as it was when ClockLink fails or the
// reply is one byte short or long.
inline void expectReadFailures(const ReadRow& row) {
    SCOPED_TRACE(row.name);
    const Bytes full(row.replyLen, 0x11);
    const Answer answers[] = {
        Answer::reply(full, 0),
        Answer::reply(full).delivered(row.replyLen - 1),
        Answer::reply(full).delivered(row.replyLen + 1),
        Answer::reply(Bytes(row.replyLen - 1, 0x11)),
    };
    for (const Answer& a : answers) {
        TestClock clock;
        clock.answer(a);
        Outputs out;
        EXPECT_EQ(row.call(clock.handle(), out), 0);
        EXPECT_TRUE(out.untouched());
    }
    // The same reply at its full length is accepted.
    TestClock clock;
    clock.answer(Answer::reply(full));
    Outputs out;
    EXPECT_EQ(row.call(clock.handle(), out), -1);
}

// Null: an export with a null required pointer gives 0, calls no ClockLink
// function and writes none of its other outputs.
struct NullRow {
    const char* name;
    Call call;
};

inline void expectNullRefused(const NullRow& row) {
    SCOPED_TRACE(row.name);
    TestClock clock;
    Outputs out;
    EXPECT_EQ(row.call(clock.handle(), out), 0);
    EXPECT_TRUE(clock.calls().empty());
    EXPECT_TRUE(out.untouched());
}

// Rows print as their names in test output, and name their tests.
inline void PrintTo(const WireRow& row, std::ostream* os) { *os << row.name; }
inline void PrintTo(const ResultRow& row, std::ostream* os) { *os << row.name; }
inline void PrintTo(const ReadRow& row, std::ostream* os) { *os << row.name; }
inline void PrintTo(const NullRow& row, std::ostream* os) { *os << row.name; }

template <class Row>
std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

}  // namespace test
