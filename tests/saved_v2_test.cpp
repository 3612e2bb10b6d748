// The clock file a person writes (saved format version 2): a few fields
// make a clock, defaults fill the rest, a save writes the same form back,
// and version 1 files still load.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

#include "skylark/skylark.h"
#include "skylark/virtual_clock.h"

namespace {

constexpr double kSixOClock = 46158.25;  // 16 May 2026 06:00

std::string path(const char* name) { return ::testing::TempDir() + name; }

void write(const std::string& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::string read(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Loaded {
    CLV_ULONG h = 0;
    int err = -1;
    explicit Loaded(const std::string& text, const char* name = "v2_test.json") {
        write(path(name), text);
        h = CLV_Load(path(name).c_str(), &err);
    }
    ~Loaded() {
        if (h != 0) CLV_Close(h);
    }
};

// Everything but the host time of the save, which moves on between saves.
std::string withoutSavedAt(std::string text) {
    const std::size_t at = text.find("\"saved_at\"");
    if (at == std::string::npos) return text;
    return text.erase(at, text.find('\n', at) - at);
}

const char* kThreeLines =
    "{\"format\": \"skylark-virtual-clock\", \"version\": 2,\n"
    " \"kind\": \"M\", \"password\": \"secret\", \"time\": \"2026-05-16T06:00:00\",\n"
    " \"frozen\": true}\n";

TEST(ClockFileV2, ThreeHandWrittenLinesAreAClock) {
    Loaded c(kThreeLines);
    ASSERT_NE(c.h, 0u) << CLV_ErrorText(c.err);
    int kind = 0;
    double t = 0;
    EXPECT_EQ(CLV_GetKind(c.h, &kind), CLV_OK);
    EXPECT_EQ(kind, CLV_KIND_M);
    EXPECT_EQ(CLV_GetClockTime(c.h, &t), CLV_OK);
    EXPECT_EQ(t, kSixOClock);
    EXPECT_EQ(SK_ConnectEx(c.h, "wrong"), 0);
    EXPECT_NE(SK_ConnectEx(c.h, "secret"), 0);  // the password as text
    unsigned char state = 0;
    EXPECT_NE(SK_GetDevState(c.h, &state), 0);
    EXPECT_EQ(state & 0x01, 0x01);  // initialised by default
}

TEST(ClockFileV2, FiveFieldsOfTheIssueRunFromTheirTime) {
    Loaded c("{\"format\": \"skylark-virtual-clock\", \"version\": 2, \"kind\": \"M\", "
             "\"password\": \"secret\", \"time\": \"2026-05-16T06:00:00\"}");
    ASSERT_NE(c.h, 0u) << CLV_ErrorText(c.err);
    double t = 0;
    EXPECT_EQ(CLV_GetClockTime(c.h, &t), CLV_OK);
    EXPECT_NEAR(t, kSixOClock, 5.0 / 86400);  // running, from the time written
}

TEST(ClockFileV2, TenRingsAndARaceAreReadyToFly) {
    std::string text =
        "{\"format\": \"skylark-virtual-clock\", \"version\": 2, \"kind\": \"M\", \"password\": \"secret\",\n"
        " \"time\": \"2026-05-16T05:00:00\", \"frozen\": true,\n \"registry\": [";
    for (int i = 1; i <= 10; ++i) text += (i > 1 ? ", " : "") + std::string("\"DE20260000") + (i < 10 ? "0" : "") + std::to_string(i) + "\"";
    text += "],\n \"races\": [{\"key\": \"2026051600000001\", \"time1\": \"2026-05-16T06:00:00\"}]}\n";
    Loaded c(text);
    ASSERT_NE(c.h, 0u) << CLV_ErrorText(c.err);
    CLV_FlySummary sum{};
    ASSERT_EQ(CLV_Fly(c.h, 0, 48.8566, 2.3522, kSixOClock, 52.3676, 4.9041, 1, 0, -1, 0, &sum), CLV_OK);
    EXPECT_EQ(sum.birds, 10u);
    EXPECT_EQ(sum.arrived, 10u);
    ASSERT_NE(SK_ConnectEx(c.h, "secret"), 0);
    SK_ULONG cards = 0, param = 0;
    ASSERT_NE(SKM_GetRaceInfo2(c.h, 0, &cards, &param), 0);
    EXPECT_EQ(cards, 10u);
}

TEST(ClockFileV2, LoadSaveLoadIsAFixedPoint) {
    // A clock with something in every table, made through the library.
    const CLV_ULONG h = CLV_Open(CLV_KIND_M);
    CLV_FreezeClock(h, 1);
    ASSERT_NE(SK_InitDevEx(h, "loft7"), 0);
    ASSERT_NE(SK_ConnectEx(h, "loft7"), 0);
    ASSERT_EQ(CLV_SetClockTime(h, kSixOClock - 1), CLV_OK);
    ASSERT_EQ(SKM_AppendCard(h, "DE0000000001", 7, 1, 2, 3, 0x01020304, "A1A2A3A4A5A6A7A8A9AAABAC"), -1);
    ASSERT_EQ(SKM_AppendCard(h, "DE0000000002", 0, 0, 0, 0, 0, "000000000000000000000000"), -1);
    ASSERT_EQ(SKM_CreateRace(h, "0102030405060708", kSixOClock, kSixOClock + 0.5, 9), -1);
    ASSERT_EQ(SKM_AddRaceCard(h, "DE00000000010000"), -1);
    ASSERT_EQ(SKM_AddRaceCard(h, "DE00000000021234"), -1);
    ASSERT_EQ(SKM_ConfirmRace(h, "0102030405060708", 2, "CONFIRM!"), -1);
    SK_ULONG train = 0;
    ASSERT_EQ(SKM_CreateTrain(h, kSixOClock - 3, kSixOClock - 2.9, 5, &train), -1);
    ASSERT_EQ(SKM_SetSiteInfo(h, "0000002A", "052.36760000", "355.75000000"), -1);
    ASSERT_EQ(SKM_SetPhoneCode(h, "0571,88*#"), -1);
    ASSERT_EQ(SKM_SetStaffNo(h, "A17"), -1);
    ASSERT_EQ(SKM_SetChannelNo(h, 2, "0000BEEF"), -1);
    ASSERT_EQ(CLV_Fly(h, 0, 48.8566, 2.3522, kSixOClock, CLV_LOFT_FROM_SITE, CLV_LOFT_FROM_SITE, 3, 0, -1, 0,
                      nullptr),
              CLV_OK);
    ASSERT_EQ(CLV_Save(h, path("v2_first.json").c_str()), CLV_OK);
    CLV_Close(h);

    const std::string first = read(path("v2_first.json"));
    EXPECT_NE(first.find("\"version\": 2"), std::string::npos);
    EXPECT_NE(first.find("\"password\": \"loft7\""), std::string::npos);
    EXPECT_NE(first.find("\"phone\": \"0571,88*#\""), std::string::npos);
    EXPECT_NE(first.find("\"staff\": \"A17\""), std::string::npos);
    EXPECT_NE(first.find("\"longitude\": -4.25"), std::string::npos);
    EXPECT_NE(first.find("\"DE0000000002\""), std::string::npos);       // a plain registry entry
    EXPECT_NE(first.find("\"DE00000000021234\""), std::string::npos);   // a card with its own tail
    int err = 0;
    const CLV_ULONG again = CLV_Load(path("v2_first.json").c_str(), &err);
    ASSERT_NE(again, 0u) << CLV_ErrorText(err);
    ASSERT_EQ(CLV_Save(again, path("v2_second.json").c_str()), CLV_OK);
    CLV_Close(again);
    EXPECT_EQ(withoutSavedAt(read(path("v2_second.json"))), withoutSavedAt(first));
}

TEST(ClockFileV2, VersionOneStillLoads) {
    Loaded s("{\"format\": \"skylark-virtual-clock\", \"version\": 1, \"kind\": \"S\", \"serial\": 7, "
             "\"password\": \"6C6F667437000000\", \"initialised\": true, \"isp\": false, "
             "\"time\": \"2026-05-16T06:00:00\", \"frozen\": true, \"saved_at\": 1778900000, "
             "\"card\": \"56530000000700000000000000000000\", \"log\": {\"next\": 1, \"entries\": []}, "
             "\"race\": null}");
    ASSERT_NE(s.h, 0u) << CLV_ErrorText(s.err);
    EXPECT_NE(SK_ConnectEx(s.h, "loft7"), 0);
}

TEST(ClockFileV2, WhatAPersonGetsWrongIsRefused) {
    const std::string head = "{\"format\": \"skylark-virtual-clock\", \"version\": 2, \"kind\": \"M\"";
    const struct {
        const char* name;
        std::string text;
        const char* where;  // the field CLV_LoadEx names
    } cases[] = {
        {"a field the format does not have", head + ", \"colour\": \"blue\"}", "/colour"},
        {"a password of nine characters", head + ", \"password\": \"123456789\"}", "/password"},
        {"a time in another form", head + ", \"time\": \"16.05.2026 06:00\"}", "/time"},
        {"a ring of eleven digits", head + ", \"registry\": [\"DE202600001\"]}", "/registry/0"},
        {"a race without a key", head + ", \"races\": [{}]}", "/races/0/key"},
        {"a race in no known state", head + ", \"races\": [{\"key\": \"0102030405060708\", \"state\": \"flown\"}]}", "/races/0/state"},
        {"a latitude beyond the pole", head + ", \"settings\": {\"site\": {\"latitude\": 91, \"longitude\": 4}}}", "/settings/site/latitude"},
        {"a phone code with letters", head + ", \"settings\": {\"phone\": \"0571-88\"}}", "/settings/phone"},
        {"an S clock with races", "{\"format\": \"skylark-virtual-clock\", \"version\": 2, \"kind\": \"S\", \"races\": []}", "/races"},
        {"no kind", "{\"format\": \"skylark-virtual-clock\", \"version\": 2}", "/kind"},
        {"a serial of zero", head + ", \"serial\": 0}", "/serial"},
        {"an arrival of a ring not entered", head + ", \"registry\": [\"DE0000000001\"], \"races\": [{\"key\": \"0102030405060708\", "
         "\"arrivals\": [{\"ring\": \"DE0000000002\", \"time\": \"2026-05-16T10:00:00\"}]}]}", "/races/0/arrivals/0/ring"},
    };
    for (const auto& k : cases) {
        write(path("v2_refused.json"), k.text);
        int err = 0;
        char why[200] = "";
        EXPECT_EQ(CLV_LoadEx(path("v2_refused.json").c_str(), &err, why, sizeof why), 0u) << k.name;
        EXPECT_EQ(err, CLV_ERR_FILE_DAMAGED) << k.name;
        EXPECT_EQ(std::string(why).substr(0, std::strlen(k.where) + 1), std::string(k.where) + ":") << k.name << ": " << why;
    }
}

TEST(ClockFileV2, TheSpeedIsKeptAndRunsOnWhileAway) {
    const std::string head = "{\"format\": \"skylark-virtual-clock\", \"version\": 2, \"kind\": \"M\", "
                             "\"time\": \"2026-05-16T06:00:00\"";
    // Frozen: the speed is kept, the time stands.
    {
        Loaded c(head + ", \"frozen\": true, \"speed\": 2.5}");
        ASSERT_NE(c.h, 0u) << CLV_ErrorText(c.err);
        double speed = 0, t = 0;
        ASSERT_EQ(CLV_GetSpeed(c.h, &speed), CLV_OK);
        EXPECT_EQ(speed, 2.5);
        ASSERT_EQ(CLV_Save(c.h, path("v2_speed.json").c_str()), CLV_OK);
        const std::string saved = read(path("v2_speed.json"));
        EXPECT_NE(saved.find("\"speed\": 2.5"), std::string::npos) << saved;
        Loaded again(saved, "v2_speed_again.json");
        ASSERT_NE(again.h, 0u) << CLV_ErrorText(again.err);
        ASSERT_EQ(CLV_GetSpeed(again.h, &speed), CLV_OK);
        EXPECT_EQ(speed, 2.5);
        EXPECT_EQ(CLV_GetClockTime(again.h, &t), CLV_OK);
        EXPECT_EQ(t, kSixOClock);
        // A whole speed is written as a whole number; the default too.
        ASSERT_EQ(CLV_SetSpeed(again.h, 60), CLV_OK);
        ASSERT_EQ(CLV_Save(again.h, path("v2_speed.json").c_str()), CLV_OK);
        EXPECT_NE(read(path("v2_speed.json")).find("\"speed\": 60,"), std::string::npos);
        // Version 1 has no speed: its clock loads at speed 1.
        ASSERT_EQ(CLV_SaveVersion(again.h, path("v1_speed.json").c_str(), 1), CLV_OK);
        EXPECT_EQ(read(path("v1_speed.json")).find("speed"), std::string::npos);
        Loaded v1(read(path("v1_speed.json")), "v1_speed_again.json");
        ASSERT_NE(v1.h, 0u) << CLV_ErrorText(v1.err);
        ASSERT_EQ(CLV_GetSpeed(v1.h, &speed), CLV_OK);
        EXPECT_EQ(speed, 1.0);
    }
    Loaded plain(head + ", \"frozen\": true}");
    ASSERT_EQ(CLV_Save(plain.h, path("v2_speed.json").c_str()), CLV_OK);
    EXPECT_NE(read(path("v2_speed.json")).find("\"speed\": 1,"), std::string::npos);
    // Running, saved an hour ago at 60: sixty hours on.
    {
        Loaded c(head + ", \"speed\": 60, \"saved_at\": \"" + [] {
            const std::time_t hourAgo = std::time(nullptr) - 3600;
            char text[32];
            std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", std::gmtime(&hourAgo));
            return std::string(text);
        }() + "\"}");
        ASSERT_NE(c.h, 0u) << CLV_ErrorText(c.err);
        double t = 0;
        ASSERT_EQ(CLV_GetClockTime(c.h, &t), CLV_OK);
        EXPECT_GE(t, kSixOClock + 60.0 / 24 - 1e-9);
    }
    // Speeds no clock runs at.
    for (const char* bad : {"0", "-1", "3601", "\"fast\"", "true"}) {
        write(path("v2_refused.json"), head + ", \"speed\": " + bad + "}");
        int err = 0;
        char why[200] = "";
        EXPECT_EQ(CLV_LoadEx(path("v2_refused.json").c_str(), &err, why, sizeof why), 0u) << bad;
        EXPECT_EQ(err, CLV_ERR_FILE_DAMAGED) << bad;
        EXPECT_EQ(std::string(why).substr(0, 7), "/speed:") << bad << ": " << why;
    }
}

}  // namespace
