// Table rows shared by the clock command suites: the wire bytes an export
// sends (and the check that exactly that command went out), the result rule
// it applies, the outputs it must leave alone when a command fails, and the
// null pointers it refuses.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <sstream>
#include <string>

#include "support.h"

namespace test {

// OLE dates of the times the suites send and read back, with their BCD bytes.
inline constexpr double kSeconds = 1.0 / 86400;
inline constexpr double k2024 = 45366 + 45296 * kSeconds;  // 24 03 15 12 34 56
inline constexpr double k2031 = 48033 + 21904 * kSeconds;  // 31 07 04 06 05 04
inline constexpr double k1999 = 36525 + 86399 * kSeconds;  // 99 12 31 23 59 59
inline constexpr double k2099 = 73050 + 86399 * kSeconds;  // 99 12 31 23 59 59, read back

// One call of an export and the single command it must send.
struct WireRow {
    const char* name;
    std::function<BOOL16(SK_ULONG)> call;
    int function;        // CLT_RUN_SYS_CMD or CLT_RUN_USER_CMD
    SK_ULONG number;     // class or user command number
    const char* params;  // the exact parameter bytes
    SK_ULONG preset;     // reply length preset; 0: both reply pointers null
};

inline void PrintTo(const WireRow& row, std::ostream* os) { *os << row.name; }

inline std::string functionName(int function) {
    return function == CLT_RUN_SYS_CMD ? "IFD_RunSysCmd" : "IFD_RunUserCmd";
}

// The one command an exchange should have sent.
struct Sent {
    int function;        // CLT_RUN_SYS_CMD or CLT_RUN_USER_CMD
    SK_ULONG number;     // class or user command number
    const char* params;  // parameter bytes, as test hex
    SK_ULONG preset;     // preset reply length; 0: both reply pointers null
};

inline std::string hexOf(const Bytes& bytes) {
    std::ostringstream out;
    for (const std::uint8_t b : bytes) out << ' ' << "0123456789ABCDEF"[b >> 4]
                                           << "0123456789ABCDEF"[b & 0x0F];
    return out.str();
}

// Use as EXPECT_TRUE(test::sentOnly(clock, {CLT_RUN_SYS_CMD, 0, "21", 2})).
inline ::testing::AssertionResult sentOnly(const TestClock& clock, const Sent& want) {
    const auto calls = clock.commands();
    if (calls.size() != 1)
        return ::testing::AssertionFailure() << calls.size() << " commands sent, not 1";
    const CltCall& c = calls[0];
    const Bytes params = TestClock::params(c);
    if (c.function != want.function || c.number != want.number)
        return ::testing::AssertionFailure()
               << functionName(c.function) << " number " << c.number << ", expected "
               << functionName(want.function) << " number " << want.number;
    if (params != hex(want.params))
        return ::testing::AssertionFailure()
               << "params" << hexOf(params) << ", expected" << hexOf(hex(want.params));
    const bool noReply = c.replyNull && c.replyLenNull;
    if (want.preset == 0 ? !noReply : (noReply || c.presetLen != want.preset))
        return ::testing::AssertionFailure()
               << "reply pointers null " << c.replyNull << "/" << c.replyLenNull
               << ", preset " << c.presetLen << ", expected preset " << want.preset;
    return ::testing::AssertionSuccess();
}

inline void expectWire(const WireRow& row) {
    SCOPED_TRACE(row.name);
    TestClock clock;
    row.call(clock.handle());
    EXPECT_TRUE(sentOnly(clock, {row.function, row.number, row.params, row.preset}));
}

// A command export and how it turns ClockLink's status into its result.
struct ResultRow {
    const char* name;
    std::function<BOOL16(SK_ULONG)> call;
    bool passThrough;  // ClockLink's status unchanged; otherwise normalised
};

inline void PrintTo(const ResultRow& row, std::ostream* os) { *os << row.name; }

// Pass-through hands back whatever status ClockLink gave (1 stays 1);
// normalised turns any non-zero status into -1.
inline void expectResults(const ResultRow& row) {
    SCOPED_TRACE(row.name);
    for (const BOOL16 status : {BOOL16(1), BOOL16(0x1234), BOOL16(-1), BOOL16(0)}) {
        TestClock clock;
        clock.answer(Answer::status(status));
        const BOOL16 expected = row.passThrough ? status : BOOL16(status != 0 ? -1 : 0);
        EXPECT_EQ(row.call(clock.handle()), expected) << "ClockLink status " << status;
    }
}

// Every kind of output an export of the clock families writes. Made by
// outputs(), filled with a pattern that no decoding produces, so that any
// stray write shows.
struct Outputs {
    char text[48];
    double time1, time2;
    SK_ULONG n1, n2, n3, n4;
    unsigned char byte;
    unsigned char after;  // the byte behind a one-byte output

    bool untouched() const;
};

inline Outputs outputs() {
    Outputs o;
    std::memset(&o, 0xA5, sizeof o);
    return o;
}

inline bool Outputs::untouched() const {
    const Outputs fresh = outputs();
    return std::memcmp(this, &fresh, sizeof fresh) == 0;
}

// A read of an export into the Outputs, with the reply length it expects.
struct ReadRow {
    const char* name;
    std::function<BOOL16(SK_ULONG, Outputs&)> call;
    SK_ULONG replyLen;
};

inline void PrintTo(const ReadRow& row, std::ostream* os) { *os << row.name; }

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
        Outputs out = outputs();
        EXPECT_EQ(row.call(clock.handle(), out), 0);
        EXPECT_TRUE(out.untouched());
    }
    // The same reply at its full length is accepted.
    TestClock clock;
    clock.answer(Answer::reply(full));
    Outputs out = outputs();
    EXPECT_EQ(row.call(clock.handle(), out), -1);
}

// An export with a null required pointer: 0, no ClockLink call.
struct NullRow {
    const char* name;
    std::function<BOOL16(SK_ULONG)> call;
};

inline void PrintTo(const NullRow& row, std::ostream* os) { *os << row.name; }

inline void expectNullRefused(const NullRow& row) {
    SCOPED_TRACE(row.name);
    TestClock clock;
    EXPECT_EQ(row.call(clock.handle()), 0);
    EXPECT_TRUE(clock.calls().empty());
}

// Test names from the rows' names.
template <class Row>
std::string rowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

}  // namespace test
