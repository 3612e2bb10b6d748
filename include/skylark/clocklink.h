/*
 * clocklink.h - the ClockLink calls a host makes itself.
 *
 * The host owns the channel to a clock: it opens it with ClockLink (or, with
 * our stand-in, puts a virtual clock behind a handle, see virtual_clock.h)
 * and passes the handle to every Skylark export. When an export fails on a
 * clock, ClockLink keeps the reason; the host reads it here. Skylark itself
 * declares the channel calls it makes in its own sources, not here.
 *
 * The names and calling convention are ClockLink's own (ClockLink.dll on
 * Windows, libclocklink.so on Linux): the real library and our stand-in
 * answer to the same declarations.
 */
#ifndef SKYLARK_CLOCKLINK_H
#define SKYLARK_CLOCKLINK_H

#include "skylark_types.h"

#if defined(_WIN32)
#  if defined(CLOCKLINK_BUILDING)
#    define CLOCKLINK_FUNC __declspec(dllexport)
#  else
#    define CLOCKLINK_FUNC
#  endif
#else
#  define CLOCKLINK_FUNC __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The code of the last failure on the channel. With our stand-in's virtual clocks, one of the CLV_ERR_ codes of
 * virtual_clock.h. */
CLOCKLINK_FUNC SK_ULONG SKAPI_CALL IFD_GetErrCode(SK_ULONG handle);

#ifdef __cplusplus
}
#endif

#endif /* SKYLARK_CLOCKLINK_H */
