#include "standins/clocklink/virtual/state_rules.h"

#include <string>
#include <unordered_set>

#include "skylark/virtual_clock.h"

namespace standins::vclock {

bool validPassword(const std::array<std::uint8_t, 8>& password) {
    bool ended = false;
    for (std::uint8_t b : password) {
        if (b == 0) ended = true;
        else if (ended) return false;
    }
    return true;
}

bool validCoordinate(const std::uint8_t* p) {
    if (p[0] > 9) return false;
    for (int i = 1; i < 6; ++i)
        if ((p[i] >> 4) > 9 || (p[i] & 0x0F) > 9) return false;
    return true;
}

bool validPhone(const std::uint8_t* p) {
    for (int i = 0; i < 16; ++i)
        if ((p[i] >> 4) > 0xD || (p[i] & 0x0F) > 0xD) return false;
    return true;
}

bool validHCard(const HCard& card) {
    Seconds t = 0;
    return card[6] == 0 && card[7] == 0 && fromBcd(card.data() + 16, t);
}

bool validTime(Seconds s) { return s >= kFirstSecond && s <= kLastSecond; }

int logDataLength(ClockKind kind, std::uint8_t type) {
    switch (type) {  // every kind
    case CLV_LOG_INITIALISED:
    case CLV_LOG_AUTHENTICATED:
    case CLV_LOG_ISP: return 0;
    case CLV_LOG_AUTH_REFUSED: return 1;
    case CLV_LOG_TIME_SET: return 7;
    default: break;
    }
    if (kind != ClockKind::M) return -1;
    switch (type) {
    case CLV_LOG_RACE_CREATED:
    case CLV_LOG_RACE_CLOSED:
    case CLV_LOG_RACE_REMOVED: return 8;
    case CLV_LOG_RACE_CONFIRMED:
    case CLV_LOG_ARRIVAL: return 10;
    case CLV_LOG_RACES_DEPOSED:
    case CLV_LOG_TRAIN_CREATED:
    case CLV_LOG_TRAIN_CONFIRMED:
    case CLV_LOG_TRAIN_CLOSED:
    case CLV_LOG_TRAIN_REMOVED:
    case CLV_LOG_SETTING_CHANGED: return 2;
    case CLV_LOG_RING_REGISTERED:
    case CLV_LOG_RING_MODIFIED:
    case CLV_LOG_RING_REMOVED: return 6;
    case CLV_LOG_TRAIN_ARRIVAL: return 8;
    default: return -1;
    }
}

namespace {

// The first violation found; checks stop there.
struct Checker {
    Violation* out;
    bool ok = true;

