// The closed libraries breaking their side of the contract, or being used
// with a handle they do not know: statuses with only high bits set, reply
// lengths beyond the buffer the library offered, a reader failing at each
// step of a sequence, and unknown handles. The library must judge each
// soundly and never touch an output on failure.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "skylark/skylark.h"
#include "support.h"

namespace {

using test::Answer;
using test::Bytes;
using test::hex;

constexpr BOOL16 kHighBits[] = {BOOL16(0x8000), BOOL16(0xFF00), BOOL16(0x0100), BOOL16(0x4000)};
const Bytes kTime = hex("10 03 14 09 05 07");

// ---- Statuses with only high bits set: non-zero, so success -------------------

TEST(HighBitStatus, CountsAsSuccessAndPassesThroughUnchanged) {
    for (const BOOL16 status : kHighBits) {
        SCOPED_TRACE(status);
        {  // normalised read: -1 and the output written
            test::TestClock clock;
            clock.answer(Answer::reply(kTime, status));
            double date = 0;
            EXPECT_EQ(SK_GetTime(clock.handle(), &date), -1);
            EXPECT_NE(date, 0.0);
        }
        {  // pass-through: ClockLink's own status
            test::TestClock clock;
            clock.answer(Answer::status(status));
            EXPECT_EQ(SKM_CloseRace(clock.handle(), "0102030405060708"), status);
            EXPECT_EQ(SKS_ClearRace(clock.handle()), 1);  // nothing queued: status 1
        }
        {  // device state: one byte delivered
            test::TestClock clock;
            clock.answer(Answer::reply(hex("5A"), status));
            unsigned char state = 0;
            EXPECT_EQ(SK_GetDevState(clock.handle(), &state), -1);
            EXPECT_EQ(state, 0x5A);
        }
        {  // authentication: comm key valid, device random fetched, block sent
            test::TestClock clock;
            clock.answer({Answer::status(status), Answer::reply(hex("01 02 03 04"), status),
                          Answer::reply(hex("05 06 07 08 05 06 07 08"), status),
                          Answer::status(status)});
            EXPECT_EQ(SK_ConnectEx(clock.handle(), "pw"), status);
            const auto calls = clock.calls();
            ASSERT_EQ(calls.size(), 4u);  // no comm key installed: it counted as valid
            EXPECT_EQ(calls[0].function, CLT_IS_COMM_KEY_VALID);
            EXPECT_EQ(calls[1].function, CLT_GET_RND);
        }
        {  // time setting: the device random's high-bit status is success too
            test::TestClock clock;
            clock.answer({Answer::reply(hex("01 02 03 04"), status), Answer::status(status)});
            EXPECT_EQ(SK_SetPigeon(clock.handle(), 40251.5), status);
            EXPECT_EQ(clock.commands().size(), 1u);
        }
    }
}

// ---- Delivered lengths beyond the preset ---------------------------------------

struct LengthCase {
    const char* name;
    SK_ULONG delivered;
};

class LongerThanPreset : public testing::TestWithParam<LengthCase> {};

// Exact-length reads refuse, outputs untouched; the bytes ClockLink wrote
// stay within the buffer the library offered (the test clock honours the
// preset; the library must not read past it).
TEST_P(LongerThanPreset, ExactReadsRefuse) {
    const SK_ULONG delivered = GetParam().delivered;
    const Bytes big(64, 0x11);
    struct Read {
        const char* name;
        std::function<BOOL16(SK_ULONG, char*, double*)> call;
    } reads[] = {
        {"GetDevInfo", [](SK_ULONG h, char* t, double*) { return SK_GetDevInfo(h, t); }},
        {"GetTime", [](SK_ULONG h, char*, double* d) { return SK_GetTime(h, d); }},
        {"GetRaceRecord",
         [](SK_ULONG h, char* t, double* d) { return SKM_GetRaceRecord(h, 0, 0, t, d, t + 40); }},
        {"SGetRaceRecord", [](SK_ULONG h, char* t, double* d) { return SKS_GetRaceRecord(h, 0, t, d); }},
        {"GetRaceInfo",
         [](SK_ULONG h, char* t, double* d) {
             SK_ULONG figure = 0;
             return SKM_GetRaceInfo(h, 0, t, d, d, &figure);
         }},
        {"GetChannelNo", [](SK_ULONG h, char* t, double*) { return SKM_GetChannelNo(h, 0, t); }},
        {"HGetRaceCard",
         [](SK_ULONG h, char* t, double* d) { return SKH_GetRaceCard(h, 0, t, t + 20, d); }},
    };
    for (const Read& r : reads) {
        SCOPED_TRACE(r.name);
        test::TestClock clock;
        clock.answer(Answer::reply(big).delivered(delivered));
        char text[64];
        std::memset(text, 'u', sizeof text);
        double date = 12.5;
        EXPECT_EQ(r.call(clock.handle(), text, &date), 0);
        EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, 'u'));
        EXPECT_EQ(date, 12.5);
    }
}

// The minimum-length and unchecked reads take what was delivered, but never
// more than their buffer.
TEST_P(LongerThanPreset, OpenLengthReadsStayInTheirBuffer) {
    const SK_ULONG delivered = GetParam().delivered;
    {
        test::TestClock clock;
        clock.answer(Answer::reply(Bytes(64, 0xAB)).delivered(delivered));
        char data[64];
        std::memset(data, 'u', sizeof data);
        unsigned char type = 0;
        double date = 0;
        EXPECT_EQ(SKM_GetLogInfo(clock.handle(), 1, &type, &date, data), -1);
        EXPECT_EQ(std::strlen(data), 50u);  // at most 32 reply bytes used: 25 after the first 7
        EXPECT_EQ(data[51], 'u');
        EXPECT_LE(clock.calls().at(0).presetLen, 32u);
    }
    {
        test::TestClock clock;
        clock.answer(Answer::reply(Bytes(64, 'S')).delivered(delivered));
        char staff[32];
        std::memset(staff, 'u', sizeof staff);
        EXPECT_EQ(SKM_GetStaffNo(clock.handle(), staff), -1);
        EXPECT_EQ(std::string(staff), std::string(16, 'S'));
        EXPECT_EQ(staff[17], 'u');
    }
}

