// One command as a virtual clock receives it, and the reply it builds. The
// clock reads parameter blocks and writes replies with these helpers only;
// they are the device's own, separate from the library's encoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "standins/clocklink/virtual/clock_time.h"

namespace standins::vclock {

struct Exchange {
    bool user = false;          // user command (IFD_RunUserCmd), else system command
    std::uint32_t number = 0;   // user command number, or system class
    const std::uint8_t* params = nullptr;
    std::size_t len = 0;
    std::vector<std::uint8_t> reply;

    bool sys(std::uint32_t cls) const { return !user && number == cls; }
    // The command code of a class-0 or class-1 command (0 when none was sent).
    std::uint8_t code() const { return len > 0 ? params[0] : 0; }

    std::uint8_t u8(std::size_t at) const { return params[at]; }
    std::uint32_t be16(std::size_t at) const {
        return static_cast<std::uint32_t>(params[at]) << 8 | params[at + 1];
    }
    std::uint32_t be32(std::size_t at) const {
        return static_cast<std::uint32_t>(params[at]) << 24 |
               static_cast<std::uint32_t>(params[at + 1]) << 16 |
               static_cast<std::uint32_t>(params[at + 2]) << 8 | params[at + 3];
    }
    template <class Array>
    Array take(std::size_t at) const {
        Array a{};
        std::memcpy(a.data(), params + at, a.size());
        return a;
    }

    void put8(std::uint32_t v) { reply.push_back(static_cast<std::uint8_t>(v)); }
    void putBe16(std::uint32_t v) {
        put8(v >> 8);
        put8(v);
    }
    void putBe32(std::uint32_t v) {
        putBe16(v >> 16);
        putBe16(v);
    }
    void putBytes(const std::uint8_t* p, std::size_t n) { reply.insert(reply.end(), p, p + n); }
    template <class Array>
    void put(const Array& a) {
        putBytes(a.data(), a.size());
    }
    void putZeros(std::size_t n) { reply.insert(reply.end(), n, 0); }
    void putTime(Seconds s) {
        std::uint8_t bcd[6];
        toBcd(s, bcd);
        putBytes(bcd, 6);
    }
};

}  // namespace standins::vclock
