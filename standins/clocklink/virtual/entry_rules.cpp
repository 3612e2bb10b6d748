#include "standins/clocklink/virtual/entry_rules.h"

#include <algorithm>

namespace standins::vclock {

bool timesInOrder(const Bcd& first, const Bcd& second) {
    Seconds a = 0, b = 0;
    return fromBcd(first.data(), a) && fromBcd(second.data(), b) && a <= b;
}

bool arrivesAfter(Seconds arrival, const Bcd& start) {
    Seconds s = 0;
    return fromBcd(start.data(), s) && arrival >= s;
}

Bcd cardTime(const HCard& card) {
    Bcd t{};
    std::copy(card.begin() + 16, card.begin() + 22, t.begin());
    return t;
}

}  // namespace standins::vclock
