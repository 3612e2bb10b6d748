// skylark-vclock: makes, shows, edits and flies the virtual clocks of our
// ClockLink, as clock files (the readable saved form, version 2).
//
//   skylark-vclock new FILE --kind M|S|H [--password TEXT] [--time ISO] [--seed N] [--frozen]
//   skylark-vclock check FILE
//   skylark-vclock show FILE [--json]
//   skylark-vclock add-rings FILE RING...      remove-rings FILE RING...
//   skylark-vclock add-race FILE --key HEX16 [--time1 ISO] [--time2 ISO] [--rings RING,...]
//   skylark-vclock set-time FILE ISO [--frozen | --running]
//   skylark-vclock set-speed FILE FACTOR
//   skylark-vclock set-password FILE [TEXT]
//   skylark-vclock fly FILE --race INDEX --liberation LAT,LON --release ISO [--loft LAT,LON]
//                  [--seed N] [--mean M] [--spread S] [--lost SHARE] [--json]
//                  [--live [--speed FACTOR]]
//   skylark-vclock records FILE --race INDEX [--vkey HEX16] [--masked] [-o OUT]
//   skylark-vclock log FILE
//   skylark-vclock tag new|check|show|add|put|take|write FILE ...   reader files (tag_commands.cpp)
//
// Exit status: 0 done, 1 refused (the clock or the file said no), 2 bad usage.
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "skylark/virtual_clock.h"
#include "common.h"
#include "tag_commands.h"

namespace {

using ojson = nlohmann::ordered_json;

using vclock::kDone;
using vclock::kRefused;
using vclock::kUsage;
using vclock::readAll;
using vclock::refuse;
using vclock::Refusal;
using vclock::TempFile;

std::string errorText(int code) { return CLV_ErrorText(code); }

// An open clock, closed at the end.
struct Clock {
    CLV_ULONG h = 0;
    Clock() = default;
    explicit Clock(CLV_ULONG handle) : h(handle) {}
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    ~Clock() {
        if (h != 0) CLV_Close(h);
    }
};

// Loads a clock file, or refuses naming what is wrong with it.
CLV_ULONG load(const std::string& path, const std::string& shownAs) {
    int err = 0;
    char why[512] = "";
    const CLV_ULONG h = CLV_LoadEx(path.c_str(), &err, why, sizeof why);
    if (h == 0) {
        if (err == CLV_ERR_FILE_IO) refuse(shownAs + ": cannot be read");
        refuse(shownAs + ": not a clock this tool can use: " + (*why ? why : errorText(err).c_str()));
    }
    return h;
}

void save(CLV_ULONG h, const std::string& path) {
    const int err = CLV_Save(h, path.c_str());
    if (err != CLV_OK) refuse(path + ": cannot be written: " + errorText(err));
}

// The clock's complete document: every default written out.
ojson documentOf(CLV_ULONG h) {
    TempFile t;
    save(h, t.path);
    return ojson::parse(readAll(t.path));
}

// Writes an edited document to the clock file, once the clock took it.
void store(const ojson& doc, const std::string& path) {
    TempFile t;
    std::ofstream(t.path, std::ios::binary) << doc.dump(1);
    Clock c(load(t.path, "the edited clock"));
    save(c.h, path);
}

bool terminal() { return isatty(STDOUT_FILENO) != 0; }

// ---- Plain words ------------------------------------------------------------------

std::string kindName(const std::string& k) {
    return k == "M" ? "M clock (races, training flights, ring registry)"
                    : k == "S" ? "S clock (one race)" : "H clock (one race with race cards)";
}

std::string logName(unsigned type) {
    switch (type) {
    case CLV_LOG_INITIALISED: return "initialised";
    case CLV_LOG_AUTHENTICATED: return "host authenticated";
    case CLV_LOG_AUTH_REFUSED: return "authentication refused";
    case CLV_LOG_TIME_SET: return "time set";
    case CLV_LOG_ISP: return "in-system programming";
    case CLV_LOG_RACE_CREATED: return "race created";
    case CLV_LOG_RACE_CONFIRMED: return "race confirmed";
    case CLV_LOG_RACE_CLOSED: return "race closed";
    case CLV_LOG_RACE_REMOVED: return "race removed";
    case CLV_LOG_RACES_DEPOSED: return "races deposed";
    case CLV_LOG_ARRIVAL: return "arrival";
    case CLV_LOG_RING_REGISTERED: return "ring registered";
    case CLV_LOG_RING_MODIFIED: return "ring modified";
    case CLV_LOG_RING_REMOVED: return "ring removed";
    case CLV_LOG_TRAIN_CREATED: return "training created";
    case CLV_LOG_TRAIN_CONFIRMED: return "training confirmed";
    case CLV_LOG_TRAIN_CLOSED: return "training closed";
    case CLV_LOG_TRAIN_REMOVED: return "training removed";
    case CLV_LOG_TRAIN_ARRIVAL: return "training arrival";
    case CLV_LOG_SETTING_CHANGED: return "setting changed";
    default: return "type " + std::to_string(type);
    }
}

// What a log entry's data says, in words (the layouts of the CLV_LOG_
// types); data of another length than its type's is shown as it stands.
std::string logData(unsigned type, const std::string& hex) {
    std::vector<unsigned> b;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) b.push_back(std::stoul(hex.substr(i, 2), nullptr, 16));
    auto part = [&](std::size_t from, std::size_t n) { return hex.substr(2 * from, 2 * n); };
    auto number = [&](std::size_t from) { return std::to_string(b[from] << 8 | b[from + 1]); };
    auto sized = [&](std::size_t n) { return b.size() == n && hex.size() == 2 * n; };
    switch (type) {
    case CLV_LOG_AUTH_REFUSED:
        if (sized(1)) return "code " + std::to_string(b[0]) + " (" + errorText(static_cast<int>(b[0])) + ")";
        break;
    case CLV_LOG_TIME_SET:
        if (sized(7)) {
            const std::string t = part(0, 6);
            return "from 20" + t.substr(0, 2) + "-" + t.substr(2, 2) + "-" + t.substr(4, 2) + "T" + t.substr(6, 2) + ":" +
                   t.substr(8, 2) + ":" + t.substr(10, 2) + (b[6] != 0 ? ", encrypted" : ", in clear");
        }
        break;
    case CLV_LOG_RACE_CREATED:
    case CLV_LOG_RACE_CLOSED:
    case CLV_LOG_RACE_REMOVED:
        if (sized(8)) return "race key " + hex;
        break;
    case CLV_LOG_RACE_CONFIRMED:
        if (sized(10)) return "race key " + part(0, 8) + ", " + number(8) + " cards";
        break;
    case CLV_LOG_RACES_DEPOSED:
        if (sized(2)) return number(0) + " races";
        break;
    case CLV_LOG_ARRIVAL:
        if (sized(10)) return "ring " + part(0, 6) + ", race " + number(6) + ", arrival " + number(8);
        break;
    case CLV_LOG_RING_REGISTERED:
    case CLV_LOG_RING_MODIFIED:
    case CLV_LOG_RING_REMOVED:
        if (sized(6)) return "ring " + hex;
        break;
    case CLV_LOG_TRAIN_CREATED:
    case CLV_LOG_TRAIN_CONFIRMED:
    case CLV_LOG_TRAIN_CLOSED:
    case CLV_LOG_TRAIN_REMOVED:
        if (sized(2)) return "training " + number(0);
        break;
    case CLV_LOG_TRAIN_ARRIVAL:
        if (sized(8)) return "ring " + part(0, 6) + ", training " + number(6);
        break;
    case CLV_LOG_SETTING_CHANGED:
        if (sized(2)) return "command " + part(0, 1) + ", index " + std::to_string(b[1]);
        break;
    default:
        if (hex.empty()) return "";
        break;
    }
    return hex.empty() ? "" : "data " + hex;
}

