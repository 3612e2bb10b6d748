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

/* Every pointer argument of this section is required: if one is null the
 * export returns 0 without a command and writes nothing. */

/* Ring registry. Ring numbers are 12 hex digits (6 bytes); short texts leave
 * the rest of the field 0x00. Index and count are 16-bit, big-endian on the
 * wire. */

/* Reads the number of registry entries into *count. Exact length (2 bytes):
 * -1 or 0. count: out; written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetCardCount(SK_ULONG handle, SK_ULONG* count);

/* Finds the registry index of the ring ringText into *index. Exact length
 * (2 bytes): -1 or 0. index: out; written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetCardIndex(SK_ULONG handle, const char* ringText, SK_ULONG* index);

/* Reads the registry entry at index (low 16 bits sent). Exact length
 * (31 bytes): -1 or 0. Outputs, all written only on success: ringText at
 * least 13 characters (12 hex digits); *byteField one byte; *wordField1..3
 * 16-bit values; *longField a 32-bit value; dataField at least 25 characters
 * (24 hex digits). */
SKAPI BOOL16 SKAPI_CALL SKM_GetCardInfo(SK_ULONG handle, SK_ULONG index, char* ringText,
                                        unsigned char* byteField, SK_ULONG* wordField1,
                                        SK_ULONG* wordField2, SK_ULONG* wordField3,
                                        SK_ULONG* longField, char* dataField);

/* Appends a registry entry: the ring, byteField (low 8 bits), three word
 * fields (low 16 bits each), longField and dataField (24 hex digits; short
 * texts leave 0x00). Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_AppendCard(SK_ULONG handle, const char* ringText, SK_ULONG byteField,
                                       SK_ULONG wordField1, SK_ULONG wordField2,
                                       SK_ULONG wordField3, SK_ULONG longField,
                                       const char* dataField);

/* Changes the number fields of the entry of ringText (its data field stays
 * as it is). Widths as for SKM_AppendCard. Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_ModifyCard(SK_ULONG handle, const char* ringText, SK_ULONG byteField,
                                       SK_ULONG wordField1, SK_ULONG wordField2,
                                       SK_ULONG wordField3, SK_ULONG longField);

/* Removes the entry of ringText from the registry. Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_RemoveCard(SK_ULONG handle, const char* ringText);

/* Event log. */

/* Reads the clock's maximum log number into *maxLogNo. Exact length
 * (4 bytes): -1 or 0. maxLogNo: out; written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetMaxLogNo(SK_ULONG handle, SK_ULONG* maxLogNo);

/* Reads log entry logNo. Minimum length: -1 when the clock delivered at least
 * 7 bytes, else 0; at most 32 reply bytes are used. Outputs, all written
 * only on success: *logType one byte; *logTime the entry's date (0.0 if its
 * BCD bytes are no date); logDataText at least 51 characters, the bytes after
 * the first 7 as hex (0 to 50 digits). */
SKAPI BOOL16 SKAPI_CALL SKM_GetLogInfo(SK_ULONG handle, SK_ULONG logNo, unsigned char* logType,
                                       double* logTime, char* logDataText);

/* Settings. Indexes: the low 8 bits are sent. Reads use exact length and
 * write only on success; writes are normalised (-1 or 0). */

/* Reads the channel number at index as 8 hex digits. channelText: out, at
 * least 9 characters. Exact length (4 bytes): -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_GetChannelNo(SK_ULONG handle, SK_ULONG index, char* channelText);

/* Sets the channel number at index from 8 hex digits (short texts leave
 * 0x00). Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetChannelNo(SK_ULONG handle, SK_ULONG index,
                                         const char* channelText);

/* Reads the touch type at index as 8 hex digits. touchTypeText: out, at
 * least 9 characters. Exact length (4 bytes): -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_GET_TOUCH_TYPE(SK_ULONG handle, SK_ULONG index, char* touchTypeText);

/* Sets the touch type at index from 8 hex digits (short texts leave 0x00).
 * Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SET_TOUCH_TYPE(SK_ULONG handle, SK_ULONG index,
                                           const char* touchTypeText);

/* Reads the site information: siteCodeText (out, at least 9 characters, 8
 * hex digits) and the two coordinates as DDD.FFFFFFFF (out, at least 14
 * characters each; 13 characters when a first byte is 0x10 or more). Exact
 * length (16 bytes): -1 or 0; outputs written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetSiteInfo(SK_ULONG handle, char* siteCodeText, char* coordText1,
                                        char* coordText2);

/* Sets the site information: the site code (8 hex digits) and two
 * coordinates DDD.FFFFFFFF, read by position (the character at the point's
 * position is ignored; a shorter text counts its missing digits as 0).
 * Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetSiteInfo(SK_ULONG handle, const char* siteCodeText,
                                        const char* coordText1, const char* coordText2);

/* Reads the phone code as a dial string of "0"-"9", "*", "#" and ",".
 * phoneCode: out, at least 33 characters. Exact length (16 bytes): -1 or 0;
 * written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetPhoneCode(SK_ULONG handle, char* phoneCode);

/* Sets the phone code from a dial string: its first 32 characters up to the
 * first one that is not "0"-"9", "*", "#" or ",". Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetPhoneCode(SK_ULONG handle, const char* phoneCode);

/* Reads the staff number. staffNo: out, at least 17 characters; ClockLink
 * writes the reply into it directly, so it may change even on failure. On
 * success it is NUL-terminated at the delivered length (at most 16).
 * Unchecked length: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_GetStaffNo(SK_ULONG handle, char* staffNo);

/* Sets the staff number: its first 16 characters, NUL-padded. Normalised:
 * -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetStaffNo(SK_ULONG handle, const char* staffNo);


/* ---- S clock (SKS_) ------------------------------------------------------ */

/* ---- H clock (SKH_) ------------------------------------------------------ */

/* ---- Ring tags (SKR_) ---------------------------------------------------- */

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* SKYLARK_H */
