// The M clock end to end: the typical road, authentication, proofs against
// tampering, and the registry, log and settings read back as written.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host.h"

namespace {

using e2e::at;
using e2e::bcd;
using e2e::Bytes;
using e2e::Clock;
using e2e::hex;
using e2e::ring;

// Initialise with a password, authenticate, set the time, register rings,
// set a race up, let birds arrive, find the race, download every arrival
// with its proof, close the race, and decode the stored records.
TEST(MClock, TypicalRoad) {
    Clock clock(CLV_KIND_M);
    ASSERT_NE(clock.handle(), 0u);
    ASSERT_NE(SK_InitDevEx(clock, "pigeon42"), 0);
    ASSERT_TRUE(e2e::connect(clock, "pigeon42", at(6, 0, 0)));
    double now = 0.0;
    ASSERT_NE(SK_GetTime(clock, &now), 0);
    EXPECT_EQ(bcd(now), bcd(at(6, 0, 0)));

    constexpr unsigned kBirds = 12, kHome = 9;
    for (unsigned i = 1; i <= kBirds; ++i)
        ASSERT_NE(SKM_AppendCard(clock, ring(i).c_str(), 1, 2, 3, 4, 5, ""), 0) << i;
    SK_ULONG cards = 0;
    ASSERT_NE(SKM_GetCardCount(clock, &cards), 0);
    EXPECT_EQ(cards, kBirds);

    ASSERT_TRUE(e2e::stockRace(clock, kBirds, kHome));
    SK_ULONG count = 0, index = 99, figure = 0;
    ASSERT_NE(SKM_GetRaceCount(clock, &count), 0);
    EXPECT_EQ(count, 1u);
    ASSERT_NE(SKM_GetRaceIndex(clock, e2e::kRaceKey, &index), 0);
    EXPECT_EQ(index, 0u);
    char key[17] = {};
    double first = 0.0, second = 0.0;
    ASSERT_NE(SKM_GetRaceInfo(clock, index, key, &first, &second, &figure), 0);
    EXPECT_STREQ(key, e2e::kRaceKey);
    EXPECT_EQ(bcd(first), bcd(at(7, 30, 0)));
    EXPECT_EQ(bcd(second), bcd(at(21, 0, 0)));
    EXPECT_EQ(figure, kHome);
    char ringText[13] = {};
    ASSERT_NE(SKM_GetRaceCard(clock, index, 4, ringText), 0);
    EXPECT_EQ(std::string(ringText), ring(5));

    const unsigned char recordKey[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    for (SK_ULONG i = 0; i < kHome; ++i) {
        SCOPED_TRACE(i);
        char record[33] = {}, lead[9] = {};
        double arrived = 0.0;
        ASSERT_NE(SKM_GetRaceRecord(clock, index, i, record, &arrived, lead), 0);
        // Body: ring (6) | arrival number (2) | body check (4) | race key 0-3 (4).
        const std::string body = record;
        EXPECT_EQ(body.substr(0, 12), ring(i + 1));
        EXPECT_EQ(hex(body.substr(12, 4)), Bytes({0, static_cast<std::uint8_t>(i)}));
        EXPECT_EQ(body.substr(24, 8), std::string(e2e::kRaceKey).substr(0, 8));
        EXPECT_EQ(bcd(arrived), bcd(at(9, 0, 0) + i / 1440.0));
        EXPECT_EQ(std::strlen(lead), 8u);

        // The same arrival stored: decrypted and proven, carrying the body.
        char stored[97] = {}, plain[81] = {};
        ASSERT_EQ(CLV_GetStoredRecord(clock, index, i, recordKey, stored), CLV_OK);
        ASSERT_NE(SK_ParseRecordInfo(recordKey, stored, plain), 0);
        EXPECT_EQ(std::string(plain).substr(0, 32), body);
        EXPECT_EQ(std::string(plain).substr(32, 12), e2e::hexText(bcd(arrived)));
        EXPECT_EQ(std::string(plain).substr(44, 8), lead);

        char masked[49] = {}, unmasked[49] = {};
        ASSERT_EQ(CLV_GetMaskedRecord(clock, index, i, masked), CLV_OK);
        ASSERT_NE(SK_ParseRecordInfo2(0, masked, unmasked), 0);
        EXPECT_EQ(std::string(unmasked).substr(0, 32), body);
    }
    char record[33], lead[9];
    double arrived;
    EXPECT_EQ(SKM_GetRaceRecord(clock, index, kHome, record, &arrived, lead), 0) << "no such record";

    EXPECT_NE(SKM_CloseRace(clock, e2e::kRaceKey), 0);
    EXPECT_NE(CLV_RecordArrival(clock, 0, ring(kBirds).c_str(), at(10, 0, 0)), CLV_OK)
        << "a closed race takes no arrivals";
}

struct AuthCase {
    const char* name;
    const char* initPassword;     // set by SK_InitDevEx (null: SK_InitDev)
    const char* connectPassword;  // sent by SK_ConnectEx (null: none)
    bool accepted;
};

const AuthCase kAuthCases[] = {
    {"NoPassword", nullptr, nullptr, true},
    {"NoPasswordButOneSent", nullptr, "pigeon42", false},
    {"Password", "pigeon42", "pigeon42", true},
    {"PasswordNotSent", "pigeon42", nullptr, false},
    {"WrongPassword", "pigeon42", "pigeon43", false},
    {"OnlyEightCharactersCount", "pigeon42", "pigeon42-and-more", true},
};

// Test names, not bytes, in failure messages.
void PrintTo(const AuthCase& c, std::ostream* os) { *os << c.name; }

class Auth : public ::testing::TestWithParam<AuthCase> {};

// A fresh clock answers only what needs no channel; authentication with the
// password it was initialised with opens the rest, any other is refused.
TEST_P(Auth, PasswordDecides) {
    const AuthCase& c = GetParam();
    Clock clock(CLV_KIND_M);
    SK_ULONG count = 0;
    EXPECT_EQ(SKM_GetCardCount(clock, &count), 0);
    EXPECT_EQ(clock.error(), static_cast<SK_ULONG>(CLV_ERR_NOT_AUTHENTICATED));
    unsigned char state = 0;
    EXPECT_NE(SK_GetDevState(clock, &state), 0) << "the state byte is always there";

    ASSERT_NE(c.initPassword ? SK_InitDevEx(clock, c.initPassword) : SK_InitDev(clock), 0);
    EXPECT_EQ(SK_ConnectEx(clock, c.connectPassword) != 0, c.accepted);
    EXPECT_EQ(SKM_GetCardCount(clock, &count) != 0, c.accepted);
    if (!c.accepted) {
        EXPECT_EQ(clock.error(), static_cast<SK_ULONG>(CLV_ERR_NOT_AUTHENTICATED));
        EXPECT_EQ(SK_SetPigeon(clock, at(6, 0, 0)), 0);
    } else {
        EXPECT_EQ(count, 0u);
        EXPECT_NE(SK_SetPigeon(clock, at(6, 0, 0)), 0);
        EXPECT_NE(SK_SetTime(clock, at(6, 0, 5)), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(MClock, Auth, ::testing::ValuesIn(kAuthCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A reply tampered in one bit, cut short, or failed by the clock is refused
// and leaves the outputs alone; the next clean download succeeds.
TEST(MClock, DownloadRefusesDamagedReplies) {
    Clock clock(CLV_KIND_M);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_TRUE(e2e::stockRace(clock, 2, 2));

    struct Fault {
        int mode;
        CLV_ULONG value;
    };
    // Bits of the lead field, the body, the time and the code; 1 to 33 bytes cut.
    const Fault faults[] = {{CLV_FAULT_TAMPER, 0},   {CLV_FAULT_TAMPER, 37},
                            {CLV_FAULT_TAMPER, 200}, {CLV_FAULT_TAMPER, 271},
                            {CLV_FAULT_CUT, 1},      {CLV_FAULT_CUT, 8},
                            {CLV_FAULT_CUT, 33},     {CLV_FAULT_FAIL, CLV_ERR_BAD_STATE}};
    for (const Fault& f : faults) {
        SCOPED_TRACE(::testing::Message() << f.mode << "/" << f.value);
        ASSERT_EQ(CLV_SetFault(clock, f.mode, f.value), CLV_OK);
        char record[33] = "untouched", lead[9] = "same";
        double arrived = 1.5;
        EXPECT_EQ(SKM_GetRaceRecord(clock, 0, 1, record, &arrived, lead), 0);
        EXPECT_STREQ(record, "untouched");
        EXPECT_STREQ(lead, "same");
        EXPECT_EQ(arrived, 1.5);
        ASSERT_NE(SKM_GetRaceRecord(clock, 0, 1, record, &arrived, lead), 0);
        EXPECT_EQ(std::string(record).substr(0, 12), ring(2));
    }
}

// The library's s_verifykey holding another key than the clock's: every
// download fails, and works again once the keys agree.
TEST(MClock, WrongVerificationKeyFailsEveryDownload) {
    Clock clock(CLV_KIND_M);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_TRUE(e2e::stockRace(clock, 3, 3));
    char record[33], lead[9];
    double arrived;
    {
        const Bytes other = hex("0123456789ABCDEF");
        e2e::VerifyKey wrong(other);
        for (SK_ULONG i = 0; i < 3; ++i)
            EXPECT_EQ(SKM_GetRaceRecord(clock, 0, i, record, &arrived, lead), 0) << i;
    }
    EXPECT_NE(SKM_GetRaceRecord(clock, 0, 0, record, &arrived, lead), 0);
}

// Registry entries, settings and site values read back byte for byte what
// was written; modify and remove act on the entry named.
TEST(MClock, RegistryRoundTrip) {
    Clock clock(CLV_KIND_M);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_NE(SKM_AppendCard(clock, "0000000000FF", 0x00, 0x0000, 0x0000, 0x0000, 0, ""), 0);
    ASSERT_NE(SKM_AppendCard(clock, "FEDCBA987654", 0xA5, 0xFFFF, 0x8001, 0x1234, 0xDEADBEEF,
                             "00112233445566778899AABB"), 0);
    EXPECT_EQ(SKM_AppendCard(clock, "FEDCBA987654", 1, 1, 1, 1, 1, ""), 0) << "already there";

    SK_ULONG index = 9, w1 = 0, w2 = 0, w3 = 0, l = 0, count = 0;
    unsigned char b = 0;
    char ringText[13] = {}, data[25] = {};
    ASSERT_NE(SKM_GetCardIndex(clock, "FEDCBA987654", &index), 0);
    EXPECT_EQ(index, 1u);
    ASSERT_NE(SKM_GetCardInfo(clock, index, ringText, &b, &w1, &w2, &w3, &l, data), 0);
    EXPECT_STREQ(ringText, "FEDCBA987654");
    EXPECT_EQ(b, 0xA5);
    EXPECT_EQ(w1, 0xFFFFu);
    EXPECT_EQ(w2, 0x8001u);
    EXPECT_EQ(w3, 0x1234u);
    EXPECT_EQ(l, 0xDEADBEEFu);
    EXPECT_STREQ(data, "00112233445566778899AABB");

    ASSERT_NE(SKM_ModifyCard(clock, "FEDCBA987654", 0x5A, 1, 2, 3, 0x01020304), 0);
    ASSERT_NE(SKM_GetCardInfo(clock, index, ringText, &b, &w1, &w2, &w3, &l, data), 0);
    EXPECT_EQ(b, 0x5A);
    EXPECT_EQ(w1 * 10000 + w2 * 100 + w3, 10203u);
    EXPECT_EQ(l, 0x01020304u);
    EXPECT_STREQ(data, "00112233445566778899AABB") << "modify keeps the data field";

    ASSERT_NE(SKM_RemoveCard(clock, "0000000000FF"), 0);
    ASSERT_NE(SKM_GetCardCount(clock, &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(SKM_GetCardIndex(clock, "0000000000FF", &index), 0);
    ASSERT_NE(SKM_GetCardIndex(clock, "FEDCBA987654", &index), 0);
    EXPECT_EQ(index, 0u) << "later entries move down";
}

TEST(MClock, SettingsRoundTrip) {
    Clock clock(CLV_KIND_M);
    ASSERT_TRUE(e2e::connect(clock));
    char text[40] = {}, c1[16] = {}, c2[16] = {};

    ASSERT_NE(SKM_SetChannelNo(clock, 3, "A1B2C3D4"), 0);
    ASSERT_NE(SKM_GetChannelNo(clock, 3, text), 0);
    EXPECT_STREQ(text, "A1B2C3D4");
    ASSERT_NE(SKM_SET_TOUCH_TYPE(clock, 7, "00FF0001"), 0);
    ASSERT_NE(SKM_GET_TOUCH_TYPE(clock, 7, text), 0);
    EXPECT_STREQ(text, "00FF0001");
    ASSERT_NE(SKM_SetSiteInfo(clock, "12345678", "113.25000000", "022.50000001"), 0);
    ASSERT_NE(SKM_GetSiteInfo(clock, text, c1, c2), 0);
    EXPECT_STREQ(text, "12345678");
    EXPECT_STREQ(c1, "113.25000000");
    EXPECT_STREQ(c2, "022.50000001");
    ASSERT_NE(SKM_SetPhoneCode(clock, "0031*20#555,1234"), 0);
    ASSERT_NE(SKM_GetPhoneCode(clock, text), 0);
    EXPECT_STREQ(text, "0031*20#555,1234");
    ASSERT_NE(SKM_SetStaffNo(clock, "STAFF-0042"), 0);
    ASSERT_NE(SKM_GetStaffNo(clock, text), 0);
    EXPECT_STREQ(text, "STAFF-0042");
    SK_ULONG site = 0;
    ASSERT_NE(SKM_SetTrainSite(clock, 2, 0xCAFEF00D), 0);
    ASSERT_NE(SKM_GetTrainSite(clock, 2, &site), 0);
    EXPECT_EQ(site, 0xCAFEF00Du);
}

// The log as the library reads it is the log as the clock keeps it, entry
// by entry, and it holds what the clock did.
TEST(MClock, LogReadsAsKept) {
    Clock clock(CLV_KIND_M);
    ASSERT_NE(SK_InitDev(clock), 0);
    ASSERT_TRUE(e2e::connect(clock));
    ASSERT_NE(SKM_AppendCard(clock, "112233445566", 0, 0, 0, 0, 0, ""), 0);
    ASSERT_TRUE(e2e::stockRace(clock, 1, 1));

    SK_ULONG maxLog = 0, kept = 0;
    ASSERT_NE(SKM_GetMaxLogNo(clock, &maxLog), 0);
    ASSERT_EQ(CLV_GetLogCount(clock, &kept), CLV_OK);
    EXPECT_EQ(maxLog, kept);
    bool registered = false, arrival = false;
    for (SK_ULONG n = 1; n <= maxLog; ++n) {
        SCOPED_TRACE(n);
        unsigned char type = 0, keptType = 0;
        double when = 0.0, keptWhen = 0.0;
        char data[51] = {}, keptData[51] = {};
        ASSERT_NE(SKM_GetLogInfo(clock, n, &type, &when, data), 0);
        ASSERT_EQ(CLV_GetLogEntry(clock, n, &keptType, &keptWhen, keptData), CLV_OK);
        EXPECT_EQ(type, keptType);
        EXPECT_EQ(bcd(when), bcd(keptWhen));
        EXPECT_STREQ(data, keptData);
        registered |= type == CLV_LOG_RING_REGISTERED && std::string(data) == "112233445566";
        arrival |= type == CLV_LOG_ARRIVAL && std::string(data).substr(0, 12) == ring(1);
    }
    EXPECT_TRUE(registered);
    EXPECT_TRUE(arrival);
    unsigned char type;
    double when;
    char data[51];
    EXPECT_EQ(SKM_GetLogInfo(clock, maxLog + 1, &type, &when, data), 0);
}

// Training numbers are the clock's, given once each: after 65,535 flights
// created (and removed again) the clock has none left, rather than starting
// over at 1 and giving a number twice.
TEST(MClock, TrainingNumbersAreNeverGivenTwice) {
    Clock clock(CLV_KIND_M);
    ASSERT_TRUE(e2e::connect(clock));
    SK_ULONG number = 0;
    for (SK_ULONG expected = 1; expected <= 65535; ++expected) {
        ASSERT_EQ(SKM_CreateTrain(clock, at(7, 0, 0), at(8, 0, 0), 1, &number), -1) << expected;
        ASSERT_EQ(number, expected);
        ASSERT_NE(SKM_RemoveTrain(clock, number), 0);
    }
    EXPECT_EQ(SKM_CreateTrain(clock, at(7, 0, 0), at(8, 0, 0), 1, &number), 0);
    EXPECT_EQ(clock.error(), static_cast<SK_ULONG>(CLV_ERR_FULL));
    SK_ULONG count = 99;
    ASSERT_EQ(SKM_GetTrainCount(clock, &count), -1);
    EXPECT_EQ(count, 0u);
}

}  // namespace