INSTANTIATE_TEST_SUITE_P(Delivered, LongerThanPreset,
                         testing::Values(LengthCase{"PresetPlusOne", 65},
                                         LengthCase{"HighBit", 0x80000000u},
                                         LengthCase{"AllOnes", 0xFFFFFFFFu}),
                         [](const testing::TestParamInfo<LengthCase>& info) {
                             return std::string(info.param.name);
                         });

// ---- A reader failing at each step ---------------------------------------------

TEST(ReaderFails, FormatStopsAtTheFailedStep) {
    SK_ULONG steps = 0;
    {
        test::TestReader reader;
        reader.insertTag(hex("01 02 03 04"));
        ASSERT_EQ(SKR_FormatCard(reader.handle(), "DE0000000001", "0A0B0C0D"), -1);
        steps = static_cast<SK_ULONG>(reader.calls().size());
    }
    ASSERT_EQ(steps, 8u);  // four page writes, block read, config read, write, read
    for (SK_ULONG failing = 0; failing < steps; ++failing) {
        SCOPED_TRACE(failing);
        test::TestReader reader;
        reader.insertTag(hex("01 02 03 04")).script(failing, 0);
        EXPECT_EQ(SKR_FormatCard(reader.handle(), "DE0000000001", "0A0B0C0D"), 0);
        EXPECT_EQ(reader.calls().size(), failing + 1);
    }
}

TEST(ReaderFails, ReadsLeaveOutputsUntouched) {
    test::TestReader reader;
    reader.insertTag(hex("01 02 03 04")).script(0, 0).script(1, 0).script(2, 0);
    char ring[13] = "untouched", race[9] = "race", uid[9] = "uid";
    EXPECT_EQ(SKR_ReadCard(reader.handle(), ring, race), 0);
    EXPECT_EQ(SKR_ActiveCard(reader.handle(), uid), 0);
    EXPECT_EQ(SKR_DeactiveCard(reader.handle()), 0);
    EXPECT_STREQ(ring, "untouched");
    EXPECT_STREQ(race, "race");
    EXPECT_STREQ(uid, "uid");
}

// Any non-zero reader result is success, also one with only high bits.
TEST(ReaderFails, HighBitResultsCountAsSuccess) {
    test::TestReader reader;
    reader.insertTag(hex("01 02 03 04")).script(0, 0x10000).script(1, -1);
    char uid[9] = "uid";
    EXPECT_EQ(SKR_ActiveCard(reader.handle(), uid), -1);
    EXPECT_EQ(SKR_DeactiveCard(reader.handle()), -1);
}

// ---- Unknown handles -------------------------------------------------------------

TEST(UnknownHandle, EveryFamilyFailsWithoutWriting) {
    const SK_ULONG h = 0x7FFFDEAD;
    char text[128];
    std::memset(text, 'u', sizeof text);
    double date = 3.25;
    SK_ULONG n = 77;
    unsigned char byte = 0x5A;
    EXPECT_EQ(SK_Connect(h), 0);
    EXPECT_EQ(SK_ConnectEx(h, "pw"), 0);
    EXPECT_EQ(SK_CreateCommKey(h), 0);
    EXPECT_EQ(SK_InitDevEx(h, "pw"), 0);
    EXPECT_EQ(SK_GetDevState(h, &byte), 0);
    EXPECT_EQ(SK_GetDevInfo(h, text), 0);
    EXPECT_EQ(SK_GetTime(h, &date), 0);
    EXPECT_EQ(SK_SetPigeon(h, 40251.5), 0);
    EXPECT_EQ(SK_SetTime(h, 40251.5), 0);
    EXPECT_EQ(SKM_GetRaceCount(h, &n), 0);
    EXPECT_EQ(SKM_GetRaceRecord(h, 0, 0, text, &date, text + 40), 0);
    EXPECT_EQ(SKM_GetCardInfo(h, 0, text, &byte, &n, &n, &n, &n, text + 20), 0);
    EXPECT_EQ(SKM_AppendCard(h, "DE0000000001", 0, 0, 0, 0, 0, ""), 0);
    EXPECT_EQ(SKM_GetLogInfo(h, 1, &byte, &date, text), 0);
    EXPECT_EQ(SKM_GetStaffNo(h, text), 0);
    EXPECT_EQ(SKM_GetTrainInfo(h, 0, &n, &date, &date, &n, &n), 0);
    EXPECT_EQ(SKS_GetRaceRecord(h, 0, text, &date), 0);
    EXPECT_EQ(SKH_GetRaceInfo(h, text, &n), 0);
    EXPECT_EQ(SKR_ActiveCard(h, text), 0);
    EXPECT_EQ(SKR_ReadCard(h, text, text + 20), 0);
    EXPECT_EQ(SKR_FormatCard(h, "DE0000000001", "0A0B0C0D"), 0);
    EXPECT_EQ(SKR_DeactiveCard(h), 0);
    EXPECT_EQ(std::string(text, sizeof text), std::string(sizeof text, 'u'));
    EXPECT_EQ(date, 3.25);
    EXPECT_EQ(n, 77u);
    EXPECT_EQ(byte, 0x5A);
}

}  // namespace
