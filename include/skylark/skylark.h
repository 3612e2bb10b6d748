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
 *
 * Null pointers: a null pointer where a text or buffer is required makes the
 * export return 0 without sending anything and write nothing (the codecs
 * just write nothing); only the passwords of SK_ConnectEx and SK_InitDevEx
 * may be null. Text is single-byte characters, NUL-terminated; output
 * buffers must hold at least the sizes given below, NUL included.
 * SKM_ConfirmRace's confirmData is not text: 8 raw bytes sent as they stand,
 * zero bytes included.
 *
 * Threads: the library holds no state, locks or threads of its own; each
 * export works in its own storage, so any number of threads may call
 * exports at once. Whether commands on one handle are serialised is
 * ClockLink's affair.
 *
 * Version: SKYLARK_VERSION below. On 32-bit Windows the import libraries
 * (libSkylark.dll.a, Skylark.lib) map the name@N a __stdcall caller asks for
 * to the plain name the DLL exports.
 */
#ifndef SKYLARK_H
#define SKYLARK_H

#include "skylark_types.h"

/* The library's version, as its package and DLL version resource give it. */
#define SKYLARK_VERSION_MAJOR 0
#define SKYLARK_VERSION_MINOR 1
#define SKYLARK_VERSION_PATCH 0
#define SKYLARK_VERSION "0.1.0"

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

/* Sets the clock's time with an encrypted verification block built from a
 * fresh device random. date: in, the clock's new time, local wall-clock time
 * (whole seconds; years 2000 to 2099).
 * Pass-through: ClockLink's status; 0 without sending when the device random
 * cannot be fetched. */
SKAPI BOOL16 SKAPI_CALL SK_SetPigeon(SK_ULONG handle, double date);

/* As SK_SetPigeon, with the verification block sent in clear. date: in, the
 * clock's new time, local wall-clock time. */
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

/* Exactly SK_ParseRecordInfo2: unused not read, record the masked record's
 * 48 hex digits, plain at least 49 characters. */
SKAPI BOOL16 SKAPI_CALL SK_ParseRecordInfo3(SK_ULONG unused, const char* record, char* plain);

/* ---- M clock: races and training flights (SKM_) -------------------------- */

/* Races. Race keys, card entries and the depose value are 16 hex digits
 * (8 bytes); a text with fewer digits sends zeros in the missing bytes. */

/* Enters a race.
 * raceKeyHex: in, the race key, the 8 bytes that name the race on the clock.
 * firstTime: in, the liberation: when the birds are released at the race
 * point. secondTime: in, the closing time: when the race stops taking
 * arrivals. Both go out as BCD (whole seconds, years 2000 to 2099, local
 * time). raceParam: in, 32 bits the club software keeps with the race (for
 * example its distance); our virtual clocks give it back as
 * SKM_GetRaceInfo2's figure32.
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_CreateRace(SK_ULONG handle, const char* raceKeyHex, double firstTime,
                                       double secondTime, SK_ULONG raceParam);

/* Adds a card entry: cardHex (in, 16 hex digits) is the ring number of a
 * bird entered for the race followed by 0000; the clock decides which race
 * receives it (our clocks: the newest race not yet confirmed).
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_AddRaceCard(SK_ULONG handle, const char* cardHex);

/* Confirms a race, sealing the birds entered into it: raceKeyHex (in, its
 * race key), confirmValue (in, a 16-bit number sealed with it, for example
 * the number of birds basketed; low 16 bits sent) and confirmData (in, 8 raw
 * bytes sealed with it, for example the basket seal; sent as they stand,
 * zero bytes included).
 * Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_ConfirmRace(SK_ULONG handle, const char* raceKeyHex,
                                        SK_ULONG confirmValue, const char* confirmData);

/* Closes the race of key raceKeyHex (in, 16 hex digits). Pass-through:
 * ClockLink's status (non-zero = success); do not compare with -1. */
SKAPI BOOL16 SKAPI_CALL SKM_CloseRace(SK_ULONG handle, const char* raceKeyHex);

/* Same as SKM_CloseRace (raceKeyHex: in, the race key): the clock is sent
 * exactly the same command. Pass-through. */
