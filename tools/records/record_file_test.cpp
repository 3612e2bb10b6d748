// skylark-records: verdicts and decoded fields for valid, tampered and
// malformed lines, the same results in order on any number of threads, and
// the program's exit status.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "record_file.h"
#include "tests/record_sealer.h"
#include "skylark/skylark.h"
#include "skylark/virtual_clock.h"

namespace {

using records::Outcome;
using records::Verdict;
using test::hexText;
using test::plainRecord;
using test::recordLine;
using test::seal;
using test::setBodyCheck;

Outcome check(const std::string& line) {
    Outcome o;
    EXPECT_TRUE(records::checkLine(line, 7, &o)) << line;
    EXPECT_EQ(o.line, 7u);
    return o;
}

TEST(RecordLine, ValidRecordDecodesItsFields) {
    std::uint8_t p[40];
    plainRecord(3725, p);  // 01:02:05
    const std::string plain = hexText(p, 40);
    const Outcome o = check(recordLine(3725));
    EXPECT_EQ(o.verdict, Verdict::ok);
    EXPECT_EQ(o.body, plain.substr(0, 32));
    EXPECT_EQ(o.arrival, "2010-03-14T01:02:05");
    EXPECT_EQ(o.lead, plain.substr(44, 8));
    EXPECT_EQ(o.further, plain.substr(52, 28));
}

TEST(RecordLine, SeparatorsCaseAndSpacesAreAccepted) {
    const std::string line = recordLine(9);
    const std::string key = line.substr(0, 16), rec = line.substr(17);
    std::string lower = rec;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& form :
         {key + ";" + rec, key + " \t " + rec, "  " + key + "," + rec + " \r", key + "," + lower})
        EXPECT_EQ(check(form).verdict, Verdict::ok) << form;
}

TEST(RecordLine, AnyChangedBitOrAnotherKeyFails) {
    const std::string line = recordLine(42);
    // One bit of each region: body, check value, time, lead, further, chain check value.
    for (const std::size_t digit : {0u, 17u, 33u, 45u, 60u, 79u, 80u, 95u}) {
        std::string tampered = line;
        char& c = tampered[17 + digit];
        const int v = std::stoi(std::string(1, c), nullptr, 16) ^ 1;
        c = "0123456789ABCDEF"[v];
        const Outcome o = check(tampered);
        EXPECT_EQ(o.verdict, Verdict::failed) << "digit " << digit;
        // Every byte is under the chain check, which runs first.
        EXPECT_EQ(o.reason, records::kChainCheckFailed) << "digit " << digit;
    }
    std::string otherKey = line;
    otherKey[15] = otherKey[15] == '0' ? '2' : '0';  // bit 1 of the last key byte
    const Outcome failed = check(otherKey);
    EXPECT_EQ(failed.verdict, Verdict::failed);
    EXPECT_EQ(failed.reason, records::kChainCheckFailed);
    EXPECT_TRUE(failed.body.empty() && failed.arrival.empty() && failed.lead.empty());
}

// A record sealed with a wrong body check value passes the chain check (which
// covers what was sealed) and fails the body check: the row says which.
TEST(RecordLine, WrongBodyCheckValueSaysBodyCheck) {
    std::uint8_t p[40], key[8] = {1, 2, 3, 4, 5, 6, 7, 8}, rec[48];
    plainRecord(77, p);
    p[9] ^= 0x40;  // inside the body check value, bytes 8..11
    seal(p, key, rec);
    const Outcome o = check(hexText(key, 8) + "," + hexText(rec, 48));
    EXPECT_EQ(o.verdict, Verdict::failed);
    EXPECT_EQ(o.reason, records::kBodyCheckFailed);
}

TEST(RecordLine, TimeThatIsNoDateStillPassesWithoutArrival) {
    std::uint8_t p[40], key[8] = {1, 2, 3, 4, 5, 6, 7, 8}, rec[48];
    plainRecord(1, p);
    p[17] = 0x13;  // month 13
    setBodyCheck(p);
    seal(p, key, rec);
    const Outcome o = check(hexText(key, 8) + "," + hexText(rec, 48));
    EXPECT_EQ(o.verdict, Verdict::ok);
    EXPECT_EQ(o.arrival, "");
}

TEST(RecordLine, MalformedLinesSayWhy) {
    const std::string line = recordLine(5);
    const std::string key = line.substr(0, 16), rec = line.substr(17);
    const struct {
        std::string text, why;
    } cases[] = {
        {key, "expected a key and a record"},
        {key + ",", "expected a key and a record"},
        {key.substr(1) + "," + rec, "key is not 16 hex digits"},
        {"G" + key.substr(1) + "," + rec, "key is not 16 hex digits"},
        {key + "," + rec.substr(1), "record is not 96 hex digits"},
        {key + "," + rec + "0", "record is not 96 hex digits"},
        {key + "," + rec.substr(0, 40) + "-" + rec.substr(41), "record is not 96 hex digits"},
        {key + "," + rec + ",extra", "record is not 96 hex digits"},
    };
    for (const auto& c : cases) {
        const Outcome o = check(c.text);
        EXPECT_EQ(o.verdict, Verdict::malformed) << c.text;
        EXPECT_EQ(o.reason, c.why) << c.text;
    }
    Outcome o;
    for (const char* empty : {"", "   ", "# a comment", "  # indented comment", "\r"})
        EXPECT_FALSE(records::checkLine(empty, 1, &o)) << empty;
}

