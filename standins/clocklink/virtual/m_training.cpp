// M clock: training flights, their rings, records and the site values.
#include <algorithm>

#include "standins/clocklink/virtual/entry_rules.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

namespace {

Training* findTraining(MState& m, std::uint32_t number, std::size_t* index = nullptr) {
    for (std::size_t i = 0; i < m.trainings.size(); ++i)
        if (m.trainings[i].number == number) {
            if (index != nullptr) *index = i;
            return &m.trainings[i];
        }
    return nullptr;
}

std::vector<std::uint8_t> numberData(std::uint32_t n) {
    return {static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
}

}  // namespace

int VirtualClock::trainingIndex(Exchange& x) {
    // 0 code | 1 training number 2 -> index 2
    if (x.len != 3) return CLV_ERR_BAD_PARAM;
    std::size_t i = 0;
    if (findTraining(s_.m, x.be16(1), &i) == nullptr) return CLV_ERR_NOT_FOUND;
    x.putBe16(static_cast<std::uint32_t>(i));
    return CLV_OK;
}

int VirtualClock::trainingCount(Exchange& x) {
    if (x.len != 1) return CLV_ERR_BAD_PARAM;
    x.putBe16(static_cast<std::uint32_t>(s_.m.trainings.size()));
    return CLV_OK;
}

int VirtualClock::trainingEntry(Exchange& x) {
    // 0 code | 1 index 2
    if (x.len != 3) return CLV_ERR_BAD_PARAM;
    const std::uint32_t i = x.be16(1);
    if (i >= s_.m.trainings.size()) return CLV_ERR_NOT_FOUND;
    const Training& t = s_.m.trainings[i];
    // number 2 | time 1 6 | time 2 6 | arrivals 2 | training byte 1
    x.putBe16(t.number);
    x.put(t.time1);
    x.put(t.time2);
    x.putBe16(static_cast<std::uint32_t>(t.arrivals.size()));
    x.put8(t.byte);
    return CLV_OK;
}

int VirtualClock::trainingSite(Exchange& x) {
    // read: 0 code | 1 site -> value 4; write: 0 code | 1 site | 2 value 4
    const bool read = x.sys(0);
    if (x.len != (read ? 2u : 6u)) return CLV_ERR_BAD_PARAM;
    const std::uint8_t site = x.u8(1);
    if (site >= kTrainSites) return CLV_ERR_NOT_FOUND;
    if (read) {
        x.putBe32(s_.m.trainSites[site]);
    } else {
        s_.m.trainSites[site] = x.be32(2);
        log(CLV_LOG_SETTING_CHANGED, {0x1E, site});
    }
    return CLV_OK;
}

int VirtualClock::trainingRecord(Exchange& x) {
    // 0 code | 1 training index 2 | 3 record index 2
    if (x.len != 5) return CLV_ERR_BAD_PARAM;
    const std::uint32_t i = x.be16(1);
    const std::uint32_t n = x.be16(3);
    if (i >= s_.m.trainings.size() || n >= s_.m.trainings[i].arrivals.size())
        return CLV_ERR_NOT_FOUND;
    const Training& t = s_.m.trainings[i];
    const Arrival& a = t.arrivals[n];
    // ring 6 | 00 00 | arrival number 1 | arrival time 6 | release (time 1) 6
    // The arrival number (from 0) stops at 255: the byte cannot hold the
    // 257th arrival's number, and a wrapped one would name another.
    x.put(a.ring);
    x.putZeros(2);
    x.put8(std::min<std::uint32_t>(n, 255));
    x.putTime(a.time);
    x.put(t.time1);
    return CLV_OK;
}

int VirtualClock::createTraining(Exchange& x) {
    // 0 time 1 6 | 6 time 2 6 | 12 training byte 1 -> number 2
    MState& m = s_.m;
    if (x.len != 13) return CLV_ERR_BAD_PARAM;
    Seconds t = 0;
    if (!fromBcd(x.params, t) || !fromBcd(x.params + 6, t)) return CLV_ERR_BAD_PARAM;
    if (!timesInOrder(x.take<Bcd>(0), x.take<Bcd>(6))) return CLV_ERR_TIME_ORDER;
    // A training number is never given twice: once the last is used, the
    // clock has none left for a new flight.
    if (m.trainings.size() >= kMaxTrainings || m.nextTrainNumber > kLastTrainNumber)
        return CLV_ERR_FULL;
    Training tr;
    tr.number = static_cast<std::uint16_t>(m.nextTrainNumber++);
    tr.time1 = x.take<Bcd>(0);
    tr.time2 = x.take<Bcd>(6);
    tr.byte = x.u8(12);
    m.trainings.push_back(tr);
    x.putBe16(tr.number);
    log(CLV_LOG_TRAIN_CREATED, numberData(tr.number));
    return CLV_OK;
}

int VirtualClock::addTrainingRing(Exchange& x) {
    // 0 ring 6 | 6 00 00, to the newest flight being set up
    MState& m = s_.m;
    if (x.len != 8) return CLV_ERR_BAD_PARAM;
    auto it = std::find_if(m.trainings.rbegin(), m.trainings.rend(),
                           [](const Training& t) { return t.state == EntryState::Created; });
    if (it == m.trainings.rend()) return CLV_ERR_BAD_STATE;
    const Ring ring = x.take<Ring>(0);
    if (std::find(it->rings.begin(), it->rings.end(), ring) != it->rings.end())
        return CLV_ERR_EXISTS;
    if (it->rings.size() >= kMaxTrainRings) return CLV_ERR_FULL;
    it->rings.push_back(ring);
    return CLV_OK;
}

int VirtualClock::confirmTraining(Exchange& x) {
    // 0 number 2 | 2 value 2
    if (x.len != 4) return CLV_ERR_BAD_PARAM;
    Training* t = findTraining(s_.m, x.be16(0));
    if (t == nullptr) return CLV_ERR_NOT_FOUND;
    if (t->state != EntryState::Created || t->rings.empty()) return CLV_ERR_BAD_STATE;
    t->confirmValue = static_cast<std::uint16_t>(x.be16(2));
    t->state = EntryState::Confirmed;
    log(CLV_LOG_TRAIN_CONFIRMED, numberData(t->number));
    return CLV_OK;
}

int VirtualClock::closeOrRemoveTraining(Exchange& x) {
    // 0 mode (1 remove, 2 close) | 1 number 2
    MState& m = s_.m;
    if (x.len != 3) return CLV_ERR_BAD_PARAM;
    if (x.u8(0) != 1 && x.u8(0) != 2) return CLV_ERR_BAD_PARAM;
    std::size_t i = 0;
    const std::uint32_t number = x.be16(1);
    Training* t = findTraining(m, number, &i);
    if (t == nullptr) return CLV_ERR_NOT_FOUND;
    if (x.u8(0) == 1) {
        m.trainings.erase(m.trainings.begin() + static_cast<std::ptrdiff_t>(i));
        log(CLV_LOG_TRAIN_REMOVED, numberData(number));
    } else {
        if (t->state == EntryState::Closed) return CLV_ERR_BAD_STATE;
        t->state = EntryState::Closed;
        log(CLV_LOG_TRAIN_CLOSED, numberData(number));
    }
    return CLV_OK;
}

}  // namespace standins::vclock
