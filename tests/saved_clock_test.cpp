// A virtual clock's saved file: the file on disk is always whole and from a
// save that reported success; a clock's own save loads again with every
// field; a file that describes a clock no clock could be is refused, naming
// the field, and left as it was.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#if !defined(_WIN32)
#include <unistd.h>
#endif

#include "skylark/skylark.h"
#include "frame/clocklink.h"
#include "skylark/virtual_clock.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// 14 March 2026 09:05:07 and later times, as OLE dates.
constexpr double kStart = 46095.0 + (9 * 3600 + 5 * 60 + 7) / 86400.0;
double at(int secondsLater) { return kStart + secondsLater / 86400.0; }

constexpr const char* kRaceKey = "0102030405060708";
constexpr const char* kOtherKey = "1112131415161718";
constexpr const char* kRings[] = {"DE0000000001", "DE0000000002", "DE0000000003"};

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A folder of its own for the test's files, removed afterwards.
struct Folder {
    fs::path dir;
    explicit Folder(const std::string& name) : dir(fs::path(::testing::TempDir()) / ("skylark_" + name)) {
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
        return out;
    }
};

struct Clock {
    SK_ULONG h;
    explicit Clock(SK_ULONG handle) : h(handle) {}
    ~Clock() {
        if (h != 0) CLV_Close(h);
    }
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
};

// Clocks of each kind holding something in every table, time frozen.
SK_ULONG mClock() {
    const SK_ULONG h = CLV_Open(CLV_KIND_M);
    CLV_FreezeClock(h, 1);
    CLV_SetClockTime(h, at(-60));
    EXPECT_NE(SK_InitDevEx(h, "loft7"), 0);
    EXPECT_NE(SK_ConnectEx(h, "loft7"), 0);
    for (const char* ring : kRings)
        EXPECT_EQ(SKM_AppendCard(h, ring, 7, 1, 2, 3, 0x01020304, "A1A2A3A4A5A6A7A8A9AAABAC"), -1);
    EXPECT_EQ(SKM_CreateRace(h, kRaceKey, at(0), at(3600), 0x0A0B0C0D), -1);
    for (const char* ring : kRings) EXPECT_EQ(SKM_AddRaceCard(h, ring), -1);
    EXPECT_EQ(SKM_ConfirmRace(h, kRaceKey, 3, "CONFIRM!"), -1);
    EXPECT_EQ(CLV_RecordArrival(h, 0, kRings[0], at(60)), CLV_OK);
    EXPECT_EQ(CLV_RecordArrival(h, 0, kRings[1], at(120)), CLV_OK);
    EXPECT_EQ(SKM_CreateRace(h, kOtherKey, at(10), at(20), 5), -1);
    EXPECT_EQ(SKM_AddRaceCard(h, kRings[2]), -1);
    SK_ULONG number = 0;
    EXPECT_EQ(SKM_CreateTrain(h, at(0), at(60), 0x42, &number), -1);
    EXPECT_EQ(SKM_AddTrainCard(h, kRings[0]), -1);
    EXPECT_EQ(SKM_AddTrainCard(h, kRings[1]), -1);
    EXPECT_EQ(SKM_ConfirmTrain(h, number, 9), -1);
    EXPECT_EQ(CLV_RecordTrainArrival(h, 0, kRings[0], at(30)), CLV_OK);
    EXPECT_EQ(CLV_RecordTrainArrival(h, 0, kRings[1], at(40)), CLV_OK);
    EXPECT_EQ(SKM_CreateTrain(h, at(100), at(160), 1, &number), -1);
    EXPECT_EQ(SKM_SetChannelNo(h, 2, "0A0B0C0D"), -1);
    EXPECT_EQ(SKM_SET_TOUCH_TYPE(h, 7, "01020304"), -1);
    EXPECT_EQ(SKM_SetSiteInfo(h, "12345678", "051234567890", "001234567890"), -1);
    EXPECT_EQ(SKM_SetPhoneCode(h, "0031*20#555,1"), -1);
    EXPECT_EQ(SKM_SetStaffNo(h, "KEEPER-01"), -1);
    EXPECT_EQ(SKM_SetTrainSite(h, 3, 0xCAFEF00D), -1);
    return h;
}

