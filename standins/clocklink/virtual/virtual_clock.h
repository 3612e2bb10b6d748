// A virtual clock behind a ClockLink handle: keeps a ClockState and answers
// the command set as a clock of its kind does. One mutex per clock
// serialises every call on its handle, from ClockLink and from the CLV_ API.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "security/des.h"
#include "standins/clocklink/clock_device.h"
#include "standins/clocklink/virtual/clock_state.h"
#include "standins/clocklink/virtual/exchange.h"
#include "standins/clocklink/virtual/race_day.h"
#include "standins/saved_file.h"
#include "skylark/virtual_clock.h"

namespace standins::vclock {

// Host steady-clock milliseconds, the base of a clock's running time.
std::int64_t steadyMillis();

// Which kinds answer a command (bits of the table's `kinds`).
constexpr std::uint8_t kindBit(ClockKind k) { return static_cast<std::uint8_t>(1u << (static_cast<int>(k) - 1)); }
constexpr std::uint8_t kKindM = kindBit(ClockKind::M), kKindS = kindBit(ClockKind::S),
                       kKindH = kindBit(ClockKind::H), kAllKinds = kKindM | kKindS | kKindH;

// When a clock answers a command.
enum class Access : std::uint8_t {
    Authenticated,  // on an authenticated channel, outside in-system programming
    Open,           // also before authentication
    OpenInIsp,      // also in in-system programming
};

// The code of a class-0 or class-1 command: its parameter byte 0. Other
// classes and the user commands carry one command each (their byte 0, where
// it picks a variant, is the handler's to judge).
constexpr std::int16_t kNoCode = -1;

class VirtualClock final : public ClockDevice {
public:
    explicit VirtualClock(ClockState state);
    // Ends a live flight and waits for its thread.
    ~VirtualClock() override;
    VirtualClock(const VirtualClock&) = delete;
    VirtualClock& operator=(const VirtualClock&) = delete;
    static ClockState freshState(ClockKind kind);

    BOOL16 runSysCmd(SK_ULONG cls, unsigned char* params, SK_ULONG paramLen, unsigned char* reply,
                     SK_ULONG* replyLen) override;
    BOOL16 runUserCmd(SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                      unsigned char* reply, SK_ULONG* replyLen) override;
    BOOL16 getRnd(unsigned char* rnd4) override;
    BOOL16 getCommKeyRnd(unsigned char* rnd8) override;
    BOOL16 setCommKey(unsigned char* key8, unsigned char* rnd8) override;
    BOOL16 isCommKeyValid() override;
    SK_ULONG getErrCode() override;

    // Runs f(*this) with the clock's lock held: the CLV_ API's way in.
    template <class F>
    auto locked(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(*this);
    }

    // Fault injection (CLV_SetFault, CLV_SetFailure); the lock is held.
    int armFault(int fault, std::uint32_t value);
    int armFailure(std::uint32_t command, std::uint32_t skip, std::uint32_t count,
                   std::uint32_t code);

    // ---- For the API and the command areas; the lock is held ----
    ClockState& state() { return s_; }
    Seconds now() const;
    // Every change of the running time goes through setNow, setSpeed or
    // freeze: they wake a live flight to look at the time again.
    void setNow(Seconds s);
    void freeze(bool frozen);
    // Clock seconds per host second (CLV_SetSpeed's bounds checked by the
    // caller); the time stands where it was at the change.
    void setSpeed(double factor);
    // A live flight (CLV_FlyLive): plans the flight as flyRace does and
    // starts the thread that records each arrival when the clock's time
    // reaches it; out as flyRace's, every arrival to come counted recorded.
    // The lock is held.
    int startLive(const FlyPlan& plan, FlyResult& out);
    void liveStatus(CLV_LiveFlight& out) const;  // the lock is held

    // ---- These take the clock's lock themselves ----
    // Ends a live flight (the arrivals still to come are dropped) and waits
    // for its thread; nothing when none runs.
    void stopLive();
    // Waits up to timeoutMs for a live flight to end; the status then.
    void waitLive(std::uint32_t timeoutMs, CLV_LiveFlight& out);
    void setPassword(const char* password);
    void log(std::uint8_t type, const std::vector<std::uint8_t>& data = {});
    // Seeds the clock (seed.cpp): serial number, card, time and randoms.
    void seed(std::uint32_t value);
    // Device random bytes: the seeded stream, or the system's random source.
    bool drawRandom(std::uint8_t* out, std::size_t n);
    int recordArrival(std::uint32_t raceIndex, const Ring& ring, Seconds time);
    int recordTrainArrival(std::uint32_t trainIndex, const Ring& ring, Seconds time);
    void arriveAt(Seconds time);
    // The arrivals of a race (M: by index; S and H: their race), or null.
    std::vector<Arrival>* arrivalsOf(std::uint32_t raceIndex, Key& key);

private:
    // Every ClockLink call but IFD_GetErrCode goes through the channel's
    // faults first: a channel down, a pending delay (waited out without the
    // lock), an armed failure. `call` is the CLV_ON_ value the call matches.
    // Runs body() under the lock when no fault stops it; body returns the
    // status and sets err to the code of a refusal.
    template <class Body>
    BOOL16 gated(std::uint32_t call, Body body);
    // The code of an injected failure for this call (0 for none); counts it.
    std::uint32_t injectedFailure(std::uint32_t call);
    // The failure the calling thread sees on IFD_GetErrCode from now on.
    void setError(SK_ULONG code);

