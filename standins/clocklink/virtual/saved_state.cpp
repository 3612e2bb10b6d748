// The saved state of a virtual clock as JSON text (format in README.md
// beside this file). Reading checks every field: a file that is not a
// complete, consistent clock of a known version is refused as a whole.
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "standins/clocklink/virtual/saved_state_v2.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

namespace {

using nlohmann::json;

constexpr const char* kFormat = "skylark-virtual-clock";
constexpr int kVersion = 2;  // written as version 2 (saved_state_v2.cpp); version 1 still read

struct Damaged : std::runtime_error {
    Damaged() : std::runtime_error("damaged") {}
};

// ---- Writing ------------------------------------------------------------------------

std::string hex(const std::uint8_t* p, std::size_t n) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += kDigits[p[i] >> 4];
        s += kDigits[p[i] & 0x0F];
    }
    return s;
}
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

template <class Array>
Array unhex(const json& j) {
    const std::string s = j.get<std::string>();
    Array a{};
    if (s.size() != 2 * a.size()) throw Damaged();
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned v = 0;
        for (int k = 0; k < 2; ++k) {
            const char c = s[2 * i + k];
            const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
            if (d < 0) throw Damaged();
            v = v * 16 + static_cast<unsigned>(d);
        }
        a[i] = static_cast<std::uint8_t>(v);
    }
    return a;
}

Seconds timeOf(const json& j) {
    Seconds s = 0;
    if (!fromText(j.get<std::string>(), s)) throw Damaged();
    return s;
}

Bcd bcdOf(const json& j) {
    Bcd b{};
    toBcd(timeOf(j), b.data());
    return b;
}

EntryState stateOf(const json& j) {
    const std::string s = j.get<std::string>();
    if (s == "created") return EntryState::Created;
    if (s == "confirmed") return EntryState::Confirmed;
    if (s == "closed") return EntryState::Closed;
    throw Damaged();
}

template <class T>
T number(const json& j, T max) {
    const auto v = j.get<std::int64_t>();
    if (v < 0 || static_cast<std::uint64_t>(v) > max) throw Damaged();
    return static_cast<T>(v);
}

void checkSize(const json& j, std::size_t max) {
    if (!j.is_array() || j.size() > max) throw Damaged();
}

std::vector<Arrival> arrivalsOf(const json& j, std::size_t max) {
    checkSize(j, max);
    std::vector<Arrival> out;
    for (const json& a : j)
        out.push_back(Arrival{unhex<Ring>(a.at("ring")), timeOf(a.at("time")),
                              a.at("downloaded").get<bool>()});
    return out;
}

// No ring entered or arrived twice.
template <class AnyRace>
bool consistent(const AnyRace& r) {
    return r.rings.entered.size() == r.cards.size() && r.rings.arrived.size() == r.arrivals.size();
}

}  // namespace

std::string saveText(const ClockState& s, Seconds clockNow) {
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
    return v2FromV1(j).dump(1) + "\n";
}