SKAPI BOOL16 SKAPI_CALL SKM_PauseRace(SK_ULONG handle, const char* raceKeyHex);

/* Removes the race of key raceKeyHex (in, 16 hex digits). Pass-through:
 * ClockLink's status (non-zero = success). */
SKAPI BOOL16 SKAPI_CALL SKM_RemoveRace(SK_ULONG handle, const char* raceKeyHex);

/* Sends the depose command. deposeHex: in, 16 hex digits: eight zero bytes
 * remove every closed race, a race key the closed race of that key (as our
 * virtual clocks read it). Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_DeposeRaces(SK_ULONG handle, const char* deposeHex);

/* Race queries. Indexes are sent as their low 16 bits and delivered as
 * 0..65535. Exact length: -1 only when the clock answers with the full reply;
 * otherwise 0 and no output is written. */

/* Looks up the index of the race with key raceKeyHex (in, 16 hex digits).
 * raceIndex: out, the race's position in the race table. */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceIndex(SK_ULONG handle, const char* raceKeyHex,
                                         SK_ULONG* raceIndex);

/* Reads the number of races. raceCount: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceCount(SK_ULONG handle, SK_ULONG* raceCount);

/* Reads one race's entry by index. raceIndex: in, the race's position in
 * the race table (16 bits).
 * raceKeyText: out, at least 17 characters (16 hex digits and a NUL).
 * firstTime, secondTime: out, 0.0 for a time the clock holds that is not a
 * real date-time. raceFigure: out, 16-bit figure. */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceInfo(SK_ULONG handle, SK_ULONG raceIndex, char* raceKeyText,
                                        double* firstTime, double* secondTime,
                                        SK_ULONG* raceFigure);

/* Reads one card of a race: raceIndex (in, the race's position) and
 * cardIndex (in, the card's position among the race's cards), both 16 bits;
 * delivers the ring number (first 6 bytes of the entry).
 * ringText: out, at least 13 characters (12 hex digits and a NUL). */
SKAPI BOOL16 SKAPI_CALL SKM_GetRaceCard(SK_ULONG handle, SK_ULONG raceIndex, SK_ULONG cardIndex,
                                        char* ringText);

/* Downloads arrival recordIndex (in, the arrival's position in the race, in
 * the order the birds arrived) of the race at raceIndex (in), both 16 bits,
 * proven by the clock for this very request: a fresh random challenge goes out with it, and the reply is
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

/* Creates a training flight and delivers the clock's training number for
 * it. firstTime: in, the flight's liberation; secondTime: in, its closing
 * time; trainByte: in, one byte kept with the flight (for example its
 * release site's number; low 8 bits sent).
 * -1 on success; 0 on failure or when the clock delivered fewer than the two
 * bytes of the number. trainNumber: out, written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_CreateTrain(SK_ULONG handle, double firstTime, double secondTime,
                                        SK_ULONG trainByte, SK_ULONG* trainNumber);

/* Adds a bird's ring: ringHex (in, 12 hex digits; missing digits send
 * zeros); the clock decides which flight receives it (our clocks: the newest
 * flight not yet confirmed). Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_AddTrainCard(SK_ULONG handle, const char* ringHex);

/* Confirms the training flight trainNumber (in, as SKM_CreateTrain gave it)
 * with confirmValue (in, a 16-bit number sealed with it, for example the
 * number of birds basketed). Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_ConfirmTrain(SK_ULONG handle, SK_ULONG trainNumber,
                                         SK_ULONG confirmValue);

/* Closes the training flight trainNumber (in, 16 bits). Pass-through:
 * ClockLink's status (non-zero = success). */
SKAPI BOOL16 SKAPI_CALL SKM_CloseTrain(SK_ULONG handle, SK_ULONG trainNumber);

/* Removes the training flight trainNumber (in, 16 bits). Pass-through:
 * ClockLink's status (non-zero = success). */
SKAPI BOOL16 SKAPI_CALL SKM_RemoveTrain(SK_ULONG handle, SK_ULONG trainNumber);

/* The reads below are exact length: -1 only when the clock answers with the
 * full reply; otherwise 0 and no output is written. */

