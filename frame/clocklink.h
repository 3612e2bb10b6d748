// ClockLink, the closed library that owns the channel to a clock: only what
// this library uses, with the exact names and calling convention it exports.
// IFD_GetErrCode, which hosts call too, is in the installed clocklink.h.
#pragma once

#include "skylark/clocklink.h"
#include "skylark/skylark_types.h"

#if defined(_WIN32)
#  if defined(CLOCKLINK_BUILDING)
#    define CLOCKLINK_DATA
#  else
#    define CLOCKLINK_DATA __declspec(dllimport)
#  endif
#else
#  define CLOCKLINK_DATA __attribute__((visibility("default")))
#endif

extern "C" {

// One system command of class cls. reply and replyLen may both be null when
// no reply is expected; otherwise *replyLen is preset to the expected length
// and replaced by the number of bytes delivered (never more than preset).
CLOCKLINK_FUNC BOOL16 SKAPI_CALL IFD_RunSysCmd(SK_ULONG handle, SK_ULONG cls, unsigned char* params,
                                               SK_ULONG paramLen, unsigned char* reply,
                                               SK_ULONG* replyLen);

// One user command, numbered cmdNo; buffers as for IFD_RunSysCmd.
CLOCKLINK_FUNC BOOL16 SKAPI_CALL IFD_RunUserCmd(SK_ULONG handle, SK_ULONG cmdNo,
                                                unsigned char* params, SK_ULONG paramLen,
                                                unsigned char* reply, SK_ULONG* replyLen);

// A fresh 4-byte device random.
CLOCKLINK_FUNC BOOL16 SKAPI_CALL IFD_GetRnd(SK_ULONG handle, unsigned char* rnd4);

// The random that belongs to the channel's current comm key (first 4 bytes used).
CLOCKLINK_FUNC BOOL16 SKAPI_CALL IFD_GetCommKeyRnd(SK_ULONG handle, unsigned char* rnd8);

// Installs key8 and rnd8 as the channel's comm key.
CLOCKLINK_FUNC BOOL16 SKAPI_CALL IFD_SetCommKey(SK_ULONG handle, unsigned char* key8,
                                                unsigned char* rnd8);

// Non-zero while the channel holds a usable comm key.
CLOCKLINK_FUNC BOOL16 SKAPI_CALL IFD_IsCommKeyValid(SK_ULONG handle);

}  // extern "C"

// The verification key ClockLink shares with the clock, as a key schedule
// object (C++ linkage). The library only reads it.
class CDesKey;
extern CLOCKLINK_DATA CDesKey s_verifykey;

namespace skylark {

// The error code with which ClockLink reports a state read that still
// delivered the state byte.
constexpr SK_ULONG kErrStateDelivered = 145;

}  // namespace skylark
