#include "standins/clocklink/virtual/saved_state_v2.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "base/fp_env.h"
#include "os/os.h"
#include "standins/clocklink/virtual/clock_state.h"
#include "standins/clocklink/virtual/clock_time.h"
#include "standins/hex.h"
#include "skylark/virtual_clock.h"

namespace standins::vclock {

namespace {

using nlohmann::json;

struct Bad {
    std::string where, what;
};
[[noreturn]] void bad(const std::string& where, const std::string& what) { throw Bad{where, what}; }

// ---- Small conversions ---------------------------------------------------------

bool isHex(const std::string& s) {
    return std::all_of(s.begin(), s.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
    });
}
std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'f') c = static_cast<char>(c - 'a' + 'A');
    return s;
}
std::string hexOf(const std::uint8_t* p, std::size_t n) { return hexText(p, n); }
std::vector<std::uint8_t> bytesOf(const std::string& hex) {
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

// Days from 1 January 1970 of a civil date, and back (proleptic Gregorian).
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}
std::string utcText(std::int64_t t) {
    std::int64_t days = t / 86400, rest = t % 86400;
    if (rest < 0) rest += 86400, --days;
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
    char text[40];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(y), m, d,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

// ---- Reading the fields of a version-2 file -------------------------------------

// A member of an object, with its JSON pointer.
struct Field {
    const json* value;  // null when absent
    std::string where;
    bool given() const { return value != nullptr && !value->is_null(); }
};

Field member(const json& obj, const std::string& at, const char* key) {
    const auto it = obj.find(key);
    return Field{it == obj.end() ? nullptr : &*it, at + "/" + key};
}

void onlyKeys(const json& obj, const std::string& at, std::initializer_list<const char*> keys) {
    if (!obj.is_object()) bad(at, "not an object");
    for (auto it = obj.begin(); it != obj.end(); ++it)
        if (std::none_of(keys.begin(), keys.end(), [&](const char* k) { return it.key() == k; }))
            bad(at + "/" + it.key(), "unknown field");
}

std::string text(const Field& f, const std::string& fallback) {
    if (!f.given()) return fallback;
    if (!f.value->is_string()) bad(f.where, "not a text");
    return f.value->get<std::string>();
}
bool flag(const Field& f, bool fallback) {
    if (!f.given()) return fallback;
    if (!f.value->is_boolean()) bad(f.where, "not true or false");
    return f.value->get<bool>();
}
std::uint64_t integer(const Field& f, std::uint64_t max, std::uint64_t fallback) {
    if (!f.given()) return fallback;
    if (!f.value->is_number_unsigned() || f.value->get<std::uint64_t>() > max)
        bad(f.where, "not a whole number from 0 to " + std::to_string(max));
    return f.value->get<std::uint64_t>();
}
// Hex text of exactly `bytes` bytes (upper-cased), or one of `alsoBytes`.
std::string hex(const Field& f, std::size_t bytes, const std::string& fallback, std::size_t alsoBytes = 0) {
    if (!f.given()) return fallback;
    const std::string s = text(f, "");
    if (!isHex(s) || (s.size() != 2 * bytes && (alsoBytes == 0 || s.size() != 2 * alsoBytes)))
        bad(f.where, "not " + std::to_string(2 * bytes) + " hex digits");
    return upper(s);
}
std::string localTime(const Field& f, const std::string& fallback) {
    if (!f.given()) return fallback;
    Seconds s = 0;
    if (!fromText(text(f, ""), s)) bad(f.where, "not a date-time YYYY-MM-DDThh:mm:ss of 2000 to 2099");
    return toText(s);
}
const json& array(const Field& f) {
    static const json kEmpty = json::array();
    if (!f.given()) return kEmpty;
    if (!f.value->is_array()) bad(f.where, "not a list");
    return *f.value;
}
Field item(const Field& list, std::size_t i) { return Field{&(*list.value)[i], list.where + "/" + std::to_string(i)}; }

// Text of single-byte characters (space to tilde) padded with zeros, or
// {"hex": ...} for bytes that are no such text.
std::string paddedText(const Field& f, std::size_t bytes, const std::string& what) {
    if (!f.given()) return std::string(2 * bytes, '0');
    if (f.value->is_object()) {
        onlyKeys(*f.value, f.where, {"hex"});
        return hex(member(*f.value, f.where, "hex"), bytes, std::string(2 * bytes, '0'));
    }
    const std::string s = text(f, "");
    if (s.size() > bytes) bad(f.where, what + " of at most " + std::to_string(bytes) + " characters");
    for (char c : s)
        if (c < 0x20 || c > 0x7E) bad(f.where, what + " of printable single-byte characters");
    std::vector<std::uint8_t> b(s.begin(), s.end());
    b.resize(bytes, 0);
    return hexOf(b.data(), b.size());
}

json arrivals(const Field& f) {
    const json& list = array(f);
    json out = json::array();
    for (std::size_t i = 0; i < list.size(); ++i) {
        const Field a = item(f, i);
        onlyKeys(*a.value, a.where, {"ring", "time", "downloaded"});
        if (!member(*a.value, a.where, "ring").given()) bad(a.where + "/ring", "missing");
        if (!member(*a.value, a.where, "time").given()) bad(a.where + "/time", "missing");
        out.push_back({{"ring", hex(member(*a.value, a.where, "ring"), 6, "")},
                       {"time", localTime(member(*a.value, a.where, "time"), "")},
                       {"downloaded", flag(member(*a.value, a.where, "downloaded"), false)}});
    }
    return out;
}

const char* kStates[] = {"created", "confirmed", "closed"};
std::string state(const Field& f, const char* fallback) {
    const std::string s = text(f, fallback);
    if (std::none_of(std::begin(kStates), std::end(kStates), [&](const char* k) { return s == k; }))
        bad(f.where, "not created, confirmed or closed");
    return s;
}

// A registry entry: the ring number alone, or its fields.
std::string registryEntry(const Field& f) {
    if (f.value->is_string()) return hex(f, 6, "") + "0000" + std::string(2 * (1 + 6 + 4 + 12), '0');
    onlyKeys(*f.value, f.where, {"ring", "byte", "words", "long", "data"});
    if (!member(*f.value, f.where, "ring").given()) bad(f.where + "/ring", "missing");
    std::string out = hex(member(*f.value, f.where, "ring"), 6, "") + "0000";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02X", static_cast<unsigned>(integer(member(*f.value, f.where, "byte"), 0xFF, 0)));
    out += buf;
    const Field words = member(*f.value, f.where, "words");
    const json& w = array(words);
    if (words.given() && w.size() != 3) bad(words.where, "not three numbers");
    for (std::size_t i = 0; i < 3; ++i) {
        std::snprintf(buf, sizeof buf, "%04X",
                      static_cast<unsigned>(words.given() ? integer(item(words, i), 0xFFFF, 0) : 0));
        out += buf;
    }
    std::snprintf(buf, sizeof buf, "%08lX",
                  static_cast<unsigned long>(integer(member(*f.value, f.where, "long"), 0xFFFFFFFFu, 0)));
    out += buf;
    out += hex(member(*f.value, f.where, "data"), 12, std::string(24, '0'));
    return out;
}

// A coordinate DDD.FFFFFFFF as the clock holds it (6 bytes), from degrees.
std::string coordinateHex(const Field& f, double min, double max) {
    const skylark::StandardFloatingPoint fp;  // the bytes must not follow the host's mode
    if (!f.given() || !f.value->is_number()) bad(f.where, "not a number of degrees");
    double v = f.value->get<double>();
    if (!(v >= min && v <= max)) bad(f.where, "out of range");
    if (v < 0) v += 360;  // west longitudes as 180 to 360 east
    const auto n = static_cast<std::uint64_t>(std::llround(v * 1e8));
    const std::uint64_t whole = n / 100000000, frac = n % 100000000;
    std::uint8_t b[6];
    b[0] = static_cast<std::uint8_t>(whole / 100);
    b[1] = static_cast<std::uint8_t>((whole / 10 % 10) << 4 | whole % 10);
    for (int i = 0; i < 4; ++i) {
        const std::uint64_t pair = frac / static_cast<std::uint64_t>(std::pow(100.0, 3 - i)) % 100;
        b[2 + i] = static_cast<std::uint8_t>((pair / 10) << 4 | pair % 10);
    }
    return hexOf(b, 6);
}

// Dial string symbols: 1-9, 0 as A, * B, # C, , D.
std::string phoneHex(const Field& f) {
    if (f.given() && f.value->is_object()) return paddedText(f, 16, "");
    const std::string s = text(f, "");
    if (s.size() > 32) bad(f.where, "a dial string of at most 32 symbols");
    std::string nibbles;
    for (char c : s) {
        if (c >= '1' && c <= '9') nibbles += c;
        else if (c == '0') nibbles += 'A';
        else if (c == '*') nibbles += 'B';
        else if (c == '#') nibbles += 'C';
        else if (c == ',') nibbles += 'D';
        else bad(f.where, "a dial string of 0-9, *, # and ,");
    }
    nibbles.resize(32, '0');
    return nibbles;
}

json settings(const Field& f, const json& fresh) {
    json out = fresh;
    if (!f.given()) return out;
    onlyKeys(*f.value, f.where, {"channels", "touch_types", "site", "phone", "staff", "training_sites"});
    for (const char* key : {"channels", "touch_types"}) {
        const Field list = member(*f.value, f.where, key);
        if (!list.given()) continue;
        const json& l = array(list);
        if (l.size() != 8) bad(list.where, "not eight values");
        for (std::size_t i = 0; i < 8; ++i) out[key][i] = hex(item(list, i), 4, "");
    }
    const Field sites = member(*f.value, f.where, "training_sites");
    if (sites.given()) {
        if (array(sites).size() != kTrainSites) bad(sites.where, "not sixteen values");
        for (std::size_t i = 0; i < kTrainSites; ++i) out["training_sites"][i] = integer(item(sites, i), 0xFFFFFFFFu, 0);
    }
    const Field site = member(*f.value, f.where, "site");
    if (site.given()) {
        if (!site.value->is_object()) bad(site.where, "not an object");
        if (site.value->contains("hex")) {
            out["site"] = paddedText(site, 16, "");
        } else {
            onlyKeys(*site.value, site.where, {"code", "latitude", "longitude"});
            out["site"] = hex(member(*site.value, site.where, "code"), 4, "00000000") +
                          coordinateHex(member(*site.value, site.where, "latitude"), 0, 90) +
                          coordinateHex(member(*site.value, site.where, "longitude"), -180, 360);
        }
    }
    const Field phone = member(*f.value, f.where, "phone");
    if (phone.given()) out["phone"] = phoneHex(phone);
    const Field staff = member(*f.value, f.where, "staff");
    if (staff.given()) out["staff"] = paddedText(staff, 16, "a staff number");
    return out;
}

// ---- Writing: readable forms of the bytes, where they have one -------------------

json textOrHex(const std::string& hexText) {
    const std::vector<std::uint8_t> b = bytesOf(hexText);
    std::size_t n = b.size();
    while (n > 0 && b[n - 1] == 0) --n;
    bool plain = true;
    for (std::size_t i = 0; i < n; ++i) plain = plain && b[i] >= 0x20 && b[i] <= 0x7E;
    if (!plain) return json{{"hex", hexText}};
    return std::string(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(n));
}

json phoneOf(const std::string& hexText) {
    std::string dial;
    std::size_t used = 0;
    while (used < hexText.size() && hexText[used] != '0') ++used;
    for (std::size_t i = used; i < hexText.size(); ++i)
        if (hexText[i] != '0') return json{{"hex", hexText}};  // symbols after an empty one
    for (std::size_t i = 0; i < used; ++i) {
        const char c = hexText[i];
        if (c >= '1' && c <= '9') dial += c;
        else if (c == 'A') dial += '0';
        else if (c == 'B') dial += '*';
        else if (c == 'C') dial += '#';
        else if (c == 'D') dial += ',';
        else return json{{"hex", hexText}};
    }
    return dial;
}

bool coordinateOf(const std::string& hex12, double& degrees) {
    const std::vector<std::uint8_t> b = bytesOf(hex12);
    if (b[0] > 9) return false;
    std::uint64_t whole = b[0], frac = 0;
    for (int i = 1; i < 6; ++i) {
        if ((b[i] >> 4) > 9 || (b[i] & 0x0F) > 9) return false;
        const unsigned v = (b[i] >> 4) * 10u + (b[i] & 0x0Fu);
        if (i == 1) whole = whole * 100 + v;
        else frac = frac * 100 + v;
    }
    degrees = static_cast<double>(whole * 100000000 + frac) / 1e8;
    return true;
}

json siteOf(const std::string& hex32) {
    double lat = 0, lon = 0;
    if (!coordinateOf(hex32.substr(8, 12), lat) || !coordinateOf(hex32.substr(20, 12), lon) || lat > 90 ||
        lon > 360)
        return json{{"hex", hex32}};
    if (lon > 180) lon -= 360;
    return json{{"code", hex32.substr(0, 8)}, {"latitude", lat}, {"longitude", lon}};
}

json registryOf(const std::string& hex62) {
    const std::string ring = hex62.substr(0, 12);
    if (hex62.substr(12) == std::string(50, '0')) return ring;
    const std::vector<std::uint8_t> b = bytesOf(hex62);
    json o{{"ring", ring}, {"byte", b[8]}};
    o["words"] = {b[9] << 8 | b[10], b[11] << 8 | b[12], b[13] << 8 | b[14]};
    o["long"] = static_cast<std::uint32_t>(b[15]) << 24 | static_cast<std::uint32_t>(b[16]) << 16 |
                static_cast<std::uint32_t>(b[17]) << 8 | b[18];
    o["data"] = hex62.substr(38);
    return o;
}

std::string bcdHexTime(const std::string& hex12) {
    const std::vector<std::uint8_t> b = bytesOf(hex12);
    Seconds s = 0;
    return fromBcd(b.data(), s) ? toText(s) : std::string();
}

}  // namespace