    bool fail(const std::string& where, const char* what) {
        if (ok && out != nullptr) *out = Violation{where, what};
        ok = false;
        return false;
    }
    // Fails with `what` at `where` unless `holds`.
    bool rule(bool holds, const std::string& where, const char* what) {
        return holds || fail(where, what);
    }
};

std::string at(const std::string& base, std::size_t i) { return base + "/" + std::to_string(i); }

bool validBcd(const Bcd& b) {
    Seconds t = 0;
    return fromBcd(b.data(), t);
}

bool validEntryState(EntryState s) {
    return s == EntryState::Created || s == EntryState::Confirmed || s == EntryState::Closed;
}

// Rings of a list of entries (cards, rings of a flight): each once, and the
// ring sets kept beside the list agree with it.
template <class List, class RingOf>
bool distinctRings(Checker& c, const List& list, const std::string& where, RingOf ringOf,
                   std::unordered_set<std::uint64_t>& seen) {
    seen.clear();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (!seen.insert(ringId(ringOf(list[i]))).second)
            return c.fail(at(where, i), "ring entered twice");
    return true;
}

// Arrivals: at most max, each of a ring entered (when `entered` is given),
// each ring once, a real time, and `downloaded` only where the kind keeps it.
bool arrivalsValid(Checker& c, const std::vector<Arrival>& arrivals, std::size_t max,
                   const std::string& where, const std::unordered_set<std::uint64_t>* entered,
                   bool downloadedKept) {
    if (!c.rule(arrivals.size() <= max, where, "more arrivals than the clock holds")) return false;
    std::unordered_set<std::uint64_t> arrived;
    for (std::size_t i = 0; i < arrivals.size(); ++i) {
        const Arrival& a = arrivals[i];
        const std::string here = at(where, i);
        const std::uint64_t id = ringId(a.ring.data());
        if (!c.rule(entered == nullptr || entered->count(id) != 0, here + "/ring",
                    "arrival of a ring that was not entered") ||
            !c.rule(arrived.insert(id).second, here + "/ring", "ring arrived twice") ||
            !c.rule(validTime(a.time), here + "/time", "not a clock time") ||
            !c.rule(downloadedKept || !a.downloaded, here + "/downloaded",
                    "this clock does not mark arrivals downloaded"))
            return false;
    }
    return true;
}

template <class AnyRace>
bool ringSetsAgree(Checker& c, const AnyRace& r, const std::unordered_set<std::uint64_t>& entered,
                   const std::string& where) {
    std::unordered_set<std::uint64_t> arrived;
    for (const Arrival& a : r.arrivals) arrived.insert(ringId(a.ring.data()));
    return c.rule(r.rings.entered == entered && r.rings.arrived == arrived, where,
                  "ring index out of step with the lists");
}

bool raceValid(Checker& c, const Race& r, std::size_t i) {
    const std::string where = at("/races", i);
    std::unordered_set<std::uint64_t> entered;
    if (!c.rule(validBcd(r.time1), where + "/time1", "not a clock time") ||
        !c.rule(validBcd(r.time2), where + "/time2", "not a clock time") ||
        !c.rule(validEntryState(r.state), where + "/state", "unknown state") ||
        !c.rule(r.cards.size() <= kMaxRaceCards, where + "/cards", "more cards than a race holds") ||
        !distinctRings(c, r.cards, where + "/cards", [](const Key& k) { return k.data(); }, entered))
        return false;
    if (r.state == EntryState::Created) {
        if (!c.rule(r.confirmValue == 0, where + "/confirm_value", "set before the race was confirmed") ||
            !c.rule(r.confirmData == Key{}, where + "/confirm_data", "set before the race was confirmed") ||
            !c.rule(r.arrivals.empty(), where + "/arrivals", "arrivals in a race never confirmed"))
            return false;
    }
    if (r.state == EntryState::Confirmed &&
        !c.rule(!r.cards.empty(), where + "/cards", "a confirmed race without cards"))
        return false;
    return arrivalsValid(c, r.arrivals, kMaxArrivals, where + "/arrivals", &entered, false) &&
           ringSetsAgree(c, r, entered, where);
}

bool trainingValid(Checker& c, const Training& t, std::size_t i, std::uint32_t previous,
                   std::uint32_t next) {
    const std::string where = at("/trainings", i);
    std::unordered_set<std::uint64_t> entered;
    if (!c.rule(t.number > previous && t.number < next, where + "/number",
                "training number out of order or not yet given") ||
        !c.rule(validBcd(t.time1), where + "/time1", "not a clock time") ||
        !c.rule(validBcd(t.time2), where + "/time2", "not a clock time") ||
        !c.rule(validEntryState(t.state), where + "/state", "unknown state") ||
        !c.rule(t.rings.size() <= kMaxTrainRings, where + "/rings", "more rings than a flight holds") ||
        !distinctRings(c, t.rings, where + "/rings", [](const Ring& r) { return r.data(); }, entered))
        return false;
    if (t.state == EntryState::Created) {
        if (!c.rule(t.confirmValue == 0, where + "/confirm_value", "set before the flight was confirmed") ||
            !c.rule(t.arrivals.empty(), where + "/arrivals", "arrivals in a flight never confirmed"))
            return false;
    }
    if (t.state == EntryState::Confirmed &&
        !c.rule(!t.rings.empty(), where + "/rings", "a confirmed flight without rings"))
        return false;
    return arrivalsValid(c, t.arrivals, kMaxTrainArrivals, where + "/arrivals", &entered, false);
}

bool mValid(Checker& c, const MState& m) {
    if (!c.rule(m.races.size() <= kMaxRaces, "/races", "more races than the clock holds"))
        return false;
    std::unordered_set<std::uint64_t> keys;
    for (std::size_t i = 0; i < m.races.size(); ++i) {
        std::uint64_t key = 0;
        for (std::uint8_t b : m.races[i].key) key = key << 8 | b;
        if (!c.rule(keys.insert(key).second, at("/races", i) + "/key", "race key used twice") ||
            !raceValid(c, m.races[i], i))
            return false;
    }
    if (!c.rule(m.nextTrainNumber >= 1 && m.nextTrainNumber <= kLastTrainNumber + 1,
                "/next_training_number", "not a training number") ||
        !c.rule(m.trainings.size() <= kMaxTrainings, "/trainings",
                "more training flights than the clock holds"))
        return false;
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < m.trainings.size(); ++i) {
        if (!trainingValid(c, m.trainings[i], i, previous, m.nextTrainNumber)) return false;
        previous = m.trainings[i].number;
    }
    if (!c.rule(m.registry.size() <= kMaxRegistry, "/registry", "more entries than the registry holds"))
        return false;
    std::unordered_set<std::uint64_t> registered;
    for (std::size_t i = 0; i < m.registry.size(); ++i) {
        const CardRecord& r = m.registry[i];
        if (!c.rule(registered.insert(ringId(r.data())).second, at("/registry", i), "ring registered twice") ||
            !c.rule(r[6] == 0 && r[7] == 0, at("/registry", i), "ring field tail not zero"))
            return false;
    }
    return c.rule(validCoordinate(m.site.data() + 4) && validCoordinate(m.site.data() + 10),
                  "/settings/site", "coordinates not hundreds and BCD digits") &&
           c.rule(validPhone(m.phone.data()), "/settings/phone", "not a dial string");
}

bool singleValid(Checker& c, ClockKind kind, const SingleRace& r) {
    if (!r.present) {
        // An absent race holds nothing (cleared races are reset whole).
        return c.rule(r.cards.empty() && r.arrivals.empty() && !r.confirmed && r.confirmValue == 0 &&
                          r.key == Key{} && r.time1 == Bcd{} && r.time2 == Bcd{} &&
                          r.rings.entered.empty() && r.rings.arrived.empty(),
                      "/race", "an absent race with contents");
    }
    std::unordered_set<std::uint64_t> entered;
    if (kind == ClockKind::S) {
        if (!c.rule(validBcd(r.time1), "/race/time1", "not a clock time") ||
            !c.rule(validBcd(r.time2), "/race/time2", "not a clock time") ||
            !c.rule(r.cards.empty() && !r.confirmed && r.confirmValue == 0, "/race",
                    "an S clock's race has no cards and no confirmation"))
            return false;
        return arrivalsValid(c, r.arrivals, kMaxArrivals, "/race/arrivals", nullptr, true) &&
               ringSetsAgree(c, r, entered, "/race");
    }
    if (!c.rule(r.time1 == Bcd{} && r.time2 == Bcd{}, "/race", "an H clock's race has no times") ||
        !c.rule(r.cards.size() <= kMaxRaceCards, "/race/cards", "more cards than the race holds") ||
        !distinctRings(c, r.cards, "/race/cards", [](const HCard& k) { return k.data(); }, entered))
        return false;
    for (std::size_t i = 0; i < r.cards.size(); ++i)
        if (!c.rule(validHCard(r.cards[i]), at("/race/cards", i),
                    "not a race card (zero bytes 6-7, a real card time)"))
            return false;
    if (r.confirmed) {
        if (!c.rule(!r.cards.empty(), "/race/cards", "a confirmed race without cards")) return false;
    } else if (!c.rule(r.confirmValue == 0, "/race/confirm_value", "set before the race was confirmed") ||
               !c.rule(r.arrivals.empty(), "/race/arrivals", "arrivals in a race never confirmed")) {
        return false;
    }
    return arrivalsValid(c, r.arrivals, kMaxArrivals, "/race/arrivals", &entered, true) &&
           ringSetsAgree(c, r, entered, "/race");
}

bool logValid(Checker& c, const ClockState& s) {
    const auto& log = s.log;
    if (!c.rule(s.nextLogNumber >= 1 && s.nextLogNumber <= kLastLogNumber + 1, "/log/next",
                "not a log number") ||
        !c.rule(log.size() <= kMaxLog, "/log/entries", "more entries than the log keeps"))
        return false;
    // Entries are numbered one after the other up to next - 1; the oldest
    // are dropped only once the log is full.
    if (log.empty()) return c.rule(s.nextLogNumber == 1, "/log/next", "entries missing from the log");
    const std::uint32_t first = s.nextLogNumber - static_cast<std::uint32_t>(log.size());
    if (!c.rule(s.nextLogNumber > log.size() && (log.size() == kMaxLog || first == 1),
                "/log/next", "entries missing from the log"))
        return false;
    for (std::size_t i = 0; i < log.size(); ++i) {
        const LogEntry& e = log[i];
        const std::string where = at("/log/entries", i);
        const int length = logDataLength(s.kind, e.type);
        if (!c.rule(e.number == first + i, where + "/number", "log numbers not one after the other") ||
            !c.rule(length >= 0, where + "/type", "an entry type this clock does not log") ||
            !c.rule(validTime(e.time), where + "/time", "not a clock time") ||
            !c.rule(e.data.size() == static_cast<std::size_t>(length), where + "/data",
                    "data length wrong for the entry type"))
            return false;
        if (e.type == CLV_LOG_TIME_SET) {
            Seconds t = 0;
            if (!c.rule(fromBcd(e.data.data(), t) && e.data[6] <= 1, where + "/data",
                        "not a previous time and a setting mode"))
                return false;
        }
    }
    return true;
}

}  // namespace

bool checkState(const ClockState& s, Violation* v) {
    Checker c{v};
    if (!c.rule(s.kind == ClockKind::M || s.kind == ClockKind::S || s.kind == ClockKind::H, "/kind",
                "unknown kind") ||
        !c.rule(s.serial != 0, "/serial", "a serial number is never 0") ||
        !c.rule(validPassword(s.password), "/password", "not characters followed by zeros") ||
        !c.rule(validTime(s.base), "/time", "not a clock time") ||
        !c.rule(s.seeded || (s.seed == 0 && s.stream == 0), "/seed", "a stream without a seed") ||
        !logValid(c, s))
        return false;
    if (s.kind == ClockKind::M) {
        return mValid(c, s.m) &&
               c.rule(!s.single.present, "/race", "an M clock keeps no single race");
    }
    return c.rule(s.m.races.empty() && s.m.trainings.empty() && s.m.registry.empty(), "/races",
                  "an S or H clock keeps no race table") &&
           singleValid(c, s.kind, s.single);
}

}  // namespace standins::vclock
