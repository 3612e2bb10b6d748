#include "record_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <thread>
#include <vector>

#include "skylark/skylark.h"

namespace records {

namespace {

constexpr std::size_t kKeyDigits = 16;     // the 8-byte key
constexpr std::size_t kRecordDigits = 96;  // the 48-byte stored record
constexpr std::size_t kPlainDigits = 80;   // its 40 plain bytes

// Plain bytes as hex digit offsets:
//   0 body 16 | 16 time 6 | 22 lead 4 | 26 further 14 | 40
constexpr std::size_t kBodyAt = 0, kBodyDigits = 32;
constexpr std::size_t kTimeAt = 32, kTimeDigits = 12;
constexpr std::size_t kLeadAt = 44, kLeadDigits = 8;
constexpr std::size_t kFurtherAt = 52, kFurtherDigits = 28;

bool isSeparator(char c) {
    return c == ',' || c == ';' || std::isspace(static_cast<unsigned char>(c));
}

bool allHex(std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

bool isHeader(std::string_view s) {
    std::string lower(s);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower == "key,record" || lower == "key;record";
}

// "20YY-MM-DDThh:mm:ss" from the six BCD bytes as hex digits, when they are
// a real date-time; empty otherwise.
std::string isoTime(std::string_view digits) {
    unsigned char bcd[6];
    const std::string text(digits);
    HexToBin(text.c_str(), bcd, sizeof bcd);
    if (BcdToDate(bcd) == 0.0) return {};
    std::string iso = "20";
    iso.append(digits.substr(0, 2)) += '-';
    iso.append(digits.substr(2, 2)) += '-';
    iso.append(digits.substr(4, 2)) += 'T';
    iso.append(digits.substr(6, 2)) += ':';
    iso.append(digits.substr(8, 2)) += ':';
    iso.append(digits.substr(10, 2));
    return iso;
}

Outcome malformed(std::size_t lineNo, std::string why) {
    Outcome o;
    o.line = lineNo;
    o.verdict = Verdict::malformed;
    o.error = std::move(why);
    return o;
}

std::string csvField(const std::string& s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"') q += '"';
        q += c;
    }
    return q + '"';
}

void writeRow(const Outcome& o, Format format, std::string& out) {
    if (format == Format::csv) {
        out += std::to_string(o.line);
        out += ',';
        out += verdictName(o.verdict);
        for (const std::string* f : {&o.body, &o.arrival, &o.lead, &o.further}) {
            out += ',';
            out += *f;
        }
        out += ',';
        out += csvField(o.error);
        out += '\n';
        return;
    }
    nlohmann::ordered_json row;
    row["line"] = o.line;
    row["verdict"] = verdictName(o.verdict);
    if (o.verdict == Verdict::ok) {
        row["body"] = o.body;
        row["arrival"] = o.arrival.empty() ? nlohmann::ordered_json() : nlohmann::ordered_json(o.arrival);
        row["lead"] = o.lead;
        row["further"] = o.further;
    } else if (o.verdict == Verdict::malformed) {
        row["error"] = o.error;
    }
    out += row.dump();
}

struct Line {
    std::size_t number;
    std::string text;
};

// Checks lines[from, to) and appends their rows to out; in JSON each row
// comes after ",\n", the output's very first one after "\n" alone.
void checkSlice(const std::vector<Line>& lines, std::size_t from, std::size_t to, Format format,
                std::string& out, Totals& totals) {
    Outcome o;
    for (std::size_t i = from; i < to; ++i) {
        if (!checkLine(lines[i].text, lines[i].number, &o)) continue;
        switch (o.verdict) {
            case Verdict::ok: ++totals.ok; break;
            case Verdict::failed: ++totals.failed; break;
            case Verdict::malformed: ++totals.malformed; break;
        }
        if (format == Format::json) out += ",\n";
        writeRow(o, format, out);
    }
}

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
    text = trim(text);
    if (text.empty() || text.front() == '#') return false;

