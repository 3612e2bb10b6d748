// The virtual clocks of our ClockLink, driven through the library's exports
// as a host drives them, plus what only the clock's own API reaches: fault
// modes, replayed blocks, capacities and the saved state.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "skylark/skylark.h"
#include "frame/clocklink.h"
#include "security/constants.h"
#include "skylark/virtual_clock.h"

namespace {

// 14 March 2026 09:05:07 and later times, as OLE dates.
constexpr double kDay = 46095.0;
constexpr double kStart = kDay + (9 * 3600 + 5 * 60 + 7) / 86400.0;
double at(int secondsLater) { return kStart + secondsLater / 86400.0; }

constexpr const char* kRaceKey = "0102030405060708";
constexpr const char* kRings[] = {"DE0000000001", "DE0000000002", "DE0000000003"};
const unsigned char kVKey[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

struct Clock {
    SK_ULONG h;
    explicit Clock(int kind) : h(CLV_Open(kind)) {}
    ~Clock() { CLV_Close(h); }
    SK_ULONG err() const { return IFD_GetErrCode(h); }
};

// An M clock, initialised with a password and authenticated, its time frozen.
struct MClock : Clock {
    MClock() : Clock(CLV_KIND_M) {
        CLV_FreezeClock(h, 1);
        EXPECT_NE(SK_InitDevEx(h, "loft7"), 0);
        EXPECT_NE(SK_ConnectEx(h, "loft7"), 0);
    }
    // A confirmed race of the three rings, each arrived a minute apart.
    void raceWithArrivals() {
        ASSERT_EQ(SKM_CreateRace(h, kRaceKey, at(0), at(3600), 0x0A0B0C0D), -1);
        for (const char* ring : kRings) ASSERT_EQ(SKM_AddRaceCard(h, ring), -1);
        ASSERT_EQ(SKM_ConfirmRace(h, kRaceKey, 3, "CONFIRM!"), -1);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(CLV_RecordArrival(h, 0, kRings[i], at(60 * (i + 1))), CLV_OK);
    }
};

bool sameSecond(double a, double b) { return std::abs(a - b) < 0.5 / 86400; }

TEST(VirtualClock, MClockRoad) {
    MClock c;
    double t = 0;
    ASSERT_NE(SK_SetPigeon(c.h, at(0)), 0);
    ASSERT_EQ(SK_GetTime(c.h, &t), -1);
    EXPECT_TRUE(sameSecond(t, at(0)));
    ASSERT_NE(SK_SetTime(c.h, at(10)), 0);
    ASSERT_EQ(SK_GetTime(c.h, &t), -1);
    EXPECT_TRUE(sameSecond(t, at(10)));

    c.raceWithArrivals();
    SK_ULONG count = 0, index = 99, figure = 0;
    ASSERT_EQ(SKM_GetRaceCount(c.h, &count), -1);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(SKM_GetRaceIndex(c.h, kRaceKey, &index), -1);
    EXPECT_EQ(index, 0u);
    char key[17], ring[13];
    double t1 = 0, t2 = 0;
    ASSERT_EQ(SKM_GetRaceInfo(c.h, 0, key, &t1, &t2, &figure), -1);
    EXPECT_STREQ(key, kRaceKey);
    EXPECT_TRUE(sameSecond(t1, at(0)));
    EXPECT_TRUE(sameSecond(t2, at(3600)));
    EXPECT_EQ(figure, 3u);
    ASSERT_EQ(SKM_GetRaceCard(c.h, 0, 2, ring), -1);
    EXPECT_STREQ(ring, kRings[2]);

    for (SK_ULONG i = 0; i < 3; ++i) {
        char body[33], lead[9], stored[97], plain[81], masked[49], unmasked[49];
        double arrival = 0;
        ASSERT_EQ(SKM_GetRaceRecord(c.h, 0, i, body, &arrival, lead), -1) << i;
        EXPECT_EQ(std::string(body, 12), kRings[i]);
        EXPECT_TRUE(sameSecond(arrival, at(60 * (int(i) + 1))));
        ASSERT_EQ(CLV_GetStoredRecord(c.h, 0, i, kVKey, stored), CLV_OK);
        ASSERT_EQ(SK_ParseRecordInfo(kVKey, stored, plain), -1);
        EXPECT_EQ(std::string(plain, 32), body);   // body, then time and lead
        EXPECT_EQ(std::string(plain + 44, 8), lead);
        ASSERT_EQ(CLV_GetMaskedRecord(c.h, 0, i, masked), CLV_OK);
        ASSERT_EQ(SK_ParseRecordInfo2(0, masked, unmasked), -1);
        EXPECT_EQ(std::string(unmasked, 32), body);
        EXPECT_EQ(std::string(unmasked + 32), kRaceKey);
    }
    EXPECT_EQ(SKM_GetRaceRecord(c.h, 0, 3, ring, &t, key), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_FOUND});
    EXPECT_NE(SKM_CloseRace(c.h, kRaceKey), 0);
    EXPECT_EQ(SKM_CloseRace(c.h, kRaceKey), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_BAD_STATE});
    EXPECT_EQ(SKM_DeposeRaces(c.h, "0000000000000000"), -1);
    ASSERT_EQ(SKM_GetRaceCount(c.h, &count), -1);
    EXPECT_EQ(count, 0u);
}

