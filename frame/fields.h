// Field helpers shared by every parameter block and reply: big-endian
// numbers, hex-text fields and BCD dates. Blocks are written and read front
// to back, one field per call, so building a block reads like its layout
// table (offset, width, content).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "frame/codec.h"

namespace skylark {

// Big-endian numbers; only the low 16 (or 32) bits of v are stored.
inline void putBe16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 8);
    p[1] = static_cast<std::uint8_t>(v);
}
inline void putBe32(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v >> 24);
    p[1] = static_cast<std::uint8_t>(v >> 16);
    p[2] = static_cast<std::uint8_t>(v >> 8);
    p[3] = static_cast<std::uint8_t>(v);
}
inline std::uint32_t getBe16(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 8 | p[1];
}
inline std::uint32_t getBe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

// A fixed-width field from hex text: the field is cleared first, so digits
// missing from a short text leave 0x00, never an undefined byte. Returns the
// number of bytes decoded.
inline std::size_t putHexField(std::uint8_t* field, std::size_t width, const char* text) {
    std::memset(field, 0, width);
    return hexToBin(text, field, width);
}

// A parameter block under construction, cleared, written front to back. Its
// room is more than any command of the index sends (32 bytes at most); the
// frame sends exactly the command's paramLen of it. A field that does not
// fit is not written, and the block is marked overflowed; the frame refuses
// to send such a block.
class Params {
public:
    static constexpr std::size_t kCapacity = 256;

    Params() { std::memset(bytes_, 0, sizeof bytes_); }

    Params& u8(std::uint32_t v) {
        if (std::uint8_t* p = next(1)) *p = static_cast<std::uint8_t>(v);
        return *this;
    }
    Params& be16(std::uint32_t v) {
        if (std::uint8_t* p = next(2)) putBe16(p, v);
        return *this;
    }
    Params& be32(std::uint32_t v) {
        if (std::uint8_t* p = next(4)) putBe32(p, v);
        return *this;
    }
    // Hex text into a field of width bytes; short texts leave zeros.
    Params& hex(const char* text, std::size_t width) {
        if (std::uint8_t* p = next(width)) putHexField(p, width, text);
        return *this;
    }
    Params& bcdDate(double date) {
        if (std::uint8_t* p = next(kBcdDateSize)) dateToBcd(p, date);
        return *this;
    }
    Params& bcdDateTime(const DateTime& t) {
        if (std::uint8_t* p = next(kBcdDateSize)) dateTimeToBcd(t, p);
        return *this;
    }
    Params& bytes(const std::uint8_t* data, std::size_t n) {
        if (std::uint8_t* p = next(n)) std::memcpy(p, data, n);
        return *this;
    }
    Params& zeros(std::size_t n) { next(n); return *this; }

    std::uint8_t* data() { return bytes_; }
    const std::uint8_t* data() const { return bytes_; }
    std::size_t size() const { return size_; }
    // Whether a field was refused for lack of room.
    bool overflowed() const { return overflowed_; }

private:
    // Reserves the next n bytes; null, and the block overflowed, when they
    // would run past the capacity.
    std::uint8_t* next(std::size_t n) {
        if (n > kCapacity - size_) {
            overflowed_ = true;
            return nullptr;
        }
        std::uint8_t* p = bytes_ + size_;
        size_ += n;
        return p;
    }

    std::uint8_t bytes_[kCapacity];
    std::size_t size_ = 0;
    bool overflowed_ = false;
};

// Reads a reply front to back.
class ReplyReader {
public:
    explicit ReplyReader(const std::uint8_t* reply) : p_(reply) {}

    std::uint8_t u8() { return *take(1); }
    std::uint32_t be16() { return getBe16(take(2)); }
    std::uint32_t be32() { return getBe32(take(4)); }
    double bcdDate() { return bcdToDate(take(kBcdDateSize)); }
    // n bytes as 2n hex digits and a NUL into text.
    void hex(std::size_t n, char* text) { binToHex(take(n), n, text); }
    void skip(std::size_t n) { take(n); }
    const std::uint8_t* here() const { return p_; }

private:
    const std::uint8_t* take(std::size_t n) {
        const std::uint8_t* q = p_;
        p_ += n;
        return q;
    }
    const std::uint8_t* p_;
};

}  // namespace skylark
