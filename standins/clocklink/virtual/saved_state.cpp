// The saved state of a virtual clock as JSON text (format in README.md
// beside this file). Reading is strict: the text must be JSON without
// duplicate keys, every field present with exactly the type, length and form
// the clock writes, no other field, and the state it describes must keep
// every invariant of state_rules.h. A refusal names the field by a JSON
// pointer.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <initializer_list>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/fp_env.h"
#include "standins/clocklink/virtual/saved_state_v2.h"
#include "standins/clocklink/virtual/state_rules.h"
#include "standins/clocklink/virtual/virtual_clock.h"
#include "standins/hex.h"
#include "standins/strict_json.h"

namespace standins::vclock {

namespace {

using nlohmann::json;
using standins::JsonRefusal;
using standins::pointerToken;

constexpr const char* kFormat = "skylark-virtual-clock";
// The complete document the validation pass reads. CLV_Save writes it as
// version 2, the readable form (saved_state_v2.cpp), which is read by turning
// it back into this one.
constexpr int kVersion = 1;
constexpr int kReadableVersion = 2;

// The host times a file may carry in saved_at: 1970 to 2099.
constexpr std::int64_t kLastSavedAt = 4102444799;

// Why a file is refused.
struct Refused {
    int code;
    std::string where;  // JSON pointer
    std::string what;
};

[[noreturn]] void refuse(const std::string& where, const std::string& what,
                         int code = CLV_ERR_FILE_DAMAGED) {
    throw Refused{code, where, what};
}

// ---- Writing ------------------------------------------------------------------------

std::string hex(const std::uint8_t* p, std::size_t n) { return hexText(p, n); }
template <class Array>
std::string hex(const Array& a) {
    return hex(a.data(), a.size());
}

std::string bcdText(const Bcd& b) {
    Seconds s = 0;
    fromBcd(b.data(), s);  // valid: the clock takes no other date
    return toText(s);
}

const char* stateName(EntryState s) {
    return s == EntryState::Created ? "created" : s == EntryState::Confirmed ? "confirmed" : "closed";
}

json arrivalsJson(const std::vector<Arrival>& arrivals) {
    json a = json::array();
    for (const Arrival& x : arrivals)
        a.push_back({{"ring", hex(x.ring)}, {"time", toText(x.time)}, {"downloaded", x.downloaded}});
    return a;
}

// ---- Reading ------------------------------------------------------------------------

// Parses text as JSON; a key that appears twice in one object is refused.
json parseStrict(const std::string& text) {
    json j;
    JsonRefusal refusal;
    if (!standins::parseStrict(text, j, refusal)) refuse(refusal.where, refusal.what);
    return j;
}

// A value in the file with its JSON pointer; every accessor refuses the
// file, naming the field, unless the value has exactly the form the clock
// writes.
class Node {
public:
    Node(const json& j, std::string where) : j_(j), where_(std::move(where)) {}
    const std::string& where() const { return where_; }
    bool isNull() const { return j_.is_null(); }

    Node operator[](const char* key) const {
        if (!j_.is_object()) refuse(where_, "not an object");
        const auto it = j_.find(key);
        const std::string at = where_ + "/" + pointerToken(key);
        if (it == j_.end()) refuse(at, "missing");
        return Node(*it, at);
    }
    bool has(const char* key) const { return j_.is_object() && j_.contains(key); }
    // No member besides the named ones.
    void only(std::initializer_list<const char*> names) const {
        if (!j_.is_object()) refuse(where_, "not an object");
        for (const auto& item : j_.items()) {
            bool known = false;
            for (const char* n : names) known = known || item.key() == n;
            if (!known) refuse(where_ + "/" + pointerToken(item.key()), "not a field of this clock");
        }
    }
    std::size_t size(std::size_t max) const {
        if (!j_.is_array()) refuse(where_, "not an array");
        if (j_.size() > max) refuse(where_, "more entries than the clock holds");
        return j_.size();
    }
    Node item(std::size_t i) const { return Node(j_[i], where_ + "/" + std::to_string(i)); }

