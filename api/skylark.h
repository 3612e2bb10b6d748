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

/* ---- M clock: ring registry, event log, settings (SKM_) ------------------ */

/* ---- S clock (SKS_) ------------------------------------------------------ */

/* Reads the 16 card bytes the S clock holds. Normalised, exact reply length.
 * cardDataHex: out, at least 33 characters; written only on success. */
SKAPI BOOL16 SKAPI_CALL SKS_ReadCard(SK_ULONG handle, char* cardDataHex);

/* Reads the clock's state byte, two counters (0..65535) and the state time.
 * Normalised, exact reply length. Written only on success, in this order:
 * state (1 byte), firstCount, secondCount, stateTime (all out). */
SKAPI BOOL16 SKAPI_CALL SKS_QueryState(SK_ULONG handle, unsigned char* state, double* stateTime,
                                       SK_ULONG* firstCount, SK_ULONG* secondCount);

/* Reads the race key and the first race time. Normalised, exact reply
 * length. raceKeyHex: out, at least 17 characters; firstTime: out;
 * secondTime: out, always 0.0 (the clock does not report it). Written only
 * on success, in that order. */
SKAPI BOOL16 SKAPI_CALL SKS_GetRaceInfo(SK_ULONG handle, char* raceKeyHex, double* firstTime,
                                        double* secondTime);

/* Enters the race: raceKeyHex (in, 16 hex digits; missing digits are sent
 * as zero) and the two race times. Normalised. */
SKAPI BOOL16 SKAPI_CALL SKS_CreateRace(SK_ULONG handle, const char* raceKeyHex, double firstTime,
                                       double secondTime);

/* Clears the race. Pass-through: ClockLink's status, non-zero on success. */
SKAPI BOOL16 SKAPI_CALL SKS_ClearRace(SK_ULONG handle);

/* Downloads arrival record recordIndex (low 16 bits used) with a fresh
 * random challenge, and accepts it only if the clock's verification code
 * answers that challenge. -1 on success; 0 on a ClockLink failure, a reply
 * that is not 30 bytes, a code that does not match, or no random source.
 * recordText: out, at least 33 characters; arrivalTime: out. Written only on
 * success, in that order. */
SKAPI BOOL16 SKAPI_CALL SKS_GetRaceRecord(SK_ULONG handle, SK_ULONG recordIndex, char* recordText,
                                          double* arrivalTime);

/* ---- H clock (SKH_) ------------------------------------------------------ */

/* SKS_ReadCard, SKS_QueryState, SKS_ClearRace and SKS_GetRaceRecord under the
 * H clock's names: the same arguments, exchange and result. */
SKAPI BOOL16 SKAPI_CALL SKH_ReadCard(SK_ULONG handle, char* cardDataHex);
SKAPI BOOL16 SKAPI_CALL SKH_QueryState(SK_ULONG handle, unsigned char* state, double* stateTime,
                                       SK_ULONG* firstCount, SK_ULONG* secondCount);
SKAPI BOOL16 SKAPI_CALL SKH_ClearRace(SK_ULONG handle);
SKAPI BOOL16 SKAPI_CALL SKH_GetRaceRecord(SK_ULONG handle, SK_ULONG recordIndex, char* recordText,
                                          double* arrivalTime);

/* Reads the race key, then (a second command) the number of race cards.
 * Normalised, exact reply length for each. raceKeyHex: out, at least 17
 * characters, written once the first command succeeded (also when the
 * second then fails); cardCount: out, written only on full success. */
SKAPI BOOL16 SKAPI_CALL SKH_GetRaceInfo(SK_ULONG handle, char* raceKeyHex, SK_ULONG* cardCount);

/* Reads race card cardIndex (low 16 bits used). Normalised, exact reply
 * length. ringNoHex: out, at least 13 characters; cardCodeHex: out, at least
 * 17 characters; cardTime: out. Written only on success. */
SKAPI BOOL16 SKAPI_CALL SKH_GetRaceCard(SK_ULONG handle, SK_ULONG cardIndex, char* ringNoHex,
                                        char* cardCodeHex, double* cardTime);

/* Enters the race by raceKeyHex (in, 16 hex digits; missing digits are sent
 * as zero). Normalised. */
SKAPI BOOL16 SKAPI_CALL SKH_CreateRace(SK_ULONG handle, const char* raceKeyHex);

/* Adds a race card: ringNoHex (in, 12 hex digits), cardCodeHex (in, 16 hex
 * digits; missing digits of either are sent as zero) and cardTime.
 * Pass-through: ClockLink's status, non-zero on success. */
SKAPI BOOL16 SKAPI_CALL SKH_AddRaceCard(SK_ULONG handle, const char* ringNoHex,
                                        const char* cardCodeHex, double cardTime);

/* Confirms the race raceKeyHex (in, 16 hex digits; missing digits are sent
 * as zero) with confirmValue (low 16 bits used). Pass-through: ClockLink's
 * status, non-zero on success. */
SKAPI BOOL16 SKAPI_CALL SKH_ConfirmRace(SK_ULONG handle, const char* raceKeyHex,
                                        SK_ULONG confirmValue);

/* ---- Ring tags (SKR_) ---------------------------------------------------- */

/* The reader argument is the RingReader handle, passed on unchanged. All
 * four return -1 on success and 0 on any RingReader failure. */

/* Activates the tag in the reader's field. uidHex: out, at least 9
 * characters (the 4-byte UID); written only on success. */
SKAPI BOOL16 SKAPI_CALL SKR_ActiveCard(SK_ULONG reader, char* uidHex);

/* Writes ringNoHex (in, 12 hex digits; more are ignored) and raceNoHex (in,
 * 8 hex digits; 10 or more are rejected) into the tag's data frame, reads it
 * back, and sets the tag's configuration byte. Texts that do not give 6 and
 * exactly 4 bytes fail before the reader is touched; a failed step stops
 * the sequence (pages already written stay written). */
SKAPI BOOL16 SKAPI_CALL SKR_FormatCard(SK_ULONG reader, const char* ringNoHex,
                                       const char* raceNoHex);

/* Reads the tag's data frame back. The framing and check bytes are not
 * examined. raceNoHex: out, at least 9 characters; ringNoHex: out, at least
 * 13 characters; written only on success. */
SKAPI BOOL16 SKAPI_CALL SKR_ReadCard(SK_ULONG reader, char* ringNoHex, char* raceNoHex);

/* Releases the active tag. */
SKAPI BOOL16 SKAPI_CALL SKR_DeactiveCard(SK_ULONG reader);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SKYLARK_H */
