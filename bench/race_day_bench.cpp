// Race day with 10,000 birds: CLV_Fly on a confirmed race (distance, the
// birds' velocities, ordering, and the clock recording every arrival), then
// the host's download of every arrival with its proof through the library.
// Both times are reported per day: fly_ms and download_ms.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "skylark/skylark.h"
#include "skylark/virtual_clock.h"

namespace {

constexpr unsigned kBirds = 10000;
constexpr const char* kRaceKey = "5241434544415931";
constexpr double kRelease = 46158.25;  // 16 May 2026 06:00

double millisSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

// A frozen M clock with a confirmed race of kBirds rings, before the day.
CLV_ULONG raceClock() {
    const CLV_ULONG h = CLV_Open(CLV_KIND_M);
    bool ok = h != 0 && SK_Connect(h) != 0 && CLV_FreezeClock(h, 1) == CLV_OK &&
              CLV_SetClockTime(h, kRelease - 0.1) == CLV_OK &&
              SKM_CreateRace(h, kRaceKey, kRelease, kRelease + 0.6, 0) != 0;
    char ring[17];
    for (unsigned i = 0; ok && i < kBirds; ++i) {
        std::snprintf(ring, sizeof ring, "2026D0%06u0000", i);
        ok = SKM_AddRaceCard(h, ring) != 0;
    }
    ok = ok && SKM_ConfirmRace(h, kRaceKey, 1, "RACEDAY1") != 0;
    return ok ? h : 0;
}

void BM_RaceDay10000(benchmark::State& state) {
    double fly = 0, download = 0;
    std::int64_t days = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const CLV_ULONG h = raceClock();
        state.ResumeTiming();
        if (h == 0) {
            state.SkipWithError("setting up the race failed");
            return;
        }
        auto t = std::chrono::steady_clock::now();
        CLV_FlySummary sum{};
        if (CLV_Fly(h, 0, 48.8566, 2.3522, kRelease, 52.3676, 4.9041, 1, 0, -1, 0, &sum) != CLV_OK ||
            sum.arrived != kBirds) {
            state.SkipWithError("the race did not fly");
            return;
        }
        fly += millisSince(t);
        t = std::chrono::steady_clock::now();
        char record[33], lead[9];
        double arrived = 0;
        for (unsigned i = 0; i < kBirds; ++i)
            if (SKM_GetRaceRecord(h, 0, i, record, &arrived, lead) == 0) {
                state.SkipWithError("a download failed");
                return;
            }
        download += millisSince(t);
        ++days;
        state.PauseTiming();
        CLV_Close(h);
        state.ResumeTiming();
    }
    state.counters["fly_ms"] = benchmark::Counter(fly / static_cast<double>(days));
    state.counters["download_ms"] = benchmark::Counter(download / static_cast<double>(days));
    state.counters["birds"] = kBirds;
}
BENCHMARK(BM_RaceDay10000)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
