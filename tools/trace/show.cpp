// Each export call as a line with its arguments and result, and below it
// each ClockLink and RingReader call it made, named from the library's
// command index and decoded by the layouts.
#include "tools/trace/show.h"

#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "frame/commands.h"
#include "tools/trace/values.h"

namespace skytrace {

namespace {

namespace tf = standins::tracefile;
using Bytes = std::vector<std::uint8_t>;

std::string hex(const Bytes& b, std::size_t from, std::size_t n) {
    if (from >= b.size()) return "";
    if (from + n > b.size()) n = b.size() - from;
    return tf::hexText(b.data() + from, n);
}

unsigned be16(const Bytes& b, std::size_t at) {
    return at + 1 < b.size() ? unsigned(b[at]) << 8 | b[at + 1] : 0;
}
unsigned long be32(const Bytes& b, std::size_t at) {
    return at + 3 < b.size() ? (unsigned long)b[at] << 24 | (unsigned long)b[at + 1] << 16 |
                                   (unsigned long)b[at + 2] << 8 | b[at + 3]
                             : 0;
}

// "2026-05-16 09:41:07" from six BCD bytes, as the clock sent them.
std::string bcdDate(const Bytes& b, std::size_t at) {
    if (at + 6 > b.size()) return "?";
    char s[32];
    std::snprintf(s, sizeof s, "20%02X-%02X-%02X %02X:%02X:%02X", b[at], b[at + 1], b[at + 2],
                  b[at + 3], b[at + 4], b[at + 5]);
    return s;
}

// "2026-05-16 09:41:07" from an OLE date.
std::string oleDate(const json& v) {
    double d;
    if (!readReal(v, d) || !(d > -657435.0 && d < 2958466.0)) return v.dump();
    long long secs = static_cast<long long>(d * 86400.0 + (d >= 0 ? 0.5 : -0.5));
    long long days = secs / 86400, rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    const long long z = days + 693899;  // day 0 (30 December 1899) from 1 March 0000
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const long long doe = z - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const int dd = int(doy - (153 * mp + 2) / 5 + 1);
    const int mm = int(mp < 10 ? mp + 3 : mp - 9);
    const long long yy = yoe + era * 400 + (mm <= 2 ? 1 : 0);
    char s[40];
    std::snprintf(s, sizeof s, "%04lld-%02d-%02d %02lld:%02lld:%02lld", yy, mm, dd, rest / 3600,
                  rest / 60 % 60, rest % 60);
    return s;
}

// The command of the index that an exchange is: by kind, number, selector
// byte and lengths; the call's export decides between equals.
const skylark::Command* commandOf(bool user, unsigned number, const Bytes& params, const json& preset,
                                  const std::string& exportName) {
    const skylark::Command* best = nullptr;
    for (const skylark::Command* c : skylark::kCommandIndex) {
        if ((c->kind == skylark::Kind::User) != user || c->number != number) continue;
        if (c->selector != skylark::kNoSelector && (params.empty() || params[0] != c->selector)) continue;
        if (c->paramLen != params.size()) continue;
        const unsigned want = preset.is_null() ? 0 : preset.get<unsigned>();
        if (c->replyLen != want) continue;
        if (best == nullptr || exportName == c->name) best = c;
    }
    return best;
}

// The words for a command's parameters and reply.
std::string decode(const skylark::Command& c, const Bytes& p, const Bytes& r, bool ok, bool verified) {
    using namespace skylark::cmd;
    std::ostringstream s;
    auto is = [&](const skylark::Command& e) { return &c == &e; };
    if (is(InitDev)) s << "host time " << bcdDate(p, 8);
    else if (is(Authenticate)) s << "comm-key random " << hex(p, 0, 4);
    else if (is(SetPigeon) || is(SetTime)) s << "new time " << bcdDate(p, 0);
    else if (is(CreateRace)) s << "race " << hex(p, 0, 8) << ", liberation " << bcdDate(p, 8) << ", closing " << bcdDate(p, 14);
    else if (is(SCreateRace)) s << "race " << hex(p, 0, 8) << ", first time " << bcdDate(p, 8) << ", second " << bcdDate(p, 14);
    else if (is(HCreateRace) || is(CloseRace) || is(RemoveRace) || is(HConfirmRace)) s << "race " << hex(p, is(CloseRace) || is(RemoveRace) ? 1 : 0, 8);
    else if (is(ConfirmRace)) s << "race " << hex(p, 0, 8);
    else if (is(AddRaceCard)) s << "ring " << hex(p, 0, 6);
    else if (is(HAddRaceCard)) s << "ring " << hex(p, 0, 6) << ", code " << hex(p, 6, 8) << ", time " << bcdDate(p, 14);
    else if (is(AppendCard) || is(ModifyCard)) s << "ring " << hex(p, 1, 6);
    else if (is(RemoveCard)) s << "ring " << hex(p, 0, 6);
    else if (is(GetRaceIndex) || is(GetCardIndex)) s << (is(GetRaceIndex) ? "race " : "ring ") << hex(p, 1, is(GetRaceIndex) ? 8 : 6);
    else if (is(GetRaceInfo) || is(GetRaceInfo2)) s << "race " << be16(p, 1);
    else if (is(GetRaceCard)) s << "race " << be16(p, 1) << ", card " << be16(p, 3);
    else if (is(GetLogInfo)) s << "log entry " << be32(p, 1);
    else if (is(GetRaceRecord)) s << "race " << be16(p, 0) << ", record " << be16(p, 2);
    else if (is(SGetRaceRecord)) s << "record " << be16(p, 0);
    else if (is(GetCardInfo)) s << "entry " << be16(p, 1);
    if (!ok) return s.str();
    std::string sep = s.str().empty() ? "" : ": ";
    s << sep;
    if (is(GetTime)) s << "clock time " << bcdDate(r, 0);
    else if (is(GetDevInfo)) s << "device information " << hex(r, 0, 16);
    else if (is(GetDevState)) s << "state " << hex(r, 0, 1);
    else if (is(GetRaceCount) || is(GetCardCount) || is(GetTrainCount) || is(HGetCardCount)) s << "count " << be16(r, 0);
    else if (is(GetRaceIndex) || is(GetCardIndex) || is(GetTrainIndex)) s << "index " << be16(r, 0);
    else if (is(GetMaxLogNo)) s << "newest entry " << be32(r, 0);
    else if (is(GetRaceInfo)) s << "race " << hex(r, 0, 8) << ", liberation " << bcdDate(r, 8) << ", closing " << bcdDate(r, 14) << ", figure " << be16(r, 20);
    else if (is(GetRaceCard)) s << "ring " << hex(r, 0, 6);
    else if (is(GetCardInfo)) s << "ring " << hex(r, 0, 6);
    else if (is(GetLogInfo)) s << "type " << hex(r, 0, 1) << ", " << bcdDate(r, 1) << ", data " << hex(r, 7, r.size() > 7 ? r.size() - 7 : 0);
    else if (is(SQueryState)) s << "state " << hex(r, 0, 1) << ", counters " << be16(r, 1) << " and " << be16(r, 3) << ", time " << bcdDate(r, 5);
    else if (is(SGetRaceInfo) || is(HGetRaceKey)) s << "race " << hex(r, 0, 8);
    else if (is(HGetRaceCard)) s << "ring " << hex(r, 0, 6) << ", code " << hex(r, 6, 8) << ", time " << bcdDate(r, 14);
    else if (is(GetRaceRecord))
        s << "lead " << hex(r, 0, 4) << ", ring " << hex(r, 4, 6) << ", arrival " << bcdDate(r, 20)
          << (r.size() == 34 ? (verified ? ", code verified" : ", code not verified") : "");
    else if (is(SGetRaceRecord))
        s << "ring " << hex(r, 0, 6) << ", arrival " << bcdDate(r, 16)
          << (r.size() == 30 ? (verified ? ", code verified" : ", code not verified") : "");
    else if (is(CreateTrain)) s << "training " << be16(r, 0);
    else if (is(SReadCard)) s << "card " << hex(r, 0, 16);
    else if (r.empty()) s << "done";
    else s << "reply " << hex(r, 0, r.size());
    return s.str();
}

std::string argsText(const tf::Trace&, const json& e) {
    const ExportInfo* x = findExport(e["export"].get<std::string>());
    std::ostringstream s;
    if (x == nullptr) return e.value("args", json::object()).dump();
    const json args = e.value("args", json::object());
    bool first = true;
    for (std::size_t i = 0; i < x->argCount; ++i) {
        const ArgInfo& a = x->args[i];
        if (std::strcmp(a.dir, "out") == 0 || !args.contains(a.name)) continue;
        s << (first ? "" : ", ") << a.name << " ";
        first = false;
        const json& v = args[a.name];
        if (std::strcmp(a.encoding, "oledate") == 0) s << oleDate(v);
        else s << v.dump();
    }
    return s.str();
}

std::string outsText(const json& e) {
    const ExportInfo* x = findExport(e["export"].get<std::string>());
    if (!e.contains("out") || x == nullptr) return "";
    std::ostringstream s;
    bool first = true;
    for (std::size_t i = 0; i < x->argCount; ++i) {
        const ArgInfo& a = x->args[i];
        if (!e["out"].contains(a.name)) continue;
        s << (first ? "; " : ", ") << a.name << " ";
        first = false;
        if (std::strcmp(a.encoding, "oledate") == 0) s << oleDate(e["out"][a.name]);
        else s << e["out"][a.name].dump();
    }
    return s.str();
}

std::string linkText(const tf::Trace& t, const json& e, bool raw) {
    const std::string fn = e["fn"].get<std::string>();
    const std::int64_t status = e.value("status", std::int64_t{0});
    const std::string exportName = tf::exportOf(t, e.value("call", std::uint64_t{0}));
    Bytes p, r;
    tf::hexBytes(e.value("params", json("")), p);
    tf::hexBytes(e.value(e["ev"] == "ringreader" ? "data" : "reply", json("")), r);
    std::ostringstream s;
    if (fn == "IFD_RunSysCmd" || fn == "IFD_RunUserCmd") {
        const bool user = fn == "IFD_RunUserCmd";
        const unsigned number = e.value(user ? "number" : "class", 0u);
        const json preset = e.value("preset", json());
        const skylark::Command* c = commandOf(user, number, p, preset, exportName);
        const bool lengthOk = c == nullptr || c->replyLen == 0 ||
                              e.value("delivered", 0u) == c->replyLen ||
                              (c->minReply != 0 && e.value("delivered", 0u) >= c->minReply);
        s << (user ? "user command " : "class ") << number;
        if (c != nullptr) s << " (" << c->name << ")";
        if (status == 0) s << ": refused";
        else if (!lengthOk) s << ": reply of " << e.value("delivered", 0u) << " bytes, expected " << unsigned(c->replyLen);
        const bool verified = t.exports.count(e.value("call", std::uint64_t{0})) &&
                              t.events[t.exports.at(e["call"].get<std::uint64_t>())].value("result", std::int64_t{0}) != 0;
        if (c != nullptr) {
            const std::string words = decode(*c, p, r, status != 0 && lengthOk, verified);
            if (!words.empty()) s << (status == 0 || !lengthOk ? ", " : ", ") << words;
        }
        if (status != 0 && status != 1) s << " (status " << status << ")";
        if (raw) {
            s << "\n          params " << hex(p, 0, p.size());
            if (!preset.is_null())
                s << "  preset " << preset.get<unsigned>() << "  delivered " << e.value("delivered", 0u)
                  << "  reply " << hex(r, 0, r.size());
        }
    } else if (fn == "IFD_GetRnd") {
        s << (status ? "device random " + hex(r, 0, 4) : std::string("device random refused"));
    } else if (fn == "IFD_GetCommKeyRnd") {
        s << "comm-key random " << hex(r, 0, 4) << (status ? "" : " (status 0)");
    } else if (fn == "IFD_SetCommKey") {
        Bytes rnd;
        tf::hexBytes(e.value("rnd", json("")), rnd);
        s << (status ? "comm key installed, random " : "comm key refused, random ") << hex(rnd, 0, 8);
        if (raw) s << "\n          key " << e.value("key", std::string());
    } else if (fn == "IFD_IsCommKeyValid") {
        s << (status ? "comm key valid" : "no valid comm key");
    } else if (fn == "IFD_GetErrCode") {
        s << "error code " << e.value("result", 0u);
    } else if (fn == "HTS_Active") {
        s << (status ? "tag activated, UID " + hex(r, 0, 4) : std::string("no tag activated"));
    } else if (fn == "HTS_Deactive") {
        s << (status ? "tag released" : "release failed");
    } else if (fn == "HTS_ReadPage" || fn == "HTS_WritePage") {
        s << (fn == "HTS_ReadPage" ? "read page " : "write page ") << e.value("page", 0u) << " "
          << hex(r, 0, 4) << (status ? "" : ": failed");
    } else if (fn == "HTS_ReadBlock") {
        s << "read block " << e.value("block", 0u) << (status ? ": " + hex(r, 0, 16) : std::string(": failed"));
    } else {
        s << fn;
    }
    return s.str();
}

}  // namespace

void show(const tf::Trace& t, bool raw, std::ostream& out) {
    const json& h = t.header;
    out << "trace: skylark-trace " << h.value("version", "?") << ", library " << h.value("library", "?")
        << ", " << h.value("os", "?") << " " << h.value("arch", "?") << ", " << h.value("time", "?");
    if (h.contains("redacted") && !h["redacted"].empty()) out << ", redacted: " << h["redacted"].dump();
    out << "\n";
    // Each call's exchanges are written before the call's own line: gather
    // them so that the call comes first.
    std::map<std::uint64_t, std::vector<const json*>> byCall;
    for (const json& e : t.events)
        if (e["ev"] != "export") byCall[e.value("call", std::uint64_t{0})].push_back(&e);
    for (const json& e : t.events) {
        if (e["ev"] != "export") continue;
        const std::uint64_t call = e["call"].get<std::uint64_t>();
        out << "call " << call << "  " << e["export"].get<std::string>() << "(" << argsText(t, e) << ")";
        if (e.contains("result")) {
            out << " -> ";
            if (e["result"].is_number_float()) out << oleDate(e["result"]);
            else out << e["result"].dump();
        }
        out << outsText(e) << "\n";
        for (const json* x : byCall[call])
            out << "  " << std::string(6 - std::min<std::size_t>(6, std::to_string((*x)["n"].get<std::uint64_t>()).size()), ' ')
                << (*x)["n"].get<std::uint64_t>() << "  " << linkText(t, *x, raw) << "\n";
    }
}

}  // namespace skytrace
