/*
 * virtual_clock.h - virtual M, S and H race clocks behind our ClockLink.
 *
 * ClockLink.dll (Windows) / libclocklink.so (Linux) can put a virtual clock
 * behind a channel handle. The clock keeps its own state and answers every
 * command as a clock does: it checks authentication, time-setting proofs and
 * record-download challenges, keeps its race, training and ring tables, its
 * event log and settings, and runs its own time. A host developer opens one
 * with CLV_Open, passes the handle to every Skylark export as the
 * DeviceHandle, and uses the functions below for what a person would do at a
 * real clock: set the password, let birds arrive, take stored records.
 *
 * This header needs nothing else from the repository. Every function uses the
 * CLV_CALL convention (__stdcall on Windows, as every Skylark export), 32-bit
 * CLV_ULONG handles, OLE Automation dates in a double (days since 30 December
 * 1899, local wall-clock time, whole seconds) and identifiers as hex text
 * (two digits per byte; characters that are not hex digits are skipped).
 *
 * Results: the functions that return int return CLV_OK (0) on success or one
 * of the CLV_ERR_ codes below; outputs are written only on success.
 * All functions are thread-safe: calls on one handle are serialised by its
 * clock, calls on different handles run in parallel.
 *
 * ---- The clock's behaviour, as a host sees it --------------------------------
 *
 * Refused commands. A command the clock refuses returns status 0 from
 * IFD_RunSysCmd / IFD_RunUserCmd (so the Skylark export fails), and
 * IFD_GetErrCode then gives one of the CLV_ERR_ codes. The state read
 * (SK_GetDevState) on a channel that is not authenticated still delivers the
 * state byte and reports CLV_ERR_STATE_DELIVERED (145), which SK_GetDevState
 * accepts.
 *   IFD_GetErrCode is the code of the last failure on the channel, kept
 * until the next failure (a success leaves it), and kept per calling thread:
 * each thread sees the reason of its own last failed call on the handle,
 * never another thread's, as with errno. A thread that had no failure on the
 * handle gets 0. (Per thread because a host that shares one channel among
 * threads asks for the reason right after its own call failed; one code per
 * handle would let another thread's failure in between replace it.)
 *
 * Security. The clock issues a fresh device random with IFD_GetRnd; only the
 * latest one is valid and it is used up by the next block that uses it
 * (authentication or time setting), whether that block passes or not. A block
 * built on a random that was already used is refused with CLV_ERR_REPLAY; a
 * block that matches no random with CLV_ERR_BAD_PROOF. IFD_SetCommKey accepts
 * only the comm key the clocks share, with a random whose first byte is odd
 * and whose halves repeat. Authentication (SK_Connect / SK_ConnectEx) checks
 * the comm-key random and the verification block against the password set by
 * SK_InitDevEx (or CLV_SetPassword); it authenticates the channel until the
 * clock is initialised again or closed.
 *   Without authentication the clock answers only: the state read, device
 *   information, its time, initialisation while it has no password, entering
 *   in-system programming (the access code is its proof) and the
 *   authentication itself. Everything else is refused with
 *   CLV_ERR_NOT_AUTHENTICATED. Initialising a clock that has a password needs
 *   an authenticated channel (or CLV_SetPassword from this API first).
 *   Time setting (SK_SetPigeon encrypted, SK_SetTime clear) needs the
 *   channel authenticated and a block built on the latest device random.
 *
 * Indexes. Race, race-card, record, training, registry and race-card (H)
 * indexes count from 0, in the order the entries were made; removing an entry
 * moves the later ones down by one. Event-log numbers count from 1: the
 * maximum log number is the number of the newest entry (0 for an empty log).
 * Training numbers are given by the clock from 1 upwards and never reused.
 * SKM_AddRaceCard adds to the newest race that is not yet confirmed, and
 * SKM_AddTrainCard to the newest training flight not yet confirmed.
 *
 * Races (M clock). Created -> confirmed -> closed. Cards are added while the
 * race is created; confirming needs at least one card; arrivals are recorded
 * only while it is confirmed and only for rings among its cards, one arrival
 * per ring. SKM_CloseRace (and SKM_PauseRace, the same command) closes a
 * created or confirmed race; SKM_RemoveRace removes a race in any state;
 * SKM_DeposeRaces with eight zero bytes removes every closed race, with a
 * race key the closed race of that key.
 *   SKM_GetRaceInfo's race figure is the number of arrivals; SKM_GetRaceInfo2
 *   gives the number of cards (16 bits) and the race parameter (32 bits).
 *
 * What a clock refuses of what it is told. A clock stamps a bird with its
 * own present when the bird arrives, so it keeps these rules; what breaks
 * one is refused with the code given, and nothing changes:
 *   - A race's second time (its closing) is not before its first (its
 *     liberation): SKM_CreateRace, SKS_CreateRace; likewise a training
 *     flight's second time not before its first (its release),
 *     SKM_CreateTrain. CLV_ERR_TIME_ORDER. Equal times are accepted.
 *   - An arrival is not before its bird was let go: M and S, not before the
 *     race's liberation; training, not before the flight's release; H, not
 *     before the time on the bird's race card. CLV_ERR_TIME_ORDER.
 *   - An arrival goes into a race that runs and holds the bird: M and H, a
 *     confirmed race (CLV_ERR_BAD_STATE) holding the ring among its cards
 *     (CLV_ERR_NOT_FOUND); training, a confirmed flight holding the ring;
 *     S, its race (CLV_ERR_NOT_FOUND without one). One arrival per ring and
 *     race (CLV_ERR_EXISTS).
 *   - An arrival is never after the clock's present: CLV_RecordArrival with
 *     a time later than the clock's present brings the present on to that
 *     time first (frozen or not), as if the person at the clock had waited
 *     for the bird; an earlier time leaves the present alone.
 * Where a real clock is plausibly lenient, the virtual one is too:
 *   - Race cards need not be registered rings (a race holds up to 10000
 *     cards, the registry 5000 rings: a club's clock baskets other lofts'
 *     birds), and training rings neither.
 *   - Arrivals after a race's closing time are recorded (late birds are the
 *     organiser's affair), and in any order of time (a host may replay a
 *     race out of order); the arrival number is the order of recording.
 *   - Race and card times may lie in the clock's past or future (a race is
 *     entered ahead of its day, or after its liberation); an H race card's
 *     time is the host's (its code and time are not checked further).
 *   - Closing, removing and deposing races are the host's decisions, also
 *     with arrivals not yet downloaded.
 *
 * Capacities (refused with CLV_ERR_FULL when full):
 *   M clock: 32 races, 10000 cards and 10000 arrivals per race, 16 training
 *   flights with 2000 rings and 2000 arrivals each, 16 training sites, 5000
 *   registry entries, 8 channel numbers, 8 touch types; the event log keeps
 *   its newest 2000 entries (older ones are dropped, their numbers answer
 *   CLV_ERR_NOT_FOUND).
 *   S clock: one race with 10000 arrivals. H clock: one race with 10000 race
 *   cards and 10000 arrivals.
 *
 * Arrival records. An arrival as downloaded (SKM_GetRaceRecord,
 * SKS_GetRaceRecord) and as stored:
 *   lead field (4)    the clock's serial number
 *   record body (16)  0 ring number (6) | 6 arrival number in the race, from 0 (2)
 *                     | 8 body check value (4) | 12 race key bytes 0-3 (4)
 *   arrival time (6)  BcdDateTime
 * The stored 48-byte record holds these 26 bytes in the order body, time,
 * lead, then the race key (8), the arrival number (2) and four zero bytes,
 * encrypted and closed with its check value as SK_ParseRecordInfo proves
 * them. The masked 24-byte record is the body masked with the race key,
 * followed by the race key masked with the record mask, as SK_ParseRecordInfo2
 * unmasks it. On the S and H clocks the race key is theirs; the lead field is
 * not sent in their download.
 *
 * Numbers that run out. Log numbers run from 1 to 4294967294; once the last
 * is given the clock logs nothing more. Training numbers run from 1 to 65535
 * and are never given twice, not even after a flight is removed; once 65535
 * is given SKM_CreateTrain is refused with CLV_ERR_FULL. The record byte of a
 * training record (SKM_GetTrainRecord) is the arrival's number in the flight
 * from 0, and 255 for the 256th arrival and every later one.
 *
 * Saved state: a JSON text (see CLV_Save) written atomically; the file format
 * is described in standins/clocklink/virtual/README.md. CLV_Load accepts a
 * file only when every field holds what a clock of its kind could have
 * saved, and the state it describes keeps the clock's invariants:
 *   - every kind: serial number not 0; password bytes are characters then
 *     zeros; times of 2000 to 2099 in the form YYYY-MM-DDThh:mm:ss; saved_at
 *     a whole number of seconds from 1970 to 2099; event-log entries numbered
 *     one after the other up to the log's next number - 1 (from 1 unless the
 *     log is full), each of a type the kind logs with that type's data length;
 *   - M: race keys unique; each race's card rings unique; arrivals only in
 *     races that were confirmed, only of rings among the race's cards, each
 *     ring once, never marked downloaded; a race not yet confirmed has no
 *     confirmation value or data; a confirmed race has cards; training
 *     numbers rising, each below the next training number; flights' rings
 *     unique, arrivals of their rings only; registry rings unique, the ring
 *     field's bytes 6-7 zero; site coordinates and the dial string valid;
 *   - S: one race or none, its arrivals' rings unique;
 *   - H: one race or none; race cards' rings unique, bytes 6-7 zero, a real
 *     card time; arrivals only once the race is confirmed, of its cards' rings;
 *   - JSON: no key twice in an object, no field the clock does not write,
 *     whole numbers written as digits (no fraction or exponent), hex digits
 *     upper-case and of the field's exact length, sizes within the capacities.
 * A refused file is left untouched; CLV_LoadEx says which field is wrong.
 *
 * Deterministic clocks. CLV_SetSeed makes a clock's serial number, card,
 * starting time and device randoms (IFD_GetRnd) follow from a seed; frozen,
 * its time moves only when a host or CLV_SetClockTime sets it. The comm-key
 * random is the host's choice (IFD_SetCommKey) and the clock gives back what
 * it was given. So two runs of a host that itself sends the same bytes see
 * byte-identical replies. The seed and the position in its stream are saved
 * with the clock; a loaded seeded clock goes on with the same stream.
 */
