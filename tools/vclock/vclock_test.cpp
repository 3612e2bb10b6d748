// skylark-vclock run as a person or a script runs it: the race day of the
// README, a seeded day flown twice, what show prints, and the exit status
// of every kind of mistake.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Outcome {
    int status;
    std::string out, err;
};

std::string dir() {
    static const std::string d = [] {
        const auto p = std::filesystem::temp_directory_path() / ("skylark_vclock_test_" + std::to_string(getpid()));
        std::filesystem::create_directories(p);
        return p.string() + "/";
    }();
    return d;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

Outcome run(const std::string& tool, const std::string& args) {
    const std::string out = dir() + "out.txt", err = dir() + "err.txt";
    const int raw = std::system((tool + " " + args + " >" + out + " 2>" + err).c_str());
    return Outcome{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readAll(out), readAll(err)};
}
Outcome vclock(const std::string& args) { return run(SKYLARK_VCLOCK_TOOL, args); }

// Everything but the host time of the save.
std::string withoutSavedAt(const std::string& path) {
    nlohmann::json j = nlohmann::json::parse(readAll(path));
    j.erase("saved_at");
    return j.dump();
}

// A frozen M clock with ten rings and a confirmed race of them.
std::string raceClock(const char* name) {
    const std::string f = dir() + name;
    std::filesystem::remove(f);
    EXPECT_EQ(vclock("new " + f + " --kind M --password secret --time 2026-05-16T05:00:00 --seed 7 --frozen").status, 0);
    std::string rings;
    for (int i = 1; i <= 10; ++i) rings += " DE20260000" + std::string(i < 10 ? "0" : "") + std::to_string(i);
    EXPECT_EQ(vclock("add-rings " + f + rings).status, 0);
    EXPECT_EQ(vclock("add-race " + f + " --key 2026051600000001 --time1 2026-05-16T06:00:00 --time2 2026-05-16T20:00:00").status, 0);
    return f;
}

const char* kFly = " --race 0 --liberation 48.8566,2.3522 --release 2026-05-16T06:00:00 --loft 52.3676,4.9041";

TEST(Vclock, RaceDayFromNewToRecords) {
    const std::string f = raceClock("day.json");
    const Outcome fly = vclock("fly " + f + kFly + " --seed 3 --json");
    ASSERT_EQ(fly.status, 0) << fly.err;
    const auto j = nlohmann::json::parse(fly.out);
    EXPECT_NEAR(j["distance_m"].get<double>(), 430243.200, 0.001);  // GeographicLib's Inverse
    ASSERT_EQ(j["birds"].size(), 10u);
    std::string previous;
    for (const auto& b : j["birds"]) {
        ASSERT_TRUE(b["arrival"].is_string());
        EXPECT_GE(b["arrival"].get<std::string>(), previous);  // in arrival order
        previous = b["arrival"];
        EXPECT_NEAR(b["velocity_m_min"].get<double>(), 1200, 6 * 60 + 1);
    }
    // The plain summary a person reads.
    const std::string again = raceClock("plain.json");
    const Outcome plain = vclock("fly " + again + kFly);
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.out.find("430.243 km"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("10 of 10 birds clocked in: first 2026-05-16T"), std::string::npos) << plain.out;
    EXPECT_NE(plain.out.find("m/min"), std::string::npos);

    // The host downloads the day, every arrival with its proof.
    const Outcome host = run(SKYLARK_DOWNLOAD_TOOL, f + " secret");
    ASSERT_EQ(host.status, 0) << host.out << host.err;
    std::size_t proven = 0;
    for (std::size_t at = host.out.find("proven"); at != std::string::npos; at = host.out.find("proven", at + 1)) ++proven;
    EXPECT_EQ(proven, 10u);

    // The arrivals as stored records, which skylark-records proves.
    const Outcome records = vclock("records " + f + " --race 0 -o " + dir() + "records.csv");
    ASSERT_EQ(records.status, 0) << records.err;
    const Outcome check = run(SKYLARK_RECORDS_TOOL, "--no-progress " + dir() + "records.csv");
    EXPECT_EQ(check.status, 0) << check.out << check.err;
    EXPECT_EQ(std::count(check.out.begin(), check.out.end(), '\n'), 11);  // a header and ten rows
    EXPECT_EQ(check.out.find(",failed"), std::string::npos);
    const Outcome maskedRun = vclock("records " + f + " --race 0 --masked");
    ASSERT_EQ(maskedRun.status, 0);
    EXPECT_EQ(std::count(maskedRun.out.begin(), maskedRun.out.end(), '\n'), 11);
}

TEST(Vclock, TheSameSeedFliesTheSameDay) {
    const std::string a = raceClock("a.json"), b = raceClock("b.json"), c = raceClock("c.json");
    ASSERT_EQ(vclock("fly " + a + kFly + " --seed 11 --lost 0.2").status, 0);
    ASSERT_EQ(vclock("fly " + b + kFly + " --seed 11 --lost 0.2").status, 0);
    ASSERT_EQ(vclock("fly " + c + kFly + " --seed 12 --lost 0.2").status, 0);
    EXPECT_EQ(withoutSavedAt(a), withoutSavedAt(b));
    EXPECT_NE(withoutSavedAt(a), withoutSavedAt(c));
}

TEST(Vclock, ShowPrintsTheClockInPlainWords) {
    const std::string f = raceClock("show.json");
    ASSERT_EQ(vclock("fly " + f + kFly).status, 0);
    const Outcome show = vclock("show " + f);
    ASSERT_EQ(show.status, 0) << show.err;
    for (const char* words : {"M clock", "password:    \"secret\"", "(frozen)", "race 0: key 2026051600000001, confirmed",
                              "10 cards, 10 arrivals", "DE2026000010", "Ring registry (10)", "Event log", "arrival",
                              "site:        not set"})
        EXPECT_NE(show.out.find(words), std::string::npos) << words << "\n" << show.out;
    const Outcome json = vclock("show " + f + " --json");
    ASSERT_EQ(json.status, 0);
    EXPECT_EQ(nlohmann::json::parse(json.out)["races"][0]["arrivals"].size(), 10u);
    const Outcome log = vclock("log " + f);
    ASSERT_EQ(log.status, 0);
    EXPECT_NE(log.out.find("ring DE2026000010, race 0, arrival "), std::string::npos) << log.out;
}

TEST(Vclock, EditsAnOperatorMakes) {
    const std::string f = raceClock("edits.json");
    ASSERT_EQ(vclock("remove-rings " + f + " DE2026000010").status, 0);
    ASSERT_EQ(vclock("set-time " + f + " 2026-06-01T12:00:00").status, 0);
    ASSERT_EQ(vclock("set-password " + f + " other").status, 0);
    const auto j = nlohmann::json::parse(readAll(f));
    EXPECT_EQ(j["registry"].size(), 9u);
    EXPECT_EQ(j["time"], "2026-06-01T12:00:00");
    EXPECT_EQ(j["password"], "other");
    EXPECT_EQ(j["frozen"], true);
}

// The arrivals a clock file holds for race 0: ring and time.
std::vector<std::pair<std::string, std::string>> arrivalsIn(const std::string& path) {
    std::vector<std::pair<std::string, std::string>> out;
    const auto j = nlohmann::json::parse(readAll(path));
    for (const auto& a : j["races"][0]["arrivals"]) out.emplace_back(a["ring"], a["time"]);
    return out;
}

TEST(Vclock, ALiveFlightComesInAsTheDayAtOnce) {
    const std::string once = raceClock("once.json"), live = raceClock("live.json");
    ASSERT_EQ(vclock("fly " + once + kFly + " --seed 5").status, 0);
    // Frozen: its time would never reach a bird.
    const Outcome frozen = vclock("fly " + live + kFly + " --seed 5 --live");
    EXPECT_EQ(frozen.status, 1);
    EXPECT_NE(frozen.err.find("frozen"), std::string::npos) << frozen.err;
    // Running from shortly before the first bird, an hour a second.
    const auto first = arrivalsIn(once).front().second;
    ASSERT_EQ(vclock("set-time " + live + " " + first.substr(0, 14) + "00:00 --running").status, 0);
    const Outcome fly = vclock("fly " + live + kFly + " --seed 5 --live --speed 3600");
    ASSERT_EQ(fly.status, 0) << fly.err;
    EXPECT_NE(fly.out.find("Live: 10 birds to come"), std::string::npos) << fly.out;
    // Each arrival printed as it came, in arrival order, then the summary.
    const auto expected = arrivalsIn(once);
    std::size_t at = 0;
    for (const auto& [ring, time] : expected) {
        at = fly.out.find(time + "  " + ring, at);
        EXPECT_NE(at, std::string::npos) << ring << "\n" << fly.out;
    }
    EXPECT_NE(fly.out.find("10 of 10 birds clocked in"), std::string::npos) << fly.out;
    EXPECT_EQ(arrivalsIn(live), expected);
    const auto j = nlohmann::json::parse(readAll(live));
    EXPECT_EQ(j["speed"], 3600);
    EXPECT_EQ(j["frozen"], false);
    EXPECT_NE(vclock("show " + live).out.find("at 3600 times the host's pace"), std::string::npos);
    // Flown again: every bird is in already, so none is this flight's (as CLV_Fly says too).
    const Outcome again = vclock("fly " + live + kFly + " --seed 5 --live --speed 3600");
    const Outcome onceAgain = vclock("fly " + once + kFly + " --seed 5");
    for (const Outcome* o : {&again, &onceAgain}) {
        ASSERT_EQ(o->status, 0) << o->err;
        EXPECT_NE(o->out.find("no bird was clocked in"), std::string::npos) << o->out;
        EXPECT_NE(o->out.find("10 refused by the clock"), std::string::npos) << o->out;
    }
}

TEST(Vclock, AnotherProcessSeesALiveFlightInTheFile) {
    const std::string once = raceClock("seen_once.json"), live = raceClock("seen.json");
    ASSERT_EQ(vclock("fly " + once + kFly + " --seed 8").status, 0);
    const auto expected = arrivalsIn(once);
    // From the first bird's second on, a minute a second: the first comes in
    // at once, the last more than a quarter of an hour of the host's later.
    ASSERT_EQ(vclock("set-time " + live + " " + expected.front().second + " --running").status, 0);
    const std::string pidFile = dir() + "flyer.pid", out = dir() + "flyer.out";
    ASSERT_EQ(std::system((std::string(SKYLARK_VCLOCK_TOOL) + " fly " + live + kFly + " --seed 8 --live --speed 1 >" +
                           out + " 2>&1 & echo $! >" + pidFile)
                              .c_str()),
              0);
    const pid_t flyer = static_cast<pid_t>(std::stol(readAll(pidFile)));
    // show, from this process, finds the first arrival in the file.
    std::size_t seen = 0;
    for (int i = 0; i < 3000 && seen == 0; ++i) {
        const Outcome show = vclock("show " + live + " --json");
        if (show.status == 0) seen = nlohmann::json::parse(show.out)["races"][0]["arrivals"].size();
        if (seen == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(seen, 1u);
    EXPECT_LT(seen, expected.size());
    // Interrupted: the flyer stops the flight, saves what came in, and ends.
    ASSERT_EQ(kill(flyer, SIGINT), 0);
    for (int i = 0; i < 3000 && kill(flyer, 0) == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_NE(kill(flyer, 0), 0) << "the flyer did not end";
    const std::string printed = readAll(out);
    EXPECT_NE(printed.find("stopped"), std::string::npos) << printed;
    const auto got = arrivalsIn(live);
    ASSERT_GE(got.size(), 1u);
    ASSERT_LT(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], expected[i]) << i;
}

TEST(Vclock, SetSpeed) {
    const std::string f = raceClock("speed.json");
    ASSERT_EQ(vclock("set-speed " + f + " 60").status, 0);
    auto j = nlohmann::json::parse(readAll(f));
    EXPECT_EQ(j["speed"], 60);
    EXPECT_EQ(j["frozen"], true);  // a frozen clock stays frozen
    ASSERT_EQ(vclock("set-speed " + f + " 0.5").status, 0);
    EXPECT_EQ(nlohmann::json::parse(readAll(f))["speed"], 0.5);
    for (const char* bad : {"0", "-2", "3601", "fast"}) EXPECT_EQ(vclock("set-speed " + f + " " + bad).status, 2) << bad;
    EXPECT_EQ(vclock("set-speed " + f).status, 2);
    EXPECT_EQ(vclock("fly " + f + kFly + " --speed 60").status, 2);  // --speed needs --live
    EXPECT_EQ(vclock("fly " + f + kFly + " --live --speed 0").status, 2);
    EXPECT_EQ(nlohmann::json::parse(readAll(f))["speed"], 0.5);  // nothing refused changed it
}

TEST(Vclock, ExitStatusSaysWhatWentWrong) {
    const std::string f = raceClock("status.json");
    const std::string broken = dir() + "broken.json";
    std::ofstream(broken) << R"({"format": "skylark-virtual-clock", "version": 2, "kind": "M", "registry": ["DE20260001"]})";
    const struct {
        const char* name;
        std::string args;
        int status;
        const char* says;  // in the message, if anything
    } cases[] = {
        {"no command", "", 2, "--help"},
        {"an unknown command", "paint " + f, 2, "--help"},
        {"fly without a race", "fly " + f + " --liberation 1,2 --release 2026-05-16T06:00:00", 2, "--race"},
        {"a liberation that is no point", "fly " + f + " --race 0 --liberation north --release 2026-05-16T06:00:00", 2, "LAT,LON"},
        {"a ring of the wrong length", "add-rings " + f + " DE2026", 2, "12 hex digits"},
        {"a kind that does not exist", "new " + dir() + "q.json --kind Q", 2, "kind"},
        {"a clock file that is not there", "check " + dir() + "missing.json", 1, "cannot be read"},
        {"a clock file with a wrong field", "check " + broken, 1, "/registry/0"},
        {"a new clock over an old one", "new " + f + " --kind M", 1, "exists already"},
        {"a ring registered twice", "add-rings " + f + " DE2026000001", 1, "registered already"},
        {"a race with no such index", "fly " + f + " --race 5 --liberation 1,2 --release 2026-05-16T06:00:00 --loft 3,4", 1, "cannot fly"},
        {"a loft the clock does not know", "fly " + f + " --race 0 --liberation 1,2 --release 2026-05-16T06:00:00", 1, "site information"},
        {"a good clock", "check " + f, 0, "a good M clock"},
    };
    for (const auto& k : cases) {
        const Outcome r = vclock(k.args);
        EXPECT_EQ(r.status, k.status) << k.name << ": " << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(k.says), std::string::npos) << k.name << ": " << r.out << r.err;
    }
}

TEST(Vclock, TheExampleFilesAreGoodClocks) {
    for (const auto& e : std::filesystem::directory_iterator(SKYLARK_CLOCK_EXAMPLES)) {
        const Outcome r = vclock("check " + e.path().string());
        EXPECT_EQ(r.status, 0) << e.path() << ": " << r.err;
    }
    // The ready-to-fly example flies to its own site.
    const std::string f = dir() + "ready.json";
    std::filesystem::copy_file(std::string(SKYLARK_CLOCK_EXAMPLES) + "/ready-to-fly.json", f,
                               std::filesystem::copy_options::overwrite_existing);
    const Outcome fly = vclock("fly " + f + " --race 0 --liberation 48.8566,2.3522 --release 2026-05-16T06:00:00 --json");
    ASSERT_EQ(fly.status, 0) << fly.err;
    EXPECT_EQ(nlohmann::json::parse(fly.out)["arrived"], 10);
}

// ---- Reader files (skylark-vclock tag ...) ----------------------------------------------

// A reader file with a formatted tag (ring 112233445566, race 01020304)
// in the field and a factory tag beside it.
std::string readerFile(const char* name) {
    const std::string f = dir() + name;
    std::filesystem::remove(f);
    EXPECT_EQ(vclock("tag new " + f).status, 0);
    EXPECT_EQ(vclock("tag add " + f + " --uid 00000001").status, 0);
    EXPECT_EQ(vclock("tag put " + f + " --uid 5a01c37e").status, 0);
    const char* frame[] = {"00223229", "9D12AB66", "80C0A070", "48046207"};
    for (int p = 0; p < 4; ++p)
        EXPECT_EQ(vclock("tag write " + f + " --uid 5A01C37E --page " + std::to_string(4 + p) + " --data " + frame[p]).status, 0);
    EXPECT_EQ(vclock("tag write " + f + " --uid 5A01C37E --page 1 --data 060800AA").status, 0);
    return f;
}

TEST(VclockTag, MakesEditsAndShowsAReaderFile) {
    const std::string f = readerFile("reader.json");
    const auto j = nlohmann::json::parse(readAll(f));
    EXPECT_EQ(j["format"], "skylark-virtual-reader");
    ASSERT_EQ(j["tags"].size(), 2u);
    EXPECT_EQ(j["tags"][0]["uid"], "00000001");
    EXPECT_EQ(j["tags"][0]["config"], "060000AA");
    EXPECT_EQ(j["tags"][1]["uid"], "5A01C37E");
    EXPECT_EQ(j["tags"][1]["config"], "060800AA");
    EXPECT_EQ(j["tags"][1]["pages"][2], "00223229");
    EXPECT_EQ(j["tags"][1]["pages"][5], "48046207");
    EXPECT_EQ(j["field"], "5A01C37E");

    const Outcome right = vclock("tag show " + f);
    ASSERT_EQ(right.status, 0) << right.err;
    for (const char* words : {"2 tags; the field holds 5A01C37E", "tag 5A01C37E (in the field)", "byte 1 08: formatted",
                              "ring 112233445566, race 01020304; ring check 18 right, race check 03 right",
                              "blank (pages 4 to 7 all zero)"})
        EXPECT_NE(right.out.find(words), std::string::npos) << words << "\n" << right.out;

    // A wrong race check byte (62 07 -> 62 FF: c1 0x7F), shown for what it is.
    ASSERT_EQ(vclock("tag write " + f + " --uid 5A01C37E --page 7 --data 480462ff").status, 0);
    const Outcome wrong = vclock("tag show " + f);
    EXPECT_NE(wrong.out.find("race check 7F WRONG (the race number gives 03)"), std::string::npos) << wrong.out;
    EXPECT_EQ(nlohmann::json::parse(vclock("tag show " + f + " --json").out)["tags"][1]["pages"][5], "480462FF");

    ASSERT_EQ(vclock("tag take " + f).status, 0);
    EXPECT_TRUE(nlohmann::json::parse(readAll(f))["field"].is_null());
    ASSERT_EQ(vclock("tag put " + f + " --uid 00000001").status, 0);
    EXPECT_EQ(nlohmann::json::parse(readAll(f))["field"], "00000001");
    const Outcome check = vclock("tag check " + f);
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_NE(check.out.find("a good reader file, 2 tags, the field holding 00000001"), std::string::npos) << check.out;
}

TEST(VclockTag, ExitStatusSaysWhatWentWrong) {
    const std::string f = readerFile("tag-status.json");
    const std::string broken = dir() + "broken-reader.json";
    std::ofstream(broken) << R"({"format": "skylark-virtual-reader", "version": 1, "tags": [{"uid": "00000001"}, {"uid": "00000001"}]})";
    const struct {
        const char* name;
        std::string args;
        int status;
        const char* says;
    } cases[] = {
        {"tag without a subcommand", "tag", 2, "--help"},
        {"a UID of 7 digits", "tag add " + f + " --uid 0000001", 2, "--uid: not 8 hex digits"},
        {"a UID that is not hex", "tag put " + f + " --uid 0000000G", 2, "--uid: not 8 hex digits"},
        {"data of 6 digits", "tag write " + f + " --uid 00000001 --page 4 --data 000000", 2, "--data: not 8 hex digits"},
        {"page 16", "tag write " + f + " --uid 00000001 --page 16 --data 00000000", 2, "--page"},
        {"write without a page", "tag write " + f + " --uid 00000001 --data 00000000", 2, "--page"},
        {"the UID page", "tag write " + f + " --uid 00000001 --page 0 --data 00000000", 1, "page 0 is the tag's UID"},
        {"a tag the reader has not", "tag write " + f + " --uid 00000009 --page 4 --data 00000000", 1, "no tag of this UID"},
        {"a tag added twice", "tag add " + f + " --uid 00000001", 1, "a tag of this UID already"},
        {"a second tag into the field", "tag put " + f + " --uid 00000001", 1, "the field holds tag 5A01C37E"},
        {"a new reader over an old one", "tag new " + f, 1, "exists already"},
        {"a reader file that is not there", "tag check " + dir() + "missing-reader.json", 1, "cannot be read"},
        {"a UID twice in the file", "tag check " + broken, 1, "/tags/1/uid: the UID of tag 0 again"},
        {"a clock file for a reader file", "tag show " + std::string(SKYLARK_CLOCK_EXAMPLES) + "/three-lines.json", 1, "/format"},
        {"a good reader file", "tag check " + f, 0, "a good reader file"},
    };
    for (const auto& k : cases) {
        const std::string before = readAll(f);
        const Outcome r = vclock(k.args);
        EXPECT_EQ(r.status, k.status) << k.name << ": " << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(k.says), std::string::npos) << k.name << ": " << r.out << r.err;
        if (k.status != 0) {
            EXPECT_EQ(readAll(f), before) << k.name << ": a refusal leaves the file as it was";
        }
    }
    // The field emptied, a take has nothing to take.
    ASSERT_EQ(vclock("tag take " + f).status, 0);
    const Outcome empty = vclock("tag take " + f);
    EXPECT_EQ(empty.status, 1);
    EXPECT_NE(empty.err.find("the field is empty"), std::string::npos) << empty.err;
}

TEST(VclockTag, TheExampleReaderFilesAreGood) {
    std::size_t n = 0;
    for (const auto& e : std::filesystem::directory_iterator(SKYLARK_READER_EXAMPLES)) {
        const Outcome r = vclock("tag check " + e.path().string());
        EXPECT_EQ(r.status, 0) << e.path() << ": " << r.err;
        ++n;
    }
    EXPECT_GT(n, 0u);
}

}  // namespace
