/*
 * Skylark: the command set of the race clocks (M, S and H) and the ring tag
 * reader of the electronic racing system, over the channel libraries
 * ClockLink and RingReader.
 *
 * Every export is a flat function with the platform's calling convention,
 * 32-bit integer slots, pointers and double dates. The host opens the
 * channel (ClockLink) or the reader (RingReader) and passes its handle as the
 * first argument; the library keeps no state between calls.
 *
 * Results (BOOL16): test for non-zero. Exports marked "normalised" return -1
 * (0xFFFF) on success and 0 on failure; exports marked "pass-through" return
 * ClockLink's own status, whose success is any non-zero value. Outputs are
 * written only on success unless an entry says otherwise. Hex text is
 * upper-case, two characters per byte, NUL-terminated; on input lower case is
 * accepted and any non-hex character is skipped. Dates are OLE Automation
 * dates (days since 30 December 1899, fraction = time of day); a date that
 * cannot be read is delivered as 0.0.
 */
#ifndef SKYLARK_H
#define SKYLARK_H

#if defined(_WIN32)
#  define SKAPI_CALL __stdcall
typedef unsigned long SK_ULONG; /* the 32-bit integer slot */
typedef short BOOL16;
#else
#  include <stdint.h>
#  define SKAPI_CALL
typedef uint32_t SK_ULONG; /* the 32-bit integer slot */
typedef int16_t BOOL16;
#endif

/* Marks a declaration as exported. On Windows the .def file exports. */
#if !defined(_WIN32) && defined(SKYLARK_BUILDING)
#  define SKAPI __attribute__((visibility("default")))
#else
#  define SKAPI
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Codecs -------------------------------------------------------------- */

/* Writes len bytes of data as 2*len upper-case hex digits and a NUL.
 * text: out, at least 2*len+1 characters. Writes nothing if a pointer is null. */
SKAPI void SKAPI_CALL BinToHex(const unsigned char* data, SK_ULONG len, char* text);

/* Decodes hex digits of text (pairs in order, non-hex characters skipped, a
 * lone trailing digit dropped) into at most maxBytes bytes of data.
 * Returns the number of bytes written (0 if a pointer is null). */
SKAPI SK_ULONG SKAPI_CALL HexToBin(const char* text, unsigned char* data, SK_ULONG maxBytes);

/* Packs date as six BCD bytes YY MM DD hh mm ss (whole seconds, rounded).
 * bcd: out, 6 bytes. A date outside the convertible range (or NaN, infinite)
 * gives six 0x95 bytes. Writes nothing if bcd is null. */
SKAPI void SKAPI_CALL DateToBcd(unsigned char* bcd, double date);

/* Reads six BCD bytes YY MM DD hh mm ss as a date in 2000..2099.
 * Returns 0.0 if the fields are not a real date-time or bcd is null. */
SKAPI double SKAPI_CALL BcdToDate(const unsigned char* bcd);

/* ---- Device, security and record decoding (SK_) -------------------------- */

/* Reads the clock's state byte straight into *state (ClockLink may write it
 * even on failure). Device-state rule: -1 when the reply is the one byte,
 * also when ClockLink failed with error code 145; otherwise 0.
 * state: out, 1 byte. */
SKAPI BOOL16 SKAPI_CALL SK_GetDevState(SK_ULONG handle, unsigned char* state);

/* ---- M clock: races and training flights (SKM_) -------------------------- */

/* Races. Race keys, card entries and the depose value are 16 hex digits
 * (8 bytes); a text with fewer digits sends zeros in the missing bytes. */

/* Enters a race: race key, two race times and a 32-bit race parameter.
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_CreateRace(SK_ULONG handle, const char* raceKeyHex, double firstTime,
                                       double secondTime, SK_ULONG raceParam);

/* Adds a card entry (8 bytes; a 12-digit ring number goes out followed by
 * 00 00); the clock decides which race receives it.
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_AddRaceCard(SK_ULONG handle, const char* cardHex);

/* Confirms a race: race key, a 16-bit confirmation value (low 16 bits sent)
 * and confirmData, 8 raw bytes sent as they stand (zero bytes included).
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_ConfirmRace(SK_ULONG handle, const char* raceKeyHex,
                                        SK_ULONG confirmValue, const char* confirmData);

/* Closes a race. Pass-through: ClockLink's status (non-zero = success);
 * do not compare with -1. */
SKAPI BOOL16 SKAPI_CALL SKM_CloseRace(SK_ULONG handle, const char* raceKeyHex);

/* Same as SKM_CloseRace: the clock is sent exactly the same command.
 * Pass-through. */
SKAPI BOOL16 SKAPI_CALL SKM_PauseRace(SK_ULONG handle, const char* raceKeyHex);

/* Removes a race. Pass-through: ClockLink's status (non-zero = success). */
SKAPI BOOL16 SKAPI_CALL SKM_RemoveRace(SK_ULONG handle, const char* raceKeyHex);

/* Sends the depose command with an 8-byte value.
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_DeposeRaces(SK_ULONG handle, const char* deposeHex);

/* Race queries. Indexes are sent as their low 16 bits and delivered as
 * 0..65535. Exact length: -1 only when the clock answers with the full reply;
 * otherwise 0 and no output is written. */

