// Our ClockLink: each call goes to the device registered under its handle.
#include "frame/clocklink.h"

#include "standins/clocklink/clock_device.h"
#include "standins/clocklink/verify_key.h"
#include "security/des.h"

// Under Valgrind's memcheck, every byte a caller hands ClockLink must be
// defined: a block with an uninitialised byte would go to the clock as
// whatever the stack held. Outside Valgrind (and where the header is
// missing, as with MinGW) the check costs nothing.
#if defined(__has_include)
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#define CLOCKLINK_CHECK_DEFINED(p, n) VALGRIND_CHECK_MEM_IS_DEFINED(p, n)
#endif
#endif
#ifndef CLOCKLINK_CHECK_DEFINED
#define CLOCKLINK_CHECK_DEFINED(p, n) ((void)(p), (void)(n))
#endif

namespace standins {

Handles<ClockDevice>& clockDevices() {
    static Handles<ClockDevice> handles;
    return handles;
}

}  // namespace standins

// The verification key schedule shared with the clocks, filled at load.
CDesKey s_verifykey(standins::kVerifyKey);

namespace {

// The parameter block and the preset reply length a command arrives with.
void checkCommand(const unsigned char* params, SK_ULONG paramLen, const SK_ULONG* replyLen) {
    if (params != nullptr) CLOCKLINK_CHECK_DEFINED(params, paramLen);
    if (replyLen != nullptr) CLOCKLINK_CHECK_DEFINED(replyLen, sizeof *replyLen);
}

// Runs op on the device behind handle; an unknown handle fails with 0.
template <class Op>
BOOL16 onDevice(SK_ULONG handle, Op op) {
    auto device = standins::clockDevices().find(handle);
    return device ? op(*device) : BOOL16(0);
}

}  // namespace

extern "C" {

BOOL16 SKAPI_CALL IFD_RunSysCmd(SK_ULONG handle, SK_ULONG cls, unsigned char* params,
                                SK_ULONG paramLen, unsigned char* reply, SK_ULONG* replyLen) {
    checkCommand(params, paramLen, replyLen);
    return onDevice(handle, [&](standins::ClockDevice& d) {
        return d.runSysCmd(cls, params, paramLen, reply, replyLen);
    });
}

BOOL16 SKAPI_CALL IFD_RunUserCmd(SK_ULONG handle, SK_ULONG cmdNo, unsigned char* params,
                                 SK_ULONG paramLen, unsigned char* reply, SK_ULONG* replyLen) {
    checkCommand(params, paramLen, replyLen);
    return onDevice(handle, [&](standins::ClockDevice& d) {
        return d.runUserCmd(cmdNo, params, paramLen, reply, replyLen);
    });
}

BOOL16 SKAPI_CALL IFD_GetRnd(SK_ULONG handle, unsigned char* rnd4) {
    return onDevice(handle, [&](standins::ClockDevice& d) { return d.getRnd(rnd4); });
}

BOOL16 SKAPI_CALL IFD_GetCommKeyRnd(SK_ULONG handle, unsigned char* rnd8) {
    return onDevice(handle, [&](standins::ClockDevice& d) { return d.getCommKeyRnd(rnd8); });
}

BOOL16 SKAPI_CALL IFD_SetCommKey(SK_ULONG handle, unsigned char* key8, unsigned char* rnd8) {
    if (key8 != nullptr) CLOCKLINK_CHECK_DEFINED(key8, 8);
    if (rnd8 != nullptr) CLOCKLINK_CHECK_DEFINED(rnd8, 8);
    return onDevice(handle, [&](standins::ClockDevice& d) { return d.setCommKey(key8, rnd8); });
}

BOOL16 SKAPI_CALL IFD_IsCommKeyValid(SK_ULONG handle) {
    return onDevice(handle, [&](standins::ClockDevice& d) { return d.isCommKeyValid(); });
}

SK_ULONG SKAPI_CALL IFD_GetErrCode(SK_ULONG handle) {
    auto device = standins::clockDevices().find(handle);
    return device ? device->getErrCode() : standins::kErrNoSuchChannel;
}

}  // extern "C"
