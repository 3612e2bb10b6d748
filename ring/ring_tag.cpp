#include "ring/ring_tag.h"

#include <cstring>

#include "frame/codec.h"
#include "ring/crc8.h"
#include "ring/ringreader_calls.h"
#include "ring/tag_frame.h"

namespace skylark {

namespace {

constexpr BOOL16 kOk = -1;

constexpr std::size_t kUidBytes = 4;
constexpr std::size_t kPageBytes = 4;
constexpr std::size_t kRingNoBytes = 6;
constexpr std::size_t kRaceNoBytes = 4;
constexpr std::size_t kRaceInfoBytes = kRaceNoBytes + 1;  // the race number and a zero byte

// Tag memory: the configuration page, and the data frame in block 1 (pages 4..7).
constexpr SK_ULONG kConfigPage = 1;
constexpr std::size_t kConfigByte = 1;
constexpr std::uint8_t kConfigured = 0x08;
constexpr SK_ULONG kFrameBlock = 1;
constexpr SK_ULONG kFirstFramePage = 4 * kFrameBlock;

// Fields of the frame: 0 ring number 6 | 6 race info 5 | 11 ring check | 12 race check | 13
constexpr std::size_t kRingField = 0;
constexpr std::size_t kRaceField = kRingField + kRingNoBytes;
constexpr std::size_t kRingCheckField = kRaceField + kRaceInfoBytes;
constexpr std::size_t kRaceCheckField = kRingCheckField + 1;
static_assert(kRaceCheckField + 1 == kTagFrameFields, "fields fill the frame");

// Writes one page from a copy, so the reader cannot alter the frame that
// the read-back is compared with.
bool writePage(SK_ULONG reader, SK_ULONG page, const std::uint8_t* data) {
    std::uint8_t buf[kPageBytes];
    std::memcpy(buf, data, sizeof buf);
    return link::writePage(reader, page, buf) != 0;
}

// Reads the configuration page into a cleared buffer, so a read that
// reports success without delivering shows no stale byte.
bool readConfig(SK_ULONG reader, std::uint8_t (&config)[kPageBytes]) {
    std::memset(config, 0, sizeof config);
    return link::readPage(reader, kConfigPage, config) != 0;
}

}  // namespace

BOOL16 ringActivate(SK_ULONG reader, char* uidHex) {
    if (uidHex == nullptr) return 0;
    std::uint8_t uid[kUidBytes] = {};
    if (link::active(reader, uid) == 0) return 0;
    binToHex(uid, sizeof uid, uidHex);
    return kOk;
}

BOOL16 ringDeactivate(SK_ULONG reader) { return link::deactive(reader) != 0 ? kOk : 0; }

BOOL16 ringFormat(SK_ULONG reader, const char* ringNoHex, const char* raceNoHex) {
    if (ringNoHex == nullptr || raceNoHex == nullptr) return 0;

    // The texts are checked before the reader is touched: six ring number
    // bytes, and exactly four race number bytes (a fifth means too long).
    TagFields fields{};
    std::uint8_t* const ringNo = fields.data() + kRingField;
    std::uint8_t* const raceInfo = fields.data() + kRaceField;
    if (hexToBin(ringNoHex, ringNo, kRingNoBytes) != kRingNoBytes) return 0;
    if (hexToBin(raceNoHex, raceInfo, kRaceInfoBytes) != kRaceNoBytes) return 0;
    raceInfo[kRaceNoBytes] = 0;
    fields[kRingCheckField] = crc8(ringNo, kRingNoBytes);
    fields[kRaceCheckField] = crc8(raceInfo, kRaceInfoBytes);
    const TagFrame frame = packTagFrame(fields);

    // Pages 4..7 in order; a failed write stops here.
    for (SK_ULONG i = 0; i < kTagFrameBytes / kPageBytes; ++i)
        if (!writePage(reader, kFirstFramePage + i, frame.data() + kPageBytes * i)) return 0;

    TagFrame readBack{};
    if (link::readBlock(reader, kFrameBlock, readBack.data()) == 0) return 0;
    if (std::memcmp(readBack.data(), frame.data(), kTagFrameBytes) != 0) return 0;

    // The configuration byte, written only if it is not already set; the
    // other three bytes of the page go back as read.
    std::uint8_t config[kPageBytes];
    if (!readConfig(reader, config)) return 0;
    if (config[kConfigByte] == kConfigured) return kOk;
    config[kConfigByte] = kConfigured;
    if (!writePage(reader, kConfigPage, config)) return 0;
    if (!readConfig(reader, config)) return 0;
    return config[kConfigByte] == kConfigured ? kOk : 0;
}

BOOL16 ringRead(SK_ULONG reader, char* ringNoHex, char* raceNoHex) {
    if (ringNoHex == nullptr || raceNoHex == nullptr) return 0;
    TagFrame block{};
    if (link::readBlock(reader, kFrameBlock, block.data()) == 0) return 0;
    // Framing bits, zero byte and check bytes are not examined.
    const TagFields fields = unpackTagFrame(block);
    binToHex(fields.data() + kRaceField, kRaceNoBytes, raceNoHex);
    binToHex(fields.data() + kRingField, kRingNoBytes, ringNoHex);
    return kOk;
}

}  // namespace skylark
