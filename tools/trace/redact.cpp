// Redaction: every ring number and race key the session names becomes a
// stand-in, the same one wherever the value stands (arguments, outputs,
// parameter blocks, replies, ring-tag frames), so the library sends during a
// replay what the redacted trace recorded. Passwords become stand-ins and the
// blocks made from them are zeroed: a tolerant replay checks the library's
// own blocks for their form, not the recorded bytes. The record-decoding
// calls, which carry encrypted copies of ring numbers and touch no device,
// are left out.
#include "tools/trace/redact.h"

#include <cctype>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace skytrace {

namespace {

namespace tf = standins::tracefile;
using tf::json;

std::string upperHex(const std::string& s) {
    std::string d;
    for (char c : s)
        if (std::isxdigit(static_cast<unsigned char>(c)))
            d += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return d;
}

class StandIns {
public:
    // Registers a value (hex digits) of a kind; returns its stand-in.
    const std::string& ring(const std::string& v) { return add(rings_, v, "A0000000", 12); }
    const std::string& raceKey(const std::string& v) { return add(keys_, v, "B0000000000000", 16); }
    const std::string& password(const std::string& v) {
        auto it = passwords_.find(v);
        if (it != passwords_.end()) return it->second;
        char s[16];
        std::snprintf(s, sizeof s, "secret%02zu", passwords_.size() + 1);
        return passwords_[v] = s;
    }

    // Every known value in s, at a byte boundary, replaced by its stand-in.
    std::string apply(std::string s) const {
        for (const auto* m : {&keys_, &rings_})
            for (const auto& [v, standIn] : *m)
                for (std::size_t at = s.find(v); at != std::string::npos; at = s.find(v, at + 1))
                    if (at % 2 == 0) s.replace(at, v.size(), standIn);
        return s;
    }
    // In a download body: the race key's first four bytes (body bytes 12-15).
    std::string applyKeyPrefix(std::string s, std::size_t at) const {
        if (at + 8 > s.size()) return s;
        for (const auto& [v, standIn] : keys_)
            if (s.compare(at, 8, v, 0, 8) == 0) s.replace(at, 8, standIn, 0, 8);
        return s;
    }
    const std::map<std::string, std::string>& rings() const { return rings_; }

private:
    const std::string& add(std::map<std::string, std::string>& m, const std::string& v,
                           const char* prefix, std::size_t width) {
        auto it = m.find(v);
        if (it != m.end()) return it->second;
        char n[24];
        std::snprintf(n, sizeof n, "%0*zX", static_cast<int>(width - std::char_traits<char>::length(prefix)),
                      m.size() + 1);
        return m[v] = std::string(prefix) + n;
    }

    std::map<std::string, std::string> rings_, keys_, passwords_;
};

// ---- Ring-tag frames: ten 0 bits, thirteen fields each behind a 1 bit,
// a final 1 bit; fields 0-5 the ring number, 6-9 the race number, 10 zero,
// 11 and 12 the CRC-8 (polynomial 0x1D, start 0xFF) of ring and race number.

std::uint8_t crc8(const std::uint8_t* p, std::size_t n) {
    std::uint8_t crc = 0xFF;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int b = 0; b < 8; ++b) crc = static_cast<std::uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x1D : crc << 1);
    }
    return crc;
}

std::vector<std::uint8_t> frameFields(const std::vector<std::uint8_t>& frame) {
    std::vector<std::uint8_t> f(13, 0);
    for (int k = 0; k < 13; ++k)
        for (int b = 0; b < 8; ++b) {
            const int bit = 11 + 9 * k + b;
            if (frame[bit / 8] & (0x80 >> (bit % 8))) f[k] |= static_cast<std::uint8_t>(0x80 >> b);
        }
    return f;
}

std::vector<std::uint8_t> packFrame(std::vector<std::uint8_t> f) {
    f[11] = crc8(f.data(), 6);
    f[12] = crc8(f.data() + 6, 5);
    std::vector<std::uint8_t> frame(16, 0);
    auto set = [&](int bit) { frame[bit / 8] |= static_cast<std::uint8_t>(0x80 >> (bit % 8)); };
    for (int k = 0; k < 13; ++k) {
        set(10 + 9 * k);
        for (int b = 0; b < 8; ++b)
            if (f[k] & (0x80 >> b)) set(11 + 9 * k + b);
    }
    set(127);
    return frame;
}

// A frame whose ring number is a known one, with the stand-in in its place.
bool redactFrame(std::vector<std::uint8_t>& frame, StandIns& s) {
    std::vector<std::uint8_t> f = frameFields(frame);
    const std::string ring = tf::hexText(f.data(), 6);
    const auto it = s.rings().find(ring);
    if (it == s.rings().end()) return false;
    std::vector<std::uint8_t> standIn;
    tf::hexBytes(json(it->second), standIn);
    for (int i = 0; i < 6; ++i) f[i] = standIn[i];
    frame = packFrame(f);
    return true;
}

