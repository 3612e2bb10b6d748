// A long run against the virtual clocks: a million export calls (connect,
// time, registry, downloads, stored records) with every result checked, and
// the heap in use measured (glibc's mallinfo2) after a warm-up and at the
// end. The library allocates nothing; the clocks keep bounded tables (the
// event log its newest 2000 entries), so the heap must not grow.
//
//   skylark_long_run [calls]     (default 1000000)
// Exit status 0 when every result was right and the heap did not grow.
#include <malloc.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "skylark/skylark.h"
#include "skylark/virtual_clock.h"

namespace {

constexpr double kStart = 46095.0 + 9 / 24.0;  // 14 March 2026 09:00
constexpr const char* kRaceKey = "0102030405060708";
constexpr const char* kRings[] = {"DE0000000001", "DE0000000002"};
const unsigned char kVKey[8] = {8, 7, 6, 5, 4, 3, 2, 1};

long failures = 0;
void expect(bool ok, const char* what, long call) {
    if (!ok && failures++ < 10) std::fprintf(stderr, "call %ld: %s failed\n", call, what);
}

std::size_t heapInUse() { return mallinfo2().uordblks; }

struct Clocks {
    SK_ULONG m = CLV_Open(CLV_KIND_M);
    SK_ULONG s = CLV_Open(CLV_KIND_S);
    char stored[97] = {};

    Clocks() {
        CLV_FreezeClock(m, 1);
        CLV_FreezeClock(s, 1);
        bool ok = SK_InitDevEx(m, "loft") != 0 && SK_ConnectEx(m, "loft") != 0 &&
                  SKM_CreateRace(m, kRaceKey, kStart, kStart + 1, 7) == -1;
        for (const char* ring : kRings) ok = ok && SKM_AddRaceCard(m, ring) == -1;
        ok = ok && SKM_ConfirmRace(m, kRaceKey, 1, "CONFIRM!") == -1;
        for (const char* ring : kRings) ok = ok && CLV_RecordArrival(m, 0, ring, kStart) == CLV_OK;
        ok = ok && CLV_GetStoredRecord(m, 0, 0, kVKey, stored) == CLV_OK;
        ok = ok && SK_Connect(s) != 0 && SKS_CreateRace(s, kRaceKey, kStart, kStart) == -1 &&
             CLV_RecordArrival(s, 0, kRings[0], kStart) == CLV_OK;
        if (!ok) {
            std::fprintf(stderr, "setting the clocks up failed\n");
            std::exit(2);
        }
    }
    ~Clocks() {
        CLV_Close(m);
        CLV_Close(s);
    }

    // Ten export calls; call counts them.
    void cycle(long& call) {
        char ring[13], body[33], lead[9], plain[81];
        double t = 0;
        SK_ULONG n = 0;
        std::snprintf(ring, sizeof ring, "AB%010lX", call);
        expect(SK_ConnectEx(m, "loft") != 0, "connect", call++);
        const double when = kStart + (call % 600) / 86400.0;
        const SK_ULONG record = static_cast<SK_ULONG>(call % 2);
        expect(SK_SetPigeon(m, when) != 0, "set time", call++);
        expect(SK_GetTime(m, &t) == -1 && t > kStart - 1e-6, "get time", call++);
        expect(SKM_AppendCard(m, ring, 1, 2, 3, 4, 5, "00112233") == -1, "append", call++);
        expect(SKM_GetCardIndex(m, ring, &n) == -1 && n == 0, "card index", call++);
        expect(SKM_RemoveCard(m, ring) == -1, "remove", call++);
        expect(SKM_GetCardCount(m, &n) == -1 && n == 0, "card count", call++);
        expect(SKM_GetRaceRecord(m, 0, record, body, &t, lead) == -1, "M download", call++);
        expect(SKS_GetRaceRecord(s, 0, body, &t) == -1 && std::strncmp(body, kRings[0], 12) == 0,
               "S download", call++);
        expect(SK_ParseRecordInfo(kVKey, stored, plain) == -1, "stored record", call++);
    }
};

}  // namespace

int main(int argc, char** argv) {
    const long calls = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long warmup = 30000;  // fills the clock's event log to its 2000 entries
    Clocks clocks;
    long call = 0;
    while (call < warmup) clocks.cycle(call);
    const std::size_t before = heapInUse();

    const auto t0 = std::chrono::steady_clock::now();
    call = 0;
    while (call < calls) clocks.cycle(call);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const std::size_t after = heapInUse();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("long run: %ld calls in %.1f s (%.0f calls/s), %ld wrong results\n", call, seconds,
                call / seconds, failures);
    std::printf("heap in use after warm-up %zu bytes, at the end %zu bytes (growth %lld); "
                "peak RSS %ld KiB\n",
                before, after, static_cast<long long>(after) - static_cast<long long>(before),
                usage.ru_maxrss);
    return failures == 0 && after <= before ? 0 : 1;
}