// A table: columns padded on a terminal, tab-separated otherwise.
class Table {
public:
    explicit Table(std::vector<std::string> head) { rows_.push_back(std::move(head)); }
    void add(std::vector<std::string> row) { rows_.push_back(std::move(row)); }
    void print(std::ostream& out, const std::string& indent = "  ") const {
        std::vector<std::size_t> width(rows_[0].size(), 0);
        for (const auto& r : rows_)
            for (std::size_t i = 0; i < r.size(); ++i) width[i] = std::max(width[i], r[i].size());
        for (const auto& r : rows_) {
            out << indent;
            for (std::size_t i = 0; i < r.size(); ++i) {
                if (!terminal()) {
                    out << (i ? "\t" : "") << r[i];
                } else {
                    out << r[i];
                    if (i + 1 < r.size()) out << std::string(width[i] - r[i].size() + 2, ' ');
                }
            }
            out << '\n';
        }
    }

private:
    std::vector<std::vector<std::string>> rows_;
};

std::string text(const ojson& j) { return j.is_string() ? j.get<std::string>() : j.dump(); }

// The event log as a table.
Table logTable(const ojson& d) {
    Table t({"#", "time", "event", "what"});
    for (const ojson& e : d["log"]["entries"]) {
        const unsigned type = e["type"].get<unsigned>();
        t.add({e["number"].dump(), text(e["time"]), logName(type), logData(type, text(e["data"]))});
    }
    return t;
}

void showArrivals(const ojson& arrivals, std::ostream& out) {
    if (arrivals.empty()) {
        out << "  no arrivals\n";
        return;
    }
    Table t({"#", "ring", "arrived", "downloaded"});
    std::size_t n = 0;
    for (const ojson& a : arrivals)
        t.add({std::to_string(n++), text(a["ring"]), text(a["time"]), a["downloaded"].get<bool>() ? "yes" : "no"});
    t.print(out);
}