#ifndef SKYLARK_VIRTUAL_CLOCK_H
#define SKYLARK_VIRTUAL_CLOCK_H

#if defined(_WIN32)
#  define CLV_CALL __stdcall
#  if defined(CLOCKLINK_BUILDING)
#    define CLV_API __declspec(dllexport)
#  else
#    define CLV_API
#  endif
typedef unsigned long CLV_ULONG;
#else
#  include <stdint.h>
#  define CLV_CALL
#  define CLV_API __attribute__((visibility("default")))
typedef uint32_t CLV_ULONG;
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Kinds of clock. */
enum {
    CLV_KIND_M = 1, /* races, training flights, ring registry, log, settings */
    CLV_KIND_S = 2, /* one race */
    CLV_KIND_H = 3  /* one race with its list of race cards */
};

/* Error codes: returned by the functions below, and given by IFD_GetErrCode
 * for a command the clock refused. CLV_ErrorText names each. */
enum {
    CLV_OK = 0,
    CLV_ERR_NO_CHANNEL = 6,           /* the handle names no clock */
    CLV_ERR_NOT_AUTHENTICATED = 129,  /* the command needs an authenticated channel */
    CLV_ERR_BAD_PROOF = 130,          /* verification block, password or access code wrong */
    CLV_ERR_REPLAY = 131,             /* block built on a device random already used */
    CLV_ERR_FULL = 132,               /* table full */
    CLV_ERR_NOT_FOUND = 133,          /* no such race, ring, flight, index or log number */
    CLV_ERR_BAD_PARAM = 134,          /* wrong parameter length, value or date */
    CLV_ERR_BAD_STATE = 135,          /* not allowed in the entry's or the clock's state */
    CLV_ERR_EXISTS = 136,             /* race key or ring number already present */
    CLV_ERR_UNKNOWN_COMMAND = 137,    /* a command this kind of clock does not know */
    CLV_ERR_NO_COMM_KEY = 138,        /* no comm key installed on the channel */
    CLV_ERR_TIME_ORDER = 139,         /* a closing time before liberation, an arrival before its start */
    CLV_ERR_STATE_DELIVERED = 145,    /* state read: byte delivered, channel not authenticated */
    CLV_ERR_CHANNEL_DOWN = 150,       /* the channel is down (CLV_FAULT_DOWN) */
    CLV_ERR_FILE_IO = 160,            /* the file cannot be read or written */
    CLV_ERR_FILE_DAMAGED = 161,       /* not a saved clock, damaged or truncated */
    CLV_ERR_FILE_VERSION = 162,       /* saved by a newer version */
    CLV_ERR_BAD_ARGUMENT = 163        /* an argument of a CLV_ function is unusable */
};

