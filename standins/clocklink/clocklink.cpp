// Our ClockLink: each call goes to the device registered under its handle.
#include "frame/clocklink.h"

#include "standins/clocklink/clock_device.h"
#include "standins/clocklink/verify_key.h"
#include "security/des.h"

namespace standins {

Registry<ClockDevice>& clockDevices() {
    static Registry<ClockDevice> registry;
    return registry;
}

}  // namespace standins

// The verification key schedule shared with the clocks, filled at load.
CDesKey s_verifykey(standins::kVerifyKey);

namespace {

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
    return onDevice(handle, [&](standins::ClockDevice& d) {
        return d.runSysCmd(cls, params, paramLen, reply, replyLen);
    });
}

BOOL16 SKAPI_CALL IFD_RunUserCmd(SK_ULONG handle, SK_ULONG cmdNo, unsigned char* params,
                                 SK_ULONG paramLen, unsigned char* reply, SK_ULONG* replyLen) {
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
