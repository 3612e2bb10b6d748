// Downloading every arrival of a 10,000-bird race from a virtual M clock,
// as records per second, beside the clock's side alone: the same download
// commands sent to the clock straight through ClockLink with a fixed
// challenge and no check of the reply. The difference is the library's
// share (filling the request, drawing the challenge, the four-block
// CBC-MAC check, the hex and date output); the challenge draws alone are
// timed as well.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "skylark/skylark.h"
#include "frame/clocklink.h"
#include "frame/commands.h"
#include "security/download.h"
#include "skylark/virtual_clock.h"

namespace {

constexpr unsigned kBirds = 10000;
constexpr const char* kRaceKey = "42454E4348313030";
constexpr double kRaceDay = 46158.0;  // 16 May 2026

std::string ringOf(unsigned i) {
    char text[13];
    std::snprintf(text, sizeof text, "2026B0%06u", i % 1000000);
    return text;
}

// One clock holding a confirmed race of kBirds birds that all arrived,
// built once for every benchmark.
CLV_ULONG raceClock() {
    static const CLV_ULONG clock = [] {
        const CLV_ULONG h = CLV_Open(CLV_KIND_M);
        bool ok = h != 0 && SK_Connect(h) != 0 && SK_SetPigeon(h, kRaceDay + 0.25) != 0 &&
                  SKM_CreateRace(h, kRaceKey, kRaceDay + 0.3, kRaceDay + 0.9, 0) != 0;
        for (unsigned i = 0; ok && i < kBirds; ++i)
            ok = SKM_AddRaceCard(h, (ringOf(i) + "0000").c_str()) != 0;
        ok = ok && SKM_ConfirmRace(h, kRaceKey, 1, "BENCH001") != 0;
        for (unsigned i = 0; ok && i < kBirds; ++i)
            ok = CLV_RecordArrival(h, 0, ringOf(i).c_str(), kRaceDay + 0.4 + i / 86400.0) == CLV_OK;
        if (!ok) {
            std::fprintf(stderr, "download bench: setting up the race failed\n");
            std::abort();
        }
        return h;
    }();
    return clock;
}

// Every arrival through SKM_GetRaceRecord: request, challenge, proof, outputs.
void BM_DownloadRace(benchmark::State& state) {
    const CLV_ULONG clock = raceClock();
    char record[33], lead[9];
    double arrived;
    for (auto _ : state) {
        for (unsigned i = 0; i < kBirds; ++i) {
            if (SKM_GetRaceRecord(clock, 0, i, record, &arrived, lead) == 0) {
                state.SkipWithError("a download failed");
                return;
            }
        }
        benchmark::DoNotOptimize(record);
    }
    state.counters["records/s"] =
        benchmark::Counter(kBirds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_DownloadRace)->Unit(benchmark::kMillisecond);

// The clock's side alone: the same 10,000 download commands straight to the
// clock through ClockLink, a fixed challenge, the reply taken unread.
void BM_ClockSideOnly(benchmark::State& state) {
    const CLV_ULONG clock = raceClock();
    const auto& c = skylark::cmd::GetRaceRecord;
    unsigned char params[8] = {0, 0, 0, 0, 0x12, 0x34, 0x56, 0x78};
    unsigned char reply[64];
    for (auto _ : state) {
        for (unsigned i = 0; i < kBirds; ++i) {
            params[2] = static_cast<unsigned char>(i >> 8);
            params[3] = static_cast<unsigned char>(i);
            SK_ULONG len = c.replyLen;
            if (IFD_RunUserCmd(clock, c.number, params, c.paramLen, reply, &len) == 0 ||
                len != c.replyLen) {
                state.SkipWithError("a command failed");
                return;
            }
        }
        benchmark::DoNotOptimize(reply);
    }
    state.counters["records/s"] =
        benchmark::Counter(kBirds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ClockSideOnly)->Unit(benchmark::kMillisecond);

// Of the library's share: drawing the 10,000 challenges from the system's
// random source, one call each.
void BM_ChallengeDraws(benchmark::State& state) {
    std::uint8_t challenge[skylark::kChallengeSize];
    for (auto _ : state) {
        for (unsigned i = 0; i < kBirds; ++i) {
            if (!skylark::drawChallenge(challenge)) {
                state.SkipWithError("no random source");
                return;
            }
        }
        benchmark::DoNotOptimize(challenge);
    }
    state.counters["records/s"] =
        benchmark::Counter(kBirds, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ChallengeDraws)->Unit(benchmark::kMillisecond);

}  // namespace
