// skylark-records' throughput: records per second for a file of one million
// stored records, checked on one thread and on all cores, beside the rate at
// which SK_ParseRecordInfo alone decodes the same records on one thread
// (measured in the same run): "share" is the tool's rate over that rate
// times the threads, 1.0 when the tool spends all its time in the proofs.
// The file is generated once into the temporary directory and kept.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <streambuf>
#include <string>
#include <thread>

#include <chrono>
#include <vector>

#include "skylark/skylark.h"
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

// SK_ParseRecordInfo alone on `threads` threads at once, records per second
// (and per second of processor time), over records of the file held in
// memory: the same threads competing for the same cores as the tool's.
struct DecodeRate {
    double perSecond, perCpuSecond;
};
DecodeRate decodeAlone(unsigned threads) {
    constexpr std::uint32_t kSample = 4096, kRounds = 50;
    std::vector<std::uint8_t> keys(kSample * 8);
    std::vector<std::string> texts(kSample);
    for (std::uint32_t n = 0; n < kSample; ++n) {
        test::recordKeyOf(n, &keys[n * 8]);
        texts[n] = test::recordLine(n).substr(17);
    }
    std::vector<std::uint64_t> ok(threads);
    const auto decode = [&](unsigned t) {
        char plain[81];
        for (std::uint32_t r = 0; r < kRounds; ++r)
            for (std::uint32_t n = 0; n < kSample; ++n)
                ok[t] += SK_ParseRecordInfo(&keys[n * 8], texts[n].c_str(), plain) != 0;
    };
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back(decode, t);
    for (std::thread& w : workers) w.join();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double total = 0;
    for (const std::uint64_t n : ok) total += double(n);
    return {total / wall, total / cpu};
}

void BM_CheckRecordFile(benchmark::State& state) {
    const std::string& path = recordFile();
    NullBuffer null;
    std::ostream out(&null);
    records::Options opts;
    opts.jobs = static_cast<unsigned>(state.range(0));
    opts.format = state.range(1) ? records::Format::json : records::Format::csv;
    std::uint64_t checked = 0;
    const std::clock_t cpuStart = std::clock();  // the whole process: every worker thread
    const auto wallStart = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::ifstream in(path);
        const records::Totals t = records::run(in, out, opts);
        if (t.ok != kRecords) state.SkipWithError("not every record passed");
        checked += t.records();
    }
    const double cpuSeconds = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const double wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    state.counters["records/s"] = benchmark::Counter(double(checked), benchmark::Counter::kIsRate);
    // Records per second of processor time over all threads: what one core
    // does when the machine is not shared.
    state.counters["records/cpu-s"] = double(checked) / cpuSeconds;
    // The decode alone on as many threads, measured right after, and the
    // tool's share of it; decode-alone/s is per thread.
    const DecodeRate alone = decodeAlone(opts.jobs);
    const double jobs = double(opts.jobs);
    state.counters["decode-alone/s"] = alone.perSecond / jobs;
    state.counters["decode-alone/cpu-s"] = alone.perCpuSecond;
    state.counters["share"] = (double(checked) / wallSeconds) / alone.perSecond;
    state.counters["cpu-share"] = (double(checked) / cpuSeconds) / alone.perCpuSecond;
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