TEST(VirtualClock, AuthenticationGuardsTheClock) {
    Clock c(CLV_KIND_M);
    unsigned char state = 0xFF;
    SK_ULONG count = 0;
    // Before authentication: the state byte (error 145), identity and time only.
    EXPECT_EQ(SK_GetDevState(c.h, &state), -1);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_STATE_DELIVERED});
    EXPECT_EQ(state & 0x02, 0);
    char info[33];
    EXPECT_EQ(SK_GetDevInfo(c.h, info), -1);
    EXPECT_EQ(std::string(info, 4), "564D");  // 'V' 'M'
    EXPECT_EQ(SKM_GetCardCount(c.h, &count), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_AUTHENTICATED});

    ASSERT_NE(SK_InitDevEx(c.h, "secret"), 0);
    EXPECT_EQ(SK_Connect(c.h), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_BAD_PROOF});
    EXPECT_EQ(SK_ConnectEx(c.h, "secreT"), 0);
    // Someone else's clock cannot be initialised over its password.
    EXPECT_EQ(SK_InitDev(c.h), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_AUTHENTICATED});
    ASSERT_NE(SK_ConnectEx(c.h, "secret"), 0);
    EXPECT_EQ(SK_GetDevState(c.h, &state), -1);
    EXPECT_EQ(state & 0x07, 0x07);  // initialised, authenticated, password set
    EXPECT_EQ(SKM_GetCardCount(c.h, &count), -1);

    // In-system programming answers little until the clock is initialised.
    ASSERT_NE(SK_ActiveIsp(c.h), 0);
    EXPECT_EQ(SKM_GetCardCount(c.h, &count), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_BAD_STATE});
    ASSERT_NE(SK_InitDevEx(c.h, "secret"), 0);
    ASSERT_NE(SK_ConnectEx(c.h, "secret"), 0);
    EXPECT_EQ(SKM_GetCardCount(c.h, &count), -1);

    // A password set at the clock replaces the old one and ends the session.
    ASSERT_EQ(CLV_SetPassword(c.h, nullptr), CLV_OK);
    EXPECT_EQ(SKM_GetCardCount(c.h, &count), 0);
    EXPECT_NE(SK_Connect(c.h), 0);
}

// A clear time-setting block, built here from the device random.
std::vector<unsigned char> timeBlock(SK_ULONG h, const unsigned char date[6]) {
    unsigned char r[4];
    EXPECT_NE(IFD_GetRnd(h, r), 0);
    std::vector<unsigned char> b(date, date + 6);
    for (int i = 0; i < 6; ++i) b.push_back(date[i] ^ r[i % 4]);
    b.push_back(r[2] ^ skylark::kTimeMask[0]);
    b.push_back(r[3] ^ skylark::kTimeMask[1]);
    return b;
}

