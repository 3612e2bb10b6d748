// M clock: the race table, its queries and the verified record download.
#include <algorithm>
#include <cstring>

#include "standins/clocklink/virtual/entry_rules.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

namespace {

std::vector<std::uint8_t> keyData(const Key& k) { return {k.begin(), k.end()}; }

Race* findRace(MState& m, const Key& key, std::size_t* index = nullptr) {
    for (std::size_t i = 0; i < m.races.size(); ++i)
        if (m.races[i].key == key) {
            if (index != nullptr) *index = i;
            return &m.races[i];
        }
    return nullptr;
}

bool validBcd(const std::uint8_t* p) {
    Seconds t = 0;
    return fromBcd(p, t);
}

}  // namespace

int VirtualClock::raceIndex(Exchange& x) {
    // 0 code | 1 race key 8 -> index 2
    if (x.len != 9) return CLV_ERR_BAD_PARAM;
    std::size_t i = 0;
    if (findRace(s_.m, x.take<Key>(1), &i) == nullptr) return CLV_ERR_NOT_FOUND;
    x.putBe16(static_cast<std::uint32_t>(i));
    return CLV_OK;
}

int VirtualClock::raceCount(Exchange& x) {
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.putBe16(static_cast<std::uint32_t>(s_.m.races.size()));
    return CLV_OK;
}

int VirtualClock::raceEntry(Exchange& x) {
    // 0 code | 1 index 2
    if (x.len != 3) return CLV_ERR_BAD_PARAM;
    const std::uint32_t i = x.be16(1);
    if (i >= s_.m.races.size()) return CLV_ERR_NOT_FOUND;
    const Race& r = s_.m.races[i];
    if (x.code() == 0x18) {
        // key 8 | time 1 6 | time 2 6 | arrivals 2
        x.put(r.key);
        x.put(r.time1);
        x.put(r.time2);
        x.putBe16(static_cast<std::uint32_t>(r.arrivals.size()));
    } else {
        // cards 2 | race parameter 4
        x.putBe16(static_cast<std::uint32_t>(r.cards.size()));
        x.putBe32(r.param);
    }
    return CLV_OK;
}

int VirtualClock::raceCard(Exchange& x) {
    // 0 code | 1 race index 2 | 3 card index 2 -> card 8
    if (x.len != 5) return CLV_ERR_BAD_PARAM;
    const std::uint32_t i = x.be16(1);
    const std::uint32_t c = x.be16(3);
    if (i >= s_.m.races.size() || c >= s_.m.races[i].cards.size()) return CLV_ERR_NOT_FOUND;
    x.put(s_.m.races[i].cards[c]);
    return CLV_OK;
}

int VirtualClock::createRace(Exchange& x) {
    // 0 key 8 | 8 time 1 6 | 14 time 2 6 | 20 parameter 4
    MState& m = s_.m;
    if (x.len != 24) return CLV_ERR_BAD_PARAM;
    const Key key = x.take<Key>(0);
    if (!validBcd(x.params + 8) || !validBcd(x.params + 14)) return CLV_ERR_BAD_PARAM;
    if (!timesInOrder(x.take<Bcd>(8), x.take<Bcd>(14))) return CLV_ERR_TIME_ORDER;
    if (findRace(m, key) != nullptr) return CLV_ERR_EXISTS;
    if (m.races.size() >= kMaxRaces) return CLV_ERR_FULL;
    Race r;
    r.key = key;
    r.time1 = x.take<Bcd>(8);
    r.time2 = x.take<Bcd>(14);
    r.param = x.be32(20);
    m.races.push_back(std::move(r));
    log(CLV_LOG_RACE_CREATED, keyData(key));
    return CLV_OK;
}