    BOOL16 exchange(bool user, SK_ULONG number, unsigned char* params, SK_ULONG paramLen,
                    unsigned char* reply, SK_ULONG* replyLen);
    int run(Exchange& x);

    // ---- The command handlers, one per command (or per pair sharing a
    // layout); which kinds answer each and when is the command table's
    // (command_table.cpp). Each returns CLV_OK or the refusal's code.
    // State, identity and time (virtual_clock.cpp); the security commands
    // (security.cpp).
    int readState(Exchange& x);
    int readDeviceInfo(Exchange& x);
    int readTime(Exchange& x);
    int initialise(Exchange& x);
    int authenticate(Exchange& x);
    int enterIsp(Exchange& x);
    int setTimeCommand(Exchange& x);
    // Which random a block was built on: 0 the pending one, 1 a used one, -1 none.
    template <class Check>
    int matchRandom(Check check);
    std::uint8_t stateByte() const;

    // M clock races (m_races.cpp).
    int raceIndex(Exchange& x);
    int raceCount(Exchange& x);
    int raceEntry(Exchange& x);  // the race's entry (0x18) or its figures (0x19)
    int raceCard(Exchange& x);
    int createRace(Exchange& x);
    int addRaceCard(Exchange& x);
    int confirmRace(Exchange& x);
    int closeOrRemoveRace(Exchange& x);
    int downloadRaceRecord(Exchange& x);
    int deposeRaces(Exchange& x);
    // M clock training flights (m_training.cpp).
    int trainingIndex(Exchange& x);
    int trainingCount(Exchange& x);
    int trainingEntry(Exchange& x);
    int trainingSite(Exchange& x);  // read (class 0) and write (class 1)
    int trainingRecord(Exchange& x);
    int createTraining(Exchange& x);
    int addTrainingRing(Exchange& x);
    int confirmTraining(Exchange& x);
    int closeOrRemoveTraining(Exchange& x);
    // M clock registry, log and settings (m_registry.cpp).
    int cardIndex(Exchange& x);
    int cardCount(Exchange& x);
    int cardEntry(Exchange& x);
    int maxLogNumber(Exchange& x);
    int logEntry(Exchange& x);
    int readIndexedSetting(Exchange& x);   // channel number, touch type
    int readSettingField(Exchange& x);     // site, phone code, staff number
    int writeIndexedSetting(Exchange& x);
    int writeSettingField(Exchange& x);
    int appendOrModifyCard(Exchange& x);
    int removeCard(Exchange& x);
    // S and H clocks (sh_clocks.cpp).
    int readCardData(Exchange& x);
    int singleState(Exchange& x);
    int singleRaceInfo(Exchange& x);
    int hCardCount(Exchange& x);
    int hRaceCard(Exchange& x);
    int createSingleRace(Exchange& x);
    int hAddRaceCard(Exchange& x);
    int hConfirmRace(Exchange& x);
    int clearSingleRace(Exchange& x);
    int downloadSingleRecord(Exchange& x);

public:
    // ---- The command table (command_table.cpp) ----
    using Handler = int (VirtualClock::*)(Exchange&);
    // One row of the table.
    struct Command {
        const char* name;     // what the command does, for messages
        bool user;            // IFD_RunUserCmd, else IFD_RunSysCmd
        std::uint8_t number;  // user command number or system class
        std::int16_t code;    // class 0 and 1: the command code; else kNoCode
        std::uint8_t kinds;   // kKind bits of the kinds that answer it
        Access access;
        Handler handler;
    };
    // The table, `count` rows.
    static const Command* commandTable(std::size_t& count);
    // The row that answers a command on a clock of a kind, or null.
    static const Command* findCommand(ClockKind kind, bool user, std::uint32_t number,
                                      std::int16_t code);

private:
    static const Command kCommands[];
    static const std::size_t kCommandCount;

    std::mutex mutex_;
    ClockState s_;

