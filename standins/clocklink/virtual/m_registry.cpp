// M clock: the ring registry, the event log and the settings.
#include <algorithm>
#include <cstring>

#include "standins/clocklink/virtual/state_rules.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

namespace {

// The registry entry of a ring number (the first 6 bytes of a ring field).
std::vector<CardRecord>::iterator findCard(MState& m, const std::uint8_t* ring) {
    return std::find_if(m.registry.begin(), m.registry.end(), [&](const CardRecord& r) {
        return std::memcmp(r.data(), ring, 6) == 0;
    });
}

std::vector<std::uint8_t> ringData(const std::uint8_t* ring) { return {ring, ring + 6}; }

}  // namespace

int VirtualClock::cardIndex(Exchange& x) {
    // 0 code | 1 ring field 8 -> index 2
    if (x.len != 9) return CLV_ERR_BAD_PARAM;
    auto it = findCard(s_.m, x.params + 1);
    if (it == s_.m.registry.end()) return CLV_ERR_NOT_FOUND;
    x.putBe16(static_cast<std::uint32_t>(it - s_.m.registry.begin()));
    return CLV_OK;
}

int VirtualClock::cardCount(Exchange& x) {
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.putBe16(static_cast<std::uint32_t>(s_.m.registry.size()));
    return CLV_OK;
}

int VirtualClock::cardEntry(Exchange& x) {
    // 0 code | 1 index 2 -> CardRecord 31
    if (x.len != 3) return CLV_ERR_BAD_PARAM;
    const std::uint32_t i = x.be16(1);
    if (i >= s_.m.registry.size()) return CLV_ERR_NOT_FOUND;
    x.put(s_.m.registry[i]);
    return CLV_OK;
}

int VirtualClock::maxLogNumber(Exchange& x) {
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.putBe32(s_.log.empty() ? 0 : s_.log.back().number);
    return CLV_OK;
}

int VirtualClock::logEntry(Exchange& x) {
    // 0 code | 1 log number 4 -> type 1 | time 6 | data 0-25
    if (x.len != 5) return CLV_ERR_BAD_PARAM;
    const std::uint32_t n = x.be32(1);
    auto it = std::find_if(s_.log.begin(), s_.log.end(),
                           [&](const LogEntry& e) { return e.number == n; });
    if (it == s_.log.end()) return CLV_ERR_NOT_FOUND;
    x.put8(it->type);
    x.putTime(it->time);
    x.putBytes(it->data.data(), it->data.size());
    return CLV_OK;
}

int VirtualClock::readIndexedSetting(Exchange& x) {
    // channel number (0x13), touch type (0x28): 0 code | 1 index -> 4 bytes
    if (x.len != 2) return CLV_ERR_BAD_PARAM;
    const auto& table = x.code() == 0x13 ? s_.m.channels : s_.m.touchTypes;
    if (x.u8(1) >= table.size()) return CLV_ERR_NOT_FOUND;
    x.put(table[x.u8(1)]);
    return CLV_OK;
}

int VirtualClock::readSettingField(Exchange& x) {
    // site (0x25): code 4 | coordinate 6 | coordinate 6; phone code (0x26):
    // 32 packed symbols; staff number (0x27): 16 bytes, NUL-padded
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.put(x.code() == 0x25 ? s_.m.site : x.code() == 0x26 ? s_.m.phone : s_.m.staff);
    return CLV_OK;
}

int VirtualClock::writeIndexedSetting(Exchange& x) {
    // 0 code | 1 index | 2 channel number or touch type 4
    if (x.len != 6) return CLV_ERR_BAD_PARAM;
    auto& table = x.code() == 0x13 ? s_.m.channels : s_.m.touchTypes;
    if (x.u8(1) >= table.size()) return CLV_ERR_NOT_FOUND;
    std::memcpy(table[x.u8(1)].data(), x.params + 2, 4);
    log(CLV_LOG_SETTING_CHANGED, {x.code(), x.u8(1)});
    return CLV_OK;
}

int VirtualClock::writeSettingField(Exchange& x) {
    // 0 code | 1 site code 4 | 5 coordinate 6 | 11 coordinate 6 (0x25);
    // 0 code | 1 packed symbols 16 (0x26); 0 code | 1 staff number 16 (0x27)
    if (x.len != 17) return CLV_ERR_BAD_PARAM;
    const std::uint8_t* p = x.params + 1;
    if (x.code() == 0x25 && !(validCoordinate(p + 4) && validCoordinate(p + 10)))
        return CLV_ERR_BAD_PARAM;
    if (x.code() == 0x26 && !validPhone(p)) return CLV_ERR_BAD_PARAM;
    auto& field = x.code() == 0x25 ? s_.m.site : x.code() == 0x26 ? s_.m.phone : s_.m.staff;
    std::memcpy(field.data(), p, 16);
    log(CLV_LOG_SETTING_CHANGED, {x.code(), 0});
    return CLV_OK;
}

int VirtualClock::appendOrModifyCard(Exchange& x) {
    // 0 mode (0 append, 1 modify) | 1 ring field 8 | 9 byte 1 | 10 words 3x2 | 16 long 4
    // | 20 data 12 (append only)
    MState& m = s_.m;
    if (x.len < 1) return CLV_ERR_BAD_PARAM;
    const std::uint8_t mode = x.u8(0);
    if (!((mode == 0 && x.len == 32) || (mode == 1 && x.len == 20))) return CLV_ERR_BAD_PARAM;
    const std::uint8_t* ring = x.params + 1;
    auto it = findCard(m, ring);
    if (mode == 0) {
        if (it != m.registry.end()) return CLV_ERR_EXISTS;
        if (m.registry.size() >= kMaxRegistry) return CLV_ERR_FULL;
        CardRecord r{};
        std::memcpy(r.data(), ring, 6);  // the ring field's tail is kept as zeros
        std::memcpy(r.data() + 8, x.params + 9, 23);
        m.registry.push_back(r);
        log(CLV_LOG_RING_REGISTERED, ringData(ring));
    } else {
        if (it == m.registry.end()) return CLV_ERR_NOT_FOUND;
        std::memcpy(it->data() + 8, x.params + 9, 11);  // data field kept
        log(CLV_LOG_RING_MODIFIED, ringData(ring));
    }
    return CLV_OK;
}

int VirtualClock::removeCard(Exchange& x) {
    // 0 ring field 8
    if (x.len != 8) return CLV_ERR_BAD_PARAM;
    auto it = findCard(s_.m, x.params);
    if (it == s_.m.registry.end()) return CLV_ERR_NOT_FOUND;
    s_.m.registry.erase(it);
    log(CLV_LOG_RING_REMOVED, ringData(x.params));
    return CLV_OK;
}

}  // namespace standins::vclock
