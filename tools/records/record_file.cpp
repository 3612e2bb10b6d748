#include "record_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <istream>
#include <ostream>
#include <thread>
#include <vector>

// The record module itself rather than SK_ParseRecordInfo: the same checks,
// and it says which of the two failed, which the export does not.
#include "frame/codec.h"
#include "record/record.h"

namespace records {

namespace {

constexpr std::size_t kKeyDigits = 16;     // the 8-byte key
constexpr std::size_t kRecordDigits = 96;  // the 48-byte stored record

// The malformed lines' reasons.
constexpr const char* kNoRecord = "expected a key and a record";
constexpr const char* kBadKey = "key is not 16 hex digits";
constexpr const char* kBadRecord = "record is not 96 hex digits";

// Hex digit values, -1 for any other character.
constexpr std::array<std::int8_t, 256> kHexValue = [] {
    std::array<std::int8_t, 256> t{};
    for (auto& v : t) v = -1;
    for (int c = '0'; c <= '9'; ++c) t[c] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) t[c] = static_cast<std::int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) t[c] = static_cast<std::int8_t>(c - 'a' + 10);
    return t;
}();

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool isSeparator(char c) { return c == ',' || c == ';' || isSpace(c); }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

bool isHeader(std::string_view s) {
    s = trim(s);
    if (s.size() != 10) return false;
    std::string lower(s);
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    return lower == "key,record" || lower == "key;record";
}

// One line checked: the verdict, the reason for a record that is not ok,
// the plain bytes (0..39 of rec) of one that is.
struct Checked {
    Verdict verdict;
    const char* reason;
    std::uint8_t rec[skylark::kRecordSize];
};

// Decodes exactly 2 * n hex digits into n bytes; false if any is not a digit.
bool decodeHex(const char* digits, std::size_t n, std::uint8_t* out) {
    int bad = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const int high = kHexValue[static_cast<unsigned char>(digits[2 * i])];
        const int low = kHexValue[static_cast<unsigned char>(digits[2 * i + 1])];
        bad |= high | low;  // -1 sets the sign bit
        out[i] = static_cast<std::uint8_t>((high & 0x0F) << 4 | (low & 0x0F));
    }
    return bad >= 0;
}

// False for a line without a record (blank or comment). The digits are
// checked and decoded in one pass and the record checked from its bytes,
// with ClockLink's verification key packed once per thread (verify).
bool checkFast(std::string_view text, const skylark::DesSchedule& verify, Checked& c) {
    text = trim(text);
    if (text.empty() || text.front() == '#') return false;

    std::size_t cut = 0;
    while (cut < text.size() && !isSeparator(text[cut])) ++cut;
    const std::string_view key = text.substr(0, cut);
    std::size_t next = cut;
    while (next < text.size() && isSeparator(text[next])) ++next;
    const std::string_view record = text.substr(next);

    c.verdict = Verdict::malformed;
    std::uint8_t vKey[8];
    if (key.empty() || record.empty()) {
        c.reason = kNoRecord;
        return true;
    }
    if (key.size() != kKeyDigits || !decodeHex(key.data(), 8, vKey)) {
        c.reason = kBadKey;
        return true;
    }
    if (record.size() != kRecordDigits || !decodeHex(record.data(), skylark::kRecordSize, c.rec)) {
        c.reason = kBadRecord;
        return true;
    }
    switch (skylark::checkRecordBytes(vKey, c.rec, verify)) {
        case skylark::RecordCheck::passed:
            c.verdict = Verdict::ok;
            c.reason = "";
            break;
        case skylark::RecordCheck::chainFailed:
            c.verdict = Verdict::failed;
            c.reason = kChainCheckFailed;
            break;
        case skylark::RecordCheck::bodyFailed:
            c.verdict = Verdict::failed;
            c.reason = kBodyCheckFailed;
            break;
    }
    return true;
}

// Two upper-case hex digits per byte value.
constexpr std::array<char, 512> kHexPairs = [] {
    std::array<char, 512> t{};
    const char* digits = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        t[2 * b] = digits[b >> 4];
        t[2 * b + 1] = digits[b & 15];
    }
    return t;
}();

void appendHex(std::string& out, const std::uint8_t* bytes, std::size_t n) {
    const std::size_t at = out.size();
    out.resize(at + 2 * n);
    char* p = &out[at];
    for (std::size_t i = 0; i < n; ++i) std::memcpy(p + 2 * i, &kHexPairs[2 * bytes[i]], 2);
}

// "20YY-MM-DDThh:mm:ss" (19 characters) from the six BCD bytes of the
// arrival time when they are a real date-time; false otherwise.
bool isoTime(const std::uint8_t bcd[6], char iso[19]) {
    if (skylark::bcdToDate(bcd) == 0.0) return false;
    const char form[] = "20YY-MM-DDThh:mm:ss";
    std::memcpy(iso, form, 19);
    static constexpr int kAt[6] = {2, 5, 8, 11, 14, 17};
    for (int i = 0; i < 6; ++i) std::memcpy(iso + kAt[i], &kHexPairs[2 * bcd[i]], 2);
    return true;
}

