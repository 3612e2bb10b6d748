// The runner of the recorded-session tests of tests/traces/: a test's
// export calls replayed through the library against the replay devices, in
// the mode its header names ("test": {"mode": ...}); exit 0 when every
// result and output is as recorded.
#include <iostream>

#include "tools/trace/replay.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: skylark_trace_test TEST.jsonl\n";
        return 2;
    }
    standins::tracefile::Trace t;
    std::string error;
    if (!standins::tracefile::readTrace(argv[1], t, error)) {
        std::cerr << argv[1] << ": " << error << "\n";
        return 2;
    }
    const bool strict = t.header.contains("test") && t.header["test"].value("mode", "") == "strict";
    const skytrace::ReplayResult r = skytrace::replay(argv[1], t, strict);
    if (r.status != 0) {
        std::cerr << argv[1] << ": " << r.message << "\n";
        return r.status;
    }
    std::cout << argv[1] << ": " << r.calls << " export calls, " << r.exchanges << " exchanges as recorded ("
              << (strict ? "strict" : "tolerant") << ")\n";
    return 0;
}