int loadText(const std::string& text, ClockState& out) {
    try {
        json j = json::parse(text);
        if (!j.is_object() || j.at("format").get<std::string>() != kFormat) return CLV_ERR_FILE_DAMAGED;
        const auto version = j.at("version").get<std::int64_t>();
        if (version > kVersion) return CLV_ERR_FILE_VERSION;
        if (version < 1) return CLV_ERR_FILE_DAMAGED;
        if (version == 2) {  // the readable form: its complete version-1 document
            json complete;
            V2Refusal refusal;
            if (!v1FromV2(j, static_cast<std::int64_t>(std::time(nullptr)), complete, refusal))
                return CLV_ERR_FILE_DAMAGED;
            j = std::move(complete);
        }

        ClockState s;
        const std::string kind = j.at("kind").get<std::string>();
        if (kind == "M") s.kind = ClockKind::M;
        else if (kind == "S") s.kind = ClockKind::S;
        else if (kind == "H") s.kind = ClockKind::H;
        else return CLV_ERR_FILE_DAMAGED;
        s.serial = number<std::uint32_t>(j.at("serial"), 0xFFFFFFFFu);
        if (s.serial == 0) return CLV_ERR_FILE_DAMAGED;
        s.password = unhex<std::array<std::uint8_t, 8>>(j.at("password"));
        s.initialised = j.at("initialised").get<bool>();
        s.isp = j.at("isp").get<bool>();
        s.frozen = j.at("frozen").get<bool>();
        s.base = timeOf(j.at("time"));
        if (!s.frozen) {  // the clock ran on while it was put away
            const std::int64_t away = static_cast<std::int64_t>(std::time(nullptr)) -
                                      j.at("saved_at").get<std::int64_t>();
            if (away > 0) s.base = std::min(s.base + away, kLastSecond);
        }
        s.baseAt = steadyMillis();
        s.cardData = unhex<std::array<std::uint8_t, 16>>(j.at("card"));

        const json& log = j.at("log");
        s.nextLogNumber = number<std::uint32_t>(log.at("next"), 0xFFFFFFFFu);
        checkSize(log.at("entries"), kMaxLog);
        std::uint32_t last = 0;
        for (const json& e : log.at("entries")) {
            LogEntry entry;
            entry.number = number<std::uint32_t>(e.at("number"), 0xFFFFFFFFu);
            if (entry.number <= last || entry.number >= s.nextLogNumber) return CLV_ERR_FILE_DAMAGED;
            last = entry.number;
            entry.type = number<std::uint8_t>(e.at("type"), 0xFF);
            entry.time = timeOf(e.at("time"));
            const std::string data = e.at("data").get<std::string>();
            if (data.size() % 2 != 0 || data.size() / 2 > kMaxLogData) return CLV_ERR_FILE_DAMAGED;
            for (std::size_t i = 0; i < data.size(); i += 2)
                entry.data.push_back(unhex<std::array<std::uint8_t, 1>>(json(data.substr(i, 2)))[0]);
            s.log.push_back(std::move(entry));
        }

        if (s.kind == ClockKind::M) {
            MState& m = s.m;
            checkSize(j.at("races"), kMaxRaces);
            for (const json& r : j.at("races")) {
                Race race;
                race.key = unhex<Key>(r.at("key"));
                race.time1 = bcdOf(r.at("time1"));
                race.time2 = bcdOf(r.at("time2"));
                race.param = number<std::uint32_t>(r.at("param"), 0xFFFFFFFFu);
                race.state = stateOf(r.at("state"));
                race.confirmValue = number<std::uint16_t>(r.at("confirm_value"), 0xFFFF);
                race.confirmData = unhex<Key>(r.at("confirm_data"));
                checkSize(r.at("cards"), kMaxRaceCards);
                for (const json& c : r.at("cards")) race.addCard(unhex<Key>(c));
                for (const Arrival& a : arrivalsOf(r.at("arrivals"), kMaxArrivals)) race.addArrival(a);
                if (!consistent(race)) return CLV_ERR_FILE_DAMAGED;
                m.races.push_back(std::move(race));
            }
            checkSize(j.at("trainings"), kMaxTrainings);
            for (const json& t : j.at("trainings")) {
                Training tr;
                tr.number = number<std::uint16_t>(t.at("number"), 0xFFFF);
                tr.time1 = bcdOf(t.at("time1"));
                tr.time2 = bcdOf(t.at("time2"));
                tr.byte = number<std::uint8_t>(t.at("byte"), 0xFF);
                tr.state = stateOf(t.at("state"));
                tr.confirmValue = number<std::uint16_t>(t.at("confirm_value"), 0xFFFF);
                checkSize(t.at("rings"), kMaxTrainRings);
                for (const json& r : t.at("rings")) tr.rings.push_back(unhex<Ring>(r));
                tr.arrivals = arrivalsOf(t.at("arrivals"), kMaxTrainArrivals);
                m.trainings.push_back(std::move(tr));
            }
            m.nextTrainNumber = number<std::uint16_t>(j.at("next_training_number"), 0xFFFF);
            checkSize(j.at("registry"), kMaxRegistry);
            for (const json& r : j.at("registry")) m.registry.push_back(unhex<CardRecord>(r));
            const json& st = j.at("settings");
            checkSize(st.at("channels"), kChannels);
            checkSize(st.at("touch_types"), kTouchTypes);
            checkSize(st.at("training_sites"), kTrainSites);
            if (st.at("channels").size() != kChannels || st.at("touch_types").size() != kTouchTypes ||
                st.at("training_sites").size() != kTrainSites)
                return CLV_ERR_FILE_DAMAGED;
            for (std::size_t i = 0; i < kChannels; ++i)
                m.channels[i] = unhex<std::array<std::uint8_t, 4>>(st.at("channels")[i]);
            for (std::size_t i = 0; i < kTouchTypes; ++i)
                m.touchTypes[i] = unhex<std::array<std::uint8_t, 4>>(st.at("touch_types")[i]);
            for (std::size_t i = 0; i < kTrainSites; ++i)
                m.trainSites[i] = number<std::uint32_t>(st.at("training_sites")[i], 0xFFFFFFFFu);
            m.site = unhex<std::array<std::uint8_t, 16>>(st.at("site"));
            m.phone = unhex<std::array<std::uint8_t, 16>>(st.at("phone"));
            m.staff = unhex<std::array<std::uint8_t, 16>>(st.at("staff"));
        } else {
            const json& r = j.at("race");
            if (!r.is_null()) {
                SingleRace& race = s.single;
                race.present = true;
                race.key = unhex<Key>(r.at("key"));
                for (const Arrival& a : arrivalsOf(r.at("arrivals"), kMaxArrivals)) race.addArrival(a);
                if (s.kind == ClockKind::S) {
                    race.time1 = bcdOf(r.at("time1"));
                    race.time2 = bcdOf(r.at("time2"));
                } else {
                    race.confirmed = r.at("confirmed").get<bool>();
                    race.confirmValue = number<std::uint16_t>(r.at("confirm_value"), 0xFFFF);
                    checkSize(r.at("cards"), kMaxRaceCards);
                    for (const json& c : r.at("cards")) race.addCard(unhex<HCard>(c));
                }
            }
        }
        if (s.single.present && !consistent(s.single)) return CLV_ERR_FILE_DAMAGED;
        out = std::move(s);
        return CLV_OK;
    } catch (...) {  // parse errors, missing or mistyped fields, Damaged
        return CLV_ERR_FILE_DAMAGED;
    }
}

// Reading a file needs nothing of the operating system beyond the C library.
bool readFile(const std::string& path, std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    text.clear();
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

}  // namespace standins::vclock
