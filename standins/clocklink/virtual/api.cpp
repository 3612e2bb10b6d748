// The virtual clocks' C API (include/skylark/virtual_clock.h): each call
// finds the clock behind its handle and works under the clock's lock.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "standins/clocklink/virtual/race_day.h"
#include "standins/hex.h"
#include "standins/clocklink/virtual/state_rules.h"
#include "standins/clocklink/virtual/virtual_clock.h"

using namespace standins;
using namespace standins::vclock;

namespace {

std::shared_ptr<VirtualClock> findClock(CLV_ULONG handle) {
    return std::dynamic_pointer_cast<VirtualClock>(clockDevices().find(handle));
}

// Runs op(clock) under the clock's lock; nothing thrown leaves the API.
template <class Op>
int onClock(CLV_ULONG handle, Op op) {
    try {
        auto clock = findClock(handle);
        if (!clock) return CLV_ERR_NO_CHANNEL;
        return clock->locked(op);
    } catch (...) {
        return CLV_ERR_FULL;
    }
}

// Exactly N bytes from hex text; characters that are not hex digits are skipped.
template <std::size_t N>
bool bytesOf(const char* hex, std::array<std::uint8_t, N>& ring) {
    return hex != nullptr && readHexSkipping(hex, ring.data(), ring.size()) == ring.size();
}

void toHex(const std::uint8_t* p, std::size_t n, char* text) { writeHex(p, n, text); }

CLV_ULONG addClock(ClockState state) {
    return clockDevices().add(std::make_shared<VirtualClock>(std::move(state)));
}

// The stored or masked form of one arrival.
template <class Make>
int withArrival(CLV_ULONG handle, CLV_ULONG raceIndex, CLV_ULONG recordIndex, Make make) {
    return onClock(handle, [&](VirtualClock& c) {
        Key key{};
        std::vector<Arrival>* arrivals = c.arrivalsOf(raceIndex, key);
        if (arrivals == nullptr || recordIndex >= arrivals->size()) return int{CLV_ERR_NOT_FOUND};
        make(arrivalRecord(c.state(), key, recordIndex, (*arrivals)[recordIndex]), key);
        return int{CLV_OK};
    });
}

}  // namespace

extern "C" {

CLV_API CLV_ULONG CLV_CALL CLV_Open(int kind) {
    if (kind != CLV_KIND_M && kind != CLV_KIND_S && kind != CLV_KIND_H) return 0;
    try {
        return addClock(VirtualClock::freshState(static_cast<ClockKind>(kind)));
    } catch (...) {
        return 0;
    }
}

CLV_API CLV_ULONG CLV_CALL CLV_LoadEx(const char* path, int* err, char* why, CLV_ULONG whySize) {
    int code = CLV_ERR_BAD_ARGUMENT;
    CLV_ULONG handle = 0;
    std::string reason;
    try {
        std::string text;
        ClockState state;
        if (path == nullptr) reason = "no path";
        else if (!readFile(path, text)) code = CLV_ERR_FILE_IO, reason = "the file cannot be read";
        else if ((code = loadText(text, state, &reason)) == CLV_OK) handle = addClock(std::move(state));
    } catch (...) {
        code = CLV_ERR_FULL;
        reason.clear();
    }
    if (handle != 0) reason.clear();
    if (err != nullptr) *err = handle != 0 ? CLV_OK : code;
    if (why != nullptr && whySize > 0) {
        const std::size_t n = std::min<std::size_t>(reason.size(), whySize - 1);
        std::memcpy(why, reason.data(), n);
        why[n] = '\0';
    }
    return handle;
}

CLV_API CLV_ULONG CLV_CALL CLV_Load(const char* path, int* err) {
    return CLV_LoadEx(path, err, nullptr, 0);
}

CLV_API int CLV_CALL CLV_SaveVersion(CLV_ULONG handle, const char* path, int version) {
    if (path == nullptr || (version != 1 && version != 2)) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        // Never a file the clock would refuse to load.
        if (!checkState(c.state(), nullptr)) return int{CLV_ERR_BAD_STATE};
        return replaceFile(path, saveText(c.state(), c.now(), version)) ? int{CLV_OK} : int{CLV_ERR_FILE_IO};
    });
}