// Plain bytes: 0 body 16 | 16 time 6 | 22 lead 4 | 26 further 14 | 40
constexpr std::size_t kBody = 0, kBodySize = 16, kTime = 16, kLead = 22, kLeadSize = 4, kFurther = 26,
                      kFurtherSize = 14;

void append(std::string& out, std::string_view s) { out.append(s.data(), s.size()); }

void appendNumber(std::string& out, std::uint64_t n) {
    char digits[24];
    const auto r = std::to_chars(digits, digits + sizeof digits, n);
    out.append(digits, static_cast<std::size_t>(r.ptr - digits));
}

// The row of one record; file is the file field, quoted for the format.
void writeRow(const Checked& c, std::uint64_t lineNo, Format format, std::string_view file,
              std::string& out) {
    char iso[19];
    const bool ok = c.verdict == Verdict::ok;
    const bool dated = ok && isoTime(c.rec + kTime, iso);
    if (format == Format::csv) {
        append(out, file);
        out += ',';
        appendNumber(out, lineNo);
        out += ',';
        append(out, verdictName(c.verdict));
        if (ok) {
            out += ',';
            appendHex(out, c.rec + kBody, kBodySize);
            out += ',';
            if (dated) out.append(iso, 19);
            out += ',';
            appendHex(out, c.rec + kLead, kLeadSize);
            out += ',';
            appendHex(out, c.rec + kFurther, kFurtherSize);
            append(out, ",\n");
        } else {
            append(out, ",,,,,");
            append(out, c.reason);
            out += '\n';
        }
        return;
    }
    append(out, ",\n{\"file\":");
    append(out, file);
    append(out, ",\"line\":");
    appendNumber(out, lineNo);
    append(out, ",\"verdict\":\"");
    append(out, verdictName(c.verdict));
    if (ok) {
        append(out, "\",\"body\":\"");
        appendHex(out, c.rec + kBody, kBodySize);
        if (dated) {
            append(out, "\",\"arrival\":\"");
            out.append(iso, 19);
            append(out, "\",\"lead\":\"");
        } else {
            append(out, "\",\"arrival\":null,\"lead\":\"");
        }
        appendHex(out, c.rec + kLead, kLeadSize);
        append(out, "\",\"further\":\"");
        appendHex(out, c.rec + kFurther, kFurtherSize);
        append(out, "\"}");
    } else {
        append(out, "\",\"reason\":\"");
        append(out, c.reason);  // fixed texts: nothing to escape
        append(out, "\"}");
    }
}

std::string csvField(std::string_view s) {
    if (s.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(s);
    std::string q = "\"";
    for (const char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + '"';
}

struct Line {
    const char* text;
    std::uint32_t size;
    std::uint64_t number;
};

// Checks lines[from, to) and appends their rows to out.
void checkSlice(const std::vector<Line>& lines, std::size_t from, std::size_t to, Format format,
                std::string_view file, std::string& out, Totals& totals) {
    out.reserve(out.size() + (to - from) * (format == Format::csv ? 140 : 230) + 64);
    const skylark::DesSchedule verify = skylark::verificationSchedule();
    Checked c;
    for (std::size_t i = from; i < to; ++i) {
        if (!checkFast(std::string_view(lines[i].text, lines[i].size), verify, c)) continue;
        switch (c.verdict) {
            case Verdict::ok: ++totals.ok; break;
            case Verdict::failed: ++totals.failed; break;
            case Verdict::malformed: ++totals.malformed; break;
        }
        writeRow(c, lines[i].number, format, file, out);
    }
}

// Reads input a batch at a time: whole lines only, the rest kept for the next.
class LineReader {
public:
    LineReader(std::istream& in, std::size_t batchBytes) : in_(in), batch_(std::max<std::size_t>(batchBytes, 1)) {}

    // Fills buffer and lines with the next batch; false when the input is exhausted.
    bool next(std::vector<char>& buffer, std::vector<Line>& lines) {
        lines.clear();
        buffer.swap(carry_);
        carry_.clear();
        std::size_t scanned = 0;
        for (;;) {
            const std::size_t have = buffer.size();
            if (!eof_) {
                buffer.resize(have + batch_);
                in_.read(buffer.data() + have, static_cast<std::streamsize>(batch_));
                buffer.resize(have + static_cast<std::size_t>(in_.gcount()));
                if (!in_) eof_ = true;
            }
            consumed_ += buffer.size() - have;
            const char* const start = buffer.data();
            const void* nl =  // an empty buffer has no data() to search
                buffer.size() > scanned ? std::memchr(start + scanned, '\n', buffer.size() - scanned) : nullptr;
            if (nl == nullptr && !eof_) {  // a line longer than a batch: read on
                scanned = buffer.size();
                continue;
            }
            break;
        }
        if (buffer.empty()) return false;
        // Cut after the last line end; the remainder waits for the next batch.
        std::size_t end = buffer.size();
        if (!eof_) {
            while (end > 0 && buffer[end - 1] != '\n') --end;
            carry_.assign(buffer.begin() + static_cast<std::ptrdiff_t>(end), buffer.end());
            consumed_ -= carry_.size();
        }
        const char* p = buffer.data();
        const char* const stop = p + end;
        while (p < stop) {
            const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(stop - p)));
            const char* lineEnd = nl ? nl : stop;
            ++lineNo_;
            const std::string_view text(p, static_cast<std::size_t>(lineEnd - p));
            if (!(lineNo_ == 1 && isHeader(text)))
                lines.push_back({p, static_cast<std::uint32_t>(text.size()), lineNo_});
            p = nl ? nl + 1 : stop;
        }
        return true;
    }

    std::uint64_t consumed() const { return consumed_; }

private:
    std::istream& in_;
    std::size_t batch_;
    std::vector<char> carry_;
    bool eof_ = false;
    std::uint64_t lineNo_ = 0;
    std::uint64_t consumed_ = 0;
};

}  // namespace

