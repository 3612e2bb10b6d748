#include "clock/settings.h"

#include <cstdint>

#include "clock/setting_texts.h"
#include "frame/frame.h"

namespace skylark {

static_assert(kPhoneBytes == cmd::GetPhoneCode.replyLen);
static_assert(kStaffBytes == cmd::GetStaffNo.replyLen);
static_assert(kStaffBytes + 1 == cmd::SetStaffNo.paramLen);

namespace {

// A channel number or touch type: 4 raw bytes per index.
constexpr std::size_t kIndexedBytes = 4;
// The site code ahead of the two coordinates.
constexpr std::size_t kSiteCodeBytes = 4;
// The phone code and the staff number, each a 16-byte field.
constexpr std::size_t kTextSettingBytes = 16;

// Reads the 4-byte value at index as 8 hex digits.
//   block: 0 selector | 1 index       reply: 0 value 4
BOOL16 readIndexed(SK_ULONG handle, const Command& c, SK_ULONG index, char* text) {
    if (text == nullptr) return 0;
    Params p = paramsFor(c);
    p.u8(index);
    return runRead(handle, c, p, [&](ReplyReader& r) { r.hex(kIndexedBytes, text); });
}

// Writes the 4-byte value at index from hex text.
//   block: 0 selector | 1 index | 2 value 4
BOOL16 writeIndexed(SK_ULONG handle, const Command& c, SK_ULONG index, const char* text) {
    if (text == nullptr) return 0;
    Params p = paramsFor(c);
    p.u8(index).hex(text, kIndexedBytes);
    return run(handle, c, p, nullptr).result;
}

// Writes a 16-byte setting from its text form (phone code, staff number).
//   block: 0 selector | 1 setting 16
BOOL16 writeText(SK_ULONG handle, const Command& c, void (*toWire)(const char*, std::uint8_t*),
                 const char* text) {
    static_assert(kPhoneBytes == kTextSettingBytes && kStaffBytes == kTextSettingBytes);
    if (text == nullptr) return 0;
    std::uint8_t wire[kTextSettingBytes];
    toWire(text, wire);
    Params p = paramsFor(c);
    p.bytes(wire, kTextSettingBytes);
    return run(handle, c, p, nullptr).result;
}

}  // namespace

BOOL16 getChannelNo(SK_ULONG handle, SK_ULONG index, char* channelText) {
    return readIndexed(handle, cmd::GetChannelNo, index, channelText);
}

BOOL16 setChannelNo(SK_ULONG handle, SK_ULONG index, const char* channelText) {
    return writeIndexed(handle, cmd::SetChannelNo, index, channelText);
}

BOOL16 getTouchType(SK_ULONG handle, SK_ULONG index, char* touchTypeText) {
    return readIndexed(handle, cmd::GetTouchType, index, touchTypeText);
}

BOOL16 setTouchType(SK_ULONG handle, SK_ULONG index, const char* touchTypeText) {
    return writeIndexed(handle, cmd::SetTouchType, index, touchTypeText);
}

BOOL16 getSiteInfo(SK_ULONG handle, char* siteCodeText, char* coordText1, char* coordText2) {
    if (siteCodeText == nullptr || coordText1 == nullptr || coordText2 == nullptr) return 0;
    Params p = paramsFor(cmd::GetSiteInfo);
    // 0 site code 4 | 4 coordinate 1 6 | 10 coordinate 2 6
    return runRead(handle, cmd::GetSiteInfo, p, [&](ReplyReader& r) {
        r.hex(kSiteCodeBytes, siteCodeText);
        coordFromWire(r.here(), coordText1);
        r.skip(kCoordBytes);
        coordFromWire(r.here(), coordText2);
    });
}

BOOL16 setSiteInfo(SK_ULONG handle, const char* siteCodeText, const char* coordText1,
                   const char* coordText2) {
    if (siteCodeText == nullptr || coordText1 == nullptr || coordText2 == nullptr) return 0;
    // 0 selector | 1 site code 4 | 5 coordinate 1 6 | 11 coordinate 2 6
    std::uint8_t coord1[kCoordBytes];
    std::uint8_t coord2[kCoordBytes];
    coordToWire(coordText1, coord1);
    coordToWire(coordText2, coord2);
    Params p = paramsFor(cmd::SetSiteInfo);
    p.hex(siteCodeText, kSiteCodeBytes).bytes(coord1, kCoordBytes).bytes(coord2, kCoordBytes);
    return run(handle, cmd::SetSiteInfo, p, nullptr).result;
}

BOOL16 getPhoneCode(SK_ULONG handle, char* phoneCode) {
    if (phoneCode == nullptr) return 0;
    Params p = paramsFor(cmd::GetPhoneCode);
    // 0 symbols 16
    return runRead(handle, cmd::GetPhoneCode, p,
                   [&](ReplyReader& r) { phoneFromWire(r.here(), phoneCode); });
}

BOOL16 setPhoneCode(SK_ULONG handle, const char* phoneCode) {
    return writeText(handle, cmd::SetPhoneCode, phoneToWire, phoneCode);
}

BOOL16 getStaffNo(SK_ULONG handle, char* staffNo) {
    if (staffNo == nullptr) return 0;
    Params p = paramsFor(cmd::GetStaffNo);
    // ClockLink writes the reply (at most the preset 16 bytes) straight into
    // the caller's buffer, whatever the outcome; the NUL is ours.
    const Outcome o = run(handle, cmd::GetStaffNo, p, reinterpret_cast<std::uint8_t*>(staffNo));
    if (o.ok()) staffFromWire(staffNo, o.length);
    return o.result;
}

BOOL16 setStaffNo(SK_ULONG handle, const char* staffNo) {
    return writeText(handle, cmd::SetStaffNo, staffToWire, staffNo);
}

}  // namespace skylark
