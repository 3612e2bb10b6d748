// The ClockLink calls the library makes, as the library's own functions:
// every call site goes through these. In the normal build each is the import
// itself; the tracing build (SKYLARK_TRACE_BUILD) defines them in trace/,
// where each call is also written to the trace.
#pragma once

#include "frame/clocklink.h"

namespace skylark::link {

#if defined(SKYLARK_TRACE_BUILD)

BOOL16 runSysCmd(SK_ULONG handle, SK_ULONG cls, unsigned char* params, SK_ULONG paramLen,
                 unsigned char* reply, SK_ULONG* replyLen);
BOOL16 runUserCmd(SK_ULONG handle, SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                  unsigned char* reply, SK_ULONG* replyLen);
BOOL16 getRnd(SK_ULONG handle, unsigned char* rnd4);
BOOL16 getCommKeyRnd(SK_ULONG handle, unsigned char* rnd8);
BOOL16 setCommKey(SK_ULONG handle, unsigned char* key8, unsigned char* rnd8);
BOOL16 isCommKeyValid(SK_ULONG handle);
SK_ULONG getErrCode(SK_ULONG handle);

#else

inline BOOL16 runSysCmd(SK_ULONG handle, SK_ULONG cls, unsigned char* params, SK_ULONG paramLen,
                        unsigned char* reply, SK_ULONG* replyLen) {
    return IFD_RunSysCmd(handle, cls, params, paramLen, reply, replyLen);
}
inline BOOL16 runUserCmd(SK_ULONG handle, SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                         unsigned char* reply, SK_ULONG* replyLen) {
    return IFD_RunUserCmd(handle, cmdNo, params, paramLen, reply, replyLen);
}
inline BOOL16 getRnd(SK_ULONG handle, unsigned char* rnd4) { return IFD_GetRnd(handle, rnd4); }
inline BOOL16 getCommKeyRnd(SK_ULONG handle, unsigned char* rnd8) {
    return IFD_GetCommKeyRnd(handle, rnd8);
}
inline BOOL16 setCommKey(SK_ULONG handle, unsigned char* key8, unsigned char* rnd8) {
    return IFD_SetCommKey(handle, key8, rnd8);
}
inline BOOL16 isCommKeyValid(SK_ULONG handle) { return IFD_IsCommKeyValid(handle); }
inline SK_ULONG getErrCode(SK_ULONG handle) { return IFD_GetErrCode(handle); }

#endif

}  // namespace skylark::link
