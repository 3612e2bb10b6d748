#include "standins/clocklink/virtual/virtual_clock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "base/fp_env.h"
#include "os/os.h"
#include "standins/clocklink/virtual/entry_rules.h"

namespace standins::vclock {

std::int64_t steadyMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

VirtualClock::VirtualClock(ClockState state) : s_(std::move(state)) {}

ClockState VirtualClock::freshState(ClockKind kind) {
    ClockState s;
    s.kind = kind;
    std::uint8_t serial[4] = {};
    if (!skylark::osRandomBytes(serial, sizeof serial)) serial[3] = 1;
    s.serial = static_cast<std::uint32_t>(serial[0]) << 24 | serial[1] << 16 | serial[2] << 8 |
               serial[3];
    if (s.serial == 0) s.serial = 1;  // the lead field of a record is never all zero
    const skylark::DateTime t = skylark::osLocalNow();
    Seconds base = 0;
    secondsOf(Fields{t.year, t.month, t.day, t.hour, t.minute, t.second}, base);
    s.base = base;
    s.baseAt = steadyMillis();
    cardIdentity(s);
    return s;
}

// The card a fresh clock carries: its kind and serial number.
void cardIdentity(ClockState& s) {
    s.cardData.fill(0);
    s.cardData[0] = 'V';
    s.cardData[1] = s.kind == ClockKind::S ? 'S' : s.kind == ClockKind::H ? 'H' : 'M';
    for (int i = 0; i < 4; ++i) s.cardData[2 + i] = static_cast<std::uint8_t>(s.serial >> (24 - 8 * i));
}

// ---- Running time ---------------------------------------------------------------

namespace {

// Host milliseconds in clock milliseconds at a speed, and back (rounded
// down), in round to nearest whatever mode the calling host set
// (base/fp_env.h). At most 4e12 clock milliseconds (beyond 2099 from any
// clock time) and a day of host time: no overflow, however long a clock runs.
SKYLARK_FP_OUTLINE std::int64_t clockMillisOf(std::int64_t hostMs, double speed) {
    return static_cast<std::int64_t>(std::min(static_cast<double>(hostMs) * speed, 4e12));
}
SKYLARK_FP_OUTLINE std::int64_t hostMillisOf(std::int64_t clockMs, double speed) {
    return static_cast<std::int64_t>(std::min(static_cast<double>(clockMs) / speed, 86400000.0));
}

}  // namespace

std::int64_t VirtualClock::clockMillisAt(std::int64_t at) const {
    const std::int64_t host = at - s_.baseAt;
    if (s_.speed == 1) return s_.baseFraction + host;
    const skylark::StandardFloatingPoint nearest;
    return s_.baseFraction + clockMillisOf(host, s_.speed);
}

Seconds VirtualClock::now() const {
    if (s_.frozen) return s_.base;
    const Seconds t = s_.base + clockMillisAt(steadyMillis()) / 1000;
    return std::min(t, kLastSecond);
}

void VirtualClock::setNow(Seconds s) {
    s_.base = s;
    s_.baseFraction = 0;
    s_.baseAt = steadyMillis();
    liveWake_.notify_all();
}

void VirtualClock::freeze(bool frozen) {
    if (frozen == s_.frozen) return;
    const Seconds t = now();
    s_.frozen = frozen;
    setNow(t);
}

void VirtualClock::setSpeed(double factor) {
    if (!s_.frozen) {
        // Re-anchored to the millisecond: the time goes on from where it is.
        const std::int64_t at = steadyMillis();
        const std::int64_t ms = clockMillisAt(at);
        const Seconds t = s_.base + ms / 1000;
        s_.base = std::min(t, kLastSecond);
        s_.baseFraction = t < kLastSecond ? ms % 1000 : 0;
        s_.baseAt = at;
    }
    s_.speed = factor;
    liveWake_.notify_all();
}

std::chrono::steady_clock::time_point VirtualClock::reachedAt(Seconds t) const {
    // Clock milliseconds to go from the anchor, in host milliseconds at the
    // speed, rounded up; waking a little late is never wrong, early only
    // costs another wait. At most a day at a time.
    const std::int64_t clockMs = (t - s_.base) * 1000 - s_.baseFraction;
    std::int64_t hostMs = 0;
    if (clockMs > 0) {
        const skylark::StandardFloatingPoint nearest;
        hostMs = hostMillisOf(clockMs, s_.speed) + 1;
    }
    const std::int64_t at = std::max(s_.baseAt + hostMs, steadyMillis());
    return std::chrono::steady_clock::time_point(
        std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::milliseconds(at)));
}

