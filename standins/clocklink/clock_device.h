// A device behind a ClockLink handle: one operation per ClockLink call.
#pragma once

#include <cstdint>
#include <memory>

#include "skylark/skylark_types.h"
#include "standins/handles.h"

namespace standins {

class ClockDevice {
public:
    virtual ~ClockDevice() = default;
    virtual BOOL16 runSysCmd(SK_ULONG cls, unsigned char* params, SK_ULONG paramLen,
                             unsigned char* reply, SK_ULONG* replyLen) = 0;
    virtual BOOL16 runUserCmd(SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                              unsigned char* reply, SK_ULONG* replyLen) = 0;
    virtual BOOL16 getRnd(unsigned char* rnd4) = 0;
    virtual BOOL16 getCommKeyRnd(unsigned char* rnd8) = 0;
    virtual BOOL16 setCommKey(unsigned char* key8, unsigned char* rnd8) = 0;
    virtual BOOL16 isCommKeyValid() = 0;
    virtual SK_ULONG getErrCode() = 0;
};

// The devices our ClockLink knows, by handle.
Handles<ClockDevice>& clockDevices();

// The error code of a call on a handle that names no device.
constexpr SK_ULONG kErrNoSuchChannel = 6;

}  // namespace standins
