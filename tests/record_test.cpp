// Record decoding: stored 48-byte records sealed here (under the record key,
// a vKey and the verification key) decode and prove only when intact;
// 24-byte masked records unmask.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>

#include "skylark/skylark.h"
#include "record_sealer.h"
#include "security/des.h"
#include "support.h"

namespace {

using test::Bytes;
using test::hex;
using test::hexText;
using test::Outputs;

using test::kTestVerifyKey;
const std::uint8_t kRecordKey[8] = {0xA4, 0x1F, 0x6B, 0xD2, 0x37, 0x8E, 0xC5, 0x49};  // = the comm key constant

// 40 plain bytes with their body check value (test::setBodyCheck).
Bytes withBodyCheck(Bytes p, const CDesKey& verify) {
    test::setBodyCheck(p.data(), verify);
    return p;
}

// The stored record of 40 plain bytes (test::seal).
Bytes seal(const Bytes& plain, const Bytes& vKey, const CDesKey& verify) {
    Bytes record(48);
    test::seal(plain.data(), vKey.data(), record.data(), verify, kRecordKey);
    return record;
}

class ParseRecord : public testing::Test {
protected:
    //   0 body 6 | 6 . 2 | 8 check 4 | 12 body 4 | 16 time 6 | 22 lead 4 | 26 further 14
    ParseRecord()
        : plain(withBodyCheck(hex("4D 31 07 A2 C9 58  E0 1F  00 00 00 00  6B 93 24 FD"
                                  "10 03 14 09 05 07  88 19 5E C2"
                                  "01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E"),
                              verify)),
          record(seal(plain, vKey, verify)) {}

    BOOL16 parse(const std::string& text, const Bytes& key) {
        return SK_ParseRecordInfo(key.data(), text.c_str(), out.text);
    }