void show(const ojson& d, std::ostream& out) {
    const std::string kind = d["kind"];
    out << kindName(kind) << ", serial " << d["serial"].get<std::uint64_t>() << "\n";
    const ojson& pw = d["password"];
    out << "  password:    " << (pw.is_string() ? (pw.get<std::string>().empty() ? "(none)" : "\"" + pw.get<std::string>() + "\"")
                                                 : "bytes " + text(pw["hex"]))
        << "\n";
    out << "  initialised: " << (d["initialised"].get<bool>() ? "yes" : "no")
        << (d["isp"].get<bool>() ? ", in in-system programming" : "") << "\n";
    const std::string pace = d["speed"] == 1 ? "" : ", at " + d["speed"].dump() + " times the host's pace";
    out << "  time:        " << text(d["time"]) << (d["frozen"].get<bool>() ? " (frozen" : " (running") << pace << ")\n";
    if (!d["seed"].is_null()) out << "  seed:        " << d["seed"]["value"].get<std::uint64_t>() << "\n";
    if (kind == "M") {
        out << "\nRaces (" << d["races"].size() << ")\n";
        std::size_t i = 0;
        for (const ojson& r : d["races"]) {
            out << "race " << i++ << ": key " << text(r["key"]) << ", " << text(r["state"]) << ", times "
                << text(r["time1"]) << " to " << text(r["time2"]) << ", parameter " << r["param"].dump() << ", "
                << r["cards"].size() << " cards, " << r["arrivals"].size() << " arrivals\n";
            std::string cards;
            for (const ojson& c : r["cards"]) cards += (cards.empty() ? "" : " ") + text(c);
            out << "  cards: " << (cards.empty() ? "(none)" : cards) << "\n";
            showArrivals(r["arrivals"], out);
        }
        out << "\nTraining flights (" << d["trainings"].size() << ", next number "
            << d["next_training_number"].dump() << ")\n";
        for (const ojson& t : d["trainings"]) {
            out << "training " << t["number"].dump() << ": " << text(t["state"]) << ", " << text(t["time1"]) << " to "
                << text(t["time2"]) << ", " << t["rings"].size() << " rings\n";
            showArrivals(t["arrivals"], out);
        }
        out << "\nRing registry (" << d["registry"].size() << ")\n";
        if (!d["registry"].empty()) {
            Table t({"ring", "byte", "words", "long", "data"});
            for (const ojson& r : d["registry"]) {
                if (r.is_string()) t.add({text(r), "0", "0 0 0", "0", "-"});
                else
                    t.add({text(r["ring"]), r["byte"].dump(),
                           r["words"][0].dump() + " " + r["words"][1].dump() + " " + r["words"][2].dump(),
                           r["long"].dump(), text(r["data"])});
            }
            t.print(out);
        }
        const ojson& s = d["settings"];
        out << "\nSettings\n";
        const ojson& site = s["site"];
        if (site.contains("latitude") && text(site["code"]) == "00000000" && site["latitude"] == 0 &&
            site["longitude"] == 0)
            out << "  site:        not set\n";
        else if (site.contains("latitude"))
            out << "  site:        code " << text(site["code"]) << ", loft at " << site["latitude"].dump() << " N, "
                << site["longitude"].dump() << " E\n";
        else
            out << "  site:        bytes " << text(site["hex"]) << "\n";
        out << "  phone:       " << (s["phone"].is_string() ? text(s["phone"]) : "bytes " + text(s["phone"]["hex"])) << "\n";
        out << "  staff:       " << (s["staff"].is_string() ? text(s["staff"]) : "bytes " + text(s["staff"]["hex"])) << "\n";
        std::string ch, tt, ts;
        for (const ojson& c : s["channels"]) ch += " " + text(c);
        for (const ojson& c : s["touch_types"]) tt += " " + text(c);
        for (const ojson& c : s["training_sites"]) ts += " " + c.dump();
        out << "  channels:   " << ch << "\n  touch types:" << tt << "\n  training sites:" << ts << "\n";
    } else {
        out << "  card:        " << text(d["card"]) << "\n\nRace\n";
        const ojson& r = d["race"];
        if (r.is_null()) {
            out << "  none\n";
        } else {
            out << "  key " << text(r["key"]);
            if (kind == "S") out << ", times " << text(r["time1"]) << " to " << text(r["time2"]) << "\n";
            else out << ", " << (r["confirmed"].get<bool>() ? "confirmed" : "not confirmed") << ", "
                     << r["cards"].size() << " race cards\n";
            if (kind == "H" && !r["cards"].empty()) {
                Table t({"ring", "card code", "card time"});
                for (const ojson& c : r["cards"])
                    if (c.contains("ring")) t.add({text(c["ring"]), text(c["code"]), text(c["time"])});
                    else t.add({text(c["hex"]), "", ""});
                t.print(out);
            }
            showArrivals(r["arrivals"], out);
        }
    }
    out << "\nEvent log (" << d["log"]["entries"].size() << " entries, next number " << d["log"]["next"].dump() << ")\n";
    if (!d["log"]["entries"].empty()) logTable(d).print(out);
}