int VirtualClock::addRaceCard(Exchange& x) {
    // 0 card entry 8, to the newest race being set up
    MState& m = s_.m;
    if (x.len != 8) return CLV_ERR_BAD_PARAM;
    auto it = std::find_if(m.races.rbegin(), m.races.rend(),
                           [](const Race& r) { return r.state == EntryState::Created; });
    if (it == m.races.rend()) return CLV_ERR_BAD_STATE;
    const Key card = x.take<Key>(0);
    if (it->rings.entered.count(ringId(card.data())) != 0) return CLV_ERR_EXISTS;
    if (it->cards.size() >= kMaxRaceCards) return CLV_ERR_FULL;
    it->addCard(card);
    return CLV_OK;
}

int VirtualClock::confirmRace(Exchange& x) {
    // 0 key 8 | 8 value 2 | 10 data 8
    if (x.len != 18) return CLV_ERR_BAD_PARAM;
    Race* r = findRace(s_.m, x.take<Key>(0));
    if (r == nullptr) return CLV_ERR_NOT_FOUND;
    if (r->state != EntryState::Created || r->cards.empty()) return CLV_ERR_BAD_STATE;
    r->confirmValue = static_cast<std::uint16_t>(x.be16(8));
    r->confirmData = x.take<Key>(10);
    r->state = EntryState::Confirmed;
    std::vector<std::uint8_t> data = keyData(r->key);
    data.push_back(static_cast<std::uint8_t>(r->cards.size() >> 8));
    data.push_back(static_cast<std::uint8_t>(r->cards.size()));
    log(CLV_LOG_RACE_CONFIRMED, data);
    return CLV_OK;
}

int VirtualClock::closeOrRemoveRace(Exchange& x) {
    // 0 mode (1 remove, 2 close) | 1 key 8
    MState& m = s_.m;
    if (x.len != 9) return CLV_ERR_BAD_PARAM;
    std::size_t i = 0;
    const Key key = x.take<Key>(1);
    Race* r = findRace(m, key, &i);
    if (x.u8(0) != 1 && x.u8(0) != 2) return CLV_ERR_BAD_PARAM;
    if (r == nullptr) return CLV_ERR_NOT_FOUND;
    if (x.u8(0) == 1) {
        m.races.erase(m.races.begin() + static_cast<std::ptrdiff_t>(i));
        log(CLV_LOG_RACE_REMOVED, keyData(key));
    } else {
        if (r->state == EntryState::Closed) return CLV_ERR_BAD_STATE;
        r->state = EntryState::Closed;
        log(CLV_LOG_RACE_CLOSED, keyData(key));
    }
    return CLV_OK;
}

int VirtualClock::downloadRaceRecord(Exchange& x) {
    // 0 race index 2 | 2 record index 2 | 4 challenge 4
    if (x.len != 8) return CLV_ERR_BAD_PARAM;
    const std::uint32_t i = x.be16(0);
    const std::uint32_t n = x.be16(2);
    if (i >= s_.m.races.size() || n >= s_.m.races[i].arrivals.size()) return CLV_ERR_NOT_FOUND;
    const Race& r = s_.m.races[i];
    putDownload(x, arrivalRecord(s_, r.key, n, r.arrivals[n]), x.params + 4);
    return CLV_OK;
}

int VirtualClock::deposeRaces(Exchange& x) {
    // 0 eight zero bytes (every closed race) or a race key 8
    MState& m = s_.m;
    if (x.len != 8) return CLV_ERR_BAD_PARAM;
    const Key key = x.take<Key>(0);
    const bool all = key == Key{};
    if (!all) {
        Race* r = findRace(m, key);
        if (r == nullptr) return CLV_ERR_NOT_FOUND;
        if (r->state != EntryState::Closed) return CLV_ERR_BAD_STATE;
    }
    const std::size_t before = m.races.size();
    m.races.erase(std::remove_if(m.races.begin(), m.races.end(),
                                 [&](const Race& r) {
                                     return r.state == EntryState::Closed && (all || r.key == key);
                                 }),
                  m.races.end());
    const std::size_t n = before - m.races.size();
    log(CLV_LOG_RACES_DEPOSED, {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
    return CLV_OK;
}

}  // namespace standins::vclock