/* Looks up the index of the training flight trainNumber (in, 16 bits).
 * trainIndex: out, the flight's position in the training table. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainIndex(SK_ULONG handle, SK_ULONG trainNumber,
                                          SK_ULONG* trainIndex);

/* Reads the number of training flights. trainCount: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainCount(SK_ULONG handle, SK_ULONG* trainCount);

/* Reads one flight's entry by trainIndex (in, its position in the training
 * table, 16 bits). All five outputs are required:
 * trainNumber, trainFigure: out; firstTime, secondTime: out (0.0 for a time
 * that is not a real date-time); trainByte: out, 0..255. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainInfo(SK_ULONG handle, SK_ULONG trainIndex,
                                         SK_ULONG* trainNumber, double* firstTime,
                                         double* secondTime, SK_ULONG* trainFigure,
                                         SK_ULONG* trainByte);

/* Reads the 32-bit site value of site siteNo (low 8 bits sent). siteValue: out. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG* siteValue);

/* Writes siteValue (in, 32 bits kept as given) as the value of training site
 * siteNo (in, low 8 bits sent). Normalised: -1 on success, 0 on failure. */
SKAPI BOOL16 SKAPI_CALL SKM_SetTrainSite(SK_ULONG handle, SK_ULONG siteNo, SK_ULONG siteValue);

/* Reads arrival recordIndex (in, its position in the flight) of the training
 * flight at trainIndex (in), both 16 bits, as the clock sends it (no
 * verification code). ringText: out, at least 13 characters (12 hex digits
 * and a NUL). recordByte: out, exactly one byte. recordTime1, recordTime2:
 * out, 0.0 for a time that is not a real date-time. */
SKAPI BOOL16 SKAPI_CALL SKM_GetTrainRecord(SK_ULONG handle, SK_ULONG trainIndex,
                                           SK_ULONG recordIndex, char* ringText,
                                           unsigned char* recordByte, double* recordTime1,
                                           double* recordTime2);


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
 * least 13 characters (12 hex digits); *byteField one byte; *wordField1,
 * *wordField2, *wordField3 16-bit values; *longField a 32-bit value;
 * dataField at least 25 characters (24 hex digits). The fields are the club
 * software's own, kept with the ring as SKM_AppendCard gave them. */
SKAPI BOOL16 SKAPI_CALL SKM_GetCardInfo(SK_ULONG handle, SK_ULONG index, char* ringText,
                                        unsigned char* byteField, SK_ULONG* wordField1,
                                        SK_ULONG* wordField2, SK_ULONG* wordField3,
                                        SK_ULONG* longField, char* dataField);

/* Appends a registry entry for the ring ringText (in, 12 hex digits). The
 * fields are the club software's own, kept with the ring and given back by
 * SKM_GetCardInfo: byteField (in, low 8 bits sent; for example a colour or
 * sex code), wordField1, wordField2, wordField3 (in, low 16 bits each; for
 * example the ring's year and the bird's number in the loft), longField (in,
 * 32 bits) and dataField (in, 12 bytes as 24 hex digits, for example the
 * owner's name; short texts leave 0x00). The entry on the clock:
 *   0 ring 6 | 6 00 00 | 8 byte | 9 word 1 | 11 word 2 | 13 word 3 | 15 long 4 | 19 data 12
 * Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_AppendCard(SK_ULONG handle, const char* ringText, SK_ULONG byteField,
                                       SK_ULONG wordField1, SK_ULONG wordField2,
                                       SK_ULONG wordField3, SK_ULONG longField,
                                       const char* dataField);

/* Changes the number fields of the entry of ringText (in, 12 hex digits):
 * byteField, wordField1, wordField2, wordField3 and longField (in, widths
 * and meaning as for SKM_AppendCard); its data field stays as it is.
 * Normalised: -1 or 0. */
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