/* Fault modes for CLV_SetFault. TAMPER, CUT, DELAY and FAIL apply once;
 * SLOW and DOWN last until cleared; LOSE_COMM_KEY acts at once. */
enum {
    CLV_FAULT_CLEAR = 0,         /* disarm every fault, the CLV_SetFailure rule too; the channel is up */
    CLV_FAULT_TAMPER = 1,        /* flip bit `value` (0 = lowest bit of byte 0) of the next reply holding it */
    CLV_FAULT_CUT = 2,           /* deliver the next reply `value` bytes short (at least 1) */
    CLV_FAULT_DELAY = 3,         /* the next call answers after `value` ms (at most CLV_MAX_DELAY_MS) */
    CLV_FAULT_FAIL = 4,          /* the next call fails with error code `value` (not 0), doing nothing */
    CLV_FAULT_LOSE_COMM_KEY = 5, /* the channel loses its comm key now (value ignored) */
    CLV_FAULT_DOWN = 6,          /* `value` non-zero: the channel goes down and stays down; 0: up again */
    CLV_FAULT_SLOW = 7           /* every call answers after `value` ms (at most CLV_MAX_DELAY_MS); 0 ends it */
};

/* Limits of the fault modes: longer delays and later bits are refused with
 * CLV_ERR_BAD_ARGUMENT (the longest reply is 34 bytes). */