TEST(VirtualClock, TimeBlocksServeOnce) {
    MClock c;
    const unsigned char date[6] = {0x26, 0x03, 0x14, 0x09, 0x05, 0x07};
    auto block = timeBlock(c.h, date);
    ASSERT_NE(IFD_RunUserCmd(c.h, 0, block.data(), 14, nullptr, nullptr), 0);
    // The same block again: its random is used up, with or without a new one.
    EXPECT_EQ(IFD_RunUserCmd(c.h, 0, block.data(), 14, nullptr, nullptr), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_REPLAY});
    unsigned char r[4];
    ASSERT_NE(IFD_GetRnd(c.h, r), 0);
    EXPECT_EQ(IFD_RunUserCmd(c.h, 0, block.data(), 14, nullptr, nullptr), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_REPLAY});
    // A block whose date was changed after it was built proves nothing.
    block = timeBlock(c.h, date);
    block[5] ^= 0x01;
    EXPECT_EQ(IFD_RunUserCmd(c.h, 0, block.data(), 14, nullptr, nullptr), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_BAD_PROOF});
}

TEST(VirtualClock, FaultModesHitOneExchange) {
    MClock c;
    c.raceWithArrivals();
    char body[33], lead[9];
    double t = 0;
    struct Case { int fault; SK_ULONG value; };
    for (const Case& f : {Case{CLV_FAULT_TAMPER, 0}, Case{CLV_FAULT_TAMPER, 271},
                          Case{CLV_FAULT_CUT, 1}, Case{CLV_FAULT_FAIL, 77}}) {
        ASSERT_EQ(CLV_SetFault(c.h, f.fault, f.value), CLV_OK);
        EXPECT_EQ(SKM_GetRaceRecord(c.h, 0, 0, body, &t, lead), 0) << f.fault << "/" << f.value;
        if (f.fault == CLV_FAULT_FAIL) {
            EXPECT_EQ(c.err(), 77u);
        }
        EXPECT_EQ(SKM_GetRaceRecord(c.h, 0, 0, body, &t, lead), -1);  // the next one is whole
    }
    // A delay holds the answer back without changing it.
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_DELAY, 20), CLV_OK);
    EXPECT_EQ(SKM_GetRaceRecord(c.h, 0, 0, body, &t, lead), -1);
}

TEST(VirtualClock, TablesRefuseWhenFull) {
    MClock c;
    char ring[13];
    for (int i = 0; i < 5000; ++i) {
        std::snprintf(ring, sizeof ring, "AB%010d", i);
        ASSERT_EQ(SKM_AppendCard(c.h, ring, 1, 2, 3, 4, 5, "00112233445566778899AABB"), -1) << i;
    }
    EXPECT_EQ(SKM_AppendCard(c.h, "CC0000000001", 1, 2, 3, 4, 5, ""), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_FULL});
    SK_ULONG index = 0;
    ASSERT_EQ(SKM_GetCardIndex(c.h, "AB0000004999", &index), -1);
    EXPECT_EQ(index, 4999u);
    ASSERT_EQ(SKM_RemoveCard(c.h, "AB0000000000"), -1);
    ASSERT_EQ(SKM_GetCardIndex(c.h, "AB0000004999", &index), -1);
    EXPECT_EQ(index, 4998u);  // later entries move down

    char key[17];
    for (int i = 0; i < 32; ++i) {
        std::snprintf(key, sizeof key, "%016d", i + 1);
        ASSERT_EQ(SKM_CreateRace(c.h, key, at(0), at(60), 0), -1) << i;
    }
    EXPECT_EQ(SKM_CreateRace(c.h, "FFFFFFFFFFFFFFFF", at(0), at(60), 0), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_FULL});
    EXPECT_EQ(SKM_CreateRace(c.h, "0000000000000001", at(0), at(60), 0), 0);
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void writeAll(const std::string& path, const std::string& text) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
}