// ---- Arguments -----------------------------------------------------------------------

bool latLon(const std::string& s, double& lat, double& lon) {
    char comma = 0;
    int used = 0;
    return std::sscanf(s.c_str(), "%lf%c%lf%n", &lat, &comma, &lon, &used) == 3 && comma == ',' &&
           used == static_cast<int>(s.size());
}

bool oleOf(const std::string& iso, double& date) {
    int y, mo, d, h, mi, s, used = 0;
    if (std::sscanf(iso.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &used) != 6 ||
        used != static_cast<int>(iso.size()) || y < 2000 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > 31 ||
        h > 23 || mi > 59 || s > 59)
        return false;
    // Days from 30 December 1899 (the OLE epoch) by the civil calendar.
    auto days = [](long y, long m, long d) {
        y -= m <= 2;
        const long era = y / 400, yoe = y - era * 400;
        const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy;
    };
    date = static_cast<double>(days(y, mo, d) - days(1899, 12, 30)) + (h * 3600 + mi * 60 + s) / 86400.0;
    return true;
}

std::string isoOf(double ole) {
    const long long secs = std::llround(ole * 86400.0);
    long long days = secs / 86400 + 693899;  // days from 1 March 0000
    const long long rest = secs % 86400;
    const long long era = days / 146097, doe = days - era * 146097;
    const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const long long mp = (5 * doy + 2) / 153;
    const long long d = doy - (153 * mp + 2) / 5 + 1, m = mp < 10 ? mp + 3 : mp - 9;
    const long long y = yoe + era * 400 + (m <= 2);
    char out[128];
    std::snprintf(out, sizeof out, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld", y, m, d, rest / 3600, rest / 60 % 60,
                  rest % 60);
    return out;
}