enum { CLV_MAX_DELAY_MS = 10000, CLV_MAX_TAMPER_BIT = 271 };

/* Which calls a CLV_SetFailure rule fails: CLV_ON_ANY, or one of the others
 * with the command's numbers in its low bits:
 *   CLV_ON_SYSTEM | class << 8 | code   IFD_RunSysCmd of that class; the code
 *                                       (byte 0) counts for classes 0 and 1
 *                                       only and is 0 for the others
 *   CLV_ON_USER | number                IFD_RunUserCmd with that number (0-65535)
 *   CLV_ON_GET_RND, ...                 that ClockLink function (low bits 0) */
enum {
    CLV_ON_ANY = 0,
    CLV_ON_SYSTEM = 0x01000000,
    CLV_ON_USER = 0x02000000,
    CLV_ON_GET_RND = 0x03000000,
    CLV_ON_GET_COMM_KEY_RND = 0x04000000,
    CLV_ON_SET_COMM_KEY = 0x05000000,
    CLV_ON_IS_COMM_KEY_VALID = 0x06000000
};

/* Opens a fresh virtual clock of a kind (CLV_KIND_). Returns its ClockLink
 * handle, or 0 for an unknown kind. The clock starts uninitialised, with no
 * password, its time at the host's local time, running. */
CLV_API CLV_ULONG CLV_CALL CLV_Open(int kind);

/* Opens a virtual clock saved with CLV_Save. Its time has run on by the time
 * that passed since the save (unless it was frozen). The channel starts not
 * authenticated. Returns the handle, or 0 with *err (if err is not null) set
 * to CLV_ERR_FILE_IO, CLV_ERR_FILE_DAMAGED or CLV_ERR_FILE_VERSION. */
CLV_API CLV_ULONG CLV_CALL CLV_Load(const char* path, int* err);

/* CLV_Load that also says why a file was refused: the field as a JSON
 * pointer and what is wrong with it, e.g. "/races/1/cards/3: ring entered
 * twice", into why (whySize characters at most, NUL included; cut short if
 * needed; "" on success). why may be null. */
CLV_API CLV_ULONG CLV_CALL CLV_LoadEx(const char* path, int* err, char* why, CLV_ULONG whySize);

/* Saves the clock's state to path atomically: written to a temporary file of
 * its own beside it (created new, never through a link), flushed to disk,
 * renamed over path, and the folder flushed. On failure path is left as it
 * was. Saves to one path from several threads or processes leave a whole
 * file from one of the saves that reported CLV_OK, never from one that
 * failed. CLV_ERR_FILE_IO when the file cannot be written; CLV_ERR_BAD_STATE
 * if the clock's state broke one of its own invariants (a fault of the
 * clock: it never writes a file it would refuse to load). */
CLV_API int CLV_CALL CLV_Save(CLV_ULONG handle, const char* path);

/* CLV_Save in a given version of the file: 2 (what CLV_Save writes, the
 * readable form) or 1 (the complete form every field spelt out in bytes,
 * for readers that know only it). CLV_ERR_BAD_ARGUMENT for another version. */
CLV_API int CLV_CALL CLV_SaveVersion(CLV_ULONG handle, const char* path, int version);

/* Seeds the clock: its serial number (and the card of an S or H clock that
 * carries it) follows from seed, its time is set to 1 January 2026 00:00:00,
 * and every later device random comes from a stream started at seed instead
 * of the system's random source. Best called right after CLV_Open, before the
 * host takes the serial number. Freeze the clock too (CLV_FreezeClock) for
 * its time to stay where the host puts it. */