    std::string text() const {
        if (!j_.is_string()) refuse(where_, "not a string");
        return j_.get<std::string>();
    }
    bool flag() const {
        if (!j_.is_boolean()) refuse(where_, "not true or false");
        return j_.get<bool>();
    }
    // A whole number from 0 to max, written as digits (no fraction, no exponent).
    std::uint64_t integer(std::uint64_t max) const {
        if (!j_.is_number_integer()) refuse(where_, "not a whole number");
        if (j_.is_number_integer() && !j_.is_number_unsigned() && j_.get<std::int64_t>() < 0)
            refuse(where_, "out of range");
        const auto v = j_.get<std::uint64_t>();
        if (v > max) refuse(where_, "out of range");
        return v;
    }
    // Upper-case hex digits, two per byte.
    std::vector<std::uint8_t> bytes(std::size_t minBytes, std::size_t maxBytes) const {
        const std::string s = text();
        if (s.size() % 2 != 0 || s.size() / 2 < minBytes || s.size() / 2 > maxBytes)
            refuse(where_, "wrong length");
        std::vector<std::uint8_t> out(s.size() / 2);
        for (std::size_t i = 0; i < s.size(); ++i) {
            const char c = s[i];
            const int d = c >= 'a' && c <= 'f' ? -1 : hexDigit(c);  // the file holds upper case only
            if (d < 0) refuse(where_, "not upper-case hex digits");
            out[i / 2] = static_cast<std::uint8_t>(out[i / 2] << 4 | d);
        }
        return out;
    }
    template <class Array>
    Array hex() const {
        Array a{};
        const std::vector<std::uint8_t> b = bytes(a.size(), a.size());
        std::copy(b.begin(), b.end(), a.begin());
        return a;
    }
    Seconds time() const {
        Seconds s = 0;
        if (!fromText(text(), s)) refuse(where_, "not a time YYYY-MM-DDThh:mm:ss of 2000-2099");
        return s;
    }
    Bcd bcd() const {
        Bcd b{};
        toBcd(time(), b.data());
        return b;
    }
    EntryState state() const {
        const std::string s = text();
        if (s == "created") return EntryState::Created;
        if (s == "confirmed") return EntryState::Confirmed;
        if (s == "closed") return EntryState::Closed;
        refuse(where_, "not created, confirmed or closed");
    }

private:
    const json& j_;
    std::string where_;
};

std::vector<Arrival> arrivalsOf(const Node& list, std::size_t max) {
    std::vector<Arrival> out;
    const std::size_t n = list.size(max);
    for (std::size_t i = 0; i < n; ++i) {
        const Node a = list.item(i);
        a.only({"ring", "time", "downloaded"});
        out.push_back(Arrival{a["ring"].hex<Ring>(), a["time"].time(), a["downloaded"].flag()});
    }
    return out;
}

void readLog(const Node& log, ClockState& s) {
    log.only({"next", "entries"});
    s.nextLogNumber = static_cast<std::uint32_t>(log["next"].integer(0xFFFFFFFFu));
    const Node entries = log["entries"];
    const std::size_t n = entries.size(kMaxLog);
    for (std::size_t i = 0; i < n; ++i) {
        const Node e = entries.item(i);
        e.only({"number", "type", "time", "data"});
        LogEntry entry;
        entry.number = static_cast<std::uint32_t>(e["number"].integer(0xFFFFFFFFu));
        entry.type = static_cast<std::uint8_t>(e["type"].integer(0xFF));
        entry.time = e["time"].time();
        entry.data = e["data"].bytes(0, kMaxLogData);
        s.log.push_back(std::move(entry));
    }
}

void readM(const Node& j, MState& m) {
    const Node races = j["races"];
    const std::size_t nRaces = races.size(kMaxRaces);
    for (std::size_t i = 0; i < nRaces; ++i) {
        const Node r = races.item(i);
        r.only({"key", "time1", "time2", "param", "state", "confirm_value", "confirm_data", "cards",
                "arrivals"});
        Race race;
        race.key = r["key"].hex<Key>();
        race.time1 = r["time1"].bcd();
        race.time2 = r["time2"].bcd();
        race.param = static_cast<std::uint32_t>(r["param"].integer(0xFFFFFFFFu));
        race.state = r["state"].state();
        race.confirmValue = static_cast<std::uint16_t>(r["confirm_value"].integer(0xFFFF));
        race.confirmData = r["confirm_data"].hex<Key>();
        const Node cards = r["cards"];
        const std::size_t nCards = cards.size(kMaxRaceCards);
        for (std::size_t k = 0; k < nCards; ++k) race.addCard(cards.item(k).hex<Key>());
        for (const Arrival& a : arrivalsOf(r["arrivals"], kMaxArrivals)) race.addArrival(a);
        m.races.push_back(std::move(race));
    }
    const Node trainings = j["trainings"];
    const std::size_t nTrainings = trainings.size(kMaxTrainings);
    for (std::size_t i = 0; i < nTrainings; ++i) {
        const Node t = trainings.item(i);
        t.only({"number", "time1", "time2", "byte", "state", "confirm_value", "rings", "arrivals"});
        Training tr;
        tr.number = static_cast<std::uint16_t>(t["number"].integer(kLastTrainNumber));
        tr.time1 = t["time1"].bcd();
        tr.time2 = t["time2"].bcd();
        tr.byte = static_cast<std::uint8_t>(t["byte"].integer(0xFF));
        tr.state = t["state"].state();
        tr.confirmValue = static_cast<std::uint16_t>(t["confirm_value"].integer(0xFFFF));
        const Node rings = t["rings"];
        const std::size_t nRings = rings.size(kMaxTrainRings);
        for (std::size_t k = 0; k < nRings; ++k) tr.rings.push_back(rings.item(k).hex<Ring>());
        tr.arrivals = arrivalsOf(t["arrivals"], kMaxTrainArrivals);
        m.trainings.push_back(std::move(tr));
    }
    m.nextTrainNumber = static_cast<std::uint32_t>(j["next_training_number"].integer(kLastTrainNumber + 1));
    const Node registry = j["registry"];
    const std::size_t nRegistry = registry.size(kMaxRegistry);
    for (std::size_t i = 0; i < nRegistry; ++i) m.registry.push_back(registry.item(i).hex<CardRecord>());

    const Node st = j["settings"];
    st.only({"channels", "touch_types", "site", "phone", "staff", "training_sites"});
    auto exactly = [](const Node& list, std::size_t n) {
        if (list.size(n) != n) refuse(list.where(), "wrong number of entries");
    };
    const Node channels = st["channels"], touch = st["touch_types"], sites = st["training_sites"];
    exactly(channels, kChannels);
    exactly(touch, kTouchTypes);
    exactly(sites, kTrainSites);
    for (std::size_t i = 0; i < kChannels; ++i)
        m.channels[i] = channels.item(i).hex<std::array<std::uint8_t, 4>>();
    for (std::size_t i = 0; i < kTouchTypes; ++i)
        m.touchTypes[i] = touch.item(i).hex<std::array<std::uint8_t, 4>>();
    for (std::size_t i = 0; i < kTrainSites; ++i)
        m.trainSites[i] = static_cast<std::uint32_t>(sites.item(i).integer(0xFFFFFFFFu));
    m.site = st["site"].hex<std::array<std::uint8_t, 16>>();
    m.phone = st["phone"].hex<std::array<std::uint8_t, 16>>();
    m.staff = st["staff"].hex<std::array<std::uint8_t, 16>>();
}

void readSingle(const Node& r, ClockKind kind, SingleRace& race) {
    if (r.isNull()) return;
    if (kind == ClockKind::S) r.only({"key", "arrivals", "time1", "time2"});
    else r.only({"key", "arrivals", "confirmed", "confirm_value", "cards"});
    race.present = true;
    race.key = r["key"].hex<Key>();
    if (kind == ClockKind::S) {
        race.time1 = r["time1"].bcd();
        race.time2 = r["time2"].bcd();
    } else {
        race.confirmed = r["confirmed"].flag();
        race.confirmValue = static_cast<std::uint16_t>(r["confirm_value"].integer(0xFFFF));
        const Node cards = r["cards"];
        const std::size_t n = cards.size(kMaxRaceCards);
        for (std::size_t k = 0; k < n; ++k) race.addCard(cards.item(k).hex<HCard>());
    }
    for (const Arrival& a : arrivalsOf(r["arrivals"], kMaxArrivals)) race.addArrival(a);
}

// Host seconds away in clock seconds at a speed (at most beyond 2099 from
// any clock time), in round to nearest whatever the host's mode.
SKYLARK_FP_OUTLINE Seconds scaledAway(std::int64_t hostSeconds, double speed) {
    return static_cast<Seconds>(std::min(static_cast<double>(hostSeconds) * speed, 4e9));
}
Seconds awaySeconds(std::int64_t hostSeconds, double speed) {
    if (speed == 1) return hostSeconds;
    const skylark::StandardFloatingPoint nearest;
    return scaledAway(hostSeconds, speed);
}

// The clock a file describes, or a Refused.
ClockState readClock(const std::string& text, std::int64_t hostNow) {
    json parsed = parseStrict(text);
    double speed = 1;  // version 1 does not hold it
    if (parsed.is_object() && parsed.value("format", json()) == kFormat &&
        parsed.value("version", json()) == kReadableVersion) {
        json complete;
        V2Refusal r;
        if (!v1FromV2(parsed, hostNow, complete, r, &speed)) refuse(r.where, r.what);
        parsed = std::move(complete);
    }
    const Node j(parsed, "");
    if (!parsed.is_object()) refuse("", "not a saved clock");
    if (!j.has("format") || j["format"].text() != kFormat) refuse("/format", "not a saved clock");
    if (!j.has("version") || !parsed["version"].is_number_integer())
        refuse("/version", "not a version number");
    if (!parsed["version"].is_number_unsigned() || parsed["version"].get<std::uint64_t>() < 1)
        refuse("/version", "not a version number");
    if (parsed["version"].get<std::uint64_t>() > static_cast<std::uint64_t>(kVersion))
        refuse("/version", "saved by a newer version", CLV_ERR_FILE_VERSION);

    ClockState s;
    const std::string kind = j["kind"].text();
    if (kind == "M") s.kind = ClockKind::M;
    else if (kind == "S") s.kind = ClockKind::S;
    else if (kind == "H") s.kind = ClockKind::H;
    else refuse("/kind", "not M, S or H");
    if (s.kind == ClockKind::M)
        j.only({"format", "version", "kind", "serial", "password", "initialised", "isp", "time",
                "frozen", "saved_at", "card", "seed", "log", "races", "trainings",
                "next_training_number", "registry", "settings"});
    else
        j.only({"format", "version", "kind", "serial", "password", "initialised", "isp", "time",
                "frozen", "saved_at", "card", "seed", "log", "race"});

    s.serial = static_cast<std::uint32_t>(j["serial"].integer(0xFFFFFFFFu));
    s.password = j["password"].hex<std::array<std::uint8_t, 8>>();
    s.initialised = j["initialised"].flag();
    s.isp = j["isp"].flag();
    s.frozen = j["frozen"].flag();
    s.base = j["time"].time();
    const auto savedAt = static_cast<std::int64_t>(j["saved_at"].integer(kLastSavedAt));
    s.speed = speed;
    if (!s.frozen && hostNow > savedAt)  // the clock ran on while it was put away, at its speed
        s.base = std::min(s.base + awaySeconds(hostNow - savedAt, speed), kLastSecond);
    s.baseAt = steadyMillis();
    s.cardData = j["card"].hex<std::array<std::uint8_t, 16>>();
    // Files saved before seeds were kept have no seed field: not seeded.
    if (j.has("seed") && !j["seed"].isNull()) {
        const Node seed = j["seed"];
        seed.only({"value", "stream"});
        s.seeded = true;
        s.seed = static_cast<std::uint32_t>(seed["value"].integer(0xFFFFFFFFu));
        std::uint64_t stream = 0;
        for (std::uint8_t b : seed["stream"].hex<std::array<std::uint8_t, 8>>()) stream = stream << 8 | b;
        s.stream = stream;
    }
    readLog(j["log"], s);
    if (s.kind == ClockKind::M) readM(j, s.m);
    else readSingle(j["race"], s.kind, s.single);

    Violation v;
    if (!checkState(s, &v)) refuse(v.where, v.what);
    return s;
}

}  // namespace

std::string saveText(const ClockState& s, Seconds clockNow, int version) {
    json j;
    j["format"] = kFormat;
    j["version"] = kVersion;
    j["kind"] = s.kind == ClockKind::M ? "M" : s.kind == ClockKind::S ? "S" : "H";
    j["serial"] = s.serial;
    j["password"] = hex(s.password);
    j["initialised"] = s.initialised;
    j["isp"] = s.isp;
    j["time"] = toText(clockNow);
    j["frozen"] = s.frozen;
    j["saved_at"] = static_cast<std::int64_t>(std::time(nullptr));
    j["card"] = hex(s.cardData);
    if (s.seeded) {
        std::uint8_t stream[8];
        for (int i = 0; i < 8; ++i) stream[i] = static_cast<std::uint8_t>(s.stream >> (56 - 8 * i));
        j["seed"] = {{"value", s.seed}, {"stream", hex(stream, sizeof stream)}};
    } else {
        j["seed"] = nullptr;
    }
    json log = json::array();
    for (const LogEntry& e : s.log)
        log.push_back({{"number", e.number}, {"type", e.type}, {"time", toText(e.time)},
                       {"data", hex(e.data.data(), e.data.size())}});
    j["log"] = {{"next", s.nextLogNumber}, {"entries", log}};

    if (s.kind == ClockKind::M) {
        const MState& m = s.m;
        json races = json::array();
        for (const Race& r : m.races) {
            json cards = json::array();
            for (const Key& c : r.cards) cards.push_back(hex(c));
            races.push_back({{"key", hex(r.key)}, {"time1", bcdText(r.time1)},
                             {"time2", bcdText(r.time2)}, {"param", r.param},
                             {"state", stateName(r.state)}, {"confirm_value", r.confirmValue},
                             {"confirm_data", hex(r.confirmData)}, {"cards", cards},
                             {"arrivals", arrivalsJson(r.arrivals)}});
        }
        json trainings = json::array();
        for (const Training& t : m.trainings) {
            json rings = json::array();
            for (const Ring& r : t.rings) rings.push_back(hex(r));
            trainings.push_back({{"number", t.number}, {"time1", bcdText(t.time1)},
                                 {"time2", bcdText(t.time2)}, {"byte", t.byte},
                                 {"state", stateName(t.state)}, {"confirm_value", t.confirmValue},
                                 {"rings", rings}, {"arrivals", arrivalsJson(t.arrivals)}});
        }
        json registry = json::array();
        for (const CardRecord& r : m.registry) registry.push_back(hex(r));
        json channels = json::array(), touch = json::array();
        for (const auto& c : m.channels) channels.push_back(hex(c));
        for (const auto& t : m.touchTypes) touch.push_back(hex(t));
        j["races"] = races;
        j["trainings"] = trainings;
        j["next_training_number"] = m.nextTrainNumber;
        j["registry"] = registry;
        j["settings"] = {{"channels", channels}, {"touch_types", touch}, {"site", hex(m.site)},
                         {"phone", hex(m.phone)}, {"staff", hex(m.staff)},
                         {"training_sites", m.trainSites}};
    } else {
        const SingleRace& r = s.single;
        json race = nullptr;
        if (r.present) {
            race = {{"key", hex(r.key)}, {"arrivals", arrivalsJson(r.arrivals)}};
            if (s.kind == ClockKind::S) {
                race["time1"] = bcdText(r.time1);
                race["time2"] = bcdText(r.time2);
            } else {
                json cards = json::array();
                for (const HCard& c : r.cards) cards.push_back(hex(c));
                race["confirmed"] = r.confirmed;
                race["confirm_value"] = r.confirmValue;
                race["cards"] = cards;
            }
        }
        j["race"] = race;
    }
    return (version == 1 ? j.dump(1) : v2FromV1(j, s.speed).dump(1)) + "\n";
}

int loadText(const std::string& text, ClockState& out, std::string* why) {
    try {
        ClockState s = readClock(text, static_cast<std::int64_t>(std::time(nullptr)));
        out = std::move(s);
        if (why != nullptr) why->clear();
        return CLV_OK;
    } catch (const Refused& r) {
        if (why != nullptr) *why = r.where.empty() ? r.what : r.where + ": " + r.what;
        return r.code;
    } catch (...) {  // out of memory
        if (why != nullptr) *why = "out of memory";
        return CLV_ERR_FULL;
    }
}

}  // namespace standins::vclock