std::string upperHex(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool isHexOf(const std::string& s, std::size_t digits) {
    return s.size() == digits && s.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

}  // namespace

// ---- A live flight -----------------------------------------------------------------

volatile std::sig_atomic_t interrupted = 0;
extern "C" void onInterrupt(int) { interrupted = 1; }

// Follows a live flight to its end: prints each arrival as the clock records
// it and saves the file after each, so another process can show it. Ctrl-C
// (or SIGTERM) ends the flight early, keeping what came in.
void flyLive(CLV_ULONG h, const std::string& file, std::uint32_t raceIndex, CLV_ULONG before,
             const CLV_FlySummary& planned, bool print) {
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    double speed = 1;
    CLV_GetSpeed(h, &speed);
    CLV_LiveFlight st{};
    CLV_GetLiveFlight(h, &st);
    if (print) {
        char line[256];
        std::snprintf(line, sizeof line, "Live: %u birds to come, the first at %s, the last at %s; the clock at %g times the host's pace\n",
                      static_cast<unsigned>(st.planned), st.planned ? isoOf(planned.firstArrival).c_str() : "-",
                      st.planned ? isoOf(planned.lastArrival).c_str() : "-", speed);
        std::cout << line << std::flush;
    }
    CLV_ULONG shown = before;  // arrivals of the race before this flight
    while (true) {
        // Awake for the next bird, and four times a second for Ctrl-C.
        double now = 0;
        CLV_GetClockTime(h, &now);
        double waitMs = 250;
        if (st.running && st.nextArrival > now)
            waitMs = std::min(waitMs, (st.nextArrival - now) * 86400000.0 / speed + 1);
        else if (st.running)
            waitMs = 1;
        CLV_WaitLiveFlight(h, static_cast<CLV_ULONG>(waitMs), &st);
        CLV_ULONG count = 0;
        CLV_GetArrivalCount(h, raceIndex, &count);
        if (count > shown) {
            for (; shown < count; ++shown) {
                char ring[13];
                double at = 0;
                if (print && CLV_GetArrival(h, raceIndex, shown, ring, &at) == CLV_OK)
                    std::cout << "  " << isoOf(at) << "  " << ring << "\n";
            }
            std::cout << std::flush;
            save(h, file);
        }
        if (!st.running) break;
        if (interrupted) {
            CLV_StopLiveFlight(h);
            CLV_GetLiveFlight(h, &st);
            if (print) std::cout << "  stopped; the birds still to come are not clocked in\n";
            break;
        }
    }
    save(h, file);
}

int main(int argc, char** argv) {
    CLI::App app{"Makes, shows, edits and flies virtual clocks of the stand-in ClockLink, kept in clock files "
                 "(JSON, the readable saved form). Exit status: 0 done, 1 refused, 2 bad usage."};
    app.require_subcommand(1);
    std::string file, kind, password, timeText, key, time1, time2, ringsText, liberation, release, loft, vkey, output;
    std::vector<std::string> rings;
    std::uint32_t seed = 0, raceIndex = 0;
    bool seedGiven = false, json = false, frozen = false, running = false, masked = false, passwordGiven = false;
    double mean = 1200, spread = 60, lost = 0, speed = 0;
    bool live = false;

    auto* cNew = app.add_subcommand("new", "Make a new clock file");
    cNew->add_option("file", file, "The clock file to make")->required();
    cNew->add_option("--kind", kind, "M, S or H")->required()->check(CLI::IsMember({"M", "S", "H"}));
    cNew->add_option("--password", password, "The clock's password (up to 8 characters)");
    cNew->add_option("--time", timeText, "The clock's time, YYYY-MM-DDThh:mm:ss (default: now)");
    cNew->add_option("--seed", seed, "A seed: serial number, time and randoms follow from it")
        ->each([&](const std::string&) { seedGiven = true; });
    cNew->add_flag("--frozen", frozen, "The clock's time stands still");
    auto* cCheck = app.add_subcommand("check", "Check a clock file; names the field that is wrong");
    cCheck->add_option("file", file, "The clock file")->required();
    auto* cShow = app.add_subcommand("show", "Everything the clock holds, in plain words");
    cShow->add_option("file", file, "The clock file")->required();
    cShow->add_flag("--json", json, "The complete clock as JSON, every default written out");
    auto* cAdd = app.add_subcommand("add-rings", "Register rings (M clock)");
    cAdd->add_option("file", file, "The clock file")->required();
    cAdd->add_option("rings", rings, "Ring numbers, 12 hex digits each")->required();
    auto* cRemove = app.add_subcommand("remove-rings", "Remove rings from the registry (M clock)");
    cRemove->add_option("file", file, "The clock file")->required();
    cRemove->add_option("rings", rings, "Ring numbers, 12 hex digits each")->required();
    auto* cRace = app.add_subcommand("add-race", "Enter a confirmed race (M: of the registered rings; H: race cards)");
    cRace->add_option("file", file, "The clock file")->required();
    cRace->add_option("--key", key, "The race key, 16 hex digits")->required();
    cRace->add_option("--time1", time1, "First race time (default: the clock's time)");
    cRace->add_option("--time2", time2, "Second race time (default: the first)");
    cRace->add_option("--rings", ringsText, "The race's rings, comma-separated (M default: every registered ring)");
    auto* cTime = app.add_subcommand("set-time", "Set the clock's time");
    cTime->add_option("file", file, "The clock file")->required();
    cTime->add_option("time", timeText, "YYYY-MM-DDThh:mm:ss")->required();
    auto* frozenFlag = cTime->add_flag("--frozen", frozen, "And let it stand still");
    cTime->add_flag("--running", running, "And let it run")->excludes(frozenFlag);
    auto* cSpeed = app.add_subcommand("set-speed", "Set the speed of the clock's time (clock seconds per second)");
    cSpeed->add_option("file", file, "The clock file")->required();
    cSpeed->add_option("factor", speed, "Above 0, at most 3600 (60: an hour passes in a minute); 1 is the host's pace")
        ->required();
    auto* cPassword = app.add_subcommand("set-password", "Set the clock's password (none: no password)");
    cPassword->add_option("file", file, "The clock file")->required();
    cPassword->add_option("password", password, "Up to 8 characters")->each([&](const std::string&) { passwordGiven = true; });
    auto* cFly = app.add_subcommand("fly", "Race day: the birds of a confirmed race fly home and are clocked in");
    cFly->add_option("file", file, "The clock file")->required();
    cFly->add_option("--race", raceIndex, "The race's index (M clock; from 0)")->required();
    cFly->add_option("--liberation", liberation, "Where the birds are let go: LAT,LON in degrees")->required();
    cFly->add_option("--release", release, "When: YYYY-MM-DDThh:mm:ss")->required();
    cFly->add_option("--loft", loft, "The loft: LAT,LON (default: the clock's site information)");
    cFly->add_option("--seed", seed, "The day's seed (default 0); the same seed flies the same day");
    cFly->add_option("--mean", mean, "Mean velocity, m/min (default 1200)");
    cFly->add_option("--spread", spread, "Standard deviation of the velocities, m/min (default 60)");
    cFly->add_option("--lost", lost, "Share of birds that do not return that day, 0 to 1 (default 0)");
    cFly->add_flag("--json", json, "The summary as JSON");
    cFly->add_flag("--live", live,
                   "Fly in the clock's own time: each arrival recorded when the clock's time reaches it, "
                   "printed and saved to the file as it comes (the clock must be running)");
    cFly->add_option("--speed", speed, "With --live: the clock's speed first (see set-speed)")->needs("--live");
    auto* cRecords = app.add_subcommand("records", "A race's arrivals as stored records (the input of skylark-records)");
    cRecords->add_option("file", file, "The clock file")->required();
    cRecords->add_option("--race", raceIndex, "The race's index (M clock)")->required();
    cRecords->add_option("--vkey", vkey, "The 8-byte key the records are sealed over, 16 hex digits (default: the race key)");
    cRecords->add_flag("--masked", masked, "The 24-byte masked records instead (ring,record)");
    cRecords->add_option("-o,--output", output, "Where to write them (default: standard output)");
    auto* cLog = app.add_subcommand("log", "The clock's event log as a table");
    cLog->add_option("file", file, "The clock file")->required();
    vclock::TagCommands tags(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        std::cerr << "skylark-vclock: " << e.what() << "\n(skylark-vclock --help lists the commands; "
                  << "skylark-vclock COMMAND --help their options)\n";
        return kUsage;
    }

    if (tags.parsed()) return tags.run();
    auto usage = [](const std::string& what) {
        std::cerr << "skylark-vclock: " << what << "\n";
        return kUsage;
    };
    try {
        if (cNew->parsed()) {
            if (std::filesystem::exists(file)) refuse(file + ": exists already; a new clock is not written over it");
            const int k = kind == "M" ? CLV_KIND_M : kind == "S" ? CLV_KIND_S : CLV_KIND_H;
            Clock c(CLV_Open(k));
            if (seedGiven) CLV_SetSeed(c.h, seed);
            if (password.size() > 8) return usage("--password: at most 8 characters");
            CLV_SetPassword(c.h, password.c_str());
            double t = 0;
            if (!timeText.empty()) {
                if (!oleOf(timeText, t)) return usage("--time: not a date-time YYYY-MM-DDThh:mm:ss of 2000 to 2099");
                CLV_SetClockTime(c.h, t);
            }
            if (frozen) CLV_FreezeClock(c.h, 1);
            ojson d = documentOf(c.h);
            d["initialised"] = true;  // set up and ready for a host
            store(d, file);
            std::cout << file << ": a new " << kindName(kind) << "\n";
            return kDone;
        }
        Clock c(load(file, file));
        if (cCheck->parsed()) {
            const ojson d = documentOf(c.h);
            std::cout << file << ": a good " << kindName(d["kind"]) << "\n";
            return kDone;
        }
        ojson d = documentOf(c.h);
        if (cShow->parsed()) {
            if (json) std::cout << d.dump(1) << "\n";
            else show(d, std::cout);
            return kDone;
        }
        if (cLog->parsed()) {
            logTable(d).print(std::cout, "");
            return kDone;
        }
        if (cAdd->parsed() || cRemove->parsed()) {
            if (d["kind"] != "M") refuse(file + ": only an M clock keeps a ring registry");
            for (const std::string& r : rings) {
                if (!isHexOf(r, 12)) return usage(r + ": not a ring number of 12 hex digits");
                const std::string ring = upperHex(r);
                ojson& reg = d["registry"];
                auto it = std::find_if(reg.begin(), reg.end(), [&](const ojson& e) {
                    return (e.is_string() ? text(e) : text(e["ring"])) == ring;
                });
                if (cAdd->parsed()) {
                    if (it != reg.end()) refuse(ring + ": registered already");
                    reg.push_back(ring);
                } else {
                    if (it == reg.end()) refuse(ring + ": not in the registry");
                    reg.erase(it);
                }
            }
            store(d, file);
            std::cout << file << ": " << rings.size() << (cAdd->parsed() ? " rings registered" : " rings removed")
                      << ", " << d["registry"].size() << " in the registry\n";
            return kDone;
        }
        if (cRace->parsed()) {
            if (!isHexOf(key, 16)) return usage("--key: not 16 hex digits");
            std::vector<std::string> chosen;
            std::stringstream list(ringsText);
            for (std::string r; std::getline(list, r, ',');) {
                if (!isHexOf(r, 12)) return usage("--rings: " + r + " is not a ring number of 12 hex digits");
                chosen.push_back(upperHex(r));
            }
            ojson race{{"key", upperHex(key)}};
            if (!time1.empty()) race["time1"] = time1;
            if (!time2.empty()) race["time2"] = time2;
            if (d["kind"] == "M") {
                if (!chosen.empty()) race["cards"] = chosen;
                race["state"] = "confirmed";
                d["races"].push_back(race);
            } else if (d["kind"] == "H") {
                if (!d["race"].is_null()) refuse(file + ": an H clock has one race, and it has one");
                race["confirmed"] = true;
                race["cards"] = chosen;
                race.erase("time1");
                race.erase("time2");
                d["race"] = race;
            } else {
                if (!d["race"].is_null()) refuse(file + ": an S clock has one race, and it has one");
                d["race"] = race;
            }
            store(d, file);
            std::cout << file << ": race " << upperHex(key) << " entered and confirmed\n";
            return kDone;
        }
        if (cTime->parsed()) {
            double t = 0;
            if (!oleOf(timeText, t)) return usage(timeText + ": not a date-time YYYY-MM-DDThh:mm:ss of 2000 to 2099");
            d["time"] = timeText;
            if (frozen) d["frozen"] = true;
            if (running) d["frozen"] = false;
            d.erase("saved_at");  // the time is now, not the time of the last save
            store(d, file);
            std::cout << file << ": time " << timeText << (d["frozen"].get<bool>() ? " (frozen)" : " (running)") << "\n";
            return kDone;
        }
        if (cSpeed->parsed()) {
            if (!(speed > 0 && speed <= CLV_MAX_SPEED)) return usage("the speed is above 0 and at most 3600");
            if (CLV_SetSpeed(c.h, speed) != CLV_OK) refuse(file + ": the clock refused the speed");
            save(c.h, file);
            std::cout << file << ": speed " << documentOf(c.h)["speed"].dump() << " (clock seconds per second)"
                      << (d["frozen"].get<bool>() ? "; the clock is frozen" : "") << "\n";
            return kDone;
        }
        if (cPassword->parsed()) {
            if (password.size() > 8) return usage("at most 8 characters");
            d["password"] = passwordGiven ? password : "";
            store(d, file);
            std::cout << file << ": " << (password.empty() ? "no password" : "password set") << "\n";
            return kDone;
        }
        if (cFly->parsed()) {
            double libLat = 0, libLon = 0, loftLat = CLV_LOFT_FROM_SITE, loftLon = CLV_LOFT_FROM_SITE, when = 0;
            if (!latLon(liberation, libLat, libLon)) return usage("--liberation: not LAT,LON in degrees");
            if (!loft.empty() && !latLon(loft, loftLat, loftLon)) return usage("--loft: not LAT,LON in degrees");
            if (!oleOf(release, when)) return usage("--release: not a date-time YYYY-MM-DDThh:mm:ss of 2000 to 2099");
            if (live && cFly->count("--speed") > 0) {
                if (!(speed > 0 && speed <= CLV_MAX_SPEED)) return usage("--speed: above 0 and at most 3600");
                CLV_SetSpeed(c.h, speed);
            }
            if (live && d["frozen"].get<bool>())
                refuse(file + ": the clock is frozen, its time would never reach the birds "
                              "(set-time FILE TIME --running first)");
            CLV_FlySummary sum{};
            CLV_ULONG before = 0;
            CLV_GetArrivalCount(c.h, raceIndex, &before);
            const int err = (live ? CLV_FlyLive : CLV_Fly)(c.h, raceIndex, libLat, libLon, when, loftLat, loftLon,
                                                           seed, mean, spread, lost, &sum);
            if (err != CLV_OK) {
                std::string why = errorText(err);
                if (err == CLV_ERR_BAD_STATE) why += " (the race must be confirmed; without --loft the clock needs its site information)";
                refuse(file + ": cannot fly race " + std::to_string(raceIndex) + ": " + why);
            }
            save(c.h, file);
            if (live) flyLive(c.h, file, raceIndex, before, sum, !json);
            const ojson after = documentOf(c.h);
            const ojson& race = after["kind"] == "M" ? after["races"][raceIndex] : after["race"];
            if (live) {
                // What came in, as the clock has it: a flight stopped early, birds the clock refused.
                // The race's arrivals from before this flight are not its own.
                CLV_LiveFlight st{};
                CLV_GetLiveFlight(c.h, &st);
                sum.arrived = 0;
                sum.fastest = sum.slowest = sum.meanVelocity = 0;
                double total = 0;
                const ojson& arrivals = race["arrivals"];
                for (auto it = arrivals.begin() + std::min<std::size_t>(before, arrivals.size()); it != arrivals.end(); ++it) {
                    const ojson& a = *it;
                    double at = 0;
                    if (!oleOf(text(a["time"]), at) || at <= when) continue;
                    const double v = sum.distance / ((at - when) * 1440);
                    if (sum.arrived++ == 0) sum.firstArrival = at, sum.fastest = sum.slowest = v;
                    sum.lastArrival = at;
                    sum.fastest = std::max(sum.fastest, v);
                    sum.slowest = std::min(sum.slowest, v);
                    total += v;
                }
                if (sum.arrived > 0) sum.meanVelocity = total / sum.arrived;
                if (sum.refused == 0) sum.refusal = st.refusal;
                sum.refused += st.refused;
            }
            if (json) {
                ojson birds = ojson::array();
                for (const ojson& cardJ : race["cards"]) {
                    const std::string ring = (cardJ.is_string() ? text(cardJ) : text(cardJ["ring"])).substr(0, 12);
                    ojson b{{"ring", ring}};
                    auto it = std::find_if(race["arrivals"].begin(), race["arrivals"].end(),
                                           [&](const ojson& a) { return text(a["ring"]) == ring; });
                    double at = 0;
                    if (it != race["arrivals"].end() && oleOf(text((*it)["time"]), at) && at > when) {
                        b["arrival"] = (*it)["time"];
                        b["velocity_m_min"] = std::round(sum.distance / ((at - when) * 1440) * 1000) / 1000;
                    } else {
                        b["arrival"] = nullptr;
                    }
                    birds.push_back(b);
                }
                std::sort(birds.begin(), birds.end(), [](const ojson& a, const ojson& b) {
                    if (a["arrival"].is_null() != b["arrival"].is_null()) return b["arrival"].is_null();
                    return !a["arrival"].is_null() && text(a["arrival"]) < text(b["arrival"]);
                });
                ojson out{{"distance_m", sum.distance}, {"birds_flown", sum.birds}, {"arrived", sum.arrived},
                          {"lost", sum.lost}, {"refused", sum.refused},
                          {"first_arrival", sum.arrived ? ojson(isoOf(sum.firstArrival)) : ojson()},
                          {"last_arrival", sum.arrived ? ojson(isoOf(sum.lastArrival)) : ojson()},
                          {"fastest_m_min", sum.fastest}, {"slowest_m_min", sum.slowest},
                          {"mean_m_min", sum.meanVelocity}, {"clock_time", after["time"]}, {"birds", birds}};
                std::cout << out.dump(1) << "\n";
            } else {
                char line[256];
                std::snprintf(line, sizeof line, "Race %u: %.3f km from %.5f,%.5f, released %s\n", raceIndex,
                              sum.distance / 1000, libLat, libLon, release.c_str());
                std::cout << line;
                if (sum.arrived > 0) {
                    std::snprintf(line, sizeof line,
                                  "  %u of %u birds clocked in: first %s, last %s\n"
                                  "  velocities: fastest %.1f m/min, slowest %.1f m/min, mean %.1f m/min\n",
                                  sum.arrived, sum.birds, isoOf(sum.firstArrival).c_str(),
                                  isoOf(sum.lastArrival).c_str(), sum.fastest, sum.slowest, sum.meanVelocity);
                    std::cout << line;
                } else {
                    std::cout << "  no bird was clocked in\n";
                }
                if (sum.lost) std::cout << "  " << sum.lost << " did not return that day\n";
                if (sum.refused)
                    std::cout << "  " << sum.refused << " refused by the clock: " << errorText(static_cast<int>(sum.refusal))
                              << "\n";
                std::cout << "  the clock's time is now " << text(after["time"])
                          << (after["frozen"].get<bool>() ? " (frozen)" : "") << "\n";
            }
            return kDone;
        }
        if (cRecords->parsed()) {
            ojson race = d["kind"] == "M" ? (raceIndex < d["races"].size() ? d["races"][raceIndex] : ojson())
                                          : d["race"];
            if (race.is_null()) refuse(file + ": no race " + std::to_string(raceIndex));
            std::string keyHex = vkey.empty() ? text(race["key"]) : vkey;
            if (!isHexOf(keyHex, 16)) return usage("--vkey: not 16 hex digits");
            keyHex = upperHex(keyHex);
            unsigned char vk[8];
            for (int i = 0; i < 8; ++i) vk[i] = static_cast<unsigned char>(std::stoi(keyHex.substr(2 * i, 2), nullptr, 16));
            std::ofstream fileOut;
            if (!output.empty()) {
                fileOut.open(output, std::ios::binary);
                if (!fileOut) refuse(output + ": cannot be written");
            }
            std::ostream& out = output.empty() ? std::cout : fileOut;
            CLV_ULONG n = 0;
            CLV_GetArrivalCount(c.h, raceIndex, &n);
            out << (masked ? "ring,record\n" : "key,record\n");
            for (CLV_ULONG i = 0; i < n; ++i) {
                char rec[97], ring[13];
                double at = 0;
                CLV_GetArrival(c.h, raceIndex, i, ring, &at);
                const int err = masked ? CLV_GetMaskedRecord(c.h, raceIndex, i, rec)
                                       : CLV_GetStoredRecord(c.h, raceIndex, i, vk, rec);
                if (err != CLV_OK) refuse("arrival " + std::to_string(i) + ": " + errorText(err));
                out << (masked ? std::string(ring) : keyHex) << "," << rec << "\n";
            }
            if (!output.empty()) std::cerr << output << ": " << n << (masked ? " masked" : " stored") << " records\n";
            return kDone;
        }
    } catch (const Refusal& r) {
        std::cerr << "skylark-vclock: " << r.message << "\n";
        return kRefused;
    } catch (const std::exception& e) {
        std::cerr << "skylark-vclock: " << e.what() << "\n";
        return kRefused;
    }
    return kUsage;
}