CLV_API int CLV_CALL CLV_SetSeed(CLV_ULONG handle, CLV_ULONG seed);

/* Closes the clock; the handle becomes invalid. Unsaved state is lost; a
 * live flight ends (CLV_StopLiveFlight) before it returns. */
CLV_API int CLV_CALL CLV_Close(CLV_ULONG handle);

/* The clock's kind (CLV_KIND_) into *kind. */
CLV_API int CLV_CALL CLV_GetKind(CLV_ULONG handle, int* kind);

/* Sets the password the clock checks at authentication, as SK_InitDevEx with
 * that password would (first 8 characters; null or "" for none). Ends any
 * authentication of the channel. */
CLV_API int CLV_CALL CLV_SetPassword(CLV_ULONG handle, const char* password);

/* Sets the clock's running time. */
CLV_API int CLV_CALL CLV_SetClockTime(CLV_ULONG handle, double date);

/* The clock's running time now. */
CLV_API int CLV_CALL CLV_GetClockTime(CLV_ULONG handle, double* date);

/* Non-zero frozen stops the clock's time where it stands (time setting still
 * moves it); zero lets it run on with the host's clock, at its speed. */
CLV_API int CLV_CALL CLV_FreezeClock(CLV_ULONG handle, int frozen);

/* The speed of the clock's time: a running clock's time advances factor
 * seconds per second of the host's (60: an hour passes in a minute), so a
 * host that polls a clock through a race day is tested in minutes. factor
 * from above 0 to CLV_MAX_SPEED; 1 for a fresh clock. The clock's time does
 * not jump at the change: it goes on from where it stands, to the
 * millisecond. The clock still keeps and shows whole seconds; a frozen clock
 * stays frozen (the speed counts once it runs again). CLV_Save keeps the
 * speed (a version-1 file does not: such a clock loads at speed 1), and a
 * clock that was not frozen runs on at its speed while the file is put away.
 * CLV_ERR_BAD_ARGUMENT for 0 or less, NaN or above CLV_MAX_SPEED. */
#define CLV_MAX_SPEED 3600.0
CLV_API int CLV_CALL CLV_SetSpeed(CLV_ULONG handle, double factor);

/* The clock's speed (CLV_SetSpeed) into *factor. */
CLV_API int CLV_CALL CLV_GetSpeed(CLV_ULONG handle, double* factor);

/* A bird arrived: ringHex (12 digits) at time date. M clock: into the race
 * at raceIndex, which must be confirmed and hold the ring among its cards.
 * S clock: into its race (raceIndex ignored). H clock: into its confirmed
 * race, the ring among its race cards (raceIndex ignored). The clock logs the
 * arrival and holds it for download; a ring arrives once per race. A date
 * before the race's liberation (M, S) or the ring's card time (H) is refused
 * with CLV_ERR_TIME_ORDER; a date after the clock's present brings the
 * present on to it (see "What a clock refuses" above). */
CLV_API int CLV_CALL CLV_RecordArrival(CLV_ULONG handle, CLV_ULONG raceIndex,
                                       const char* ringHex, double date);

/* M clock: a bird of a training flight arrived (the flight at trainIndex,
 * confirmed, the ring among its rings, the date not before its release; a
 * date after the clock's present brings the present on to it). */
CLV_API int CLV_CALL CLV_RecordTrainArrival(CLV_ULONG handle, CLV_ULONG trainIndex,
                                            const char* ringHex, double date);

/* Number of arrivals held for the race at raceIndex (ignored on S and H). */
CLV_API int CLV_CALL CLV_GetArrivalCount(CLV_ULONG handle, CLV_ULONG raceIndex,
                                         CLV_ULONG* count);

/* Arrival recordIndex of the race at raceIndex as a stored 48-byte record:
 * 96 hex digits and a NUL into text (at least 97 characters), encrypted and
 * closed with its check value over vKey (8 bytes taken as they stand), so
 * SK_ParseRecordInfo(vKey, text, ...) proves it. */
CLV_API int CLV_CALL CLV_GetStoredRecord(CLV_ULONG handle, CLV_ULONG raceIndex,
                                         CLV_ULONG recordIndex, const unsigned char* vKey,
                                         char* text);

/* Arrival recordIndex of the race at raceIndex (ignored on S and H), in the
 * order the clock recorded them: its ring number as 12 hex digits and a NUL
 * into ringText (at least 13 characters) and its time into *date. */
CLV_API int CLV_CALL CLV_GetArrival(CLV_ULONG handle, CLV_ULONG raceIndex, CLV_ULONG recordIndex,
                                    char* ringText, double* date);