TEST(VirtualClock, SavedStateSurvivesAndDamageIsRefused) {
    const std::string path = ::testing::TempDir() + "virtual_clock_test.json";
    {
        MClock c;
        c.raceWithArrivals();
        ASSERT_EQ(SKM_AppendCard(c.h, "DE0000000001", 7, 1, 2, 3, 0x01020304, "A1A2A3A4A5A6A7A8A9AAABAC"), -1);
        ASSERT_EQ(SKM_SetStaffNo(c.h, "A17"), -1);
        ASSERT_EQ(CLV_Save(c.h, path.c_str()), CLV_OK);
        // A save that cannot be written fails and leaves no file behind.
        const std::string nowhere = ::testing::TempDir() + "no-such-folder/clock.json";
        EXPECT_EQ(CLV_Save(c.h, nowhere.c_str()), CLV_ERR_FILE_IO);
        EXPECT_FALSE(std::ifstream(nowhere + ".tmp").good());
    }
    EXPECT_FALSE(std::ifstream(path + ".tmp").good());
    const std::string saved = readAll(path);
    int err = -1;
    SK_ULONG h = CLV_Load(path.c_str(), &err);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(err, CLV_OK);
    SK_ULONG count = 0;
    EXPECT_EQ(SKM_GetRaceCount(h, &count), 0);  // a loaded clock wants authentication
    ASSERT_NE(SK_ConnectEx(h, "loft7"), 0);
    ASSERT_EQ(SKM_GetRaceCount(h, &count), -1);
    EXPECT_EQ(count, 1u);
    char body[33], lead[9], staff[17] = {};
    double t = 0;
    EXPECT_EQ(SKM_GetRaceRecord(h, 0, 2, body, &t, lead), -1);
    EXPECT_TRUE(sameSecond(t, at(180)));
    EXPECT_EQ(SKM_GetStaffNo(h, staff), -1);
    EXPECT_STREQ(staff, "A17");
    CLV_Close(h);

    struct Case { const char* name; std::string text; int err; };
    std::string newer = saved;
    newer.replace(newer.find("\"version\": 2"), 12, "\"version\": 3");
    std::string badDate = saved;
    badDate.replace(badDate.find("\"time\": \"") + 9, 4, "1999");
    const Case cases[] = {
        {"truncated", saved.substr(0, saved.size() / 2), CLV_ERR_FILE_DAMAGED},
        {"empty", "", CLV_ERR_FILE_DAMAGED},
        {"not a clock", "{\"format\": \"other\", \"version\": 1}", CLV_ERR_FILE_DAMAGED},
        {"newer version", newer, CLV_ERR_FILE_VERSION},
        {"date out of range", badDate, CLV_ERR_FILE_DAMAGED},
    };
    for (const Case& k : cases) {
        writeAll(path, k.text);
        EXPECT_EQ(CLV_Load(path.c_str(), &err), 0u) << k.name;
        EXPECT_EQ(err, k.err) << k.name;
        EXPECT_EQ(readAll(path), k.text) << k.name;  // left as it was
    }
    EXPECT_EQ(CLV_Load((path + ".missing").c_str(), &err), 0u);
    EXPECT_EQ(err, CLV_ERR_FILE_IO);
    std::remove(path.c_str());
}

TEST(VirtualClock, SClockRoad) {
    Clock c(CLV_KIND_S);
    CLV_FreezeClock(c.h, 1);
    ASSERT_NE(SK_Connect(c.h), 0);
    ASSERT_EQ(SKS_CreateRace(c.h, kRaceKey, at(0), at(60)), -1);
    ASSERT_EQ(CLV_RecordArrival(c.h, 0, kRings[0], at(100)), CLV_OK);
    ASSERT_EQ(CLV_RecordArrival(c.h, 0, kRings[1], at(200)), CLV_OK);
    char key[17], body[33];
    double t1 = 0, t2 = 0, arrival = 0;
    ASSERT_EQ(SKS_GetRaceInfo(c.h, key, &t1, &t2), -1);
    EXPECT_STREQ(key, kRaceKey);
    EXPECT_TRUE(sameSecond(t1, at(0)));
    ASSERT_EQ(SKH_GetRaceRecord(c.h, 1, body, &arrival), -1);
    EXPECT_EQ(std::string(body, 12), kRings[1]);
    EXPECT_TRUE(sameSecond(arrival, at(200)));
    unsigned char state = 0;
    SK_ULONG first = 0, second = 0;
    ASSERT_EQ(SKS_QueryState(c.h, &state, &t1, &first, &second), -1);
    EXPECT_EQ(first, 2u);
    EXPECT_EQ(second, 1u);
    ASSERT_EQ(CLV_SetFault(c.h, CLV_FAULT_TAMPER, 200), CLV_OK);
    EXPECT_EQ(SKS_GetRaceRecord(c.h, 0, body, &arrival), 0);
    ASSERT_EQ(CLV_SetCardData(c.h, "000102030405060708090A0B0C0D0E0F"), CLV_OK);
    ASSERT_EQ(SKS_ReadCard(c.h, body), -1);
    EXPECT_STREQ(body, "000102030405060708090A0B0C0D0E0F");
    EXPECT_NE(SKS_ClearRace(c.h), 0);
    EXPECT_EQ(SKS_GetRaceInfo(c.h, key, &t1, &t2), 0);
}

