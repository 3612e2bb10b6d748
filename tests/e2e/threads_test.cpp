// Threads: two clocks driven at once, and two threads sharing one clock.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "host.h"

namespace {

using e2e::Clock;
using e2e::ring;

// Downloads arrivals first, first+step, ... below count and counts those
// that verify and carry the ring expected at their place.
unsigned downloadEvery(SK_ULONG clock, unsigned first, unsigned step, unsigned count) {
    unsigned good = 0;
    for (unsigned i = first; i < count; i += step) {
        char record[33] = {}, lead[9] = {};
        double arrived = 0.0;
        if (SKM_GetRaceRecord(clock, 0, i, record, &arrived, lead) != 0 &&
            std::string(record).substr(0, 12) == ring(i + 1))
            ++good;
    }
    return good;
}

TEST(Threads, TwoClocksAtOnce) {
    constexpr unsigned kBirds = 150;
    std::atomic<unsigned> good{0};
    std::atomic<bool> ready{true};
    auto road = [&] {
        Clock clock(CLV_KIND_M);
        if (!e2e::connect(clock, nullptr) || !e2e::stockRace(clock, kBirds, kBirds)) {
            ready = false;
            return;
        }
        good += downloadEvery(clock, 0, 1, kBirds);
    };
    std::thread a(road), b(road);
    a.join();
    b.join();
    EXPECT_TRUE(ready);
    EXPECT_EQ(good, 2 * kBirds);
}

TEST(Threads, TwoThreadsShareOneClock) {
    constexpr unsigned kBirds = 200;
    Clock clock(CLV_KIND_M);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_TRUE(e2e::stockRace(clock, kBirds, kBirds));

    // Downloads interleave: every one is still proven for its own request.
    unsigned even = 0, odd = 0;
    std::thread a([&] { even = downloadEvery(clock, 0, 2, kBirds); });
    std::thread b([&] { odd = downloadEvery(clock, 1, 2, kBirds); });
    a.join();
    b.join();
    EXPECT_EQ(even + odd, kBirds);

    // Registry appends from both threads all land.
    std::atomic<unsigned> appended{0};
    auto append = [&](unsigned from) {
        for (unsigned i = from; i < from + 100; ++i)
            if (SKM_AppendCard(clock, ring(i).c_str(), 0, 0, 0, 0, i, "") != 0) ++appended;
    };
    std::thread c(append, 1000u), d(append, 2000u);
    c.join();
    d.join();
    SK_ULONG count = 0;
    ASSERT_NE(SKM_GetCardCount(clock, &count), 0);
    EXPECT_EQ(appended, 200u);
    EXPECT_EQ(count, 200u);
}

}  // namespace