/* The same arrival as a 24-byte masked record: 48 hex digits and a NUL into
 * text (at least 49 characters). */
CLV_API int CLV_CALL CLV_GetMaskedRecord(CLV_ULONG handle, CLV_ULONG raceIndex,
                                         CLV_ULONG recordIndex, char* text);

/* S and H clocks: the 16 card bytes SKS_ReadCard reads (32 hex digits). */
CLV_API int CLV_CALL CLV_SetCardData(CLV_ULONG handle, const char* cardHex);

/* Arms a fault (CLV_FAULT_) on the channel; faults of different modes can
 * be armed together, arming a mode again replaces its value. A "call" is
 * any ClockLink function on the handle but IFD_GetErrCode: IFD_RunSysCmd,
 * IFD_RunUserCmd, IFD_GetRnd, IFD_GetCommKeyRnd, IFD_SetCommKey and
 * IFD_IsCommKeyValid. What the host sees:
 *   TAMPER, CUT  the call succeeds with a reply one bit wrong or short; they
 *                wait for a call that delivers reply bytes (TAMPER for one
 *                whose delivered reply holds the bit).
 *   FAIL         status 0 (IFD_IsCommKeyValid: 0), no output written, the
 *                clock unchanged; IFD_GetErrCode gives `value`.
 *   DELAY, SLOW  the answer comes `value` ms later, otherwise unchanged. The
 *                clock's lock is not held meanwhile: CLV_ calls, IFD_GetErrCode
 *                and other threads' calls on the handle go on.
 *   LOSE_COMM_KEY IFD_IsCommKeyValid gives 0, IFD_GetCommKeyRnd fails with
 *                CLV_ERR_NO_COMM_KEY and the channel is no longer
 *                authenticated: SK_ConnectEx installs a key again.
 *   DOWN         every call fails at once with CLV_ERR_CHANNEL_DOWN; the
 *                session is lost (comm key and authentication), so after
 *                CLV_FAULT_DOWN 0 or CLEAR the host connects again. The clock
 *                keeps its state and its CLV_ functions work.
 * Refused with CLV_ERR_BAD_ARGUMENT (nothing armed): an unknown mode, FAIL
 * with code 0, a delay above CLV_MAX_DELAY_MS, a bit above
 * CLV_MAX_TAMPER_BIT. */
CLV_API int CLV_CALL CLV_SetFault(CLV_ULONG handle, int fault, CLV_ULONG value);

/* Arms the channel's failure rule, replacing any before it: of the calls
 * that match `command` (CLV_ON_), the first `skip` pass, then `count` fail
 * (0: every one until CLV_FAULT_CLEAR) with error code `code`, as
 * CLV_FAULT_FAIL does. So: the next N calls fail (skip 0, count N); the Nth
 * call from now fails (skip N-1, count 1); every download fails
 * (CLV_ON_USER | 7, skip 0, count 0). A rule that has failed its count is
 * spent. Refused with CLV_ERR_BAD_ARGUMENT: code 0, or a command value that
 * is not of the forms above. */
CLV_API int CLV_CALL CLV_SetFailure(CLV_ULONG handle, CLV_ULONG command, CLV_ULONG skip,
                                    CLV_ULONG count, CLV_ULONG code);

/* M clock: the number of the newest event-log entry (0 for none). */
CLV_API int CLV_CALL CLV_GetLogCount(CLV_ULONG handle, CLV_ULONG* maxLogNo);

/* M clock: event-log entry logNo (from 1): its type (CLV_LOG_), time and data
 * as hex text (at least 51 characters). */
CLV_API int CLV_CALL CLV_GetLogEntry(CLV_ULONG handle, CLV_ULONG logNo, unsigned char* type,
                                     double* date, char* dataHex);

