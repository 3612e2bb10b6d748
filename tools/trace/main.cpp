// skylark-trace: reads the traces of the tracing build of Skylark.
//
//   skylark-trace show TRACE [--raw]          the session in plain words
//   skylark-trace replay TRACE [--strict]     replays it through the normal library
//   skylark-trace redact TRACE -o OUT         stand-ins for rings, race keys, passwords
//   skylark-trace to-test TRACE -o TEST [--name NAME] [--strict] [--device H] [--reader R]
//                                             a regression test for tests/traces/ (of the
//                                             calls on clock handle H or reader R only)
//
// Exit status: 0 success; 1 a replay mismatch (the message names the
// exchange, the export and the bytes); 2 an unusable trace or arguments.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <set>
#include <vector>

#include "tools/trace/redact.h"
#include "tools/trace/replay.h"
#include "tools/trace/show.h"

namespace {

namespace tf = standins::tracefile;

bool load(const std::string& path, tf::Trace& t) {
    std::string error;
    if (tf::readTrace(path, t, error)) return true;
    std::cerr << "skylark-trace: " << path << ": " << error << "\n";
    return false;
}

bool write(const std::string& path, const tf::Trace& t) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << t.header.dump() << "\n";
    for (const auto& e : t.events) out << e.dump() << "\n";
    out.close();
    if (!out) std::cerr << "skylark-trace: cannot write " << path << "\n";
    return static_cast<bool>(out);
}

// Keeps the calls on the given clock handles and readers, and the calls on
// no device that lie between the first and the last of them.
void select(tf::Trace& t, const std::vector<std::uint64_t>& clocks,
            const std::vector<std::uint64_t>& readers) {
    auto wanted = [&](const std::vector<std::uint64_t>& v, std::uint64_t h) {
        return std::find(v.begin(), v.end(), h) != v.end();
    };
    std::set<std::uint64_t> keep, other;
    for (const auto& e : t.events) {
        const std::uint64_t call = e.value("call", std::uint64_t{0});
        if (e["ev"] == "clocklink") (wanted(clocks, e["handle"]) ? keep : other).insert(call);
        if (e["ev"] == "ringreader") (wanted(readers, e["reader"]) ? keep : other).insert(call);
        if (e["ev"] == "export" && e.contains("args")) {
            const bool ring = e["export"].get<std::string>().rfind("SKR_", 0) == 0;
            const char* key = ring ? "reader" : "handle";
            if (e["args"].contains(key))
                (wanted(ring ? readers : clocks, e["args"][key]) ? keep : other).insert(call);
        }
    }
    if (keep.empty()) {
        t.events.clear();
        t.exports.clear();
        return;
    }
    const std::uint64_t first = *keep.begin(), last = *keep.rbegin();
    std::vector<tf::json> kept;
    t.exports.clear();
    for (auto& e : t.events) {
        const std::uint64_t call = e.value("call", std::uint64_t{0});
        if (keep.count(call) == 0 && (other.count(call) != 0 || call < first || call > last)) continue;
        if (e["ev"] == "export") t.exports[call] = kept.size();
        kept.push_back(std::move(e));
    }
    t.events = std::move(kept);
}

int report(const skytrace::ReplayResult& r, const std::string& path) {
    if (r.status == 0) {
        std::cout << path << ": " << r.calls << " export calls and " << r.exchanges
                  << " exchanges replayed, every result and output as recorded\n";
        return 0;
    }
    // A mismatch names its exchange ("exchange 83 (call 38, ...)") or the
    // end of the recorded calls ("after exchange 237: ...").
    const char* lead = r.status != 1 ? "" : r.message.rfind("exchange ", 0) == 0 ? "mismatch at " : "mismatch ";
    std::cerr << "skylark-trace: " << path << ": " << lead << r.message << "\n";
    return r.status;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Reads, replays and redacts traces of the tracing build of Skylark"};
    app.require_subcommand(1);
    std::string trace, output, name;
    bool raw = false, strict = false;

    auto* show = app.add_subcommand("show", "The session in plain words, one exchange per line");
    show->add_option("TRACE", trace, "trace file")->required();
    show->add_flag("--raw", raw, "also the bytes of every exchange");

    auto* replay = app.add_subcommand("replay", "Replay the export calls through the normal library");
    replay->add_option("TRACE", trace, "trace file")->required();
    replay->add_flag("--strict", strict, "compare the proof blocks byte for byte");

    auto* redact = app.add_subcommand("redact", "Consistent stand-ins for rings, race keys and passwords");
    redact->add_option("TRACE", trace, "trace file")->required();
    redact->add_option("-o,--output", output, "redacted trace")->required();

    auto* toTest = app.add_subcommand("to-test", "Make the trace a regression test (tests/traces/)");
    toTest->add_option("TRACE", trace, "trace file")->required();
    toTest->add_option("-o,--output", output, "test file")->required();
    toTest->add_option("--name", name, "the test's name");
    toTest->add_flag("--strict", strict, "the test replays in strict mode");
    std::vector<std::uint64_t> clocks, readers;
    toTest->add_option("--device", clocks, "keep the calls on this clock handle (repeatable)")->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    toTest->add_option("--reader", readers, "keep the calls on this reader (repeatable)")->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }

    tf::Trace t;
    if (!load(trace, t)) return 2;
    if (*show) {
        skytrace::show(t, raw, std::cout);
        return 0;
    }
    if (*replay) return report(skytrace::replay(trace, t, strict), trace);
    if (*redact) {
        skytrace::redact(t);
        return write(output, t) ? 0 : 2;
    }
    // to-test: the calls asked for, and only a trace that replays becomes a test.
    std::string source = trace;
    if (!clocks.empty() || !readers.empty()) {
        select(t, clocks, readers);
        source = output + ".part";
        if (!write(source, t)) return 2;
    }
    const skytrace::ReplayResult r = skytrace::replay(source, t, strict);
    if (source != trace) std::remove(source.c_str());
    if (r.status != 0) return report(r, trace);
    t.header["test"] = {{"name", name.empty() ? output : name}, {"mode", strict ? "strict" : "tolerant"}};
    if (!write(output, t)) return 2;
    std::cout << output << ": a test of " << r.calls << " export calls\n";
    return 0;
}