void VirtualClock::log(std::uint8_t type, const std::vector<std::uint8_t>& data) {
    if (s_.nextLogNumber > kLastLogNumber) return;  // every number is used
    LogEntry e;
    e.number = s_.nextLogNumber++;
    e.type = type;
    e.time = now();
    e.data.assign(data.begin(), data.begin() + std::min(data.size(), kMaxLogData));
    if (s_.log.size() >= kMaxLog) s_.log.pop_front();
    s_.log.push_back(std::move(e));
}

// ---- Faults and the channel's error code ------------------------------------------

int VirtualClock::armFault(int fault, std::uint32_t value) {
    switch (fault) {
    case CLV_FAULT_CLEAR: faults_ = Faults{}; return CLV_OK;
    case CLV_FAULT_TAMPER:
        if (value > CLV_MAX_TAMPER_BIT) return CLV_ERR_BAD_ARGUMENT;
        faults_.tamper = true;
        faults_.tamperBit = value;
        return CLV_OK;
    case CLV_FAULT_CUT:
        faults_.cut = true;
        faults_.cutBytes = std::max<std::uint32_t>(value, 1);
        return CLV_OK;
    case CLV_FAULT_DELAY:
    case CLV_FAULT_SLOW:
        if (value > CLV_MAX_DELAY_MS) return CLV_ERR_BAD_ARGUMENT;
        (fault == CLV_FAULT_DELAY ? faults_.delayMs : faults_.slowMs) = value;
        return CLV_OK;
    case CLV_FAULT_FAIL:
        if (value == 0) return CLV_ERR_BAD_ARGUMENT;  // a failure always carries a code
        faults_.fail = true;
        faults_.failCode = value;
        return CLV_OK;
    case CLV_FAULT_LOSE_COMM_KEY:
        commKeyValid_ = false;
        authenticated_ = false;
        return CLV_OK;
    case CLV_FAULT_DOWN:
        faults_.down = value != 0;
        if (faults_.down) {  // the session does not outlive the channel
            commKeyValid_ = false;
            authenticated_ = false;
        }
        return CLV_OK;
    default: return CLV_ERR_BAD_ARGUMENT;
    }
}

namespace {

// A CLV_ON_ value that names a call CLV_SetFailure can match.
bool validCall(std::uint32_t command) {
    const std::uint32_t low = command & 0xFFFFFF;
    switch (command >> 24) {
    case 0: return low == 0;
    case 1: return (low >> 16) == 0 && ((low >> 8) <= 1 || (low & 0xFF) == 0);
    case 2: return (low >> 16) == 0;
    case 3: case 4: case 5: case 6: return low == 0;
    default: return false;
    }
}

// The CLV_ON_ value of a command; a number no rule can name matches only
// CLV_ON_ANY.
constexpr std::uint32_t kUnnamedCall = 0xFFFFFFFF;
std::uint32_t callOf(bool user, std::uint32_t number, const std::uint8_t* params,
                     std::size_t len) {
    if (user) return number <= 0xFFFF ? CLV_ON_USER | number : kUnnamedCall;
    if (number > 0xFF) return kUnnamedCall;
    const std::uint32_t code = number <= 1 && len > 0 ? params[0] : 0;
    return CLV_ON_SYSTEM | number << 8 | code;
}

}  // namespace

int VirtualClock::armFailure(std::uint32_t command, std::uint32_t skip, std::uint32_t count,
                             std::uint32_t code) {
    if (code == 0 || !validCall(command)) return CLV_ERR_BAD_ARGUMENT;
    faults_.rule = true;
    faults_.match = command;
    faults_.skip = skip;
    faults_.count = count;
    faults_.code = code;
    return CLV_OK;
}

std::uint32_t VirtualClock::injectedFailure(std::uint32_t call) {
    if (faults_.down) return CLV_ERR_CHANNEL_DOWN;
    if (faults_.fail) {
        faults_.fail = false;
        return faults_.failCode;
    }
    if (!faults_.rule || (faults_.match != CLV_ON_ANY && faults_.match != call)) return 0;
    if (faults_.skip > 0) {
        --faults_.skip;
        return 0;
    }
    const std::uint32_t code = faults_.code;
    if (faults_.count > 0 && --faults_.count == 0) faults_.rule = false;  // spent
    return code;
}

// A number for the calling thread, never given to another one.
static std::uint64_t threadNumber() {
    static std::atomic<std::uint64_t> next{1};
    thread_local const std::uint64_t self = next++;
    return self;
}