TEST(VirtualClock, HClockRoad) {
    Clock c(CLV_KIND_H);
    ASSERT_NE(SK_Connect(c.h), 0);
    ASSERT_EQ(SKH_CreateRace(c.h, kRaceKey), -1);
    ASSERT_NE(SKH_AddRaceCard(c.h, kRings[0], "C0DEC0DEC0DEC0DE", at(5)), 0);
    ASSERT_NE(SKH_AddRaceCard(c.h, kRings[1], "C0DEC0DEC0DEC0DF", at(6)), 0);
    EXPECT_EQ(CLV_RecordArrival(c.h, 0, kRings[0], at(100)), CLV_ERR_BAD_STATE);
    ASSERT_NE(SKH_ConfirmRace(c.h, kRaceKey, 2), 0);
    EXPECT_EQ(CLV_RecordArrival(c.h, 0, "DE0000000009", at(100)), CLV_ERR_NOT_FOUND);
    ASSERT_EQ(CLV_RecordArrival(c.h, 0, kRings[1], at(100)), CLV_OK);
    char key[17], ring[13], code[17], body[33];
    SK_ULONG cards = 0;
    double t = 0;
    ASSERT_EQ(SKH_GetRaceInfo(c.h, key, &cards), -1);
    EXPECT_STREQ(key, kRaceKey);
    EXPECT_EQ(cards, 2u);
    ASSERT_EQ(SKH_GetRaceCard(c.h, 1, ring, code, &t), -1);
    EXPECT_STREQ(ring, kRings[1]);
    EXPECT_STREQ(code, "C0DEC0DEC0DEC0DF");
    EXPECT_TRUE(sameSecond(t, at(6)));
    ASSERT_EQ(SKH_GetRaceRecord(c.h, 0, body, &t), -1);
    EXPECT_EQ(std::string(body, 12), kRings[1]);
}

}  // namespace

namespace {

// The clock's own calendar against the library's date codec, at the edges
// of months, leap years and the clock's range.
TEST(VirtualClock, CalendarAgreesWithTheCodec) {
    MClock c;
    struct Case { const char* name; unsigned char bcd[6]; };
    const Case cases[] = {
        {"first second", {0x00, 0x01, 0x01, 0x00, 0x00, 0x00}},
        {"leap day 2000", {0x00, 0x02, 0x29, 0x12, 0x00, 0x00}},
        {"day after leap day", {0x24, 0x03, 0x01, 0x00, 0x00, 0x01}},
        {"end of 2023", {0x23, 0x12, 0x31, 0x23, 0x59, 0x59}},
        {"last second", {0x99, 0x12, 0x31, 0x23, 0x59, 0x59}},
    };
    for (const Case& k : cases) {
        const double date = BcdToDate(k.bcd);
        ASSERT_NE(date, 0.0) << k.name;
        ASSERT_EQ(CLV_SetClockTime(c.h, date), CLV_OK) << k.name;
        unsigned char reply[6] = {};
        unsigned char code = 0x10;
        SK_ULONG len = 6;
        ASSERT_NE(IFD_RunSysCmd(c.h, 0, &code, 1, reply, &len), 0) << k.name;
        EXPECT_EQ(std::memcmp(reply, k.bcd, 6), 0) << k.name;
        double back = 0;
        ASSERT_EQ(CLV_GetClockTime(c.h, &back), CLV_OK);
        EXPECT_TRUE(sameSecond(back, date)) << k.name;
    }
    // Outside 2000-2099 the clock has no date to show.
    EXPECT_EQ(CLV_SetClockTime(c.h, 36525.5), CLV_ERR_BAD_ARGUMENT);  // 31 December 1999
    EXPECT_EQ(CLV_SetClockTime(c.h, 73051.0), CLV_ERR_BAD_ARGUMENT);  // 1 January 2100
}

}  // namespace