    std::size_t cut = 0;
    while (cut < text.size() && !isSeparator(text[cut])) ++cut;
    const std::string_view key = text.substr(0, cut);
    std::size_t next = cut;
    while (next < text.size() && isSeparator(text[next])) ++next;
    const std::string_view record = text.substr(next);

    if (key.empty() || record.empty()) {
        *out = malformed(lineNo, "expected a key and a record");
        return true;
    }
    if (key.size() != kKeyDigits || !allHex(key)) {
        *out = malformed(lineNo, "key is not 16 hex digits");
        return true;
    }
    if (record.size() != kRecordDigits || !allHex(record)) {
        *out = malformed(lineNo, "record is not 96 hex digits");
        return true;
    }

    char keyText[kKeyDigits + 1];
    char recordText[kRecordDigits + 1];
    key.copy(keyText, kKeyDigits);
    keyText[kKeyDigits] = '\0';
    record.copy(recordText, kRecordDigits);
    recordText[kRecordDigits] = '\0';
    unsigned char vKey[8];
    HexToBin(keyText, vKey, sizeof vKey);

    char plain[kPlainDigits + 1];
    Outcome o;
    o.line = lineNo;
    if (SK_ParseRecordInfo(vKey, recordText, plain) == 0) {
        o.verdict = Verdict::failed;
    } else {
        const std::string_view p(plain, kPlainDigits);
        o.verdict = Verdict::ok;
        o.body = p.substr(kBodyAt, kBodyDigits);
        o.arrival = isoTime(p.substr(kTimeAt, kTimeDigits));
        o.lead = p.substr(kLeadAt, kLeadDigits);
        o.further = p.substr(kFurtherAt, kFurtherDigits);
    }
    *out = std::move(o);
    return true;
}

Totals run(std::istream& in, std::ostream& out, const Options& opts) {
    const unsigned jobs = std::max(1u, opts.jobs);
    if (opts.format == Format::csv)
        out << "line,verdict,body,arrival,lead,further,error\n";
    else
        out << '[';

    std::uint64_t bytesRead = 0;
    std::size_t lineNo = 0;
    std::string text;
    // Reads the next batch of lines; false when the input is exhausted.
    const auto readBatch = [&](std::vector<Line>& lines, std::uint64_t& bytesAfter) {
        lines.clear();
        while (lines.size() < opts.batchLines && std::getline(in, text)) {
            ++lineNo;
            bytesRead += text.size() + 1;
            if (lineNo == 1 && isHeader(trim(text))) continue;
            lines.push_back({lineNo, std::move(text)});
        }
        bytesAfter = bytesRead;
        return !lines.empty();
    };

    Totals totals;
    std::vector<Line> lines, next;
    std::uint64_t bytesDone = 0, nextBytes = 0;
    std::vector<std::string> texts(jobs);
    std::vector<Totals> sliceTotals(jobs);
    bool have = readBatch(lines, bytesDone);
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
                checkSlice(lines, from, to, opts.format, texts[j], sliceTotals[j]);
            else
                workers.emplace_back(checkSlice, std::cref(lines), from, to, opts.format,
                                     std::ref(texts[j]), std::ref(sliceTotals[j]));
        }
        const bool haveNext = readBatch(next, nextBytes);
        for (std::thread& w : workers) w.join();

        for (unsigned j = 0; j < jobs; ++j) {
            const std::string& t = texts[j];
            const bool first = opts.format == Format::json && totals.records() == 0;
            out << (first && !t.empty() ? t.substr(1) : t);
            totals.ok += sliceTotals[j].ok;
            totals.failed += sliceTotals[j].failed;
            totals.malformed += sliceTotals[j].malformed;
        }
        if (opts.progress) opts.progress(bytesDone);
        std::swap(lines, next);
        bytesDone = nextBytes;
        have = haveNext;
    }
    out << (opts.format == Format::json ? (totals.records() ? "\n]\n" : "]\n") : "");
    return totals;
}

}  // namespace records