    const test::VerifyKey verifyKeyInClockLink{kTestVerifyKey};
    const CDesKey verify{kTestVerifyKey.data()};
    const Bytes vKey = hex("01 80 7F FF 00 55 AA 33");
    Bytes plain;
    Bytes record;
    Outputs out;  // text: the plain bytes
};

TEST_F(ParseRecord, IntactRecordGivesItsPlainBytes) {
    std::string lower = hexText(record);
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string spaced;
    for (std::size_t i = 0; i < hexText(record).size(); i += 2)
        spaced += hexText(record).substr(i, 2) + (i % 16 == 14 ? "-\n" : " ");
    const std::string texts[] = {hexText(record), lower, spaced, hexText(record) + "FFEE0011"};

    for (const std::string& text : texts) {
        out = Outputs();
        EXPECT_EQ(parse(text, vKey), -1) << text;
        EXPECT_EQ(std::string(out.text), hexText(Bytes(plain.begin(), plain.begin() + 40))) << text;
    }
}

TEST_F(ParseRecord, EverySingleBitFlipIsRejected) {
    for (std::size_t bit = 0; bit < 48 * 8; ++bit) {
        Bytes damaged = record;
        damaged[bit / 8] ^= std::uint8_t(0x80 >> (bit % 8));
        EXPECT_EQ(parse(hexText(damaged), vKey), 0) << "bit " << bit;
    }
    EXPECT_TRUE(out.untouched());
}

TEST_F(ParseRecord, OnlyTheLowSevenBitsOfEachVKeyByteCount) {
    for (std::size_t i = 0; i < 8; ++i) {
        Bytes topFlipped = vKey;
        topFlipped[i] ^= 0x80;
        EXPECT_EQ(parse(hexText(record), topFlipped), -1) << "byte " << i;
        for (int bit = 0; bit < 7; ++bit) {
            Bytes flipped = vKey;
            flipped[i] ^= std::uint8_t(1 << bit);
            EXPECT_EQ(parse(hexText(record), flipped), 0) << "byte " << i << " bit " << bit;
        }
    }
}

TEST_F(ParseRecord, BodyCheckFailsOnItsOwn) {
    Bytes wrongBody = plain;
    wrongBody[9] ^= 0x01;  // chain sealed over it, so only the body check fails
    EXPECT_EQ(parse(hexText(seal(wrongBody, vKey, verify)), vKey), 0);
    EXPECT_TRUE(out.untouched());
}

TEST_F(ParseRecord, ArrivalTimeThatIsNoDateIsReturnedAsItStands) {
    Bytes odd = plain;
    odd.at(16) = odd.at(17) = odd.at(18) = odd.at(19) = odd.at(20) = odd.at(21) = 0xFF;
    odd = withBodyCheck(odd, verify);
    EXPECT_EQ(parse(hexText(seal(odd, vKey, verify)), vKey), -1);
    EXPECT_EQ(std::string(out.text).substr(32, 12), "FFFFFFFFFFFF");
}

TEST_F(ParseRecord, ChecksUseClockLinksVerifyKey) {
    CLT_SetVerifyKey(hex("02 46 8A CE 13 57 9B DF").data());
    EXPECT_EQ(parse(hexText(record), vKey), 0);
    CLT_SetVerifyKey(kTestVerifyKey.data());
    EXPECT_EQ(parse(hexText(record), vKey), -1);
}

TEST_F(ParseRecord, MissingDigitsReadAsZero) {
    // A record whose check value ends in 00 still proves with that byte left off.
    Bytes p = plain;
    Bytes sealed;
    for (int n = 0; n < 65536; ++n) {
        p[26] = std::uint8_t(n);
        p[27] = std::uint8_t(n >> 8);
        sealed = seal(p, vKey, verify);
        if (sealed[47] == 0x00) break;
    }
    ASSERT_EQ(sealed[47], 0x00);
    const std::string text = hexText(sealed).substr(0, 94);
    EXPECT_EQ(parse(text, vKey), -1);
    EXPECT_EQ(std::string(out.text), hexText(Bytes(p.begin(), p.begin() + 40)));

    out = Outputs();
    EXPECT_EQ(parse("", vKey), 0);
    EXPECT_EQ(parse(hexText(record).substr(0, 80), vKey), 0);
    EXPECT_TRUE(out.untouched());
}

TEST_F(ParseRecord, NullPointerWritesNothing) {
    const std::string text = hexText(record);
    EXPECT_EQ(SK_ParseRecordInfo(nullptr, text.c_str(), out.text), 0);
    EXPECT_EQ(SK_ParseRecordInfo(vKey.data(), nullptr, out.text), 0);
    EXPECT_EQ(SK_ParseRecordInfo(vKey.data(), text.c_str(), nullptr), 0);
    EXPECT_TRUE(out.untouched());
}

// ---- Masked records ------------------------------------------------------------------

TEST(ParseRecordMasked, MasksLifted) {
    // Record mask 71 E8 2C 95 BA 43 0D F6.
    const struct {
        const char* name;
        const char* text;
        const char* plain;
    } rows[] = {
        {"ZeroDigitsGiveTheMask", "000000000000000000000000000000000000000000000000",
         "71E82C95BA430DF671E82C95BA430DF671E82C95BA430DF6"},
        {"KeyFieldEqualToTheMaskLeavesTheBody",
         "00112233445566778899AABBCCDDEEFF71E82C95BA430DF6",
         "00112233445566778899AABBCCDDEEFF0000000000000000"},
        {"BothHalvesUnmasked", "00112233445566778899AABBCCDDEEFF0123456789ABCDEF",
         "70DA4BC177BDA66EF852C349FF352EE670CB69F233E8C019"},
        {"LowerCaseSeparatorsAndExtraDigits",
         "0011-2233-4455-6677 8899aabbccddeeff 0123456789abcdef 99",
         "70DA4BC177BDA66EF852C349FF352EE670CB69F233E8C019"},
        {"EmptyTextReadsZeros", "", "71E82C95BA430DF671E82C95BA430DF671E82C95BA430DF6"},
    };
    for (const auto& row : rows) {
        for (const auto fn : {SK_ParseRecordInfo2, SK_ParseRecordInfo3}) {
            for (const SK_ULONG first : {SK_ULONG(0), SK_ULONG(0xDEADBEEF)}) {
                Outputs out;
                EXPECT_EQ(fn(first, row.text, out.text), -1) << row.name;
                EXPECT_STREQ(out.text, row.plain) << row.name;
            }
        }
    }
}

TEST(ParseRecordMasked, NullPointerWritesNothing) {
    Outputs out;
    EXPECT_EQ(SK_ParseRecordInfo2(0, nullptr, out.text), 0);
    EXPECT_EQ(SK_ParseRecordInfo3(0, nullptr, out.text), 0);
    EXPECT_EQ(SK_ParseRecordInfo2(0, "00", nullptr), 0);
    EXPECT_EQ(SK_ParseRecordInfo3(0, "00", nullptr), 0);
    EXPECT_TRUE(out.untouched());
}

}  // namespace