namespace {

TEST(VirtualClock, TrainingFlightsAndTheLog) {
    MClock c;
    SK_ULONG number = 0, index = 9, count = 0, figure = 0, byte = 0, site = 0;
    ASSERT_EQ(SKM_CreateTrain(c.h, at(0), at(7200), 0x1A5, &number), -1);
    EXPECT_EQ(number, 1u);
    ASSERT_EQ(SKM_AddTrainCard(c.h, kRings[0]), -1);
    ASSERT_EQ(SKM_AddTrainCard(c.h, kRings[1]), -1);
    EXPECT_EQ(SKM_AddTrainCard(c.h, kRings[1]), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_EXISTS});
    EXPECT_EQ(CLV_RecordTrainArrival(c.h, 0, kRings[0], at(600)), CLV_ERR_BAD_STATE);
    ASSERT_EQ(SKM_ConfirmTrain(c.h, number, 2), -1);
    EXPECT_EQ(SKM_AddTrainCard(c.h, kRings[2]), 0);  // no flight is being set up
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_BAD_STATE});
    ASSERT_EQ(CLV_RecordTrainArrival(c.h, 0, kRings[1], at(600)), CLV_OK);

    ASSERT_EQ(SKM_GetTrainIndex(c.h, number, &index), -1);
    EXPECT_EQ(index, 0u);
    ASSERT_EQ(SKM_GetTrainCount(c.h, &count), -1);
    EXPECT_EQ(count, 1u);
    double t1 = 0, t2 = 0;
    ASSERT_EQ(SKM_GetTrainInfo(c.h, 0, &number, &t1, &t2, &figure, &byte), -1);
    EXPECT_EQ(number, 1u);
    EXPECT_TRUE(sameSecond(t1, at(0)));
    EXPECT_TRUE(sameSecond(t2, at(7200)));
    EXPECT_EQ(figure, 1u);
    EXPECT_EQ(byte, 0xA5u);
    char ring[13];
    unsigned char recordByte = 0xFF;
    ASSERT_EQ(SKM_GetTrainRecord(c.h, 0, 0, ring, &recordByte, &t1, &t2), -1);
    EXPECT_STREQ(ring, kRings[1]);
    EXPECT_EQ(recordByte, 0);
    EXPECT_TRUE(sameSecond(t1, at(600)));
    EXPECT_TRUE(sameSecond(t2, at(0)));

    ASSERT_EQ(SKM_SetTrainSite(c.h, 5, 0x01020304), -1);
    ASSERT_EQ(SKM_GetTrainSite(c.h, 5, &site), -1);
    EXPECT_EQ(site, 0x01020304u);
    EXPECT_EQ(SKM_SetTrainSite(c.h, 16, 1), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_FOUND});
    EXPECT_NE(SKM_CloseTrain(c.h, number), 0);
    EXPECT_NE(SKM_RemoveTrain(c.h, number), 0);
    EXPECT_EQ(SKM_GetTrainIndex(c.h, number, &index), 0);

    // The log holds what the clock did, newest last, numbered from 1.
    SK_ULONG maxLogNo = 0;
    ASSERT_EQ(SKM_GetMaxLogNo(c.h, &maxLogNo), -1);
    const unsigned char expected[] = {CLV_LOG_INITIALISED,      CLV_LOG_AUTHENTICATED,
                                      CLV_LOG_TRAIN_CREATED,    CLV_LOG_TRAIN_CONFIRMED,
                                      CLV_LOG_TRAIN_ARRIVAL,    CLV_LOG_SETTING_CHANGED,
                                      CLV_LOG_TRAIN_CLOSED,     CLV_LOG_TRAIN_REMOVED};
    ASSERT_EQ(maxLogNo, sizeof expected);
    for (SK_ULONG n = 1; n <= maxLogNo; ++n) {
        unsigned char type = 0;
        double when = 0;
        char data[51];
        ASSERT_EQ(SKM_GetLogInfo(c.h, n, &type, &when, data), -1) << n;
        EXPECT_EQ(type, expected[n - 1]) << n;
        if (type == CLV_LOG_TRAIN_ARRIVAL) {
            EXPECT_STREQ(data, "DE00000000020001");  // ring, training number
        }
    }
    unsigned char type = 0;
    double when = 0;
    char data[51];
    EXPECT_EQ(SKM_GetLogInfo(c.h, 0, &type, &when, data), 0);
    EXPECT_EQ(c.err(), SK_ULONG{CLV_ERR_NOT_FOUND});
}

}  // namespace