const char* verdictName(Verdict v) {
    switch (v) {
        case Verdict::ok: return "ok";
        case Verdict::failed: return "failed";
        case Verdict::malformed: return "malformed";
    }
    return "malformed";
}

bool checkLine(std::string_view text, std::size_t lineNo, Outcome* out) {
    Checked c;
    if (!checkFast(text, skylark::verificationSchedule(), c)) return false;
    Outcome o;
    o.line = lineNo;
    o.verdict = c.verdict;
    if (c.verdict == Verdict::ok) {
        appendHex(o.body, c.rec + kBody, kBodySize);
        char iso[19];
        if (isoTime(c.rec + kTime, iso)) o.arrival.assign(iso, 19);
        appendHex(o.lead, c.rec + kLead, kLeadSize);
        appendHex(o.further, c.rec + kFurther, kFurtherSize);
    } else {
        o.reason = c.reason;
    }
    *out = std::move(o);
    return true;
}

Report::Report(std::ostream& out, const Options& opts) : out_(out), opts_(opts) {
    opts_.jobs = std::max(1u, opts_.jobs);
    if (opts_.format == Format::csv)
        out_ << "file,line,verdict,body,arrival,lead,further,reason\n";
    else
        out_ << '[';
}

Report::~Report() { finish(); }

void Report::finish() {
    if (finished_) return;
    finished_ = true;
    if (opts_.format == Format::json) out_ << (anyRow_ ? "\n]\n" : "]\n");
}

Totals Report::check(std::istream& in, std::string_view name) {
    const std::string file = opts_.format == Format::csv ? csvField(name) : nlohmann::json(name).dump();
    const unsigned jobs = opts_.jobs;
    LineReader reader(in, opts_.batchBytes);
    std::vector<char> buffer, nextBuffer;
    std::vector<Line> lines, nextLines;
    std::vector<std::string> texts(jobs);
    std::vector<Totals> sliceTotals(jobs);
    Totals totals;

    bool have = reader.next(buffer, lines);
    std::uint64_t done = reader.consumed();
    while (have) {
        // Contiguous slices, one per thread, written out in order. With
        // several threads the next batch is read while this one is checked.
        const std::size_t per = (lines.size() + jobs - 1) / jobs;
        std::vector<std::thread> workers;
        for (unsigned j = 0; j < jobs; ++j) {
            texts[j].clear();
            sliceTotals[j] = Totals{};
            const std::size_t from = std::min(lines.size(), j * per);
            const std::size_t to = std::min(lines.size(), from + per);
            if (jobs == 1)
                checkSlice(lines, from, to, opts_.format, file, texts[j], sliceTotals[j]);
            else
                workers.emplace_back(checkSlice, std::cref(lines), from, to, opts_.format,
                                     std::string_view(file), std::ref(texts[j]), std::ref(sliceTotals[j]));
        }
        const bool haveNext = reader.next(nextBuffer, nextLines);
        const std::uint64_t nextDone = reader.consumed();
        for (std::thread& w : workers) w.join();

        for (unsigned j = 0; j < jobs; ++j) {
            const std::string& t = texts[j];
            if (!t.empty()) {
                // JSON rows each come after ",\n"; the report's first after "\n" alone.
                const std::size_t skip = opts_.format == Format::json && !anyRow_ ? 1 : 0;
                out_.write(t.data() + skip, static_cast<std::streamsize>(t.size() - skip));
                anyRow_ = true;
            }
            totals += sliceTotals[j];
        }
        if (opts_.progress) opts_.progress(done);
        buffer.swap(nextBuffer);
        lines.swap(nextLines);
        done = nextDone;
        have = haveNext;
    }
    return totals;
}

Totals run(std::istream& in, std::ostream& out, const Options& opts) {
    Report report(out, opts);
    const Totals t = report.check(in, "-");
    report.finish();
    return t;
}

}  // namespace records
