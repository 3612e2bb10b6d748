// Checking files of stored arrival records, one per line, each with the
// 8-byte key it is checked with. The engine behind skylark-records, kept apart
// from the command line so that tests and benchmarks drive it directly.
//
// Line form (text or CSV): the key as 16 hex digits, a separator (a comma, a
// semicolon or white space), the 48-byte record as 96 hex digits. Blank lines
// and lines starting with '#' are skipped, as is a first line "key,record".
//
//   # key,record
//   01807FFF0055AA33,5C0E...(96 digits)
//
// Each record gives one row: file, line, verdict (ok, failed, malformed),
// for ok the body, arrival, lead and further fields, for the others the
// reason (which check failed, or what is wrong with the line).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace records {

enum class Verdict { ok, failed, malformed };

const char* verdictName(Verdict v);

// The reasons in rows.
inline constexpr const char* kChainCheckFailed = "chain check failed";
inline constexpr const char* kBodyCheckFailed = "body check failed";

// One record line, checked and decoded.
struct Outcome {
    std::size_t line = 0;   // 1-based line number in the input
    Verdict verdict = Verdict::malformed;
    std::string body;       // plain bytes 0..15 as 32 hex digits (ok only)
    std::string arrival;    // ISO date-time of bytes 16..21, empty if not a real date-time
    std::string lead;       // plain bytes 22..25 as 8 hex digits
    std::string further;    // plain bytes 26..39 as 28 hex digits
    std::string reason;     // failed: which check; malformed: what is wrong with the line
};

// Checks one line (without its line end). Returns false for a line that
// holds no record (blank or comment), true with *out filled otherwise.
bool checkLine(std::string_view text, std::size_t lineNo, Outcome* out);

enum class Format { csv, json };

struct Options {
    Format format = Format::csv;
    unsigned jobs = 1;                    // worker threads
    std::size_t batchBytes = 4u << 20;    // input read and checked at a time
    // Called after each batch with the bytes of the current input consumed so far.
    std::function<void(std::uint64_t bytesDone)> progress;
};

struct Totals {
    std::uint64_t ok = 0, failed = 0, malformed = 0;
    std::uint64_t records() const { return ok + failed + malformed; }
    Totals& operator+=(const Totals& t) {
        ok += t.ok;
        failed += t.failed;
        malformed += t.malformed;
        return *this;
    }
};

// Writes the rows of one or more inputs to out, in input order: the CSV
// header or JSON's opening bracket first, then each input's rows, then
// JSON's closing bracket at finish() (or destruction).
class Report {
public:
    Report(std::ostream& out, const Options& opts);
    ~Report();
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    // Checks the lines of in on opts.jobs threads, a batch at a time; name
    // fills the rows' file field. Returns this input's totals.
    Totals check(std::istream& in, std::string_view name);
    void finish();

private:
    std::ostream& out_;
    Options opts_;
    bool anyRow_ = false, finished_ = false;
};

// One input, named "-", as a whole report.
Totals run(std::istream& in, std::ostream& out, const Options& opts);

}  // namespace records