bool isRingArg(const std::string& name) {
    return name == "ringText" || name == "ringHex" || name == "ringNoHex" || name == "cardHex";
}
bool isKeyArg(const std::string& name) { return name == "raceKeyHex" || name == "raceKeyText"; }
bool isDownload(const std::string& x) {
    return x == "SKM_GetRaceRecord" || x == "SKS_GetRaceRecord" || x == "SKH_GetRaceRecord";
}
bool isRecordDecoding(const std::string& x) { return x.rfind("SK_ParseRecordInfo", 0) == 0; }

}  // namespace

void redact(tf::Trace& t) {
    StandIns s;
    // First every value the session names, from the arguments and outputs.
    for (const json& e : t.events) {
        if (e["ev"] != "export") continue;
        const std::string x = e["export"].get<std::string>();
        for (const char* part : {"args", "out"}) {
            if (!e.contains(part)) continue;
            for (const auto& [name, v] : e[part].items()) {
                if (!v.is_string() || v == "out") continue;
                const std::string d = upperHex(v.get<std::string>());
                if (isRingArg(name) && d.size() >= 12) s.ring(d.substr(0, 12));
                if (isKeyArg(name) && d.size() >= 16) s.raceKey(d.substr(0, 16));
                if (name == "recordText" && isDownload(x) && d.size() >= 12) s.ring(d.substr(0, 12));
            }
        }
    }

    std::vector<json> kept;
    std::map<std::uint64_t, bool> dropped;
    for (const json& e : t.events)
        if (e["ev"] == "export" && isRecordDecoding(e["export"].get<std::string>()))
            dropped[e["call"].get<std::uint64_t>()] = true;

    // Ring-tag page writes of one frame, gathered per call.
    std::map<std::uint64_t, std::vector<std::size_t>> framePages;
    for (json e : t.events) {
        const std::uint64_t call = e.value("call", std::uint64_t{0});
        if (dropped.count(call)) continue;
        const std::string ev = e["ev"].get<std::string>();
        if (ev == "export") {
            const std::string x = e["export"].get<std::string>();
            for (const char* part : {"args", "out"}) {
                if (!e.contains(part)) continue;
                for (auto& [name, v] : e[part].items()) {
                    if (!v.is_string() || v == "out") continue;
                    if (name == "password") {
                        const std::string p = v.get<std::string>().substr(0, 8);
                        if (!p.empty()) v = s.password(p);
                    } else if (isRingArg(name) || isKeyArg(name)) {
                        const std::string d = upperHex(v.get<std::string>());
                        v = s.apply(d);
                    } else {
                        std::string r = s.apply(v.get<std::string>());
                        if (name == "recordText" && isDownload(x)) r = s.applyKeyPrefix(r, 24);
                        v = r;
                    }
                }
            }
        } else if (ev == "clocklink") {
            for (const char* k : {"params", "reply"})
                if (e.contains(k)) e[k] = s.apply(e[k].get<std::string>());
            const std::string fn = e["fn"].get<std::string>();
            const unsigned number = e.value(fn == "IFD_RunUserCmd" ? "number" : "class", 0u);
            std::string p = e.value("params", std::string());
            if (fn == "IFD_RunSysCmd" && number == 2 && p.size() == 28) p.replace(0, 16, 16, '0');
            if (fn == "IFD_RunSysCmd" && number == 3 && p.size() == 24) p.replace(8, 16, 16, '0');
            if (e.contains("params")) e["params"] = p;
            if (fn == "IFD_RunUserCmd" && e.contains("reply")) {
                if (number == 7) e["reply"] = s.applyKeyPrefix(e["reply"].get<std::string>(), 32);
                if (number == 6) e["reply"] = s.applyKeyPrefix(e["reply"].get<std::string>(), 24);
            }
        } else if (ev == "ringreader" && e.contains("data")) {
            const std::string fn = e["fn"].get<std::string>();
            std::vector<std::uint8_t> data;
            tf::hexBytes(e["data"], data);
            if (fn == "HTS_ReadBlock" && data.size() == 16 && redactFrame(data, s)) e["data"] = tf::hexText(data);
        }
        kept.push_back(std::move(e));
        if (ev == "ringreader" && kept.back()["fn"] == "HTS_WritePage") {
            const unsigned page = kept.back().value("page", 0u);
            if (page >= 4 && page <= 7) framePages[call].push_back(kept.size() - 1);
        }
    }
    // The page writes of a frame (pages 4-7 of one call) as one frame.
    for (auto& [call, pages] : framePages) {
        if (pages.size() != 4) continue;
        std::vector<std::uint8_t> frame, part;
        for (std::size_t p : pages) {
            tf::hexBytes(kept[p]["data"], part);
            frame.insert(frame.end(), part.begin(), part.end());
        }
        if (frame.size() != 16 || !redactFrame(frame, s)) continue;
        for (std::size_t i = 0; i < 4; ++i) kept[pages[i]]["data"] = tf::hexText(frame.data() + 4 * i, 4);
    }

    t.events = std::move(kept);
    t.exports.clear();
    for (std::size_t i = 0; i < t.events.size(); ++i)
        if (t.events[i]["ev"] == "export") t.exports[t.events[i]["call"].get<std::uint64_t>()] = i;
    t.header["redacted"] = {"ring numbers", "race keys", "passwords",
                            "blocks made from passwords (zeroed)", "record-decoding calls (left out)"};
}

}  // namespace skytrace
