// Checks of what an export sent to the test clock: exactly one command, its
// function, class or number, parameter bytes and reply length.
#pragma once

#include <gtest/gtest.h>

#include <sstream>

#include "support.h"

namespace test {

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
               << "function " << c.function << " number " << c.number << ", expected function "
               << want.function << " number " << want.number;
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

}  // namespace test
