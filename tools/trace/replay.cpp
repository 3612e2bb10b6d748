#include "tools/trace/replay.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

#include "standins/replay/replay_device.h"
#include "tools/trace/exports.h"
#include "tools/trace/values.h"

namespace skytrace {

namespace {

using standins::tracefile::json;
namespace tf = standins::tracefile;

constexpr std::uint8_t kUntouched = 0xA5;  // fills every output buffer before a call
constexpr std::size_t kGuard = 16;         // bytes past the documented size, also checked
constexpr REPLAY_ULONG kNoDevice = 0xFFFFFFF0u;

// Outputs ClockLink itself writes into the caller's buffer, also when the
// export then fails: not checked for being untouched.
bool clockLinkWrites(const std::string& exportName, const std::string& arg) {
    return (exportName == "SK_GetDevState" && arg == "state") ||
           (exportName == "SKM_GetStaffNo" && arg == "staffNo") ||
           (exportName == "SKH_GetRaceInfo" && arg == "raceKeyHex");
}

struct Devices {
    std::map<std::uint64_t, REPLAY_ULONG> clocks, readers;
    ~Devices() {
        for (auto& c : clocks) CLR_CloseReplay(c.second);
        for (auto& r : readers) RRR_CloseReplay(r.second);
    }
    // The first mismatch any device saw, or a recorded call not made by
    // the end of export call `call`.
    bool check(std::uint64_t call, std::string& message) {
        char buf[2048];
        for (auto& c : clocks)
            if (CLR_ReplayCheck(c.second, static_cast<REPLAY_ULONG>(call), buf, sizeof buf) != REPLAY_OK) {
                message = buf;
                return false;
            }
        for (auto& r : readers)
            if (RRR_ReplayCheck(r.second, static_cast<REPLAY_ULONG>(call), buf, sizeof buf) != REPLAY_OK) {
                message = buf;
                return false;
            }
        return true;
    }
};

std::string where(const json& e) {
    std::ostringstream s;
    s << "exchange " << e["n"].get<std::uint64_t>() << " (call " << e["call"].get<std::uint64_t>()
      << ", " << e["export"].get<std::string>() << ")";
    return s.str();
}

}  // namespace

ReplayResult replay(const std::string& path, const tf::Trace& trace, bool strict) {
    ReplayResult res;
    auto unusable = [&](std::string m) {
        res.status = 2;
        res.message = std::move(m);
        return res;
    };
    auto mismatch = [&](std::string m) {
        res.status = 1;
        res.message = std::move(m);
        return res;
    };

    Devices devices;
    const int mode = strict ? REPLAY_STRICT : REPLAY_TOLERANT;
    for (const json& e : trace.events) {
        const bool clock = e["ev"] == "clocklink";
        if (!clock && e["ev"] != "ringreader") continue;
        const std::uint64_t h = e.value(clock ? "handle" : "reader", std::uint64_t{0});
        auto& map = clock ? devices.clocks : devices.readers;
        if (map.count(h) != 0) continue;
        int err = 0;
        const REPLAY_ULONG d = clock ? CLR_OpenReplay(path.c_str(), static_cast<REPLAY_ULONG>(h), mode, &err)
                                     : RRR_OpenReplay(path.c_str(), static_cast<REPLAY_ULONG>(h), mode, &err);
        if (d == 0) return unusable("cannot open the trace as a replay device (error " + std::to_string(err) + ")");
        map[h] = d;
    }

    std::uint64_t lastCall = 0;
    for (const json& e : trace.events) {
        if (e["ev"] == "clocklink" || e["ev"] == "ringreader") {
            ++res.exchanges;
            continue;
        }
        if (e["ev"] != "export") continue;
        const std::string name = e["export"].get<std::string>();
        const ExportInfo* x = findExport(name);
        if (x == nullptr) return unusable(where(e) + ": no export of that name");
        const std::uint64_t call = e["call"].get<std::uint64_t>();
        lastCall = call > lastCall ? call : lastCall;
        const json args = e.value("args", json::object());

        std::vector<Slot> slots(x->argCount);
        std::vector<std::vector<std::uint8_t>> store(x->argCount);
        std::vector<std::size_t> outSize(x->argCount, 0);
        for (std::size_t i = 0; i < x->argCount; ++i) {
            const ArgInfo& a = x->args[i];
            if (!args.contains(a.name)) return unusable(where(e) + ": argument " + a.name + " missing");
            const json& v = args[a.name];
            const std::string enc = a.encoding, type = a.type;
            if (std::strcmp(a.dir, "in") == 0) {
                if (enc == "handle") {
                    const auto& map = std::strcmp(x->family, "ring") == 0 ? devices.readers : devices.clocks;
                    const auto it = map.find(v.get<std::uint64_t>());
                    slots[i].u = it != map.end() ? it->second : kNoDevice;
                } else if (type == "double") {
                    if (!readReal(v, slots[i].d)) return unusable(where(e) + ": " + a.name + " is not a number");
                } else if (type == "SK_ULONG") {
                    slots[i].u = v.get<std::uint64_t>();
                } else if (v.is_null()) {
                    slots[i].p = nullptr;
                } else if (enc == "bytes" || enc == "bcd") {
                    if (!tf::hexBytes(v, store[i])) return unusable(where(e) + ": " + a.name + " is not hex");
                    store[i].resize(store[i].size() + 1);
                    slots[i].p = store[i].data();
                } else {
                    const std::string bytes = tf::textBytes(v.get<std::string>());
                    store[i].assign(bytes.begin(), bytes.end());
                    store[i].push_back(0);
                    slots[i].p = store[i].data();
                }
            }
        }
        for (std::size_t i = 0; i < x->argCount; ++i) {
            const ArgInfo& a = x->args[i];
            if (std::strcmp(a.dir, "out") != 0 || args[a.name].is_null()) continue;
            outSize[i] = bufferSize(*x, a, slots.data());
            store[i].assign(outSize[i] + kGuard, kUntouched);
            slots[i].p = store[i].data();
        }

        Value got;
        invoke(static_cast<std::size_t>(x - kExports), slots.data(), got);
        ++res.calls;

        std::string m;
        if (!devices.check(call, m)) return mismatch(m);

        const std::string result = x->result;
        if (result != "void") {
            const json& want = e.contains("result") ? e["result"] : json();
            if (!sameResult(result, want, got))
                return mismatch(where(e) + ": result expected " + want.dump() + ", received " +
                                resultJson(result, got).dump());
        }
        const bool succeeded = result != "BOOL16" || got.i != 0;
        const json outs = e.value("out", json::object());
        for (std::size_t i = 0; i < x->argCount; ++i) {
            const ArgInfo& a = x->args[i];
            if (std::strcmp(a.dir, "out") != 0 || slots[i].p == nullptr) continue;
            const std::uint8_t* buf = store[i].data();
            if (outs.contains(a.name)) {
                const json mine = outputJson(*x, a, buf, outSize[i], got);
                if (!sameOutput(outs[a.name], mine))
                    return mismatch(where(e) + ": output " + a.name + ": expected " +
                                    outs[a.name].dump() + ", received " + mine.dump());
            } else if (!succeeded && !clockLinkWrites(name, a.name)) {
                for (std::size_t k = 0; k < store[i].size(); ++k)
                    if (buf[k] != kUntouched)
                        return mismatch(where(e) + ": output " + a.name +
                                        " was written although the call failed (byte " +
                                        std::to_string(k) + ")");
            }
            // Nothing past the documented size, whatever the outcome.
            for (std::size_t k = outSize[i]; k < store[i].size(); ++k)
                if (buf[k] != kUntouched)
                    return mismatch(where(e) + ": output " + a.name + " written past its " +
                                    std::to_string(outSize[i]) + " bytes");
        }
    }
    std::string m;
    if (!devices.check(~std::uint64_t{0} >> 32, m)) return mismatch(m);
    (void)lastCall;
    return res;
}

}  // namespace skytrace
