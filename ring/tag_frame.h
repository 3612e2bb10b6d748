// The data frame of a ring tag: 16 bytes = 128 bits, written to pages 4..7.
// Read as one bit string, most significant bit of byte 0 first, it is ten 0
// bits, then thirteen fields each behind a 1 bit (one byte each, most
// significant bit first), then one final 1 bit:
//
//   bit 0     10  11       19  20       28       ...   118 119     127
//       | 0*10 | 1 | field 0 | 1 | field 1 | ... | 1 | field 12 | 1 |
//
// Fields 0..5 hold the ring number, 6..9 the race number, 10 a zero byte,
// 11 and 12 the check bytes of ring and race number.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace skylark {

inline constexpr std::size_t kTagFrameBytes = 16;
inline constexpr std::size_t kTagFrameFields = 13;
inline constexpr std::size_t kTagFrameLeadZeros = 10;
static_assert(kTagFrameLeadZeros + 9 * kTagFrameFields + 1 == 8 * kTagFrameBytes,
              "the fields and framing bits fill the frame exactly");

using TagFrame = std::array<std::uint8_t, kTagFrameBytes>;
using TagFields = std::array<std::uint8_t, kTagFrameFields>;

// Writes bits into a frame, most significant bit of byte 0 first.
class TagFrameWriter {
public:
    constexpr void bit(unsigned b) {
        if (b != 0) frame_[at_ / 8] |= static_cast<std::uint8_t>(0x80u >> (at_ % 8));
        ++at_;
    }
    constexpr void byte(std::uint8_t v) {
        for (int i = 7; i >= 0; --i) bit((v >> i) & 1u);
    }
    constexpr const TagFrame& frame() const { return frame_; }

private:
    TagFrame frame_{};  // starts all 0 bits
    std::size_t at_ = 0;
};

// Reads bits back out of a frame in the same order.
class TagFrameReader {
public:
    constexpr explicit TagFrameReader(const TagFrame& frame) : frame_(frame) {}
    constexpr unsigned bit() {
        const unsigned b = (frame_[at_ / 8] >> (7 - at_ % 8)) & 1u;
        ++at_;
        return b;
    }
    constexpr std::uint8_t byte() {
        unsigned v = 0;
        for (int i = 0; i < 8; ++i) v = (v << 1) | bit();
        return static_cast<std::uint8_t>(v);
    }
    constexpr void skip(std::size_t bits) { at_ += bits; }

private:
    const TagFrame& frame_;
    std::size_t at_ = 0;
};

// The frame of thirteen fields.
constexpr TagFrame packTagFrame(const TagFields& fields) {
    TagFrameWriter w;
    for (std::size_t i = 0; i < kTagFrameLeadZeros; ++i) w.bit(0);
    for (const std::uint8_t field : fields) {
        w.bit(1);
        w.byte(field);
    }
    w.bit(1);
    return w.frame();
}

// The thirteen fields of a frame. The framing bits are not checked: any 16
// bytes give fields.
constexpr TagFields unpackTagFrame(const TagFrame& frame) {
    TagFrameReader r(frame);
    r.skip(kTagFrameLeadZeros);
    TagFields fields{};
    for (std::uint8_t& field : fields) {
        r.skip(1);
        field = r.byte();
    }
    return fields;
}

namespace tag_frame_detail {
// All-zero fields leave only the framing bits.
constexpr TagFrame kTemplate = {0x00, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01, 0x00,
                                0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
constexpr bool sameFrame(const TagFrame& a, const TagFrame& b) {
    for (std::size_t i = 0; i < kTagFrameBytes; ++i)
        if (a[i] != b[i]) return false;
    return true;
}
static_assert(sameFrame(packTagFrame(TagFields{}), kTemplate), "framing bits");
}  // namespace tag_frame_detail

}  // namespace skylark