/* Looks up the index of the race with the given key. raceIndex: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceIndex(SK_ULONG handle, const char* raceKeyHex,
                                         SK_ULONG* raceIndex);

/* Reads the number of races. raceCount: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceCount(SK_ULONG handle, SK_ULONG* raceCount);

/* Reads one race's entry by index.
 * raceKeyText: out, at least 17 characters (16 hex digits and a NUL).
 * firstTime, secondTime: out, 0.0 for a time the clock holds that is not a
 * real date-time. raceFigure: out, 16-bit figure. */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceInfo(SK_ULONG handle, SK_ULONG raceIndex, char* raceKeyText,
                                        double* firstTime, double* secondTime,
                                        SK_ULONG* raceFigure);

/* Reads one card of a race: the ring number (first 6 bytes of the entry).
 * ringText: out, at least 13 characters (12 hex digits and a NUL). */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceCard(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG cardIndex,
                                        char* ringText);

/* Downloads one arrival record of a race, proven by the clock for this very
 * request: a fresh random challenge goes out with it, and the reply is
 * accepted only when its verification code (DES CBC-MAC under s_verifykey
 * over the reply and the challenge) matches.
 * -1 on success; 0 on a ClockLink failure, a reply of the wrong length, a
 * code that does not match, or no random source (then nothing is sent).
 * recordText: out, at least 33 characters (32 hex digits and a NUL).
 * arrivalTime: out, 0.0 if the clock's time is not a real date-time.
 * leadText: out, at least 9 characters (8 hex digits and a NUL).
 * All three are written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceRecord(SK_ULONG handle, SK_ULONG raceIndex,
                                          SK_ULONG recordIndex, char* recordText,
                                          double* arrivalTime, char* leadText);

/* Training flights. Training numbers, indexes and figures are 16 bits: sent
 * as their low 16 bits, delivered as 0..65535. */

/* Creates a training flight from two times and one byte (low 8 bits sent)
 * and delivers the clock's training number for it.
 * -1 on success; 0 on failure or when the clock delivered fewer than the two
 * bytes of the number. trainNumber: out, written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_CreateTrain(SK_ULONG handle, double firstTime, double secondTime,
                                        SK_ULONG trainByte, SK_ULONG* trainNumber);

/* Adds a ring (12 hex digits; missing digits send zeros); the clock decides
 * which flight receives it. Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_AddTrainCard(SK_ULONG handle, const char* ringHex);

/* Confirms a training flight. Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_ConfirmTrain(SK_ULONG handle, SK_ULONG trainNumber,
                                         SK_ULONG confirmValue);

/* Closes a training flight. Pass-through: ClockLink's status
 * (non-zero = success). */
SKAPI BOOL16 SKAPI_CALL SKM_CloseTrain(SK_ULONG handle, SK_ULONG trainNumber);

/* Removes a training flight. Pass-through: ClockLink's status
 * (non-zero = success). */
SKAPI BOOL16 SKAPI_CALL SKM_RemoveTrain(SK_ULONG handle, SK_ULONG trainNumber);

/* The reads below are exact length: -1 only when the clock answers with the
 * full reply; otherwise 0 and no output is written. */

/* Looks up the index of a training number. trainIndex: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainIndex(SK_ULONG handle, SK_ULONG trainNumber,
                                          SK_ULONG* trainIndex);

/* Reads the number of training flights. trainCount: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainCount(SK_ULONG handle, SK_ULONG* trainCount);

/* Reads one flight's entry by index. All five outputs are required:
 * trainNumber, trainFigure: out; firstTime, secondTime: out (0.0 for a time
 * that is not a real date-time); trainByte: out, 0..255. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainInfo(SK_ULONG handle, SK_ULONG trainIndex,
                                         SK_ULONG* trainNumber, double* firstTime,
                                         double* secondTime, SK_ULONG* trainFigure,
                                         SK_ULONG* trainByte);

/* Reads the 32-bit site value of site siteNo (low 8 bits sent). siteValue: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG* siteValue);

/* Writes the 32-bit site value of site siteNo (low 8 bits sent).
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_SetTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG siteValue);

/* Reads one arrival record of a training flight, as the clock sends it (no
 * verification code). ringText: out, at least 13 characters (12 hex digits
 * and a NUL). recordByte: out, exactly one byte. recordTime1, recordTime2:
 * out, 0.0 for a time that is not a real date-time. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainRecord(SK_ULONG handle, SK_ULONG trainIndex,
                                           SK_ULONG recordIndex, char* ringText,
                                           unsigned char* recordByte, double* recordTime1,
                                           double* recordTime2);


/* ---- M clock: ring registry, event log, settings (SKM_) ------------------ */

/* ---- S clock (SKS_) ------------------------------------------------------ */

/* ---- H clock (SKH_) ------------------------------------------------------ */

/* ---- Ring tags (SKR_) ---------------------------------------------------- */

#ifdef __cplusplus
} /* extern "C" */

/* ---- M clock: races, the one export with C++ linkage --------------------- */

/* Reads two figures of a race by index (low 16 bits sent).
 * Exact length: -1 only when the clock answers with the full reply;
 * otherwise 0 and no output is written.
 * figure16: out, 0..65535. figure32: out, the full 32 bits.
 * Exported under the compiler's decorated name of this declaration, not a
 * plain one: C hosts (and any host on Windows) look it up by that name:
 * _Z16SKM_GetRaceInfo2jjPjS_ (Linux), ?SKM_GetRaceInfo2@@YAFKKPEAK0@Z
 * (Windows x86-64), ?SKM_GetRaceInfo2@@YGFKKPAK0@Z (Windows i686). */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceInfo2(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG* figure16,
                                         SK_ULONG* figure32);
#endif

#endif /* SKYLARK_H */
