/*
 * replay_device.h - a recorded session as a device behind our ClockLink and
 * RingReader: the replay devices.
 *
 * A trace written by the tracing build of Skylark (bin/trace/, SKYLARK_TRACE;
 * the format is docs/trace-format.md) holds every ClockLink and RingReader
 * call the library made, with what came back. CLR_OpenReplay puts the calls
 * recorded for one ClockLink handle behind a new handle, RRR_OpenReplay
 * those of one RingReader handle behind a new reader: the device answers
 * each call with the recorded answer, in the recorded order, and checks that
 * the call the library makes is the recorded one (function, class or number,
 * parameter bytes, preset reply length, page, data).
 *
 * Fields that differ from run to run by design are not compared byte for
 * byte, in either mode:
 *   - the device random (IFD_GetRnd) and the comm-key random
 *     (IFD_GetCommKeyRnd) are handed out again as recorded;
 *   - the comm-key random the library installs (IFD_SetCommKey) must be well
 *     formed: odd first byte, second half repeating the first;
 *   - the host's time in the initialisation block (class 2, bytes 8-13) must
 *     be a BCD date-time;
 *   - a record download's challenge (user command 7, bytes 4-7; user command
 *     6, bytes 2-5, whose first byte must be odd) is fresh: the recorded
 *     reply is handed out with its verification code computed anew over the
 *     challenge received, under the verification key of this ClockLink. A
 *     reply the library refused when it was recorded gets a code that does
 *     not verify. A trace from a real ClockLink was made under a key this
 *     ClockLink does not have; the re-coding is what lets it replay here.
 * In tolerant mode also the blocks that hold a proof are checked for being
 * well formed over the randoms handed out instead of being compared: the
 * authentication block (class 3, bytes 4-11), the time-setting blocks (user
 * command 0, bytes 6-13, as SK_SetPigeon or SK_SetTime of the recorded call
 * builds them) and the password half of the initialisation block (class 2,
 * bytes 0-7). That is what a redacted trace (stand-in passwords) and a trace
 * made under another verification key need. Strict mode compares them byte
 * for byte.
 *
 * A mismatch fails the call (status 0; IFD_GetErrCode gives
 * REPLAY_ERR_MISMATCH) and every later one, and the message says where:
 *   exchange 83 (call 38, SKM_GetRaceRecord): IFD_RunUserCmd 7 parameter
 *   block: expected 0000000300000000, received 0000000400000000
 * CLR_ReplayCheck reports it, and also a recorded call the library did not
 * make.
 *
 * Every function uses the calling convention of the stand-ins (__stdcall on
 * Windows) and is thread-safe; calls on one replay device are serialised.
 */
#ifndef SKYLARK_REPLAY_DEVICE_H
#define SKYLARK_REPLAY_DEVICE_H

#if defined(_WIN32)
#  define REPLAY_CALL __stdcall
typedef unsigned long REPLAY_ULONG;
#  if defined(CLOCKLINK_BUILDING)
#    define REPLAY_CLR_API __declspec(dllexport)
#  else
#    define REPLAY_CLR_API
#  endif
#  if defined(RINGREADER_BUILDING)
#    define REPLAY_RRR_API __declspec(dllexport)
#  else
#    define REPLAY_RRR_API
#  endif
#else
#  include <stdint.h>
#  define REPLAY_CALL
#  define REPLAY_CLR_API __attribute__((visibility("default")))
#  define REPLAY_RRR_API __attribute__((visibility("default")))
typedef uint32_t REPLAY_ULONG;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Modes of a replay device. */
enum {
    REPLAY_TOLERANT = 0, /* proofs checked for being well formed */
    REPLAY_STRICT = 1    /* proofs compared byte for byte */
};

/* Results (0 is success). */
enum {
    REPLAY_OK = 0,
    REPLAY_ERR_FILE = 160,      /* the trace cannot be read */
    REPLAY_ERR_TRACE = 161,     /* not a trace, damaged, or a newer major version */
    REPLAY_ERR_MISMATCH = 170,  /* the library did not make the recorded call */
    REPLAY_ERR_ARGUMENT = 163   /* an argument is unusable */
};

/* Opens the ClockLink calls recorded for handle `recorded` in the trace at
 * path as a device; returns its handle (0 on failure, *err set if err is
 * not null). A handle with no calls in the trace gives a device that
 * expects none. */
REPLAY_CLR_API REPLAY_ULONG REPLAY_CALL CLR_OpenReplay(const char* path, REPLAY_ULONG recorded,
                                                      int mode, int* err);
REPLAY_CLR_API int REPLAY_CALL CLR_CloseReplay(REPLAY_ULONG handle);

/* REPLAY_OK while every call so far matched and every call recorded for
 * export calls up to number `call` has been made; otherwise the error and
 * its message in message (at most size bytes with the NUL; may be null). */
REPLAY_CLR_API int REPLAY_CALL CLR_ReplayCheck(REPLAY_ULONG handle, REPLAY_ULONG call,
                                              char* message, REPLAY_ULONG size);

/* The same for the RingReader calls recorded for reader `recorded`. */
REPLAY_RRR_API REPLAY_ULONG REPLAY_CALL RRR_OpenReplay(const char* path, REPLAY_ULONG recorded,
                                                      int mode, int* err);
REPLAY_RRR_API int REPLAY_CALL RRR_CloseReplay(REPLAY_ULONG reader);
REPLAY_RRR_API int REPLAY_CALL RRR_ReplayCheck(REPLAY_ULONG reader, REPLAY_ULONG call,
                                              char* message, REPLAY_ULONG size);

#ifdef __cplusplus
}
#endif

#endif /* SKYLARK_REPLAY_DEVICE_H */