/* Sets the channel number at index from channelText (in, 8 hex digits; short
 * texts leave 0x00). Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetChannelNo(SK_ULONG handle, SK_ULONG index,
                                         const char* channelText);

/* Reads the touch type at index as 8 hex digits. touchTypeText: out, at
 * least 9 characters. Exact length (4 bytes): -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_GET_TOUCH_TYPE(SK_ULONG handle, SK_ULONG index, char* touchTypeText);

/* Sets the touch type at index from touchTypeText (in, 8 hex digits; short
 * texts leave 0x00). Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SET_TOUCH_TYPE(SK_ULONG handle, SK_ULONG index,
                                           const char* touchTypeText);

/* Reads the site information of the clock's loft: siteCodeText (out, at
 * least 9 characters, 8 hex digits) and the two coordinates coordText1 and
 * coordText2 as DDD.FFFFFFFF (out, at least 14 characters each; 13
 * characters when a first byte is 0x10 or more). Exact
 * length (16 bytes): -1 or 0; outputs written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetSiteInfo(SK_ULONG handle, char* siteCodeText, char* coordText1,
                                        char* coordText2);

/* Sets the site information of the clock's loft: siteCodeText (in, 8 hex
 * digits) and the two coordinates coordText1 and coordText2 (in, for example
 * latitude and longitude, DDD.FFFFFFFF: three digits, a point, eight
 * digits), read by position (the character at the point's
 * position is ignored; a shorter text counts its missing digits as 0).
 * Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetSiteInfo(SK_ULONG handle, const char* siteCodeText,
                                        const char* coordText1, const char* coordText2);

/* Reads the phone code as a dial string of "0"-"9", "*", "#" and ",".
 * phoneCode: out, at least 33 characters. Exact length (16 bytes): -1 or 0;
 * written only on success. */
SKAPI BOOL16 SKAPI_CALL SKM_GetPhoneCode(SK_ULONG handle, char* phoneCode);

/* Sets the phone code from the dial string phoneCode (in): its first 32
 * characters up to the first one that is not "0"-"9", "*", "#" or ",".
 * Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetPhoneCode(SK_ULONG handle, const char* phoneCode);

/* Reads the staff number. staffNo: out, at least 17 characters; ClockLink
 * writes the reply into it directly, so it may change even on failure. On
 * success it is NUL-terminated at the delivered length (at most 16).
 * Unchecked length: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_GetStaffNo(SK_ULONG handle, char* staffNo);

/* Sets the staff number (the operator's or fancier's number) from staffNo
 * (in): its first 16 characters, NUL-padded. Normalised: -1 or 0. */
SKAPI BOOL16 SKAPI_CALL SKM_SetStaffNo(SK_ULONG handle, const char* staffNo);


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
 * as zero), firstTime (in, the liberation) and secondTime (in, the closing
 * time). Normalised. */
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
 * H clock's names: the same arguments (cardDataHex; state, stateTime,
 * firstCount, secondCount; recordIndex, recordText, arrivalTime), exchange
 * and result. */
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

/* Reads race card cardIndex (in, its position, low 16 bits used).
 * Normalised, exact reply length. ringNoHex: out, at least 13 characters;
 * cardCodeHex: out, at least 17 characters; cardTime: out. Written only on
 * success. A race card on the clock:
 *   0 ring 6 | 6 00 00 | 8 card code 8 | 16 card time 6 */
SKAPI BOOL16 SKAPI_CALL SKH_GetRaceCard(SK_ULONG handle, SK_ULONG cardIndex, char* ringNoHex,
                                        char* cardCodeHex, double* cardTime);

/* Enters the race by raceKeyHex (in, 16 hex digits; missing digits are sent
 * as zero). Normalised. */
SKAPI BOOL16 SKAPI_CALL SKH_CreateRace(SK_ULONG handle, const char* raceKeyHex);

/* Adds a race card: ringNoHex (in, the bird's ring number, 12 hex digits),
 * cardCodeHex (in, 8 bytes kept with the card, for example the code of the
 * rubber the bird carries, 16 hex digits; missing digits of either are sent
 * as zero) and cardTime (in, a date-time kept with the card, for example
 * when the bird was basketed).
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

/* ---- M clock: races, the one export with C++ linkage --------------------- */

/* Reads two figures of the race at raceIndex (in, low 16 bits sent): our
 * virtual clocks give the number of its cards and its race parameter.
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
