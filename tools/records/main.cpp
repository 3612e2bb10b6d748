// skylark-records: verifies files of stored arrival records and writes the
// decoded fields and a verdict per record as CSV or JSON.
//
//   skylark-records [--format csv|json] [--jobs N] [--output FILE] [FILE...]
//
// Exit status: 0 when every record passed; 1 when any record failed its
// checks or any line was malformed; 2 when an input, the output or the
// command line could not be used (the other inputs are still checked); 3
// when the inputs held no record at all (empty, or only blank lines,
// comments and the header). The worst applies: 2 before 1 before 3.
#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "record_file.h"

namespace {

constexpr int kAllOk = 0, kSomeNotOk = 1, kUnusable = 2, kNoRecords = 3;

// A one-line bar on standard error, redrawn after each batch.
class ProgressBar {
public:
    void start(std::string name, std::uint64_t total) {
        name_ = std::move(name);
        total_ = total;
    }
    void show(std::uint64_t done) const {
        constexpr int kWidth = 40;
        const double part = total_ ? std::min(1.0, double(done) / double(total_)) : 1.0;
        const int filled = int(part * kWidth);
        std::fprintf(stderr, "\r%s [%.*s%*s] %3d%%", name_.c_str(), filled,
                     "########################################", kWidth - filled, "", int(part * 100));
        std::fflush(stderr);
    }
    void finish() const { std::fputs("\n", stderr); }

private:
    std::string name_;
    std::uint64_t total_ = 0;
};

int usageError(const std::string& message) {
    std::cerr << "skylark-records: " << message << "\n"
              << "Try 'skylark-records --help'.\n";
    return kUnusable;
}

// What the argument parser found wrong, in our words.
std::string parseProblem(const CLI::ParseError& e) {
    const std::string what = e.what();
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&e) != nullptr) {
        // "--output: 1 required TEXT missing"
        return what.substr(0, what.find(':')) + " needs a value";
    }
    return what;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Verifies stored 48-byte arrival records, one per line as KEY,RECORD (16 and 96 hex "
                 "digits; a comma, semicolon or spaces between them), and writes one row per record: "
                 "file, line, verdict (ok, failed, malformed), the body, arrival time, lead field and "
                 "further bytes of a record that passed, the reason for one that did not.\n\n"
                 "Exit status: 0 every record passed; 1 a record failed or a line was malformed; "
                 "2 an input, the output or the command line could not be used; 3 no record in the "
                 "input.",
                 "skylark-records"};
    std::vector<std::string> inputs;
    std::string output = "-";
    std::string formatText = "csv";
    std::string jobsText;
    bool progress = isatty(STDERR_FILENO) != 0;

    // Values are taken as text and judged below, so that every message is ours.
    app.add_option("files", inputs, "Record files ('-' or none: standard input)");
    app.add_option("-o,--output", output, "Where to write the rows ('-': standard output)");
    app.add_option("-f,--format", formatText, "Output format: csv (default) or json");
    app.add_option("-j,--jobs", jobsText, "Worker threads, 1 to 1024 (default: all cores)");
    app.add_flag("--progress,!--no-progress", progress,
                 "Progress bar on standard error (default: when it is a terminal)");
    app.allow_extras();
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kAllOk;
    } catch (const CLI::ParseError& e) {
        return usageError(parseProblem(e));
    }
    for (const std::string& extra : app.remaining())
        return usageError(extra.size() > 1 && extra[0] == '-' ? "unknown option '" + extra + "'"
                                                             : "unexpected argument '" + extra + "'");

    records::Options opts;
    std::string lowerFormat = formatText;
    for (char& c : lowerFormat) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lowerFormat == "csv")
        opts.format = records::Format::csv;
    else if (lowerFormat == "json")
        opts.format = records::Format::json;
    else
        return usageError("--format must be csv or json, not '" + formatText + "'");

    opts.jobs = std::max(1u, std::thread::hardware_concurrency());
    if (!jobsText.empty()) {
        unsigned jobs = 0;
        const auto r = std::from_chars(jobsText.data(), jobsText.data() + jobsText.size(), jobs);
        if (r.ec != std::errc() || r.ptr != jobsText.data() + jobsText.size() || jobs < 1 || jobs > 1024)
            return usageError("--jobs must be a whole number from 1 to 1024, not '" + jobsText + "'");
        opts.jobs = jobs;
    }
    if (inputs.empty()) inputs.push_back("-");

    std::ofstream outFile;
    std::ostream* out = &std::cout;
    if (output != "-") {
        outFile.open(output, std::ios::binary);
        if (!outFile) {
            std::cerr << "skylark-records: cannot write " << output << ": " << std::strerror(errno) << "\n";
            return kUnusable;
        }
        out = &outFile;
    }
    std::ios::sync_with_stdio(false);

    ProgressBar bar;
    if (progress) opts.progress = [&bar](std::uint64_t done) { bar.show(done); };
    records::Totals totals;
    bool unusable = false;
    {
        records::Report report(*out, opts);
        for (const std::string& input : inputs) {
            std::ifstream file;
            std::istream* in = &std::cin;
            std::uint64_t size = 0;
            if (input != "-") {
                file.open(input, std::ios::binary | std::ios::ate);
                if (!file) {
                    std::cerr << "skylark-records: cannot open " << input << ": " << std::strerror(errno)
                              << "\n";
                    unusable = true;
                    continue;
                }
                size = static_cast<std::uint64_t>(file.tellg());
                file.seekg(0);
                in = &file;
            }
            const bool barHere = progress && input != "-";  // standard input has no size to measure against
            if (barHere) bar.start(input, size);
            const records::Totals t = report.check(*in, input);
            if (barHere) bar.finish();
            if (in->bad()) {
                std::cerr << "skylark-records: reading " << input << " failed\n";
                unusable = true;
            } else if (inputs.size() > 1 && t.records() == 0) {
                std::cerr << "skylark-records: " << input << ": no records\n";
            }
            totals += t;
        }
        report.finish();
    }
    out->flush();
    if (!*out) {
        std::cerr << "skylark-records: writing the rows failed\n";
        return kUnusable;
    }
    if (totals.records() == 0 && !unusable) {
        std::cerr << "skylark-records: no records in the input (empty, or only blank lines, comments "
                     "and a header)\n";
        return kNoRecords;
    }
    std::cerr << totals.records() << " records: " << totals.ok << " ok, " << totals.failed << " failed, "
              << totals.malformed << " malformed\n";
    if (unusable) return kUnusable;
    return totals.failed == 0 && totals.malformed == 0 ? kAllOk : kSomeNotOk;
}
