// Reading a trace of the tracing build (docs/trace-format.md): the replay
// devices of our ClockLink and RingReader and the skylark-trace tool share
// this. A trace is its header and its events, each kept as the JSON object
// it was written as.
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "standins/hex.h"

namespace standins::tracefile {

using json = nlohmann::ordered_json;

// The format this code reads: its name and the major version it knows.
inline constexpr const char* kFormatName = "skylark-trace";
inline constexpr int kFormatMajor = 1;

struct Trace {
    json header;
    std::vector<json> events;                     // in file order
    std::map<std::uint64_t, std::size_t> exports;  // export event by call number
};

// The major number of a version text "M.m"; -1 when it is not one.
inline int majorOf(const std::string& version) {
    std::size_t i = 0;
    int major = 0;
    while (i < version.size() && version[i] >= '0' && version[i] <= '9') {
        major = major * 10 + (version[i] - '0');
        if (major > 100000) return -1;
        ++i;
    }
    return i == 0 || i == version.size() || version[i] != '.' ? -1 : major;
}

// Parses a whole trace; false with a message naming the line that is wrong.
inline bool parseTrace(std::istream& in, Trace& out, std::string& error) {
    std::string line;
    std::size_t lineNo = 0;
    out = Trace{};
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        json j = json::parse(line, nullptr, false);
        if (j.is_discarded() || !j.is_object()) {
            error = "line " + std::to_string(lineNo) + ": not a JSON object";
            return false;
        }
        if (out.header.is_null()) {
            if (j.value("format", "") != kFormatName || !j.contains("version") ||
                !j["version"].is_string()) {
                error = "line 1 is not a skylark-trace header";
                return false;
            }
            const int major = majorOf(j["version"].get<std::string>());
            if (major < 0) {
                error = "line 1: version is not of the form major.minor";
                return false;
            }
            if (major > kFormatMajor) {
                error = "the trace is format version " + j["version"].get<std::string>() +
                        "; this reader knows version " + std::to_string(kFormatMajor) +
                        ".x and older";
                return false;
            }
            out.header = std::move(j);
            continue;
        }
        if (!j.contains("ev") || !j["ev"].is_string() || !j.contains("n") ||
            !j["n"].is_number_unsigned()) {
            error = "line " + std::to_string(lineNo) + ": an event needs \"n\" and \"ev\"";
            return false;
        }
        if (j["ev"] == "export") {
            if (!j.contains("call") || !j["call"].is_number_unsigned() || !j.contains("export") ||
                !j["export"].is_string()) {
                error = "line " + std::to_string(lineNo) + ": an export event needs \"call\" and \"export\"";
                return false;
            }
            out.exports[j["call"].get<std::uint64_t>()] = out.events.size();
        }
        out.events.push_back(std::move(j));
    }
    if (out.header.is_null()) {
        error = "empty file: no skylark-trace header";
        return false;
    }
    return true;
}

inline bool readTrace(const std::string& path, Trace& out, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    return parseTrace(in, out, error);
}

// Upper-case hex text as bytes; false when it is not hex of whole bytes.
inline bool hexBytes(const json& v, std::vector<std::uint8_t>& out) {
    out.clear();
    if (!v.is_string()) return false;
    const std::string& s = v.get_ref<const std::string&>();
    if (s.size() % 2 != 0) return false;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        const int hi = hexDigit(s[i]), lo = hexDigit(s[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(static_cast<std::uint8_t>(hi << 4 | lo));
    }
    return true;
}

using standins::hexText;

inline std::string hexText(const std::vector<std::uint8_t>& v) { return hexText(v.data(), v.size()); }

// A text argument as the bytes the caller passed: each character of the
// trace is one byte (the writer escapes bytes of 0x7F and above as their
// code point).
inline std::string textBytes(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
            ++i;
        } else {
            out += static_cast<char>(c);  // beyond one byte: kept as it stands
        }
    }
    return out;
}

// The export of a call, for messages: "SKM_GetRaceRecord", or "?".
inline std::string exportOf(const Trace& t, std::uint64_t call) {
    const auto it = t.exports.find(call);
    return it == t.exports.end() ? "?" : t.events[it->second]["export"].get<std::string>();
}

// Where an event stands, for messages: "exchange 83 (call 38, SKM_GetRaceRecord)".
inline std::string where(const Trace& t, const json& ev) {
    std::ostringstream s;
    s << "exchange " << ev.value("n", std::uint64_t{0});
    if (ev.contains("call"))
        s << " (call " << ev["call"].get<std::uint64_t>() << ", "
          << exportOf(t, ev["call"].get<std::uint64_t>()) << ")";
    return s.str();
}

}  // namespace standins::tracefile