bool v1FromV2(const json& v2, std::int64_t hostNow, json& v1, V2Refusal& refusal, double* speed) {
    try {
        const std::string kindText = text(member(v2, "", "kind"), "");
        if (kindText != "M" && kindText != "S" && kindText != "H") bad("/kind", "not M, S or H");
        const ClockKind kind = kindText == "M" ? ClockKind::M : kindText == "S" ? ClockKind::S : ClockKind::H;
        if (kind == ClockKind::M)
            onlyKeys(v2, "", {"format", "version", "kind", "serial", "password", "initialised", "isp", "time",
                              "frozen", "speed", "saved_at", "card", "seed", "log", "races", "trainings",
                              "next_training_number", "registry", "settings"});
        else
            onlyKeys(v2, "", {"format", "version", "kind", "serial", "password", "initialised", "isp", "time",
                              "frozen", "speed", "saved_at", "card", "seed", "log", "race"});

        json j;
        j["format"] = v2.at("format");
        j["version"] = 1u;
        j["kind"] = kindText;
        std::uint32_t serial = 0;
        if (member(v2, "", "serial").given()) {
            serial = static_cast<std::uint32_t>(integer(member(v2, "", "serial"), 0xFFFFFFFFu, 0));
            if (serial == 0) bad("/serial", "zero (a record's lead field is never zero)");
        } else {
            std::uint8_t r[4] = {0, 0, 0, 1};
            skylark::osRandomBytes(r, sizeof r);
            serial = static_cast<std::uint32_t>(r[0]) << 24 | r[1] << 16 | r[2] << 8 | r[3];
            if (serial == 0) serial = 1;
        }
        j["serial"] = serial;
        j["password"] = paddedText(member(v2, "", "password"), 8, "a password");
        j["initialised"] = flag(member(v2, "", "initialised"), true);
        j["isp"] = flag(member(v2, "", "isp"), false);
        std::string now;
        {
            const skylark::DateTime t = skylark::osLocalNow();
            Seconds s = 0;
            secondsOf(Fields{t.year, t.month, t.day, t.hour, t.minute, t.second}, s);
            now = toText(s);
        }
        const std::string clockTime = localTime(member(v2, "", "time"), now);
        j["time"] = clockTime;
        j["frozen"] = flag(member(v2, "", "frozen"), false);
        const Field speedField = member(v2, "", "speed");
        double factor = 1;
        if (speedField.given()) {
            if (!speedField.value->is_number()) bad(speedField.where, "not a number");
            factor = speedField.value->get<double>();
            if (!(factor > 0 && factor <= CLV_MAX_SPEED))
                bad(speedField.where, "not a speed above 0 and at most 3600");
        }
        if (speed != nullptr) *speed = factor;
        std::int64_t savedAt = hostNow;
        const Field saved = member(v2, "", "saved_at");
        if (saved.given()) {
            const std::string s = text(saved, "");
            int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0, used = 0;
            if (std::sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ%n", &y, &mo, &d, &h, &mi, &se, &used) != 6 ||
                used != static_cast<int>(s.size()) || y < 1970 || y > 2200 || mo < 1 || mo > 12 || d < 1 ||
                d > 31 || h > 23 || mi > 59 || se > 59 || utcText(daysFromCivil(y, static_cast<unsigned>(mo),
                                                                                   static_cast<unsigned>(d)) * 86400 +
                                                                     h * 3600 + mi * 60 + se) != s)
                bad(saved.where, "not a UTC date-time YYYY-MM-DDThh:mm:ssZ");
            savedAt = daysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
                      mi * 60 + se;
        }
        j["saved_at"] = savedAt;
        std::uint8_t card[16] = {'V', static_cast<std::uint8_t>(kindText[0])};
        for (int i = 0; i < 4; ++i) card[2 + i] = static_cast<std::uint8_t>(serial >> (24 - 8 * i));
        j["card"] = hex(member(v2, "", "card"), 16, hexOf(card, 16));
        const Field seed = member(v2, "", "seed");
        if (!seed.given()) {
            j["seed"] = nullptr;
        } else if (seed.value->is_object()) {
            j["seed"] = *seed.value;  // as the clock saved it: value and stream
        } else {
            const auto value = integer(seed, 0xFFFFFFFFu, 0);
            std::uint8_t stream[8] = {};
            for (int i = 0; i < 8; ++i) stream[i] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
            j["seed"] = {{"value", value}, {"stream", hexOf(stream, 8)}};
        }

        // The event log.
        const Field log = member(v2, "", "log");
        json entries = json::array();
        std::uint64_t last = 0;
        if (log.given()) {
            onlyKeys(*log.value, log.where, {"next", "entries"});
            const Field list = member(*log.value, log.where, "entries");
            const json& l = array(list);
            for (std::size_t i = 0; i < l.size(); ++i) {
                const Field e = item(list, i);
                onlyKeys(*e.value, e.where, {"number", "type", "time", "data"});
                last = integer(member(*e.value, e.where, "number"), 0xFFFFFFFEu, last + 1);
                const std::string data = text(member(*e.value, e.where, "data"), "");
                if (!isHex(data) || data.size() % 2 != 0 || data.size() > 2 * kMaxLogData)
                    bad(e.where + "/data", "not hex text of at most 25 bytes");
                entries.push_back({{"number", last},
                                   {"type", integer(member(*e.value, e.where, "type"), 0xFF, 0)},
                                   {"time", localTime(member(*e.value, e.where, "time"), clockTime)},
                                   {"data", upper(data)}});
            }
            j["log"] = {{"next", integer(member(*log.value, log.where, "next"), 0xFFFFFFFFu, last + 1)},
                        {"entries", entries}};
        } else {
            j["log"] = {{"next", 1}, {"entries", entries}};
        }

        if (kind == ClockKind::M) {
            // The registry first: a race's cards default to its rings.
            const Field registry = member(v2, "", "registry");
            json reg = json::array(), rings = json::array();
            const json& rl = array(registry);
            for (std::size_t i = 0; i < rl.size(); ++i) {
                const std::string e = registryEntry(item(registry, i));
                reg.push_back(e);
                rings.push_back(e.substr(0, 16));
            }
            const Field races = member(v2, "", "races");
            json rs = json::array();
            const json& rlist = array(races);
            for (std::size_t i = 0; i < rlist.size(); ++i) {
                const Field r = item(races, i);
                onlyKeys(*r.value, r.where, {"key", "time1", "time2", "param", "state", "confirm_value",
                                             "confirm_data", "cards", "arrivals"});
                if (!member(*r.value, r.where, "key").given()) bad(r.where + "/key", "missing");
                const std::string t1 = localTime(member(*r.value, r.where, "time1"), clockTime);
                const Field cards = member(*r.value, r.where, "cards");
                json cs = json::array();
                if (cards.given()) {
                    const json& cl = array(cards);
                    for (std::size_t k = 0; k < cl.size(); ++k) {
                        const std::string c = hex(item(cards, k), 6, "", 8);
                        cs.push_back(c.size() == 12 ? c + "0000" : c);
                    }
                } else {
                    cs = rings;
                }
                rs.push_back({{"key", hex(member(*r.value, r.where, "key"), 8, "")},
                              {"time1", t1},
                              {"time2", localTime(member(*r.value, r.where, "time2"), t1)},
                              {"param", integer(member(*r.value, r.where, "param"), 0xFFFFFFFFu, 0)},
                              {"state", state(member(*r.value, r.where, "state"), "confirmed")},
                              {"confirm_value", integer(member(*r.value, r.where, "confirm_value"), 0xFFFF, 0)},
                              {"confirm_data", hex(member(*r.value, r.where, "confirm_data"), 8, std::string(16, '0'))},
                              {"cards", cs},
                              {"arrivals", arrivals(member(*r.value, r.where, "arrivals"))}});
            }
            const Field trainings = member(v2, "", "trainings");
            json ts = json::array();
            std::uint64_t highest = 0;
            const json& tl = array(trainings);
            for (std::size_t i = 0; i < tl.size(); ++i) {
                const Field t = item(trainings, i);
                onlyKeys(*t.value, t.where, {"number", "time1", "time2", "byte", "state", "confirm_value",
                                             "rings", "arrivals"});
                const auto number = integer(member(*t.value, t.where, "number"), 0xFFFF, highest + 1);
                highest = std::max(highest, number);
                const std::string t1 = localTime(member(*t.value, t.where, "time1"), clockTime);
                const Field tr = member(*t.value, t.where, "rings");
                json trs = json::array();
                const json& trl = array(tr);
                for (std::size_t k = 0; k < trl.size(); ++k) trs.push_back(hex(item(tr, k), 6, ""));
                ts.push_back({{"number", number},
                              {"time1", t1},
                              {"time2", localTime(member(*t.value, t.where, "time2"), t1)},
                              {"byte", integer(member(*t.value, t.where, "byte"), 0xFF, 0)},
                              {"state", state(member(*t.value, t.where, "state"), "created")},
                              {"confirm_value", integer(member(*t.value, t.where, "confirm_value"), 0xFFFF, 0)},
                              {"rings", trs},
                              {"arrivals", arrivals(member(*t.value, t.where, "arrivals"))}});
            }
            j["races"] = rs;
            j["trainings"] = ts;
            j["next_training_number"] =
                integer(member(v2, "", "next_training_number"), 0x10000, highest + 1);  // 65536: used up
            j["registry"] = reg;
            json fresh;
            fresh["channels"] = json::array();
            fresh["touch_types"] = json::array();
            for (int i = 0; i < 8; ++i) fresh["channels"].push_back("00000000"), fresh["touch_types"].push_back("00000000");
            fresh["site"] = std::string(32, '0');
            fresh["phone"] = std::string(32, '0');
            fresh["staff"] = std::string(32, '0');
            fresh["training_sites"] = std::vector<std::uint32_t>(kTrainSites, 0);
            j["settings"] = settings(member(v2, "", "settings"), fresh);
        } else {
            const Field race = member(v2, "", "race");
            if (!race.given()) {
                j["race"] = nullptr;
            } else {
                const json& r = *race.value;
                if (kind == ClockKind::S)
                    onlyKeys(r, race.where, {"key", "time1", "time2", "arrivals"});
                else
                    onlyKeys(r, race.where, {"key", "confirmed", "confirm_value", "cards", "arrivals"});
                if (!member(r, race.where, "key").given()) bad(race.where + "/key", "missing");
                json out{{"key", hex(member(r, race.where, "key"), 8, "")},
                         {"arrivals", arrivals(member(r, race.where, "arrivals"))}};
                if (kind == ClockKind::S) {
                    const std::string t1 = localTime(member(r, race.where, "time1"), clockTime);
                    out["time1"] = t1;
                    out["time2"] = localTime(member(r, race.where, "time2"), t1);
                } else {
                    out["confirmed"] = flag(member(r, race.where, "confirmed"), true);
                    out["confirm_value"] = integer(member(r, race.where, "confirm_value"), 0xFFFF, 0);
                    const Field cards = member(r, race.where, "cards");
                    json cs = json::array();
                    const json& cl = array(cards);
                    for (std::size_t k = 0; k < cl.size(); ++k) {
                        const Field c = item(cards, k);
                        std::string ring, code = std::string(16, '0'), time = clockTime;
                        if (c.value->is_string()) {
                            ring = hex(c, 6, "");
                        } else if (c.value->contains("hex")) {
                            onlyKeys(*c.value, c.where, {"hex"});
                            cs.push_back(hex(member(*c.value, c.where, "hex"), 22, ""));
                            continue;
                        } else {
                            onlyKeys(*c.value, c.where, {"ring", "code", "time"});
                            if (!member(*c.value, c.where, "ring").given()) bad(c.where + "/ring", "missing");
                            ring = hex(member(*c.value, c.where, "ring"), 6, "");
                            code = hex(member(*c.value, c.where, "code"), 8, code);
                            time = localTime(member(*c.value, c.where, "time"), clockTime);
                        }
                        Seconds s = 0;
                        fromText(time, s);
                        std::uint8_t bcd[6];
                        toBcd(s, bcd);
                        cs.push_back(ring + "0000" + code + hexOf(bcd, 6));
                    }
                    out["cards"] = cs;
                }
                j["race"] = out;
            }
        }
        v1 = std::move(j);
        return true;
    } catch (const Bad& b) {
        refusal = V2Refusal{b.where, b.what};
        return false;
    }
}

