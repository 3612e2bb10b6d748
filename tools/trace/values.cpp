#include "tools/trace/values.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "skylark/skylark_types.h"

namespace skytrace {

namespace tf = standins::tracefile;

bool readReal(const json& v, double& out) {
    if (v.is_number()) {
        out = v.get<double>();
        return true;
    }
    if (v == "NaN") out = std::numeric_limits<double>::quiet_NaN();
    else if (v == "Infinity") out = std::numeric_limits<double>::infinity();
    else if (v == "-Infinity") out = -std::numeric_limits<double>::infinity();
    else return false;
    return true;
}

json realJson(double v) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    return v;
}

std::size_t bufferSize(const ExportInfo& x, const ArgInfo& a, const Slot* slots) {
    const std::string s = a.size;
    if (s.empty()) return 0;
    if (s.find_first_not_of("0123456789") == std::string::npos) return std::strtoul(s.c_str(), nullptr, 10);
    // "name" or "2*name+1": the argument's value.
    std::size_t mul = 1, add = 0;
    std::string name = s;
    if (name.rfind("2*", 0) == 0) {
        mul = 2;
        name = name.substr(2);
    }
    const auto plus = name.find('+');
    if (plus != std::string::npos) {
        add = std::strtoul(name.c_str() + plus + 1, nullptr, 10);
        name = name.substr(0, plus);
    }
    for (std::size_t i = 0; i < x.argCount; ++i)
        if (name == x.args[i].name) return mul * static_cast<std::size_t>(slots[i].u) + add;
    return 0;
}

json outputJson(const ExportInfo& x, const ArgInfo& a, const std::uint8_t* buf, std::size_t size,
                const Value& result) {
    const std::string type = a.type, enc = a.encoding;
    if (type == "double*") {
        double d;
        std::memcpy(&d, buf, sizeof d);
        return realJson(d);
    }
    if (type == "SK_ULONG*") {
        SK_ULONG v;
        std::memcpy(&v, buf, sizeof v);
        return static_cast<std::uint64_t>(v);
    }
    if (enc == "number") return static_cast<std::uint64_t>(buf[0]);
    if (enc == "bytes" || enc == "bcd") {
        const std::size_t n = std::strcmp(x.rule, "count") == 0 ? static_cast<std::size_t>(result.i) : size;
        return tf::hexText(buf, n);
    }
    // Text: up to the NUL, at most the buffer; each byte one character.
    std::string s;
    for (std::size_t i = 0; i < size && buf[i] != 0; ++i) {
        const unsigned char c = buf[i];
        if (c < 0x80) {
            s += static_cast<char>(c);
        } else {
            s += static_cast<char>(0xC0 | (c >> 6));
            s += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return s;
}

bool sameOutput(const json& recorded, const json& mine) {
    if (recorded.is_number() && mine.is_number()) {
        const double a = recorded.get<double>(), b = mine.get<double>();
        return a == b || (std::isnan(a) && std::isnan(b));
    }
    return recorded == mine;
}

json resultJson(const std::string& type, const Value& v) {
    if (type == "double") return realJson(v.d);
    if (type == "SK_ULONG") return static_cast<std::uint64_t>(static_cast<std::uint32_t>(v.i));
    return v.i;
}

bool sameResult(const std::string& type, const json& recorded, const Value& v) {
    if (type == "double") {
        double want;
        return readReal(recorded, want) && (want == v.d || (std::isnan(want) && std::isnan(v.d)));
    }
    return sameOutput(recorded, resultJson(type, v));
}

}  // namespace skytrace