void VirtualClock::setError(SK_ULONG code) {
    const std::uint64_t self = threadNumber();
    for (auto it = lastErrors_.begin(); it != lastErrors_.end(); ++it)
        if (it->first == self) {
            lastErrors_.erase(it);
            break;
        }
    if (lastErrors_.size() >= kErrorThreads) lastErrors_.pop_front();
    lastErrors_.emplace_back(self, code);
}

SK_ULONG VirtualClock::getErrCode() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::uint64_t self = threadNumber();
    for (const auto& e : lastErrors_)
        if (e.first == self) return e.second;
    return CLV_OK;
}

// ---- ClockLink calls ---------------------------------------------------------------

BOOL16 VirtualClock::runSysCmd(SK_ULONG cls, unsigned char* params, SK_ULONG paramLen,
                               unsigned char* reply, SK_ULONG* replyLen) {
    return exchange(false, cls, params, paramLen, reply, replyLen);
}

BOOL16 VirtualClock::runUserCmd(SK_ULONG cmdNo, unsigned char* params, SK_ULONG paramLen,
                                unsigned char* reply, SK_ULONG* replyLen) {
    return exchange(true, cmdNo, params, paramLen, reply, replyLen);
}

BOOL16 VirtualClock::exchange(bool user, SK_ULONG number, unsigned char* params,
                              SK_ULONG paramLen, unsigned char* reply, SK_ULONG* replyLen) {
    Exchange x;
    x.user = user;
    x.number = number;
    x.params = params;
    x.len = params != nullptr ? paramLen : 0;
    bool ran = false;
    const BOOL16 status = gated(callOf(user, number, x.params, x.len), [&](SK_ULONG& result) {
        ran = true;
        int err;
        try {
            err = run(x);
        } catch (...) {  // out of memory: nothing crosses ClockLink's C interface
            err = CLV_ERR_FULL;
            x.reply.clear();
        }
        // Deliver at most the preset length; a refused command delivers only
        // what it chose to (the state byte of an unauthenticated state read).
        std::size_t n = 0;
        if (reply != nullptr && replyLen != nullptr) {
            n = std::min<std::size_t>(x.reply.size(), *replyLen);
            if (n > 0) std::memcpy(reply, x.reply.data(), n);
            if (faults_.tamper && faults_.tamperBit / 8 < n) {
                faults_.tamper = false;
                reply[faults_.tamperBit / 8] ^= static_cast<unsigned char>(1u << (faults_.tamperBit % 8));
            }
            if (n > 0 && faults_.cut) {
                faults_.cut = false;
                n -= std::min<std::size_t>(faults_.cutBytes, n);
            }
        }
        if (replyLen != nullptr) *replyLen = static_cast<SK_ULONG>(n);
        result = static_cast<SK_ULONG>(err);
        return BOOL16(err == CLV_OK ? 1 : 0);
    });
    // An injected failure delivers nothing.
    if (!ran && replyLen != nullptr) *replyLen = 0;
    return status;
}

std::uint8_t VirtualClock::stateByte() const {
    std::uint8_t b = 0;
    if (s_.initialised) b |= 0x01;
    if (authenticated_) b |= 0x02;
    if (s_.hasPassword()) b |= 0x04;
    if (s_.isp) b |= 0x08;
    bool running = false;
    if (s_.kind == ClockKind::M) {
        for (const Race& r : s_.m.races) running = running || r.state == EntryState::Confirmed;
    } else {
        running = s_.single.present && (s_.kind == ClockKind::S || s_.single.confirmed);
    }
    if (running) b |= 0x10;
    return b;
}

// ---- State, device information and time (the security commands: security.cpp) --

int VirtualClock::readState(Exchange& x) {
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.put8(stateByte());
    return authenticated_ ? CLV_OK : CLV_ERR_STATE_DELIVERED;
}

int VirtualClock::readDeviceInfo(Exchange& x) {
    // 0 'V' | 1 kind | 2 firmware 2 | 4 serial 4 | 8 reserved 8
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.put8('V');
    x.put8(s_.kind == ClockKind::M ? 'M' : s_.kind == ClockKind::S ? 'S' : 'H');
    x.putBe16(0x0100);
    x.putBe32(s_.serial);
    x.putZeros(8);
    return CLV_OK;
}

int VirtualClock::readTime(Exchange& x) {
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.putTime(now());
    return CLV_OK;
}

// ---- Arrivals ------------------------------------------------------------------------

