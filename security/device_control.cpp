#include "security/device_control.h"

#include <cstring>

#include "frame/clocklink_calls.h"
#include "frame/frame.h"
#include "os/os.h"
#include "security/auth.h"
#include "security/constants.h"
#include "security/des.h"

namespace skylark {

namespace {

// Fetches a device random, builds the time-setting block and sends it.
BOOL16 sendTime(SK_ULONG handle, const Command& c, double date, const std::uint8_t mask[2],
                const CDesKey* key) {
    std::uint8_t bcd[kBcdDateSize];
    dateToBcd(bcd, date);

    std::uint8_t r[kRandomSize] = {};
    if (link::getRnd(handle, r) == 0) return 0;

    std::uint8_t block[kTimeBlockSize];
    timeBlock(bcd, r, mask, key, block);
    Params params = paramsFor(c);
    params.bytes(block, kTimeBlockSize);
    return run(handle, c, params, nullptr).result;
}

}  // namespace

BOOL16 getDevState(SK_ULONG handle, std::uint8_t* state) {
    if (state == nullptr) return 0;
    Params params = paramsFor(cmd::GetDevState);
    // ClockLink writes the one reply byte into the caller's own byte.
    return run(handle, cmd::GetDevState, params, state).result;
}

BOOL16 initDevEx(SK_ULONG handle, const char* password) {
    // 0 access code ^ password 8 | 8 local time 6
    std::uint8_t code[8];
    foldPassword(kAccessCode, password, code);
    Params params = paramsFor(cmd::InitDev);
    params.bytes(code, sizeof code).bcdDateTime(osLocalNow());
    return run(handle, cmd::InitDev, params, nullptr).result;
}

BOOL16 activeIsp(SK_ULONG handle) {
    // 0 access code 8
    Params params = paramsFor(cmd::ActiveIsp);
    params.bytes(kAccessCode, sizeof kAccessCode);
    return run(handle, cmd::ActiveIsp, params, nullptr).result;
}

BOOL16 getDevInfo(SK_ULONG handle, char* text) {
    if (text == nullptr) return 0;
    Params params = paramsFor(cmd::GetDevInfo);
    // 0 device information 16
    return runRead(handle, cmd::GetDevInfo, params, [&](ReplyReader& r) { r.hex(16, text); });
}

BOOL16 getTime(SK_ULONG handle, double* date) {
    if (date == nullptr) return 0;
    Params params = paramsFor(cmd::GetTime);
    // 0 time 6
    return runRead(handle, cmd::GetTime, params, [&](ReplyReader& r) { *date = r.bcdDate(); });
}

void timeBlock(const std::uint8_t bcd[kBcdDateSize], const std::uint8_t rnd[4], const std::uint8_t mask[2],
               const CDesKey* key, std::uint8_t out[kTimeBlockSize]) {
    // Verification block: data = time, 00 00; mask = six zero bytes, mask pair.
    const std::uint8_t data[8] = {bcd[0], bcd[1], bcd[2], bcd[3], bcd[4], bcd[5], 0, 0};
    const std::uint8_t k[8] = {0, 0, 0, 0, 0, 0, mask[0], mask[1]};
    std::memcpy(out, bcd, kBcdDateSize);
    std::uint8_t* block = out + kBcdDateSize;
    verificationBlock(data, rnd, k, block);
    if (key != nullptr) desEncrypt(block, block, *key);
}

BOOL16 setPigeon(SK_ULONG handle, double date) {
    return sendTime(handle, cmd::SetPigeon, date, kPigeonMask, &s_verifykey);
}

BOOL16 setTime(SK_ULONG handle, double date) {
    return sendTime(handle, cmd::SetTime, date, kTimeMask, nullptr);
}

}  // namespace skylark