using ojson = nlohmann::ordered_json;

ojson ordered(const json& j) { return ojson::parse(j.dump()); }

ojson arrivalsOut(const json& list) {
    ojson out = ojson::array();
    for (const json& a : list)
        out.push_back({{"ring", a.at("ring")}, {"time", a.at("time")}, {"downloaded", a.at("downloaded")}});
    return out;
}

ojson v2FromV1(const json& v1, double speed) {
    ojson j;
    j["format"] = v1.at("format");
    j["version"] = 2;
    j["kind"] = v1.at("kind");
    j["serial"] = v1.at("serial");
    j["password"] = ordered(textOrHex(v1.at("password").get<std::string>()));
    j["initialised"] = v1.at("initialised");
    j["isp"] = v1.at("isp");
    j["time"] = v1.at("time");
    j["frozen"] = v1.at("frozen");
    // A whole speed as a whole number, as a person writes it.
    const auto whole = static_cast<std::int64_t>(speed);
    if (static_cast<double>(whole) == speed) j["speed"] = whole;
    else j["speed"] = speed;
    j["saved_at"] = utcText(v1.at("saved_at").get<std::int64_t>());
    j["card"] = v1.at("card");
    if (v1.contains("seed")) j["seed"] = ordered(v1.at("seed"));
    ojson entries = ojson::array();
    for (const json& e : v1.at("log").at("entries"))
        entries.push_back({{"number", e.at("number")}, {"type", e.at("type")}, {"time", e.at("time")},
                           {"data", e.at("data")}});
    j["log"] = {{"next", v1.at("log").at("next")}, {"entries", entries}};
    if (v1.at("kind") == "M") {
        ojson races = ojson::array();
        for (const json& r : v1.at("races")) {
            ojson cards = ojson::array();
            for (const json& c : r.at("cards")) {
                const std::string s = c.get<std::string>();
                cards.push_back(s.substr(12) == "0000" ? s.substr(0, 12) : s);
            }
            races.push_back({{"key", r.at("key")}, {"time1", r.at("time1")}, {"time2", r.at("time2")},
                             {"param", r.at("param")}, {"state", r.at("state")},
                             {"confirm_value", r.at("confirm_value")}, {"confirm_data", r.at("confirm_data")},
                             {"cards", cards}, {"arrivals", arrivalsOut(r.at("arrivals"))}});
        }
        j["races"] = races;
        ojson trainings = ojson::array();
        for (const json& t : v1.at("trainings"))
            trainings.push_back({{"number", t.at("number")}, {"time1", t.at("time1")}, {"time2", t.at("time2")},
                                 {"byte", t.at("byte")}, {"state", t.at("state")},
                                 {"confirm_value", t.at("confirm_value")}, {"rings", ordered(t.at("rings"))},
                                 {"arrivals", arrivalsOut(t.at("arrivals"))}});
        j["trainings"] = trainings;
        j["next_training_number"] = v1.at("next_training_number");
        ojson registry = ojson::array();
        for (const json& r : v1.at("registry")) registry.push_back(ordered(registryOf(r.get<std::string>())));
        j["registry"] = registry;
        const json& st = v1.at("settings");
        ojson site = ordered(siteOf(st.at("site").get<std::string>()));
        if (site.contains("code")) site = {{"code", site["code"]}, {"latitude", site["latitude"]}, {"longitude", site["longitude"]}};
        j["settings"] = {{"channels", ordered(st.at("channels"))},
                         {"touch_types", ordered(st.at("touch_types"))},
                         {"site", site},
                         {"phone", ordered(phoneOf(st.at("phone").get<std::string>()))},
                         {"staff", ordered(textOrHex(st.at("staff").get<std::string>()))},
                         {"training_sites", ordered(st.at("training_sites"))}};
    } else if (v1.at("race").is_null()) {
        j["race"] = nullptr;
    } else {
        const json& r = v1.at("race");
        ojson race;
        race["key"] = r.at("key");
        if (v1.at("kind") == "S") {
            race["time1"] = r.at("time1");
            race["time2"] = r.at("time2");
        } else {
            race["confirmed"] = r.at("confirmed");
            race["confirm_value"] = r.at("confirm_value");
            ojson cards = ojson::array();
            for (const json& c : r.at("cards")) {
                const std::string s = c.get<std::string>();
                const std::string time = bcdHexTime(s.substr(32, 12));
                if (s.substr(12, 4) != "0000" || time.empty())
                    cards.push_back({{"hex", s}});  // not a card the clock takes; kept as it is
                else
                    cards.push_back({{"ring", s.substr(0, 12)}, {"code", s.substr(16, 16)}, {"time", time}});
            }
            race["cards"] = cards;
        }
        race["arrivals"] = arrivalsOut(r.at("arrivals"));
        j["race"] = race;
    }
    return j;
}

}  // namespace standins::vclock
