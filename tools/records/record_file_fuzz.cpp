// skylark-records' engine on arbitrary input (a libFuzzer target, built by
// fuzz/run.sh): the same rows whatever the number of threads and the batch
// size, one row per record line (each line checkLine takes as a record, in
// input order), and a JSON output that is one array of those rows.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/records/record_file.h"

namespace {

std::string context;  // the input, printed with a failure

void check(bool holds, const char* what) {
    if (holds) return;
    std::fprintf(stderr, "property violated: %s [%s]\n", what, context.c_str());
    std::abort();
}

struct Run {
    std::string out;
    records::Totals totals;
};

Run runOn(const std::string& text, records::Format format, unsigned jobs, std::size_t batch) {
    std::istringstream in(text);
    std::ostringstream out;
    records::Options opts;
    opts.format = format;
    opts.jobs = jobs;
    opts.batchBytes = batch;
    Run r;
    r.totals = records::run(in, out, opts);
    r.out = out.str();
    return r;
}

// The line numbers that hold a record, as the engine reads lines.
std::vector<std::size_t> recordLines(const std::string& text) {
    std::vector<std::size_t> out;
    std::istringstream in(text);
    std::string line;
    records::Outcome o;
    for (std::size_t n = 1; std::getline(in, line); ++n) {
        std::string trimmed = line;
        while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.back()))) trimmed.pop_back();
        while (!trimmed.empty() && std::isspace(static_cast<unsigned char>(trimmed.front()))) trimmed.erase(0, 1);
        for (char& c : trimmed) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (n == 1 && (trimmed == "key,record" || trimmed == "key;record")) continue;
        if (records::checkLine(line, n, &o)) out.push_back(n);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const unsigned jobs = 2 + data[0] % 3;
    const std::size_t batch = 1 + data[0] / 3 % 97;  // bytes: lines cut anywhere across batches
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    context = text.substr(0, 400);
    const std::vector<std::size_t> lines = recordLines(text);

    for (records::Format format : {records::Format::csv, records::Format::json}) {
        const Run one = runOn(text, format, 1, 4 << 20);
        const Run many = runOn(text, format, jobs, batch);
        check(one.out == many.out, "the same rows on any number of threads");
        check(one.totals.ok == many.totals.ok && one.totals.failed == many.totals.failed &&
                        one.totals.malformed == many.totals.malformed,
                    "the same totals on any number of threads");
        check(one.totals.records() == lines.size(), "one verdict per record line");
        std::vector<std::size_t> numbers;
        if (format == records::Format::csv) {
            std::istringstream rows(one.out);
            std::string row;
            check(static_cast<bool>(std::getline(rows, row)) &&
                            row == "file,line,verdict,body,arrival,lead,further,reason",
                        "the CSV header first");
            while (std::getline(rows, row)) {
                check(row.rfind("-,", 0) == 0, "the file field first");
                numbers.push_back(std::stoul(row.substr(2, row.find(',', 2) - 2)));
            }
        } else {
            const nlohmann::json rows = nlohmann::json::parse(one.out, nullptr, false);
            check(rows.is_array(), "the JSON output is one array");
            for (const auto& row : rows) numbers.push_back(row.at("line").get<std::size_t>());
        }
        check(numbers == lines, "rows in input order, one per record line");
    }
    return 0;
}
