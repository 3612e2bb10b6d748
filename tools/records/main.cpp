// skylark-records: verifies a file of stored arrival records and writes the
// decoded fields and a verdict per record as CSV or JSON.
//
//   skylark-records [--format csv|json] [--jobs N] [--output FILE] [FILE]
//
// Exit status: 0 when every record passed, 1 when any record failed its
// checks or any line was malformed, 2 when the input or output could not be
// used.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <thread>

#include "record_file.h"

namespace {

// A one-line bar on standard error, redrawn after each batch.
class ProgressBar {
public:
    explicit ProgressBar(std::uint64_t total) : total_(total) {}
    void show(std::uint64_t done) const {
        constexpr int kWidth = 40;
        const double part = total_ ? std::min(1.0, double(done) / double(total_)) : 1.0;
        const int filled = int(part * kWidth);
        std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################",
                     kWidth - filled, "", int(part * 100));
        std::fflush(stderr);
    }
    void finish() const { std::fputs("\n", stderr); }

private:
    std::uint64_t total_;
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Verifies stored 48-byte arrival records, one per line as "
                 "KEY,RECORD (16 and 96 hex digits; a comma, semicolon or spaces "
                 "between them), and writes body, arrival time, lead field and a "
                 "verdict per record."};
    std::string input = "-";
    std::string output = "-";
    records::Format format = records::Format::csv;
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    bool progress = isatty(STDERR_FILENO) != 0;

    const std::map<std::string, records::Format> formats{{"csv", records::Format::csv},
                                                          {"json", records::Format::json}};
    app.add_option("file", input, "Record file ('-' or none: standard input)");
    app.add_option("-o,--output", output, "Where to write the results ('-': standard output)");
    app.add_option("-f,--format", format, "Output format: csv or json")
        ->transform(CLI::CheckedTransformer(formats, CLI::ignore_case));
    app.add_option("-j,--jobs", jobs, "Worker threads (default: all cores)")
        ->check(CLI::Range(1u, 1024u));
    app.add_flag("--progress,!--no-progress", progress,
                 "Progress bar on standard error (default: when it is a terminal)");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }

    std::ifstream file;
    std::istream* in = &std::cin;
    std::uint64_t size = 0;
    if (input != "-") {
        file.open(input, std::ios::binary | std::ios::ate);
        if (!file) {
            std::cerr << "skylark-records: cannot open " << input << "\n";
            return 2;
        }
        size = static_cast<std::uint64_t>(file.tellg());
        file.seekg(0);
        in = &file;
    } else {
        progress = false;  // no size to measure against
    }

    std::ofstream outFile;
    std::ostream* out = &std::cout;
    if (output != "-") {
        outFile.open(output, std::ios::binary);
        if (!outFile) {
            std::cerr << "skylark-records: cannot write " << output << "\n";
            return 2;
        }
        out = &outFile;
    }
    std::ios::sync_with_stdio(false);

    records::Options opts;
    opts.format = format;
    opts.jobs = jobs;
    const ProgressBar bar(size);
    if (progress) opts.progress = [&bar](std::uint64_t done) { bar.show(done); };

    const records::Totals totals = records::run(*in, *out, opts);
    out->flush();
    if (progress) bar.finish();
    if (!*out) {
        std::cerr << "skylark-records: writing the results failed\n";
        return 2;
    }
    if (in->bad()) {
        std::cerr << "skylark-records: reading " << input << " failed\n";
        return 2;
    }
    std::cerr << totals.records() << " records: " << totals.ok << " ok, " << totals.failed
              << " failed, " << totals.malformed << " malformed\n";
    return totals.failed == 0 && totals.malformed == 0 ? 0 : 1;
}
