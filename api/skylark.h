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

/* Authenticates the channel without a password: SK_ConnectEx(handle, NULL). */
SKAPI BOOL16 SKAPI_CALL SK_Connect(SK_ULONG handle);

/* Authenticates the channel: installs a comm key first if ClockLink holds
 * none (SK_CreateCommKey), fetches a device random and sends the
 * authentication block bound to the password.
 * password: in, NUL-terminated, may be NULL (no password); only its first
 * eight characters count.
 * Pass-through: ClockLink's status for the authentication command; 0 without
 * sending it when installing the comm key or fetching the random fails. */
SKAPI BOOL16 SKAPI_CALL SK_ConnectEx(SK_ULONG handle, const char* password);

/* Installs a fresh comm key in ClockLink (the library's fixed key and a random
 * drawn from a generator seeded with the current time, so two calls within
 * one second install the same random). Returns IFD_SetCommKey's status. */
SKAPI BOOL16 SKAPI_CALL SK_CreateCommKey(SK_ULONG handle);

/* Initialises the clock without a password: SK_InitDevEx(handle, NULL). */
SKAPI BOOL16 SKAPI_CALL SK_InitDev(SK_ULONG handle);

/* Initialises the clock with the access code, the password folded in, and
 * the host's current local time.
 * password: in, NUL-terminated, may be NULL; only its first eight characters
 * count. Pass-through: ClockLink's status. */
SKAPI BOOL16 SKAPI_CALL SK_InitDevEx(SK_ULONG handle, const char* password);

/* Switches the clock into in-system programming. Pass-through. */
SKAPI BOOL16 SKAPI_CALL SK_ActiveIsp(SK_ULONG handle);

/* Reads the clock's state byte straight into *state (ClockLink may write it
 * even on failure). Device-state rule: -1 when the reply is the one byte,
 * also when ClockLink failed with error code 145; otherwise 0.
 * state: out, 1 byte. */
SKAPI BOOL16 SKAPI_CALL SK_GetDevState(SK_ULONG handle, unsigned char* state);

/* Reads the clock's 16 bytes of device information.
 * info: out, at least 33 characters: 32 hex digits and a NUL, written only
 * on success. -1 on a reply of exactly 16 bytes, else 0. */
SKAPI BOOL16 SKAPI_CALL SK_GetDevInfo(SK_ULONG handle, char* info);

/* Reads the clock's time.
 * date: out, written only on success (0.0 if the clock's fields are not a
 * real date-time). -1 on a reply of exactly 6 bytes, else 0. */
SKAPI BOOL16 SKAPI_CALL SK_GetTime(SK_ULONG handle, double* date);

/* Sets the clock's time (whole seconds) with an encrypted verification
 * block built from a fresh device random.
 * Pass-through: ClockLink's status; 0 without sending when the device random
 * cannot be fetched. */
SKAPI BOOL16 SKAPI_CALL SK_SetPigeon(SK_ULONG handle, double date);

/* As SK_SetPigeon, with the verification block sent in clear. */
SKAPI BOOL16 SKAPI_CALL SK_SetTime(SK_ULONG handle, double date);

/* Decrypts a stored 48-byte arrival record and proves it.
 * vKey: in, 8 bytes taken as they stand (not hex; the top bit of each byte
 * does not count). record: in, hex text of the 48 bytes (non-hex characters
 * skipped, text beyond 96 digits ignored, missing digits read as zero).
 * plain: out, at least 81 characters: the 40 plain bytes as 80 hex digits
 * and a NUL, written only on success.
 * -1 when both checks pass, else 0. */
SKAPI BOOL16 SKAPI_CALL SK_ParseRecordInfo(const unsigned char* vKey, const char* record,
                                           char* plain);

/* Unmasks a 24-byte masked record: the record mask is lifted from the key
 * field (bytes 16..23) and the unmasked key field from both body halves.
 * unused: not read. record: in, hex text of the 24 bytes (as above, 48
 * digits). plain: out, at least 49 characters: 48 hex digits and a NUL.
 * -1; 0 only for a NULL pointer. */
SKAPI BOOL16 SKAPI_CALL SK_ParseRecordInfo2(SK_ULONG unused, const char* record, char* plain);

/* Exactly SK_ParseRecordInfo2. */
SKAPI BOOL16 SKAPI_CALL SK_ParseRecordInfo3(SK_ULONG unused, const char* record, char* plain);

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
