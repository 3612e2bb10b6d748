// skylark-records' throughput: records per second for a file of one million
// stored records, checked on one thread and on all cores. The file is
// generated once into the temporary directory and kept for later runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

#include "record_file.h"
#include "tests/record_sealer.h"

namespace {

constexpr std::uint32_t kRecords = 1000000;

const std::string& recordFile() {
    static const std::string path = [] {
        const std::filesystem::path p =
            std::filesystem::temp_directory_path() / "skylark-records-1m.csv";
        if (!std::filesystem::exists(p)) {
            const std::string tmp = p.string() + ".part";
            std::ofstream f(tmp);
            for (std::uint32_t n = 0; n < kRecords; ++n) f << test::recordLine(n) << '\n';
            f.close();
            std::filesystem::rename(tmp, p);
        }
        return p.string();
    }();
    return path;
}

// Discards everything written to it.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

void BM_CheckRecordFile(benchmark::State& state) {
    const std::string& path = recordFile();
    NullBuffer null;
    std::ostream out(&null);
    records::Options opts;
    opts.jobs = static_cast<unsigned>(state.range(0));
    opts.format = state.range(1) ? records::Format::json : records::Format::csv;
    std::uint64_t checked = 0;
    const std::clock_t cpuStart = std::clock();  // the whole process: every worker thread
    for (auto _ : state) {
        std::ifstream in(path);
        const records::Totals t = records::run(in, out, opts);
        if (t.ok != kRecords) state.SkipWithError("not every record passed");
        checked += t.records();
    }
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    state.counters["records/s"] = benchmark::Counter(double(checked), benchmark::Counter::kIsRate);
    // Records per second of processor time over all threads: what one core
    // does when the machine is not shared.
    state.counters["records/cpu-s"] = double(checked) / cpuSeconds;
}

void jobsAndFormats(benchmark::internal::Benchmark* b) {
    const long cores = std::max(1u, std::thread::hardware_concurrency());
    for (const long format : {0L, 1L}) {
        b->Args({1, format});
        if (cores > 1) b->Args({cores, format});
    }
    b->ArgNames({"jobs", "json"});
}

BENCHMARK(BM_CheckRecordFile)->Apply(jobsAndFormats)->Unit(benchmark::kMillisecond)->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