// Stored records as a virtual M clock hands them out pass as well: the clock
// seals on its own side, so this checks the tool and the test sealer against
// an independent maker of records.
TEST(RecordLine, VirtualClockRecordsPass) {
    const CLV_ULONG h = CLV_Open(CLV_KIND_M);
    ASSERT_NE(h, 0u);
    const std::string ring = "0123456789AB", key = "5241434532303130";
    const double start = 40251.375;  // 14 March 2010 09:00
    ASSERT_NE(SK_InitDev(h), 0);
    ASSERT_NE(SK_Connect(h), 0);
    ASSERT_NE(SKM_CreateRace(h, key.c_str(), start, start + 0.5, 0), 0);
    ASSERT_NE(SKM_AddRaceCard(h, (ring + "0000").c_str()), 0);
    ASSERT_NE(SKM_ConfirmRace(h, key.c_str(), 1, "\0\0\0\0\0\0\0\0"), 0);
    ASSERT_EQ(CLV_RecordArrival(h, 0, ring.c_str(), start + 0.0625), CLV_OK);  // 10:30:00
    const std::uint8_t vKey[8] = {0x01, 0x80, 0x7F, 0xFF, 0x00, 0x55, 0xAA, 0x33};
    char stored[97];
    ASSERT_EQ(CLV_GetStoredRecord(h, 0, 0, vKey, stored), CLV_OK);
    CLV_Close(h);

    const Outcome o = check(hexText(vKey, 8) + "," + stored);
    EXPECT_EQ(o.verdict, Verdict::ok);
    EXPECT_EQ(o.body.substr(0, 12), ring);
    EXPECT_EQ(o.arrival, "2010-03-14T10:30:00");
    std::string tampered = stored;
    tampered[0] = tampered[0] == '0' ? '1' : '0';
    EXPECT_EQ(check(hexText(vKey, 8) + "," + tampered).verdict, Verdict::failed);
}

// A file of valid, tampered and malformed lines with a header, a comment
// and a blank line; returns it and the verdict expected for each line number.
std::string mixedFile(std::map<std::size_t, std::string>& expected) {
    std::ostringstream f;
    f << "key,record\r\n";
    std::size_t lineNo = 1;
    for (std::uint32_t n = 0; n < 200; ++n) {
        std::string line = recordLine(n);
        ++lineNo;
        if (n % 50 == 7) {
            f << "# comment\n";
            continue;
        }
        if (n % 10 == 3) {
            line[17 + n % 96] = line[17 + n % 96] == 'F' ? 'E' : 'F';
            expected[lineNo] = "failed";
        } else if (n % 10 == 6) {
            line.resize(line.size() - 2);
            expected[lineNo] = "malformed";
        } else {
            expected[lineNo] = "ok";
        }
        f << line << (n % 2 ? "\r\n" : "\n");
        if (n == 100) {
            f << "\n";
            ++lineNo;
        }
    }
    return f.str();
}

TEST(RecordFile, VerdictsInOrderOnAnyNumberOfThreads) {
    std::map<std::size_t, std::string> expected;
    const std::string file = mixedFile(expected);
    std::string reference;
    for (const unsigned jobs : {1u, 2u, 5u}) {
        // A batch of a few lines cuts lines at every place across batches.
        for (const std::size_t batch : {std::size_t(4) << 20, std::size_t(301)}) {
            std::istringstream in(file);
            std::ostringstream out;
            records::Options opts;
            opts.format = records::Format::json;
            opts.jobs = jobs;
            opts.batchBytes = batch;
            const records::Totals t = records::run(in, out, opts);
            const nlohmann::json rows = nlohmann::json::parse(out.str());
            ASSERT_EQ(rows.size(), expected.size());
            auto want = expected.begin();
            for (const auto& row : rows) {
                EXPECT_EQ(row["file"], "-");
                EXPECT_EQ(row["line"], want->first);
                EXPECT_EQ(row["verdict"], want->second) << "line " << want->first;
                ++want;
            }
            EXPECT_EQ(t.records(), expected.size());
            EXPECT_EQ(t.failed, 20u);
            EXPECT_EQ(t.malformed, 20u);
            if (reference.empty()) reference = out.str();
            EXPECT_EQ(out.str(), reference) << jobs << " jobs, batch " << batch;
        }
    }
}

