#include "standins/clocklink/virtual/race_day.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>
#include <thread>

#include "base/fp_env.h"
#include "standins/clocklink/virtual/geo/ellipsoid.h"
#include "standins/clocklink/virtual/virtual_clock.h"
#include "standins/process_end.h"

namespace standins::vclock {

namespace {

// Round to nearest, 53-bit x87 precision, for the duration of a
// computation: a host may have set another mode, the DLL shares it, and on
// i686 the runtime's sin, cos and atan2 compute in the x87.
using NearestRounding = skylark::StandardFloatingPoint;

// xoshiro256**, seeded through splitmix64: the same sequence everywhere.
class Generator {
public:
    explicit Generator(std::uint64_t seed) {
        for (auto& w : s_) {
            seed += 0x9E3779B97F4A7C15ull;
            std::uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            w = z ^ (z >> 31);
        }
    }
    std::uint64_t next() {
        const std::uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const std::uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }
    // Uniform in [0, n), n > 0, without bias.
    std::uint64_t below(std::uint64_t n) {
        const std::uint64_t limit = ~std::uint64_t{0} - ~std::uint64_t{0} % n;
        std::uint64_t x;
        do x = next();
        while (x >= limit);
        return x % n;
    }
    // About normal with mean 0 and deviation 1: the sum of twelve uniform
    // 32-bit draws less six (bounded at +-6), computed exactly in integers.
    double normal() {
        std::int64_t sum = 0;
        for (int i = 0; i < 12; ++i) sum += static_cast<std::int64_t>(next() >> 32);
        return static_cast<double>(sum - (std::int64_t{6} << 32)) / 4294967296.0;
    }

private:
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t s_[4];
};

// A coordinate of the site information: hundreds digit, BCD tens and
// units, eight BCD decimals.
bool coordinate(const std::uint8_t* p, double& out) {
    if (p[0] > 9) return false;
    std::int64_t whole = p[0];
    std::int64_t frac = 0;
    for (int i = 1; i < 6; ++i) {
        if ((p[i] >> 4) > 9 || (p[i] & 0x0F) > 9) return false;
        const int v = (p[i] >> 4) * 10 + (p[i] & 0x0F);
        if (i == 1) whole = whole * 100 + v;
        else frac = frac * 100 + v;
    }
    out = static_cast<double>(whole) + static_cast<double>(frac) / 1e8;
    return true;
}

bool validLatLon(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && lat >= -90 && lat <= 90 && lon >= -360 &&
           lon <= 360;
}

}  // namespace

bool siteLoft(const ClockState& s, double& lat, double& lon) {
    if (s.kind != ClockKind::M) return false;
    const auto& site = s.m.site;
    if (std::all_of(site.begin() + 4, site.end(), [](std::uint8_t b) { return b == 0; }))
        return false;
    double a = 0, b = 0;
    if (!coordinate(site.data() + 4, a) || !coordinate(site.data() + 10, b) || a > 90 || b > 360)
        return false;
    lat = a;
    lon = b > 180 ? b - 360 : b;
    return true;
}

int planFlights(const ClockState& s, const FlyPlan& plan, FlyResult& out) {
    const NearestRounding nearest;
    // The birds: the race's cards.
    std::vector<Ring> birds;
    if (s.kind == ClockKind::M) {
        if (plan.raceIndex >= s.m.races.size()) return CLV_ERR_NOT_FOUND;
        const Race& r = s.m.races[plan.raceIndex];
        if (r.state != EntryState::Confirmed) return CLV_ERR_BAD_STATE;
        for (const Key& c : r.cards) {
            Ring ring{};
            std::copy(c.begin(), c.begin() + 6, ring.begin());
            birds.push_back(ring);
        }
    } else if (s.kind == ClockKind::H) {
        if (!s.single.present) return CLV_ERR_NOT_FOUND;
        if (!s.single.confirmed) return CLV_ERR_BAD_STATE;
        for (const HCard& c : s.single.cards) {
            Ring ring{};
            std::copy(c.begin(), c.begin() + 6, ring.begin());
            birds.push_back(ring);
        }
    } else {
        return CLV_ERR_UNKNOWN_COMMAND;  // an S clock keeps no list of its birds
    }

    double loftLat = plan.loftLat, loftLon = plan.loftLon;
    if (plan.loftFromSite && !siteLoft(s, loftLat, loftLon)) return CLV_ERR_BAD_STATE;
    if (!validLatLon(plan.libLat, plan.libLon) || !validLatLon(loftLat, loftLon))
        return CLV_ERR_BAD_ARGUMENT;
    if (!(plan.meanVelocity > 0 && plan.meanVelocity < 1e6) ||
        !(plan.spread >= 0 && plan.spread < 1e6) || !(plan.lostShare >= 0 && plan.lostShare <= 1))
        return CLV_ERR_BAD_ARGUMENT;

    const double metres = geo::wgs84Distance(plan.libLat, plan.libLon, loftLat, loftLon);
    out.distance = std::floor(metres * 1000 + 0.5) / 1000;

    // Velocities first, one per bird in card order, then which birds stay out.
    Generator gen(plan.seed);
    std::vector<double> velocity(birds.size());
    for (double& v : velocity)
        v = std::max(plan.meanVelocity + plan.spread * gen.normal(), plan.meanVelocity / 10);
    const std::size_t lostCount =
        static_cast<std::size_t>(std::floor(plan.lostShare * static_cast<double>(birds.size()) + 0.5));
    std::vector<std::size_t> order(birds.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t i = 0; i < lostCount; ++i)  // a partial shuffle picks them
        std::swap(order[i], order[i + gen.below(order.size() - i)]);
    std::vector<bool> lost(birds.size(), false);
    for (std::size_t i = 0; i < lostCount; ++i) lost[order[i]] = true;

    out.flights.clear();
    for (std::size_t i = 0; i < birds.size(); ++i) {
        Flight f;
        f.ring = birds[i];
        f.lost = lost[i];
        if (!f.lost) {
            const double seconds = std::floor(out.distance * 60 / velocity[i] + 0.5);
            f.arrival = seconds > static_cast<double>(kLastSecond)
                            ? kLastSecond + 1
                            : plan.release + std::max<Seconds>(1, static_cast<Seconds>(seconds));
        }
        out.flights.push_back(f);
    }
    std::stable_sort(out.flights.begin(), out.flights.end(), [](const Flight& a, const Flight& b) {
        if (a.lost != b.lost) return b.lost;
        return !a.lost && a.arrival < b.arrival;
    });
    return CLV_OK;
}

int flyRace(VirtualClock& clock, const FlyPlan& plan, FlyResult& out) {
    const int err = planFlights(clock.state(), plan, out);
    if (err != CLV_OK) return err;
    // The clock lives through the day: the birds are clocked in as they
    // come, each moving its time on to the arrival (so the log stamps each
    // arrival with its own time), and its time then stands past the last
    // arrival it could hold.
    Seconds last = -1;
    for (Flight& f : out.flights) {
        if (f.lost) continue;
        if (f.arrival <= kLastSecond) last = std::max(last, f.arrival);
        f.result = f.arrival > kLastSecond ? CLV_ERR_BAD_PARAM
                                           : clock.recordArrival(plan.raceIndex, f.ring, f.arrival);
    }
    if (last >= 0 && clock.now() <= last) clock.setNow(std::min(last + 1, kLastSecond));
    return CLV_OK;
}

void summarise(const FlyResult& result, Seconds release, CLV_FlySummary& out) {
    const NearestRounding nearest;
    CLV_FlySummary sum{};
    sum.distance = result.distance;
    double total = 0;
    for (const Flight& f : result.flights) {
        ++sum.birds;
        if (f.lost) {
            ++sum.lost;
            continue;
        }
        if (f.result != CLV_OK) {
            if (sum.refused++ == 0) sum.refusal = static_cast<CLV_ULONG>(f.result);
            continue;
        }
        const double v = result.distance / (static_cast<double>(f.arrival - release) / 60);
        if (sum.arrived++ == 0) {
            sum.firstArrival = toOle(f.arrival);
            sum.fastest = sum.slowest = v;
        }
        sum.lastArrival = toOle(f.arrival);
        sum.fastest = std::max(sum.fastest, v);
        sum.slowest = std::min(sum.slowest, v);
        total += v;
    }
    if (sum.arrived > 0) sum.meanVelocity = total / sum.arrived;
    out = sum;
}

// ---- Live flights ------------------------------------------------------------------
//
// One thread per clock, started by CLV_FlyLive: it sleeps on liveWake_ until
// the steady instant at which the clock's time reaches the next arrival (a
// frozen clock: until woken), and records the arrival under the clock's lock
// as CLV_RecordArrival would. setNow, setSpeed and freeze wake it to look at
// the time again; stopLive wakes it to end.

VirtualClock::~VirtualClock() {
    if (processEnding()) {
        // Windows, the DLL going with the process: the system ended the
        // thread wherever it stood (standins/process_end.h).
        if (liveThread_.joinable()) liveThread_.detach();
        return;
    }
    stopLive();
}

int VirtualClock::startLive(const FlyPlan& plan, FlyResult& out) {
    if (live_.running) return CLV_ERR_BAD_STATE;  // one flight at a time
    const int err = planFlights(s_, plan, out);
    if (err != CLV_OK) return err;
    if (s_.frozen) return CLV_ERR_BAD_STATE;  // its time would never reach them
    // A flight that ended left its thread to be joined; it needs the lock no more.
    if (liveThread_.joinable()) liveThread_.join();
    LiveFlight live;
    live.raceKey = s_.kind == ClockKind::M ? s_.m.races[plan.raceIndex].key : s_.single.key;
    for (Flight& f : out.flights) {
        if (f.lost) continue;
        f.result = f.arrival > kLastSecond ? CLV_ERR_BAD_PARAM : CLV_OK;
        if (f.result == CLV_OK) live.arrivals.push_back(f);
    }
    live.running = !live.arrivals.empty();
    live_ = std::move(live);
    if (live_.running) {
        try {
            liveThread_ = std::thread([this] { runLive(); });
        } catch (...) {
            live_ = LiveFlight{};
            return CLV_ERR_FULL;
        }
    }
    return CLV_OK;
}

int VirtualClock::recordLive(const Flight& f) {
    // The race by its key: the host may have removed races before it meanwhile.
    std::uint32_t index = 0;
    if (s_.kind == ClockKind::M) {
        const auto& races = s_.m.races;
        const auto it = std::find_if(races.begin(), races.end(),
                                     [&](const Race& r) { return r.key == live_.raceKey; });
        if (it == races.end()) return CLV_ERR_NOT_FOUND;
        index = static_cast<std::uint32_t>(it - races.begin());
    } else if (!s_.single.present || s_.single.key != live_.raceKey) {
        return CLV_ERR_NOT_FOUND;
    }
    return recordArrival(index, f.ring, f.arrival);
}

void VirtualClock::runLive() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!live_.stop && live_.next < live_.arrivals.size()) {
        const Flight& f = live_.arrivals[live_.next];
        if (now() >= f.arrival) {
            const int result = recordLive(f);
            if (result == CLV_OK) ++live_.recorded;
            else if (live_.refused++ == 0) live_.refusal = static_cast<std::uint32_t>(result);
            ++live_.next;
            liveDone_.notify_all();
        } else if (s_.frozen) {
            liveWake_.wait(lock);
        } else {
            liveWake_.wait_until(lock, reachedAt(f.arrival));
        }
    }
    live_.running = false;
    liveDone_.notify_all();
}

void VirtualClock::liveStatus(CLV_LiveFlight& out) const {
    CLV_LiveFlight st{};
    st.running = live_.running ? 1 : 0;
    st.planned = static_cast<CLV_ULONG>(live_.arrivals.size());
    st.recorded = live_.recorded;
    st.refused = live_.refused;
    st.refusal = live_.refusal;
    if (live_.running) {
        st.pending = static_cast<CLV_ULONG>(live_.arrivals.size() - live_.next);
        st.nextArrival = toOle(live_.arrivals[live_.next].arrival);
    }
    out = st;
}

void VirtualClock::stopLive() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (live_.running) live_.stop = true;
        liveWake_.notify_all();
        thread = std::move(liveThread_);
    }
    if (thread.joinable()) thread.join();
}

void VirtualClock::waitLive(std::uint32_t timeoutMs, CLV_LiveFlight& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    liveDone_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !live_.running; });
    liveStatus(out);
}

}  // namespace standins::vclock