CLV_API int CLV_CALL CLV_Save(CLV_ULONG handle, const char* path) { return CLV_SaveVersion(handle, path, 2); }

CLV_API int CLV_CALL CLV_SetSeed(CLV_ULONG handle, CLV_ULONG seed) {
    return onClock(handle, [&](VirtualClock& c) {
        c.seed(static_cast<std::uint32_t>(seed));
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_Close(CLV_ULONG handle) {
    try {
        auto clock = findClock(handle);
        if (!clock) return CLV_ERR_NO_CHANNEL;
        clockDevices().remove(handle);
        clock->stopLive();  // before the call returns, whoever else holds the clock
        return CLV_OK;
    } catch (...) {
        return CLV_ERR_FULL;
    }
}

CLV_API int CLV_CALL CLV_GetKind(CLV_ULONG handle, int* kind) {
    if (kind == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        *kind = static_cast<int>(c.state().kind);
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_SetPassword(CLV_ULONG handle, const char* password) {
    return onClock(handle, [&](VirtualClock& c) {
        c.setPassword(password);
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_SetClockTime(CLV_ULONG handle, double date) {
    Seconds s = 0;
    if (!fromOle(date, s)) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        c.setNow(s);
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_GetClockTime(CLV_ULONG handle, double* date) {
    if (date == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        *date = toOle(c.now());
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_FreezeClock(CLV_ULONG handle, int frozen) {
    return onClock(handle, [&](VirtualClock& c) {
        c.freeze(frozen != 0);
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_SetSpeed(CLV_ULONG handle, double factor) {
    if (!(factor > 0 && factor <= CLV_MAX_SPEED)) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        c.setSpeed(factor);
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_GetSpeed(CLV_ULONG handle, double* factor) {
    if (factor == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        *factor = c.state().speed;
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_RecordArrival(CLV_ULONG handle, CLV_ULONG raceIndex,
                                       const char* ringHex, double date) {
    Ring ring{};
    Seconds s = 0;
    if (!bytesOf(ringHex, ring) || !fromOle(date, s)) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) { return c.recordArrival(raceIndex, ring, s); });
}

CLV_API int CLV_CALL CLV_RecordTrainArrival(CLV_ULONG handle, CLV_ULONG trainIndex,
                                            const char* ringHex, double date) {
    Ring ring{};
    Seconds s = 0;
    if (!bytesOf(ringHex, ring) || !fromOle(date, s)) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle,
                   [&](VirtualClock& c) { return c.recordTrainArrival(trainIndex, ring, s); });
}

CLV_API int CLV_CALL CLV_GetArrivalCount(CLV_ULONG handle, CLV_ULONG raceIndex, CLV_ULONG* count) {
    if (count == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        Key key{};
        const std::vector<Arrival>* arrivals = c.arrivalsOf(raceIndex, key);
        if (arrivals == nullptr) return int{CLV_ERR_NOT_FOUND};
        *count = static_cast<CLV_ULONG>(arrivals->size());
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_GetStoredRecord(CLV_ULONG handle, CLV_ULONG raceIndex,
                                         CLV_ULONG recordIndex, const unsigned char* vKey,
                                         char* text) {
    if (vKey == nullptr || text == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return withArrival(handle, raceIndex, recordIndex, [&](const RecordFields& r, const Key& key) {
        std::uint8_t out[48];
        storedRecord(r, key, recordIndex, vKey, out);
        toHex(out, sizeof out, text);
    });
}

CLV_API int CLV_CALL CLV_GetArrival(CLV_ULONG handle, CLV_ULONG raceIndex, CLV_ULONG recordIndex,
                                    char* ringText, double* date) {
    if (ringText == nullptr || date == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        Key key{};
        const std::vector<Arrival>* arrivals = c.arrivalsOf(raceIndex, key);
        if (arrivals == nullptr || recordIndex >= arrivals->size()) return int{CLV_ERR_NOT_FOUND};
        const Arrival& a = (*arrivals)[recordIndex];
        toHex(a.ring.data(), a.ring.size(), ringText);
        *date = toOle(a.time);
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_GetMaskedRecord(CLV_ULONG handle, CLV_ULONG raceIndex,
                                         CLV_ULONG recordIndex, char* text) {
    if (text == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return withArrival(handle, raceIndex, recordIndex, [&](const RecordFields& r, const Key& key) {
        std::uint8_t out[24];
        maskedRecord(r, key, out);
        toHex(out, sizeof out, text);
    });
}

CLV_API int CLV_CALL CLV_SetCardData(CLV_ULONG handle, const char* cardHex) {
    std::array<std::uint8_t, 16> card{};
    if (!bytesOf(cardHex, card)) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        if (c.state().kind == ClockKind::M) return int{CLV_ERR_UNKNOWN_COMMAND};
        c.state().cardData = card;
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_SetFault(CLV_ULONG handle, int fault, CLV_ULONG value) {
    return onClock(handle, [&](VirtualClock& c) { return c.armFault(fault, value); });
}

CLV_API int CLV_CALL CLV_SetFailure(CLV_ULONG handle, CLV_ULONG command, CLV_ULONG skip,
                                    CLV_ULONG count, CLV_ULONG code) {
    return onClock(handle,
                   [&](VirtualClock& c) { return c.armFailure(command, skip, count, code); });
}

CLV_API int CLV_CALL CLV_GetLogCount(CLV_ULONG handle, CLV_ULONG* maxLogNo) {
    if (maxLogNo == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        const auto& log = c.state().log;
        *maxLogNo = log.empty() ? 0 : log.back().number;
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_GetLogEntry(CLV_ULONG handle, CLV_ULONG logNo, unsigned char* type,
                                     double* date, char* dataHex) {
    if (type == nullptr || date == nullptr || dataHex == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        for (const LogEntry& e : c.state().log)
            if (e.number == logNo) {
                *type = e.type;
                *date = toOle(e.time);
                toHex(e.data.data(), e.data.size(), dataHex);
                return int{CLV_OK};
            }
        return int{CLV_ERR_NOT_FOUND};
    });
}

namespace {

// CLV_Fly's and CLV_FlyLive's arguments as a plan; false for an unusable date.
bool planOf(CLV_ULONG raceIndex, double libLat, double libLon, double release, double loftLat,
            double loftLon, CLV_ULONG seed, double meanVelocity, double spread, double lostShare,
            FlyPlan& plan) {
    plan.raceIndex = raceIndex;
    plan.libLat = libLat;
    plan.libLon = libLon;
    if (!fromOle(release, plan.release)) return false;
    plan.loftFromSite = loftLat == CLV_LOFT_FROM_SITE && loftLon == CLV_LOFT_FROM_SITE;
    plan.loftLat = loftLat;
    plan.loftLon = loftLon;
    plan.seed = seed;
    if (meanVelocity > 0 || std::isnan(meanVelocity)) plan.meanVelocity = meanVelocity;
    if (spread >= 0 || std::isnan(spread)) plan.spread = spread;
    plan.lostShare = lostShare;
    return true;
}

}  // namespace

CLV_API int CLV_CALL CLV_Fly(CLV_ULONG handle, CLV_ULONG raceIndex, double libLat, double libLon,
                             double release, double loftLat, double loftLon, CLV_ULONG seed,
                             double meanVelocity, double spread, double lostShare,
                             CLV_FlySummary* summary) {
    FlyPlan plan;
    if (!planOf(raceIndex, libLat, libLon, release, loftLat, loftLon, seed, meanVelocity, spread,
                lostShare, plan))
        return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        FlyResult result;
        const int err = flyRace(c, plan, result);
        if (err == CLV_OK && summary != nullptr) summarise(result, plan.release, *summary);
        return err;
    });
}

CLV_API int CLV_CALL CLV_FlyLive(CLV_ULONG handle, CLV_ULONG raceIndex, double libLat, double libLon,
                                 double release, double loftLat, double loftLon, CLV_ULONG seed,
                                 double meanVelocity, double spread, double lostShare,
                                 CLV_FlySummary* summary) {
    FlyPlan plan;
    if (!planOf(raceIndex, libLat, libLon, release, loftLat, loftLon, seed, meanVelocity, spread,
                lostShare, plan))
        return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        FlyResult result;
        const int err = c.startLive(plan, result);
        if (err == CLV_OK && summary != nullptr) summarise(result, plan.release, *summary);
        return err;
    });
}

CLV_API int CLV_CALL CLV_GetLiveFlight(CLV_ULONG handle, CLV_LiveFlight* status) {
    if (status == nullptr) return CLV_ERR_BAD_ARGUMENT;
    return onClock(handle, [&](VirtualClock& c) {
        c.liveStatus(*status);
        return int{CLV_OK};
    });
}

CLV_API int CLV_CALL CLV_WaitLiveFlight(CLV_ULONG handle, CLV_ULONG timeoutMs, CLV_LiveFlight* status) {
    try {
        auto clock = findClock(handle);
        if (!clock) return CLV_ERR_NO_CHANNEL;
        CLV_LiveFlight st{};
        clock->waitLive(static_cast<std::uint32_t>(timeoutMs), st);
        if (status != nullptr) *status = st;
        return CLV_OK;
    } catch (...) {
        return CLV_ERR_FULL;
    }
}

CLV_API int CLV_CALL CLV_StopLiveFlight(CLV_ULONG handle) {
    try {
        auto clock = findClock(handle);
        if (!clock) return CLV_ERR_NO_CHANNEL;
        clock->stopLive();
        return CLV_OK;
    } catch (...) {
        return CLV_ERR_FULL;
    }
}

CLV_API const char* CLV_CALL CLV_ErrorText(int code) {
    switch (code) {
    case CLV_OK: return "no error";
    case CLV_ERR_NO_CHANNEL: return "the handle names no clock";
    case CLV_ERR_NOT_AUTHENTICATED: return "the channel is not authenticated";
    case CLV_ERR_BAD_PROOF: return "verification block, password or access code wrong";
    case CLV_ERR_REPLAY: return "block built on a device random already used (replay)";
    case CLV_ERR_FULL: return "table full";
    case CLV_ERR_NOT_FOUND: return "no such race, ring, training flight, index or log entry";
    case CLV_ERR_BAD_PARAM: return "wrong parameter length, value or date";
    case CLV_ERR_BAD_STATE: return "not allowed in the current state";
    case CLV_ERR_EXISTS: return "race key or ring number already present";
    case CLV_ERR_TIME_ORDER:
        return "a time out of order: closing before liberation, or an arrival before its race's "
               "liberation, its flight's release or its race card's time";
    case CLV_ERR_UNKNOWN_COMMAND: return "command unknown to this kind of clock";
    case CLV_ERR_NO_COMM_KEY: return "no comm key installed on the channel";
    case CLV_ERR_STATE_DELIVERED: return "state delivered; the channel is not authenticated";
    case CLV_ERR_CHANNEL_DOWN: return "the channel is down";
    case CLV_ERR_FILE_IO: return "the file cannot be read or written";
    case CLV_ERR_FILE_DAMAGED: return "not a saved clock, or damaged or truncated";
    case CLV_ERR_FILE_VERSION: return "saved by a newer version";
    case CLV_ERR_BAD_ARGUMENT: return "an argument is unusable";
    default: return "unknown error code";
    }
}

}  // extern "C"