/* ---- Race day ----------------------------------------------------------------
 *
 * CLV_Fly flies a confirmed race: every bird among its cards (M: the race at
 * raceIndex; H: its race cards; an S clock keeps no list of birds and
 * answers CLV_ERR_UNKNOWN_COMMAND) leaves the liberation point
 * (libLat, libLon, degrees north and east) at the time release and flies to
 * the loft at a velocity of its own. The distance is the shortest path on
 * the WGS84 ellipsoid, to the millimetre. Velocities (m/min) come from a
 * normal-like distribution (mean meanVelocity, standard deviation spread,
 * bounded at six deviations and never below a tenth of the mean); a share
 * lostShare (0 to 1) of the birds, chosen at random, does not return that
 * day. Each other bird arrives at release + distance / velocity, rounded to
 * whole seconds, and the clock records the arrivals in the order they come
 * in, by its own rules (capacity, one arrival per ring, ...): what it
 * refuses is counted in the summary, the rest stays recorded. The clock's
 * time then stands past the last arrival (one second after it, unless it
 * was later already); a frozen clock stays frozen there.
 *   The same seed and arguments give the same arrivals, to the second: the
 * generator and the distribution are the clock's own, and the arithmetic
 * runs in round-to-nearest whatever the caller's floating-point mode.
 *   Loft: loftLat, loftLon in degrees; CLV_LOFT_FROM_SITE (both) takes it
 * from the M clock's site information (SKM_SetSiteInfo: the first
 * coordinate the latitude north, the second the longitude east, 180 to 360
 * for the west); CLV_ERR_BAD_STATE when the clock has none.
 *   meanVelocity 0 or below: 1200 m/min; spread below 0: 60 m/min.
 * Returns CLV_OK (then *summary, if not null, is filled), CLV_ERR_NOT_FOUND
 * (no such race), CLV_ERR_BAD_STATE (not confirmed, no site information),
 * CLV_ERR_BAD_ARGUMENT (coordinates, date or distribution unusable). */
#define CLV_LOFT_FROM_SITE 999.0

typedef struct CLV_FlySummary {
    double distance;      /* metres, liberation to loft */
    double firstArrival;  /* OLE date of the first bird recorded (0 when none) */
    double lastArrival;   /* OLE date of the last bird recorded (0 when none) */
    double fastest;       /* m/min, distance over whole seconds of flight */
    double slowest;       /* m/min */
    double meanVelocity;  /* m/min, over the birds recorded */
    CLV_ULONG birds;      /* birds of the race */
    CLV_ULONG arrived;    /* arrivals the clock recorded */
    CLV_ULONG lost;       /* birds that did not return */
    CLV_ULONG refused;    /* arrivals the clock refused */
    CLV_ULONG refusal;    /* the error code of the first refusal (0 when none) */
} CLV_FlySummary;

CLV_API int CLV_CALL CLV_Fly(CLV_ULONG handle, CLV_ULONG raceIndex, double libLat, double libLon,
                             double release, double loftLat, double loftLon, CLV_ULONG seed,
                             double meanVelocity, double spread, double lostShare,
                             CLV_FlySummary* summary);

/* ---- A live flight ---------------------------------------------------------
 *
 * CLV_FlyLive flies the race as CLV_Fly does, with the same arguments and
 * the same birds, velocities and arrival times (the same seed and arguments
 * give the same arrivals as CLV_Fly, to the second), but in the clock's own
 * time: it returns at once with the summary of what is planned (arrived:
 * the arrivals to come; refused: those past 2099, which no clock holds), and
 * a thread of the clock's own records each arrival when the clock's time
 * reaches it, by the clock's rules and under its lock, as CLV_RecordArrival
 * would. The clock's time is not moved on; set its speed (CLV_SetSpeed) for
 * the day to pass quicker. An arrival whose time has passed already (an
 * earlier release) is recorded at once.
 *   What a host sees: a clock in a race. Between its calls arrivals appear,
 * each when the clock's time reaches it, in arrival order, never one ahead
 * of the clock's time: SKM_GetRaceInfo (SKS_/SKH_ likewise) counts them,
 * SKM_GetRaceRecord downloads each with the time the clock stamped, and the
 * event log holds an arrival entry for each. A host that sets the clock's
 * time (SK_SetTime, SK_SetPigeon, CLV_SetClockTime) moves the day with it:
 * set forward, every arrival passed is recorded at once; set back, the
 * flight waits for the time to come again. A clock frozen during the flight
 * holds the arrivals still to come until it runs, or its time is set past
 * them. Faults of the channel (CLV_SetFault) do not stop the birds: a
 * channel down still has them recorded, and the host finds them when it
 * connects again.
 *   The race is followed by its key: an arrival into a race the host has
 * removed meanwhile is refused (CLV_ERR_NOT_FOUND), into a race closed
 * meanwhile refused as the clock refuses it (CLV_ERR_BAD_STATE); refusals
 * are counted in the status, the flight goes on.
 *   One live flight per clock at a time: another CLV_FlyLive while one
 * runs is refused with CLV_ERR_BAD_STATE (CLV_Fly and CLV_RecordArrival
 * still work meanwhile; an arrival recorded before the flight's own is then
 * refused for it with CLV_ERR_EXISTS). A frozen clock is refused with
 * CLV_ERR_BAD_STATE: its time never reaches the arrivals. A flight with
 * nothing to come (every bird lost) is over at once.
 *   CLV_Save during the flight saves the arrivals recorded so far; the
 * flight itself is not saved, so a clock loaded from the file is not in
 * flight. CLV_StopLiveFlight ends a flight, dropping the arrivals still to
 * come; CLV_Close ends it too (and waits for the thread), as does the end of
 * the process. Refusals as CLV_Fly's. */