TEST(RecordFile, CsvHasOneRowPerRecordAndEmptyInputIsValidJson) {
    std::istringstream in(recordLine(1) + "\n" + recordLine(2).substr(3) + "\n");
    std::ostringstream out;
    records::Options opts;
    opts.jobs = 2;
    records::run(in, out, opts);
    std::uint8_t p[40];
    plainRecord(1, p);
    const std::string plain = hexText(p, 40);
    EXPECT_EQ(out.str(), "file,line,verdict,body,arrival,lead,further,reason\n"
                         "-,1,ok," + plain.substr(0, 32) + ",2010-03-14T00:00:01," +
                             plain.substr(44, 8) + "," + plain.substr(52) + ",\n"
                         "-,2,malformed,,,,,key is not 16 hex digits\n");

    std::istringstream none("# nothing\n");
    std::ostringstream json;
    opts.format = records::Format::json;
    EXPECT_EQ(records::run(none, json, opts).records(), 0u);
    EXPECT_EQ(nlohmann::json::parse(json.str()), nlohmann::json::array());
}

int runTool(const std::string& args) {
    const int status = std::system((std::string(SKYLARK_RECORDS_TOOL) + " " + args).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string slurp(const std::string& path) {
    std::ifstream f(path);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// Each kind of input on its own gives its exit status; several files give
// their rows in order, each named.
TEST(RecordTool, ExitStatusForEachKindOfInput) {
    const std::string dir = ::testing::TempDir();
    const std::string out = dir + "records_out.json", err = dir + "records_err.txt";
    const auto file = [&](const std::string& name, const std::string& text) {
        const std::string path = dir + "records_" + name + ".csv";
        std::ofstream(path) << text;
        return path;
    };
    std::string goodText = "key,record\n", failedText, malformedText;
    for (std::uint32_t n = 0; n < 30; ++n) {
        goodText += recordLine(n) + "\n";
        std::string bad = recordLine(n);
        bad[20] = bad[20] == 'F' ? 'E' : 'F';
        failedText += bad + "\n";
        malformedText += recordLine(n).substr(2) + "\n";
    }
    const std::string good = file("good", goodText), failed = file("failed", failedText),
                      malformed = file("malformed", malformedText),
                      empty = file("empty", "key,record\n# nothing here\n\n");
    const struct {
        std::string args;
        int status;
        std::size_t rows;
    } cases[] = {
        {good, 0, 30},
        {failed, 1, 30},
        {malformed, 1, 30},
        {empty, 3, 0},
        {"< " + empty, 3, 0},
        {"/dev/null", 3, 0},
        {good + " " + failed, 1, 60},
        {good + " " + dir + "no_such_file", 2, 30},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runTool("-f json -o " + out + " " + c.args + " 2>" + err), c.status) << c.args;
        EXPECT_EQ(nlohmann::json::parse(std::ifstream(out)).size(), c.rows) << c.args;
    }
    EXPECT_NE(slurp(err).find("cannot open " + dir + "no_such_file"), std::string::npos);
    EXPECT_EQ(runTool(empty + " 2>" + err + " >/dev/null"), 3);
    EXPECT_NE(slurp(err).find("no records in the input"), std::string::npos) << slurp(err);

    // Two files: rows in order, each with its file; CSV by default, with a header.
    EXPECT_EQ(runTool("-j 3 -o " + out + " " + failed + " " + good + " 2>/dev/null"), 1);
    std::ifstream csv(out);
    std::vector<std::string> rows;
    for (std::string row; std::getline(csv, row);) rows.push_back(row);
    ASSERT_EQ(rows.size(), 61u);
    EXPECT_EQ(rows[0], "file,line,verdict,body,arrival,lead,further,reason");
    EXPECT_EQ(rows[1], failed + ",1,failed,,,,," + records::kChainCheckFailed);
    EXPECT_EQ(rows[31].rfind(good + ",2,ok,", 0), 0u) << rows[31];
}

// The command line's mistakes are told in our words, with status 2.
TEST(RecordTool, CommandLineMistakesAreToldPlainly) {
    const std::string err = ::testing::TempDir() + "records_err.txt";
    const struct {
        std::string args, message;
    } cases[] = {
        {"--format xml", "--format must be csv or json, not 'xml'"},
        {"-j 0", "--jobs must be a whole number from 1 to 1024, not '0'"},
        {"--jobs many", "--jobs must be a whole number from 1 to 1024, not 'many'"},
        {"--colour", "unknown option '--colour'"},
        {"-o", "--output needs a value"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(runTool(c.args + " < /dev/null > /dev/null 2>" + err), 2) << c.args;
        const std::string text = slurp(err);
        EXPECT_EQ(text.rfind("skylark-records: " + c.message + "\n", 0), 0u) << c.args << ": " << text;
        EXPECT_EQ(text.find("FAILED"), std::string::npos) << text;
    }
    EXPECT_EQ(runTool("--help > /dev/null"), 0);
}

}  // namespace