    // Clock milliseconds past `base` at the host's steady instant `at`.
    std::int64_t clockMillisAt(std::int64_t at) const;
    // The steady instant at which the running clock's time reaches t.
    std::chrono::steady_clock::time_point reachedAt(Seconds t) const;
    // The live flight's thread: records each arrival as the time reaches it.
    void runLive();
    int recordLive(const Flight& f);
    struct LiveFlight {
        bool running = false;  // arrivals are still to come
        bool stop = false;
        Key raceKey{};                // the race, found by its key at each arrival
        std::vector<Flight> arrivals;  // to come, in arrival order
        std::size_t next = 0;
        std::uint32_t recorded = 0, refused = 0, refusal = 0;
    } live_;
    std::thread liveThread_;
    std::condition_variable liveWake_;  // the thread: the time changed, or stop
    std::condition_variable liveDone_;  // waiters: an arrival came, or the end

    // The channel's session: not saved.
    bool authenticated_ = false;
    bool commKeyValid_ = false;
    std::array<std::uint8_t, 8> commRnd_{};
    bool randomPending_ = false;
    std::array<std::uint8_t, 4> pendingRnd_{};
    std::deque<std::array<std::uint8_t, 4>> usedRnds_;  // newest 16, to tell a replay
    // The last failure on the channel, per calling thread: a thread's
    // success keeps it, another thread's failure does not replace it.
    // The newest kErrorThreads threads are remembered.
    static constexpr std::size_t kErrorThreads = 64;
    // (A thread is told by a number of its own: the system reuses thread ids.)
    std::deque<std::pair<std::uint64_t, SK_ULONG>> lastErrors_;

    struct Faults {
        bool tamper = false;
        std::uint32_t tamperBit = 0;
        bool cut = false;
        std::uint32_t cutBytes = 0;
        std::uint32_t delayMs = 0;  // the next call
        std::uint32_t slowMs = 0;   // every call, until cleared
        bool fail = false;          // the next call
        std::uint32_t failCode = 0;
        bool down = false;          // every call fails, until cleared
        // CLV_SetFailure: calls matching `match` fail with `code`, after
        // `skip` of them passed, `count` times (0: until cleared).
        bool rule = false;
        std::uint32_t match = 0, skip = 0, count = 0, code = 0;
    } faults_;
};

// The card a fresh clock carries: its kind and serial number.
void cardIdentity(ClockState& s);
// Where a seeded clock's time starts: 1 January 2026 00:00:00.
Seconds seededStartTime();

template <class Body>
BOOL16 VirtualClock::gated(std::uint32_t call, Body body) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!faults_.down) {
        const std::uint32_t wait = faults_.delayMs + faults_.slowMs;
        faults_.delayMs = 0;
        if (wait != 0) {
            // Slow to answer; the clock's other calls go on meanwhile.
            lock.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(wait));
            lock.lock();
        }
    }
    if (const std::uint32_t code = injectedFailure(call)) {
        setError(code);
        return 0;
    }
    SK_ULONG err = CLV_OK;
    const BOOL16 status = body(err);
    if (status == 0 && err != CLV_OK) setError(err);
    return status;
}

// The clocks' copy of the verification key and the record key, packed once.
struct ClockKeys {
    skylark::DesSchedule verify;
    skylark::DesSchedule record;
};
const ClockKeys& clockKeys();

// Arrival records (arrival_records.cpp).
struct RecordFields {
    std::uint8_t lead[4];
    std::uint8_t body[16];
    std::uint8_t time[6];
};
RecordFields arrivalRecord(const ClockState& s, const Key& raceKey, std::size_t arrivalNo,
                           const Arrival& a);
// Reply of the M clock's download: lead, body, time, code over the challenge.
void putDownload(Exchange& x, const RecordFields& r, const std::uint8_t challenge[4]);
// Reply of the S and H clocks' download: body, time, code over the challenge.
void putSingleDownload(Exchange& x, const RecordFields& r, const std::uint8_t challenge[4]);
void storedRecord(const RecordFields& r, const Key& raceKey, std::size_t arrivalNo,
                  const std::uint8_t vKey[8], std::uint8_t out[48]);
void maskedRecord(const RecordFields& r, const Key& raceKey, std::uint8_t out[24]);

// DES with the clocks' verification key (E and D of the protocol).
void verifyEncrypt(std::uint8_t block[8]);
void verifyDecrypt(std::uint8_t block[8]);

// Saved state (saved_state.cpp).
// The saved text: version 2, the readable form, unless version is 1.
std::string saveText(const ClockState& s, Seconds clockNow, int version = 2);
// Reads a saved clock into out (untouched unless CLV_OK); *why (if given)
// names the refused field as a JSON pointer and says what is wrong with it.
int loadText(const std::string& text, ClockState& out, std::string* why = nullptr);
// Reading the file, and its atomic replacement: the stand-ins' own
// (standins/saved_file.h).
using standins::readFile;
using standins::replaceFile;

}  // namespace standins::vclock