CLV_API int CLV_CALL CLV_FlyLive(CLV_ULONG handle, CLV_ULONG raceIndex, double libLat, double libLon,
                                 double release, double loftLat, double loftLon, CLV_ULONG seed,
                                 double meanVelocity, double spread, double lostShare,
                                 CLV_FlySummary* summary);

/* The progress of a clock's live flight (the latest one, once it ended). */
typedef struct CLV_LiveFlight {
    CLV_ULONG running;    /* 1 while arrivals are still to come, else 0 */
    CLV_ULONG planned;    /* arrivals the flight had to come */
    CLV_ULONG recorded;   /* arrivals recorded so far */
    CLV_ULONG refused;    /* arrivals the clock refused so far */
    CLV_ULONG refusal;    /* the error code of the first refusal (0 when none) */
    CLV_ULONG pending;    /* arrivals still to come (0 once the flight ended or stopped) */
    double nextArrival;   /* OLE date of the next arrival to come (0 when none) */
} CLV_LiveFlight;

/* The clock's live flight now into *status (all zeros when it never flew live). */
CLV_API int CLV_CALL CLV_GetLiveFlight(CLV_ULONG handle, CLV_LiveFlight* status);

/* Waits until the clock's live flight has ended (every arrival come, or
 * stopped), at most timeoutMs milliseconds, and gives its status then:
 * status->running 0 when it ended, 1 when the wait timed out. CLV_OK either
 * way; at once when no flight runs. status may be null. */
CLV_API int CLV_CALL CLV_WaitLiveFlight(CLV_ULONG handle, CLV_ULONG timeoutMs, CLV_LiveFlight* status);

/* Ends the clock's live flight: the arrivals still to come are dropped, those
 * recorded stay. Returns once its thread is done; CLV_OK also when none runs. */
CLV_API int CLV_CALL CLV_StopLiveFlight(CLV_ULONG handle);

/* A short English text for an error code (never null). */
CLV_API const char* CLV_CALL CLV_ErrorText(int code);

/* Event-log entry types and the data each carries. */
enum {
    CLV_LOG_INITIALISED = 0x01,       /* none */
    CLV_LOG_AUTHENTICATED = 0x02,     /* none */
    CLV_LOG_AUTH_REFUSED = 0x03,      /* error code (1) */
    CLV_LOG_TIME_SET = 0x04,          /* previous time BcdDateTime (6), 0 clear / 1 encrypted (1) */
    CLV_LOG_ISP = 0x05,               /* none */
    CLV_LOG_RACE_CREATED = 0x10,      /* race key (8) */
    CLV_LOG_RACE_CONFIRMED = 0x11,    /* race key (8), number of cards (2) */
    CLV_LOG_RACE_CLOSED = 0x12,       /* race key (8) */
    CLV_LOG_RACE_REMOVED = 0x13,      /* race key (8) */
    CLV_LOG_RACES_DEPOSED = 0x14,     /* number of races removed (2) */
    CLV_LOG_ARRIVAL = 0x15,           /* ring number (6), race index (2), arrival number (2) */
    CLV_LOG_RING_REGISTERED = 0x20,   /* ring number (6) */
    CLV_LOG_RING_MODIFIED = 0x21,     /* ring number (6) */
    CLV_LOG_RING_REMOVED = 0x22,      /* ring number (6) */
    CLV_LOG_TRAIN_CREATED = 0x30,     /* training number (2) */
    CLV_LOG_TRAIN_CONFIRMED = 0x31,   /* training number (2) */
    CLV_LOG_TRAIN_CLOSED = 0x32,      /* training number (2) */
    CLV_LOG_TRAIN_REMOVED = 0x33,     /* training number (2) */
    CLV_LOG_TRAIN_ARRIVAL = 0x34,     /* ring number (6), training number (2) */
    CLV_LOG_SETTING_CHANGED = 0x40    /* command code (1), index or site number (1) */
};

#ifdef __cplusplus
}
#endif

#endif /* SKYLARK_VIRTUAL_CLOCK_H */