std::vector<Arrival>* VirtualClock::arrivalsOf(std::uint32_t raceIndex, Key& key) {
    if (s_.kind == ClockKind::M) {
        if (raceIndex >= s_.m.races.size()) return nullptr;
        key = s_.m.races[raceIndex].key;
        return &s_.m.races[raceIndex].arrivals;
    }
    if (!s_.single.present) return nullptr;
    key = s_.single.key;
    return &s_.single.arrivals;
}

// A bird arrives at the clock's present: an arrival later than the present
// brings the present on to it (the clock never holds an arrival from its
// future), an earlier one leaves it.
void VirtualClock::arriveAt(Seconds time) {
    if (time > now()) setNow(time);
}

static bool ringIn(const std::vector<Arrival>& arrivals, const Ring& ring) {
    return std::any_of(arrivals.begin(), arrivals.end(),
                       [&](const Arrival& a) { return a.ring == ring; });
}

int VirtualClock::recordArrival(std::uint32_t raceIndex, const Ring& ring, Seconds time) {
    const std::uint64_t id = ringId(ring.data());
    const Arrival arrival{ring, time, false};
    if (s_.kind == ClockKind::M) {
        if (raceIndex >= s_.m.races.size()) return CLV_ERR_NOT_FOUND;
        Race& race = s_.m.races[raceIndex];
        if (race.state != EntryState::Confirmed) return CLV_ERR_BAD_STATE;
        if (race.rings.entered.count(id) == 0) return CLV_ERR_NOT_FOUND;
        if (race.rings.arrived.count(id) != 0) return CLV_ERR_EXISTS;
        if (!arrivesAfter(time, race.time1)) return CLV_ERR_TIME_ORDER;
        if (race.arrivals.size() >= kMaxArrivals) return CLV_ERR_FULL;
        arriveAt(time);
        race.addArrival(arrival);
        const std::size_t n = race.arrivals.size() - 1;
        std::vector<std::uint8_t> data(ring.begin(), ring.end());
        data.insert(data.end(), {static_cast<std::uint8_t>(raceIndex >> 8),
                                 static_cast<std::uint8_t>(raceIndex),
                                 static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
        log(CLV_LOG_ARRIVAL, data);
        return CLV_OK;
    }
    SingleRace& race = s_.single;
    if (!race.present) return CLV_ERR_NOT_FOUND;
    if (s_.kind == ClockKind::H) {
        if (!race.confirmed) return CLV_ERR_BAD_STATE;
        if (race.rings.entered.count(id) == 0) return CLV_ERR_NOT_FOUND;
    }
    if (race.rings.arrived.count(id) != 0) return CLV_ERR_EXISTS;
    if (s_.kind == ClockKind::S && !arrivesAfter(time, race.time1)) return CLV_ERR_TIME_ORDER;
    if (s_.kind == ClockKind::H) {
        const auto card = std::find_if(race.cards.begin(), race.cards.end(), [&](const HCard& c) {
            return std::equal(ring.begin(), ring.end(), c.begin());
        });
        if (!arrivesAfter(time, cardTime(*card))) return CLV_ERR_TIME_ORDER;
    }
    if (race.arrivals.size() >= kMaxArrivals) return CLV_ERR_FULL;
    arriveAt(time);
    race.addArrival(arrival);
    return CLV_OK;
}

int VirtualClock::recordTrainArrival(std::uint32_t trainIndex, const Ring& ring, Seconds time) {
    if (s_.kind != ClockKind::M) return CLV_ERR_UNKNOWN_COMMAND;
    if (trainIndex >= s_.m.trainings.size()) return CLV_ERR_NOT_FOUND;
    Training& t = s_.m.trainings[trainIndex];
    if (t.state != EntryState::Confirmed) return CLV_ERR_BAD_STATE;
    if (std::find(t.rings.begin(), t.rings.end(), ring) == t.rings.end()) return CLV_ERR_NOT_FOUND;
    if (ringIn(t.arrivals, ring)) return CLV_ERR_EXISTS;
    if (!arrivesAfter(time, t.time1)) return CLV_ERR_TIME_ORDER;
    if (t.arrivals.size() >= kMaxTrainArrivals) return CLV_ERR_FULL;
    arriveAt(time);
    t.arrivals.push_back(Arrival{ring, time, false});
    std::vector<std::uint8_t> data(ring.begin(), ring.end());
    data.push_back(static_cast<std::uint8_t>(t.number >> 8));
    data.push_back(static_cast<std::uint8_t>(t.number));
    log(CLV_LOG_TRAIN_ARRIVAL, data);
    return CLV_OK;
}

}  // namespace standins::vclock