SK_ULONG sClock() {
    const SK_ULONG h = CLV_Open(CLV_KIND_S);
    CLV_FreezeClock(h, 1);
    EXPECT_NE(SK_Connect(h), 0);
    EXPECT_EQ(SKS_CreateRace(h, kRaceKey, at(0), at(60)), -1);
    EXPECT_EQ(CLV_RecordArrival(h, 0, kRings[0], at(100)), CLV_OK);
    EXPECT_EQ(CLV_RecordArrival(h, 0, kRings[1], at(200)), CLV_OK);
    char body[33];
    double t = 0;
    EXPECT_EQ(SKS_GetRaceRecord(h, 0, body, &t), -1);  // marks arrival 0 downloaded
    EXPECT_EQ(CLV_SetCardData(h, "000102030405060708090A0B0C0D0E0F"), CLV_OK);
    return h;
}

SK_ULONG hClock() {
    const SK_ULONG h = CLV_Open(CLV_KIND_H);
    CLV_FreezeClock(h, 1);
    EXPECT_NE(SK_Connect(h), 0);
    EXPECT_EQ(SKH_CreateRace(h, kRaceKey), -1);
    EXPECT_NE(SKH_AddRaceCard(h, kRings[0], "C0DEC0DEC0DEC0DE", at(5)), 0);
    EXPECT_NE(SKH_AddRaceCard(h, kRings[1], "C0DEC0DEC0DEC0DF", at(6)), 0);
    EXPECT_NE(SKH_ConfirmRace(h, kRaceKey, 0), 0);
    EXPECT_EQ(CLV_RecordArrival(h, 0, kRings[1], at(100)), CLV_OK);
    return h;
}

json parsed(const std::string& path) { return json::parse(readAll(path)); }

// The file without the host's time of the save.
json withoutSavedAt(json j) {
    j.erase("saved_at");
    return j;
}

// ---- The file on disk ----------------------------------------------------------------

