// S and H clocks: one race each; the H clock with its list of race cards.
#include <algorithm>
#include <cstring>

#include "standins/clocklink/virtual/entry_rules.h"
#include "standins/clocklink/virtual/state_rules.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

int VirtualClock::readCardData(Exchange& x) {
    // 0 00 -> 16 card bytes
    if (x.len != 1 || x.u8(0) != 0) return CLV_ERR_BAD_PARAM;
    x.put(s_.cardData);
    return CLV_OK;
}

int VirtualClock::singleState(Exchange& x) {
    // -> state 1 | first counter 2 | second counter 2 | time 6
    // S: arrivals, arrivals downloaded; H: arrivals, race cards
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    const SingleRace& race = s_.single;
    const auto downloaded = std::count_if(race.arrivals.begin(), race.arrivals.end(),
                                          [](const Arrival& a) { return a.downloaded; });
    x.put8(stateByte());
    x.putBe16(static_cast<std::uint32_t>(race.arrivals.size()));
    x.putBe16(static_cast<std::uint32_t>(s_.kind == ClockKind::H ? race.cards.size() : downloaded));
    x.putTime(now());
    return CLV_OK;
}

int VirtualClock::singleRaceInfo(Exchange& x) {
    // -> S: key 8 | time 1 6; H: key 8
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    if (!s_.single.present) return CLV_ERR_NOT_FOUND;
    x.put(s_.single.key);
    if (s_.kind == ClockKind::S) x.put(s_.single.time1);
    return CLV_OK;
}

int VirtualClock::hCardCount(Exchange& x) {
    // -> race card count 2
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    if (!s_.single.present) return CLV_ERR_NOT_FOUND;
    x.putBe16(static_cast<std::uint32_t>(s_.single.cards.size()));
    return CLV_OK;
}

int VirtualClock::hRaceCard(Exchange& x) {
    // 0 code | 1 index 2 -> card 22
    if (x.len != 3) return CLV_ERR_BAD_PARAM;
    const std::uint32_t i = x.be16(1);
    if (!s_.single.present || i >= s_.single.cards.size()) return CLV_ERR_NOT_FOUND;
    x.put(s_.single.cards[i]);
    return CLV_OK;
}

int VirtualClock::createSingleRace(Exchange& x) {
    // S: key 8 | time 1 6 | time 2 6; H: key 8 | six zero bytes
    SingleRace& race = s_.single;
    const bool h = s_.kind == ClockKind::H;
    if (x.len != (h ? 14u : 20u)) return CLV_ERR_BAD_PARAM;
    Seconds t = 0;
    if (!h && (!fromBcd(x.params + 8, t) || !fromBcd(x.params + 14, t))) return CLV_ERR_BAD_PARAM;
    if (!h && !timesInOrder(x.take<Bcd>(8), x.take<Bcd>(14))) return CLV_ERR_TIME_ORDER;
    if (race.present) return CLV_ERR_BAD_STATE;  // cleared first
    race = SingleRace{};
    race.present = true;
    race.key = x.take<Key>(0);
    if (!h) {
        race.time1 = x.take<Bcd>(8);
        race.time2 = x.take<Bcd>(14);
    }
    return CLV_OK;
}

int VirtualClock::hAddRaceCard(Exchange& x) {
    // ring 6 | 00 00 | card code 8 | card time 6
    SingleRace& race = s_.single;
    if (x.len != 22) return CLV_ERR_BAD_PARAM;
    // The clock keeps bytes 6-7 as zeros, whatever the host sent there.
    HCard card = x.take<HCard>(0);
    card[6] = card[7] = 0;
    if (!validHCard(card)) return CLV_ERR_BAD_PARAM;
    if (!race.present || race.confirmed) return CLV_ERR_BAD_STATE;
    if (race.rings.entered.count(ringId(x.params)) != 0) return CLV_ERR_EXISTS;
    if (race.cards.size() >= kMaxRaceCards) return CLV_ERR_FULL;
    race.addCard(card);
    return CLV_OK;
}

int VirtualClock::hConfirmRace(Exchange& x) {
    // key 8 | value 2
    SingleRace& race = s_.single;
    if (x.len != 10) return CLV_ERR_BAD_PARAM;
    if (!race.present || race.key != x.take<Key>(0)) return CLV_ERR_NOT_FOUND;
    if (race.confirmed || race.cards.empty()) return CLV_ERR_BAD_STATE;
    race.confirmed = true;
    race.confirmValue = static_cast<std::uint16_t>(x.be16(8));
    return CLV_OK;
}

int VirtualClock::clearSingleRace(Exchange& x) {
    // 0 mode 1
    if (x.len != 1 || x.u8(0) != 1) return CLV_ERR_BAD_PARAM;
    s_.single = SingleRace{};
    return CLV_OK;
}

int VirtualClock::downloadSingleRecord(Exchange& x) {
    // 0 record index 2 | 2 challenge 4
    SingleRace& race = s_.single;
    if (x.len != 6) return CLV_ERR_BAD_PARAM;
    const std::uint32_t n = x.be16(0);
    if (!race.present || n >= race.arrivals.size()) return CLV_ERR_NOT_FOUND;
    putSingleDownload(x, arrivalRecord(s_, race.key, n, race.arrivals[n]), x.params + 2);
    race.arrivals[n].downloaded = true;
    return CLV_OK;
}

}  // namespace standins::vclock
