// S and H clocks: one race each; the H clock with its list of race cards.
#include <algorithm>
#include <cstring>

#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

int VirtualClock::singleRace(Exchange& x, bool& handled) {
    SingleRace& race = s_.single;
    const bool h = s_.kind == ClockKind::H;
    handled = true;
    if (x.sys(5)) {  // card: 0 00 -> 16 card bytes
        if (x.len != 1 || x.u8(0) != 0) return CLV_ERR_BAD_PARAM;
        x.put(s_.cardData);
        return CLV_OK;
    }
    if (x.sys(0)) {
        switch (x.code()) {
        case 0x11: {  // state 1 | first counter 2 | second counter 2 | time 6
            if (x.len != 1) return CLV_ERR_BAD_PARAM;
            // S: arrivals, arrivals downloaded; H: arrivals, race cards
            const auto downloaded = std::count_if(race.arrivals.begin(), race.arrivals.end(),
                                                  [](const Arrival& a) { return a.downloaded; });
            x.put8(stateByte());
            x.putBe16(static_cast<std::uint32_t>(race.arrivals.size()));
            x.putBe16(static_cast<std::uint32_t>(h ? race.cards.size() : downloaded));
            x.putTime(now());
            return CLV_OK;
        }
        case 0x12:  // race: S key 8 | time 1 6; H key 8
            if (x.len != 1) return CLV_ERR_BAD_PARAM;
            if (!race.present) return CLV_ERR_NOT_FOUND;
            x.put(race.key);
            if (!h) x.put(race.time1);
            return CLV_OK;
        case 0x14:  // H: race card count 2
            if (!h) break;
            if (x.len != 1) return CLV_ERR_BAD_PARAM;
            if (!race.present) return CLV_ERR_NOT_FOUND;
            x.putBe16(static_cast<std::uint32_t>(race.cards.size()));
            return CLV_OK;
        case 0x15: {  // H: race card: 0 code | 1 index 2 -> card 22
            if (!h) break;
            if (x.len != 3) return CLV_ERR_BAD_PARAM;
            const std::uint32_t i = x.be16(1);
            if (!race.present || i >= race.cards.size()) return CLV_ERR_NOT_FOUND;
            x.put(race.cards[i]);
            return CLV_OK;
        }
        default: break;
        }
        handled = false;
        return CLV_OK;
    }
    if (!x.user) {
        handled = false;
        return CLV_OK;
    }
    switch (x.number) {
    case 2: {  // create: S key 8 | time 1 6 | time 2 6; H key 8 | six zero bytes
        if (x.len != (h ? 14u : 20u)) return CLV_ERR_BAD_PARAM;
        Seconds t = 0;
        if (!h && (!fromBcd(x.params + 8, t) || !fromBcd(x.params + 14, t)))
            return CLV_ERR_BAD_PARAM;
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
    case 3: {  // H: add race card: ring 6 | 00 00 | card code 8 | card time 6
        if (!h) break;
        if (x.len != 22) return CLV_ERR_BAD_PARAM;
        Seconds t = 0;
        if (!fromBcd(x.params + 16, t)) return CLV_ERR_BAD_PARAM;
        if (!race.present || race.confirmed) return CLV_ERR_BAD_STATE;
        if (race.rings.entered.count(ringId(x.params)) != 0) return CLV_ERR_EXISTS;
        if (race.cards.size() >= kMaxRaceCards) return CLV_ERR_FULL;
        HCard card = x.take<HCard>(0);
        card[6] = card[7] = 0;
        race.addCard(card);
        return CLV_OK;
    }
    case 4: {  // H: confirm: key 8 | value 2
        if (!h) break;
        if (x.len != 10) return CLV_ERR_BAD_PARAM;
        if (!race.present || race.key != x.take<Key>(0)) return CLV_ERR_NOT_FOUND;
        if (race.confirmed || race.cards.empty()) return CLV_ERR_BAD_STATE;
        race.confirmed = true;
        race.confirmValue = static_cast<std::uint16_t>(x.be16(8));
        return CLV_OK;
    }
    case 5:  // clear: 0 mode 1
        if (x.len != 1 || x.u8(0) != 1) return CLV_ERR_BAD_PARAM;
        race = SingleRace{};
        return CLV_OK;
    case 6: {  // download: 0 record index 2 | 2 challenge 4
        if (x.len != 6) return CLV_ERR_BAD_PARAM;
        const std::uint32_t n = x.be16(0);
        if (!race.present || n >= race.arrivals.size()) return CLV_ERR_NOT_FOUND;
        putSingleDownload(x, arrivalRecord(s_, race.key, n, race.arrivals[n]), x.params + 2);
        race.arrivals[n].downloaded = true;
        return CLV_OK;
    }
    default: break;
    }
    handled = false;
    return CLV_OK;
}

}  // namespace standins::vclock