// A barrier for two threads, reusable round after round.
class Barrier {
public:
    explicit Barrier(int n) : n_(n) {}
    void wait() {
        std::unique_lock<std::mutex> lock(m_);
        const int round = round_;
        if (++waiting_ == n_) {
            waiting_ = 0;
            ++round_;
            cv_.notify_all();
        } else {
            cv_.wait(lock, [&] { return round_ != round; });
        }
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    int n_, waiting_ = 0, round_ = 0;
};

TEST(SavedClock, ConcurrentSavesLeaveTheFileOfASaveThatSucceeded) {
    Folder folder("concurrent");
    const std::string path = folder.path("clock.json");
    // Two clocks of different kinds, frozen: each one's file is known.
    Clock a(CLV_Open(CLV_KIND_M)), b(CLV_Open(CLV_KIND_S));
    const SK_ULONG handles[2] = {a.h, b.h};
    json expected[2];
    for (int who = 0; who < 2; ++who) {
        CLV_FreezeClock(handles[who], 1);
        const std::string own = folder.path("own.json");
        ASSERT_EQ(CLV_Save(handles[who], own.c_str()), CLV_OK);
        expected[who] = withoutSavedAt(parsed(own));
        std::remove(own.c_str());
    }

    constexpr int kRounds = 150;
    Barrier barrier(3);  // the two savers and this thread
    int results[2] = {};
    auto saver = [&](int who) {
        for (int round = 0; round < kRounds; ++round) {
            barrier.wait();
            results[who] = CLV_Save(handles[who], path.c_str());
            barrier.wait();  // saved; this thread checks the file
            barrier.wait();
        }
    };
    std::thread first(saver, 0), second(saver, 1);
    json previous;
    for (int round = 0; round < kRounds; ++round) {
        barrier.wait();
        barrier.wait();
        SCOPED_TRACE(round);
        const std::string text = readAll(path);
        json now;
        ASSERT_NO_THROW(now = withoutSavedAt(json::parse(text))) << "a whole file";
        if (results[0] == CLV_OK && results[1] == CLV_OK)
            EXPECT_TRUE(now == expected[0] || now == expected[1]);
        else if (results[0] == CLV_OK || results[1] == CLV_OK)
            EXPECT_EQ(now, expected[results[0] == CLV_OK ? 0 : 1]) << "the save that succeeded";
        else
            EXPECT_EQ(now, previous) << "no save succeeded: the file as it was";
        EXPECT_EQ(results[0], CLV_OK);
        EXPECT_EQ(results[1], CLV_OK);
        previous = now;
        barrier.wait();
    }
    first.join();
    second.join();
    EXPECT_EQ(folder.names(), std::vector<std::string>{"clock.json"}) << "no temporary file left";
}

#if !defined(_WIN32)
// A link planted where a temporary file might be is never followed.
TEST(SavedClock, SaveFollowsNoPlantedLink) {
    Folder folder("links");
    const std::string path = folder.path("clock.json");
    const std::string victim = folder.path("victim.txt");
    writeAll(victim, "not yours");
    ASSERT_EQ(::symlink(victim.c_str(), (path + ".tmp").c_str()), 0);
    Clock c(CLV_Open(CLV_KIND_M));
    ASSERT_EQ(CLV_Save(c.h, path.c_str()), CLV_OK);
    EXPECT_EQ(readAll(victim), "not yours");
    EXPECT_FALSE(fs::is_symlink(path));
    int err = -1;
    Clock loaded(CLV_Load(path.c_str(), &err));
    EXPECT_NE(loaded.h, 0u) << err;
}
#endif

// ---- Every field comes back ------------------------------------------------------------

using Make = SK_ULONG (*)();
struct KindCase {
    const char* name;
    Make make;
};
const KindCase kKinds[] = {{"M", mClock}, {"S", sClock}, {"H", hClock}};

// Saving the loaded clock writes the same file field for field (the clock
// is frozen, so even its time is the same): the loader kept every field.
TEST(SavedClock, EveryFieldSurvivesARoundTrip) {
    Folder folder("roundtrip");
    for (const KindCase& k : kKinds) {
        SCOPED_TRACE(k.name);
        const std::string first = folder.path("first.json"), second = folder.path("second.json");
        {
            Clock c(k.make());
            ASSERT_EQ(CLV_Save(c.h, first.c_str()), CLV_OK);
        }
        int err = -1;
        Clock loaded(CLV_Load(first.c_str(), &err));
        ASSERT_NE(loaded.h, 0u) << err;
        ASSERT_EQ(CLV_Save(loaded.h, second.c_str()), CLV_OK);
        const json a = parsed(first), b = parsed(second);
        EXPECT_EQ(withoutSavedAt(a), withoutSavedAt(b));
        // Something in every table, so the comparison covers them.
        if (std::string(k.name) == "M") {
            for (const char* table : {"races", "trainings", "registry"}) EXPECT_FALSE(a[table].empty()) << table;
            EXPECT_EQ(a["races"][0]["arrivals"].size(), 2u);
            EXPECT_EQ(a["trainings"][0]["arrivals"].size(), 2u);
        } else {
            EXPECT_FALSE(a["race"]["arrivals"].empty());
        }
        EXPECT_FALSE(a["log"]["entries"].empty());
    }
}

// A running clock runs on by the time it was put away.
TEST(SavedClock, RunningClockRunsOnByTheTimeAway) {
    Folder folder("away");
    const std::string path = folder.path("clock.json");
    {
        Clock c(mClock());
        ASSERT_EQ(CLV_SaveVersion(c.h, path.c_str(), 1), CLV_OK);
    }
    json j = parsed(path);
    j["frozen"] = false;
    j["time"] = "2026-03-14T09:00:00";
    j["saved_at"] = static_cast<std::int64_t>(std::time(nullptr)) - 3600;
    writeAll(path, j.dump());
    int err = -1;
    Clock c(CLV_Load(path.c_str(), &err));
    ASSERT_NE(c.h, 0u) << err;
    double t = 0;
    ASSERT_EQ(CLV_GetClockTime(c.h, &t), CLV_OK);
    const double expected = 46095.0 + 10 * 3600 / 86400.0;  // 10:00:00
    EXPECT_NEAR(t, expected, 5.0 / 86400);
    // A save from the future (the host's clock was set back) moves nothing.
    j["saved_at"] = static_cast<std::int64_t>(std::time(nullptr)) + 86400;
    writeAll(path, j.dump());
    Clock d(CLV_Load(path.c_str(), &err));
    ASSERT_NE(d.h, 0u) << err;
    ASSERT_EQ(CLV_GetClockTime(d.h, &t), CLV_OK);
    EXPECT_NEAR(t, 46095.0 + 9 * 3600 / 86400.0, 5.0 / 86400);
}

// ---- Refused files -----------------------------------------------------------------------

// The text of a file after replacing the first `from` after `after` by `to`.
std::string replaced(std::string text, const std::string& after, const std::string& from,
                     const std::string& to) {
    const std::size_t start = text.find(after);
    const std::size_t at = text.find(from, start == std::string::npos ? 0 : start);
    if (start == std::string::npos || at == std::string::npos) return "(pattern not found)";
    return text.replace(at, from.size(), to);
}

using Edit = std::function<std::string(json&)>;
// Changes the value at a pointer.
Edit set(const char* pointer, json value) {
    return [=](json& j) {
        j[json::json_pointer(pointer)] = value;
        return j.dump(1);
    };
}
// Copies the value at one pointer to another.
Edit copy(const char* from, const char* to) {
    return [=](json& j) {
        j[json::json_pointer(to)] = j[json::json_pointer(from)];
        return j.dump(1);
    };
}
// Replaces text in the file as written (for what JSON values cannot say).
Edit text(const char* after, const char* from, const char* to) {
    return [=](json& j) { return replaced(j.dump(1), after, from, to); };
}
// Writes a top-level member's value as the given JSON text.
Edit raw(const char* key, const char* literal) {
    return [=](json& j) {
        j[key] = "@@";
        return replaced(j.dump(1), std::string("\"") + key + "\"", "\"@@\"", literal);
    };
}

struct Refusal {
    const char* name;
    char kind;  // 'M', 'S' or 'H'
    Edit edit;
    const char* where;  // JSON pointer named in the reason
    int err = CLV_ERR_FILE_DAMAGED;
};

std::vector<Refusal> refusals() {
    json spentLog;
    return {
        // The file as JSON
        {"duplicate JSON key", 'M', text("{", "\"format\"", "\"serial\": 5, \"serial\": 6, \"format\""), "/serial"},
        {"duplicate nested key", 'M', text("\"races\"", "\"param\"", "\"state\": \"closed\", \"param\""), "/races/0/state"},
        {"not JSON", 'M', text("{", "{", "{{"), ""},
        {"unknown field", 'M', set("/extra", 1), "/extra"},
        {"field of another kind", 'S', set("/registry", json::array()), "/registry"},
        {"missing field", 'M', [](json& j) { j.erase("isp"); return j.dump(); }, "/isp"},
        {"version with a fraction", 'M', set("/version", 1.5), "/version"},
        {"newer version", 'M', set("/version", 3), "/version", CLV_ERR_FILE_VERSION},
        {"serial with a fraction", 'M', set("/serial", 1.9), "/serial"},
        {"serial 1e300", 'M', raw("serial", "1e300"), "/serial"},
        {"serial 1.0", 'M', raw("serial", "1.0"), "/serial"},
        {"serial 0", 'M', set("/serial", 0), "/serial"},
        {"serial above 32 bits", 'M', set("/serial", 4294967296ull), "/serial"},
        {"serial as text", 'M', set("/serial", "12"), "/serial"},
        {"kind unknown", 'M', set("/kind", "Q"), "/kind"},
        // Times
        {"time not canonical", 'M', set("/time", " 2026-5-16T6:0:0"), "/time"},
        {"time with a space", 'M', set("/time", "2026-05-16 06:00:00"), "/time"},
        {"time before 2000", 'M', set("/time", "1999-12-31T23:59:59"), "/time"},
        {"time not a date", 'M', set("/time", "2026-02-29T00:00:00"), "/time"},
        {"saved_at overflowing", 'M', raw("saved_at", "-9223372034854775807"), "/saved_at"},
        {"saved_at negative", 'M', set("/saved_at", -1), "/saved_at"},
        {"saved_at past 2099", 'M', set("/saved_at", 4102444800ll), "/saved_at"},
        {"saved_at with a fraction", 'M', set("/saved_at", 1700000000.5), "/saved_at"},
        {"saved_at beyond 64 bits", 'M', raw("saved_at", "18446744073709551616"), "/saved_at"},
        // The password and the log
        {"password bytes after its end", 'M', set("/password", "4100420000000000"), "/password"},
        {"password in lower-case hex", 'M', set("/password", "6c6f667437000000"), "/password"},
        {"log next 0", 'M', set("/log/next", 0), "/log/next"},
        {"log next above 32 bits", 'M', set("/log/next", 4294967296ull), "/log/next"},
        {"log number skipped", 'M', set("/log/entries/1/number", 7), "/log/entries/1/number"},
        {"log entry of an unknown type", 'M', set("/log/entries/0/type", 0x99), "/log/entries/0/type"},
        {"log entry of an M type on an S clock", 'S', set("/log/entries/0/type", 0x10), "/log/entries/0/type"},
        {"log data of the wrong length", 'M', set("/log/entries/0/data", "00"), "/log/entries/0/data"},
        {"empty log with a later next", 'M', [](json& j) { j["log"]["entries"] = json::array(); j["log"]["next"] = 5; return j.dump(); }, "/log/next"},
        {"log not from 1 though not full", 'M', [](json& j) { j["log"]["entries"].erase(0); return j.dump(); }, "/log/next"},
        {"log longer than it keeps", 'M', [](json& j) {
             json entries = json::array();
             for (int i = 1; i <= 2001; ++i) entries.push_back({{"number", i}, {"type", 2}, {"time", "2026-03-14T09:00:00"}, {"data", ""}});
             j["log"] = {{"next", 2002}, {"entries", entries}};
             return j.dump(); }, "/log/entries"},
        {"time setting entry without a previous time", 'S', [](json& j) {
             j["log"]["entries"][0]["type"] = 4;
             j["log"]["entries"][0]["data"] = "99999999999900";
             return j.dump(); }, "/log/entries/0/data"},
        {"seed stream short", 'M', set("/seed", json{{"value", 1}, {"stream", "00"}}), "/seed/stream"},
        {"seed with another field", 'M', set("/seed", json{{"value", 1}, {"stream", "0000000000000001"}, {"x", 1}}), "/seed/x"},
        // Races
        {"confirmed race without cards", 'M', set("/races/0/cards", json::array()), "/races/0/cards"},
        {"confirmation data of a race never confirmed", 'M', set("/races/1/confirm_data", "0000000000000001"), "/races/1/confirm_data"},
        {"race key twice", 'M', copy("/races/0/key", "/races/1/key"), "/races/1/key"},
        {"race key in lower case", 'M', set("/races/0/key", "0a02030405060708"), "/races/0/key"},
        {"race card ring twice", 'M', copy("/races/0/cards/0", "/races/0/cards/2"), "/races/0/cards/2"},
        {"race state unknown", 'M', set("/races/0/state", "paused"), "/races/0/state"},
        {"race param with a fraction", 'M', set("/races/0/param", 3.5), "/races/0/param"},
        {"arrival of a ring not entered", 'M', set("/races/0/arrivals/0/ring", "FF0000000001"), "/races/0/arrivals/0/ring"},
        {"arrival twice", 'M', copy("/races/0/arrivals/0", "/races/0/arrivals/1"), "/races/0/arrivals/1/ring"},
        {"arrival in a race never confirmed", 'M', copy("/races/0/arrivals", "/races/1/arrivals"), "/races/1/arrivals"},
        {"confirmation of a race never confirmed", 'M', set("/races/1/confirm_value", 3), "/races/1/confirm_value"},
        {"arrival marked downloaded on an M clock", 'M', set("/races/0/arrivals/0/downloaded", true), "/races/0/arrivals/0/downloaded"},
        {"arrival time invalid", 'M', set("/races/0/arrivals/0/time", "2026-13-01T00:00:00"), "/races/0/arrivals/0/time"},
        {"too many races", 'M', [](json& j) { for (int i = 0; i < 31; ++i) j["races"].push_back(j["races"][1]); return j.dump(); }, "/races"},
        // Training flights
        {"training number reused", 'M', set("/next_training_number", 1), "/trainings/0/number"},
        {"training numbers out of order", 'M', set("/trainings/1/number", 1), "/trainings/1/number"},
        {"next training number 0", 'M', set("/next_training_number", 0), "/next_training_number"},
        {"next training number past the last", 'M', set("/next_training_number", 65537), "/next_training_number"},
        {"training ring twice", 'M', copy("/trainings/0/rings/0", "/trainings/0/rings/1"), "/trainings/0/rings/1"},
        {"training arrival twice", 'M', copy("/trainings/0/arrivals/0", "/trainings/0/arrivals/1"), "/trainings/0/arrivals/1/ring"},
        {"confirmed flight without rings", 'M', [](json& j) {
             j["trainings"][0]["rings"] = json::array();
             j["trainings"][0]["arrivals"] = json::array();
             return j.dump(); }, "/trainings/0/rings"},
        {"confirmation of a flight never confirmed", 'M', set("/trainings/1/confirm_value", 4), "/trainings/1/confirm_value"},
        {"training arrival of a ring not in the flight", 'M', set("/trainings/0/arrivals/0/ring", "FF0000000001"), "/trainings/0/arrivals/0/ring"},
        {"training arrival in a flight never confirmed", 'M', copy("/trainings/0/arrivals", "/trainings/1/arrivals"), "/trainings/1/arrivals"},
        // Registry and settings
        {"registry ring twice", 'M', copy("/registry/0", "/registry/2"), "/registry/2"},
        {"registry ring field tail", 'M', text("\"registry\"", "DE00000000010000", "DE00000000010100"), "/registry/0"},
        {"registry entry short", 'M', set("/registry/0", "DE0000000001"), "/registry/0"},
        {"eight channels, not nine", 'M', [](json& j) { j["settings"]["channels"].push_back("00000000"); return j.dump(); }, "/settings/channels"},
        {"dial string with symbol E", 'M', set("/settings/phone", "E0000000000000000000000000000000"), "/settings/phone"},
        {"site coordinate not BCD", 'M', set("/settings/site", "12345678AA0000000000000000000000"), "/settings/site"},
        {"training site with a fraction", 'M', set("/settings/training_sites/3", 0.5), "/settings/training_sites/3"},
        // S and H clocks
        {"S arrival twice", 'S', copy("/race/arrivals/0/ring", "/race/arrivals/1/ring"), "/race/arrivals/1/ring"},
        {"S race with cards", 'S', set("/race/cards", json::array()), "/race/cards"},
        {"H card ring twice", 'H', copy("/race/cards/0", "/race/cards/1"), "/race/cards/1"},
        {"H card tail not zero", 'H', text("\"cards\"", "DE00000000010000", "DE00000000010001"), "/race/cards/0"},
        {"H card time invalid", 'H', text("\"cards\"", "C0DEC0DEC0DEC0DE2603", "C0DEC0DEC0DEC0DE2613"), "/race/cards/0"},
        {"H arrival of a ring not entered", 'H', set("/race/arrivals/0/ring", "FF0000000001"), "/race/arrivals/0/ring"},
        {"H confirmation value before confirmation", 'H', [](json& j) {
             j["race"]["confirmed"] = false;
             j["race"]["confirm_value"] = 3;
             return j.dump(); }, "/race/confirm_value"},
        {"H race with an S clock's times", 'H', set("/race/time1", "2026-03-14T09:00:00"), "/race/time1"},
        {"H confirmed race without cards", 'H', [](json& j) {
             j["race"]["cards"] = json::array();
             j["race"]["arrivals"] = json::array();
             return j.dump(); }, "/race/cards"},
        {"S race without its times", 'S', [](json& j) { j["race"].erase("time2"); return j.dump(); }, "/race/time2"},
        {"S race as a number", 'S', set("/race", 5), "/race"},
        {"H arrival before confirmation", 'H', set("/race/confirmed", false), "/race/arrivals"},
    };
}

TEST(SavedClock, ImpossibleClocksAreRefusedNamingTheField) {
    Folder folder("refused");
    std::string saved[3];
    const Make makes[3] = {mClock, sClock, hClock};
    for (int k = 0; k < 3; ++k) {
        Clock c(makes[k]());
        const std::string path = folder.path("good.json");
        ASSERT_EQ(CLV_SaveVersion(c.h, path.c_str(), 1), CLV_OK);
        saved[k] = readAll(path);
    }
    for (const Refusal& r : refusals()) {
        SCOPED_TRACE(r.name);
        json j = json::parse(saved[r.kind == 'M' ? 0 : r.kind == 'S' ? 1 : 2]);
        const std::string bad = r.edit(j);
        ASSERT_EQ(bad.find("(pattern not found)"), std::string::npos);
        const std::string path = folder.path("bad.json");
        writeAll(path, bad);
        int err = 0;
        char why[200] = "untouched";
        EXPECT_EQ(CLV_LoadEx(path.c_str(), &err, why, sizeof why), 0u);
        EXPECT_EQ(err, r.err);
        const std::string reason = why;
        if (*r.where != '\0')
            EXPECT_EQ(reason.substr(0, std::string(r.where).size() + 1), std::string(r.where) + ":");
        else  // the file as a whole
            EXPECT_TRUE(!reason.empty() && reason[0] != '/');
        EXPECT_NE(reason, "untouched");
        EXPECT_EQ(readAll(path), bad) << "left as it was";
    }
    // The good files load, and say nothing is wrong.
    for (int k = 0; k < 3; ++k) {
        const std::string path = folder.path("good.json");
        writeAll(path, saved[k]);
        int err = -1;
        char why[200] = "untouched";
        Clock c(CLV_LoadEx(path.c_str(), &err, why, sizeof why));
        EXPECT_NE(c.h, 0u) << why;
        EXPECT_STREQ(why, "");
    }
    // A short buffer takes what fits.
    writeAll(folder.path("bad.json"), "{}");
    char why[4] = "xyz";
    int err = 0;
    EXPECT_EQ(CLV_LoadEx(folder.path("bad.json").c_str(), &err, why, sizeof why), 0u);
    EXPECT_EQ(std::string(why).size(), 3u);
}

// ---- Numbers that run out ---------------------------------------------------------------

// A clock whose log numbers are all given logs nothing more, and its own
// save still loads.
TEST(SavedClock, SpentLogNumbersStayAtTheTop) {
    Folder folder("spentlog");
    const std::string path = folder.path("clock.json");
    {
        Clock c(mClock());
        ASSERT_EQ(CLV_Save(c.h, path.c_str()), CLV_OK);
    }
    json j = parsed(path);
    json entries = json::array();
    const std::uint32_t last = 4294967294u;
    for (std::uint32_t i = 0; i < 2000; ++i)
        entries.push_back({{"number", last - 1999 + i}, {"type", 2}, {"time", "2026-03-14T09:00:00"}, {"data", ""}});
    j["log"] = {{"next", 4294967295u}, {"entries", entries}};
    writeAll(path, j.dump());
    int err = -1;
    Clock c(CLV_Load(path.c_str(), &err));
    ASSERT_NE(c.h, 0u) << err;
    ASSERT_NE(SK_ConnectEx(c.h, "loft7"), 0);  // would log an authentication
    CLV_ULONG newest = 0;
    ASSERT_EQ(CLV_GetLogCount(c.h, &newest), CLV_OK);
    EXPECT_EQ(newest, last);
    ASSERT_EQ(CLV_Save(c.h, path.c_str()), CLV_OK);
    Clock again(CLV_Load(path.c_str(), &err));
    EXPECT_NE(again.h, 0u) << err;

    // One number left: the next entry takes it, and the save loads again.
    j["log"]["next"] = last;
    for (auto& e : j["log"]["entries"]) e["number"] = e["number"].get<std::uint32_t>() - 1;
    writeAll(path, j.dump());
    Clock d(CLV_Load(path.c_str(), &err));
    ASSERT_NE(d.h, 0u) << err;
    ASSERT_NE(SK_ConnectEx(d.h, "loft7"), 0);
    ASSERT_EQ(CLV_GetLogCount(d.h, &newest), CLV_OK);
    EXPECT_EQ(newest, last);
    ASSERT_EQ(CLV_Save(d.h, path.c_str()), CLV_OK);
    Clock e(CLV_Load(path.c_str(), &err));
    EXPECT_NE(e.h, 0u) << err;
}

// Training numbers are never given twice: the last one is 65535, then the
// clock refuses to create a flight.
TEST(SavedClock, TrainingNumbersRunOutInsteadOfRepeating) {
    Folder folder("trainnumbers");
    const std::string path = folder.path("clock.json");
    {
        Clock c(mClock());
        ASSERT_EQ(CLV_Save(c.h, path.c_str()), CLV_OK);
    }
    json j = parsed(path);
    j["next_training_number"] = 65534;
    writeAll(path, j.dump());
    int err = -1;
    Clock c(CLV_Load(path.c_str(), &err));
    ASSERT_NE(c.h, 0u) << err;
    ASSERT_NE(SK_ConnectEx(c.h, "loft7"), 0);
    SK_ULONG number = 0;
    ASSERT_EQ(SKM_CreateTrain(c.h, at(0), at(60), 1, &number), -1);
    EXPECT_EQ(number, 65534u);
    ASSERT_EQ(SKM_CreateTrain(c.h, at(0), at(60), 1, &number), -1);
    EXPECT_EQ(number, 65535u);
    ASSERT_NE(SKM_RemoveTrain(c.h, 65535), 0);
    EXPECT_EQ(SKM_CreateTrain(c.h, at(0), at(60), 1, &number), 0);
    EXPECT_EQ(IFD_GetErrCode(c.h), static_cast<SK_ULONG>(CLV_ERR_FULL));
    ASSERT_EQ(CLV_Save(c.h, path.c_str()), CLV_OK);
    EXPECT_EQ(parsed(path)["next_training_number"], 65536);
    Clock again(CLV_Load(path.c_str(), &err));
    EXPECT_NE(again.h, 0u) << err;
}

// The record byte of a training record is the arrival's number while it
// fits, then stays at 255 instead of wrapping to another arrival's number.
TEST(SavedClock, TrainingRecordByteStopsAt255) {
    Clock c(CLV_Open(CLV_KIND_M));
    CLV_FreezeClock(c.h, 1);
    ASSERT_NE(SK_Connect(c.h), 0);
    SK_ULONG number = 0;
    ASSERT_EQ(SKM_CreateTrain(c.h, at(0), at(60), 1, &number), -1);
    char ring[13];
    for (int i = 0; i < 258; ++i) {
        std::snprintf(ring, sizeof ring, "DE%010d", i);
        ASSERT_EQ(SKM_AddTrainCard(c.h, ring), -1);
    }
    ASSERT_EQ(SKM_ConfirmTrain(c.h, number, 1), -1);
    for (int i = 0; i < 258; ++i) {
        std::snprintf(ring, sizeof ring, "DE%010d", i);
        ASSERT_EQ(CLV_RecordTrainArrival(c.h, 0, ring, at(100 + i)), CLV_OK);
    }
    const struct { SK_ULONG record; unsigned byte; } cases[] = {{0, 0}, {254, 254}, {255, 255}, {256, 255}, {257, 255}};
    for (const auto& k : cases) {
        unsigned char byte = 0xAA;
        double t1 = 0, t2 = 0;
        ASSERT_EQ(SKM_GetTrainRecord(c.h, 0, k.record, ring, &byte, &t1, &t2), -1);
        EXPECT_EQ(byte, k.byte) << k.record;
    }
}

}  // namespace
