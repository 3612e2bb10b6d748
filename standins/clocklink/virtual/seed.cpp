// A seeded clock: its serial number, its card, its time and every device
// random follow from one number, so two runs of the same host see the same
// clock byte for byte. The stream is a SplitMix64 generator whose state is
// saved with the clock, so a reloaded clock goes on where it stopped.
#include "os/os.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

namespace {

std::uint64_t splitMix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

}  // namespace

Seconds seededStartTime() {
    Seconds s = 0;
    secondsOf(Fields{2026, 1, 1, 0, 0, 0}, s);
    return s;
}

void VirtualClock::seed(std::uint32_t value) {
    s_.seeded = true;
    s_.seed = value;
    // The serial number from a stream of its own, the randoms' stream from
    // the seed itself.
    std::uint64_t serialStream = 0x5EED000000000000ull | value;
    do {
        s_.serial = static_cast<std::uint32_t>(splitMix(serialStream));
    } while (s_.serial == 0);
    s_.stream = value;
    cardIdentity(s_);
    setNow(seededStartTime());
    // The session starts over with no random drawn.
    randomPending_ = false;
    usedRnds_.clear();
}

bool VirtualClock::drawRandom(std::uint8_t* out, std::size_t n) {
    if (!s_.seeded) return skylark::osRandomBytes(out, n);
    for (std::size_t i = 0; i < n; i += 8) {
        const std::uint64_t v = splitMix(s_.stream);
        for (std::size_t k = 0; k < 8 && i + k < n; ++k)
            out[i + k] = static_cast<std::uint8_t>(v >> (56 - 8 * k));
    }
    return true;
}

}  // namespace standins::vclock
