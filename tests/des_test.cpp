// DES block cipher and CDesKey: published known answers, the binding
// 768-byte subkey layout, and agreement with a plain reference implementation
// that knows nothing but that layout.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

#include "security/des.h"

namespace {

using Block = std::array<std::uint8_t, 8>;

// "0123456789ABCDEF" -> 8 bytes.
Block Hex8(const char* hex) {
    auto nibble = [](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9') return std::uint8_t(c - '0');
        if (c >= 'A' && c <= 'F') return std::uint8_t(c - 'A' + 10);
        return std::uint8_t(c - 'a' + 10);
    };
    Block b{};
    for (std::size_t i = 0; i < 8; ++i)
        b[i] = std::uint8_t((nibble(hex[2 * i]) << 4) | nibble(hex[2 * i + 1]));
    return b;
}

// ---------------------------------------------------------------------------
// Reference DES, written straight from the standard's tables: one bit per
// byte, textbook rounds. Its only contact with the library is the 768-byte
// layout: subkey r at byte 48*(r-1), byte j = bit j+1 of K_r, 0 or 1.

namespace ref {

const int kIp[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                     62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                     57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                     61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
const int kFp[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                     38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                     36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                     34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};
const int kE[48] = {32, 1,  2,  3,  4,  5,  4,  5,  6,  7,  8,  9,  8,  9,  10, 11,
                    12, 13, 12, 13, 14, 15, 16, 17, 16, 17, 18, 19, 20, 21, 20, 21,
                    22, 23, 24, 25, 24, 25, 26, 27, 28, 29, 28, 29, 30, 31, 32, 1};
const int kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                    2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
const int kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                      10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                      63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                      14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
const int kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                      26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                      51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
const int kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
const int kS[8][4][16] = {
    {{14, 4, 13, 1, 2, 15, 11, 8, 3, 10, 6, 12, 5, 9, 0, 7},
     {0, 15, 7, 4, 14, 2, 13, 1, 10, 6, 12, 11, 9, 5, 3, 8},
     {4, 1, 14, 8, 13, 6, 2, 11, 15, 12, 9, 7, 3, 10, 5, 0},
     {15, 12, 8, 2, 4, 9, 1, 7, 5, 11, 3, 14, 10, 0, 6, 13}},
    {{15, 1, 8, 14, 6, 11, 3, 4, 9, 7, 2, 13, 12, 0, 5, 10},
     {3, 13, 4, 7, 15, 2, 8, 14, 12, 0, 1, 10, 6, 9, 11, 5},
     {0, 14, 7, 11, 10, 4, 13, 1, 5, 8, 12, 6, 9, 3, 2, 15},
     {13, 8, 10, 1, 3, 15, 4, 2, 11, 6, 7, 12, 0, 5, 14, 9}},
    {{10, 0, 9, 14, 6, 3, 15, 5, 1, 13, 12, 7, 11, 4, 2, 8},
     {13, 7, 0, 9, 3, 4, 6, 10, 2, 8, 5, 14, 12, 11, 15, 1},
     {13, 6, 4, 9, 8, 15, 3, 0, 11, 1, 2, 12, 5, 10, 14, 7},
     {1, 10, 13, 0, 6, 9, 8, 7, 4, 15, 14, 3, 11, 5, 2, 12}},
    {{7, 13, 14, 3, 0, 6, 9, 10, 1, 2, 8, 5, 11, 12, 4, 15},
     {13, 8, 11, 5, 6, 15, 0, 3, 4, 7, 2, 12, 1, 10, 14, 9},
     {10, 6, 9, 0, 12, 11, 7, 13, 15, 1, 3, 14, 5, 2, 8, 4},
     {3, 15, 0, 6, 10, 1, 13, 8, 9, 4, 5, 11, 12, 7, 2, 14}},
    {{2, 12, 4, 1, 7, 10, 11, 6, 8, 5, 3, 15, 13, 0, 14, 9},
     {14, 11, 2, 12, 4, 7, 13, 1, 5, 0, 15, 10, 3, 9, 8, 6},
     {4, 2, 1, 11, 10, 13, 7, 8, 15, 9, 12, 5, 6, 3, 0, 14},
     {11, 8, 12, 7, 1, 14, 2, 13, 6, 15, 0, 9, 10, 4, 5, 3}},
    {{12, 1, 10, 15, 9, 2, 6, 8, 0, 13, 3, 4, 14, 7, 5, 11},
     {10, 15, 4, 2, 7, 12, 9, 5, 6, 1, 13, 14, 0, 11, 3, 8},
     {9, 14, 15, 5, 2, 8, 12, 3, 7, 0, 4, 10, 1, 13, 11, 6},
     {4, 3, 2, 12, 9, 5, 15, 10, 11, 14, 1, 7, 6, 0, 8, 13}},
    {{4, 11, 2, 14, 15, 0, 8, 13, 3, 12, 9, 7, 5, 10, 6, 1},
     {13, 0, 11, 7, 4, 9, 1, 10, 14, 3, 5, 12, 2, 15, 8, 6},
     {1, 4, 11, 13, 12, 3, 7, 14, 10, 15, 6, 8, 0, 5, 9, 2},
     {6, 11, 13, 8, 1, 4, 10, 7, 9, 5, 0, 15, 14, 2, 3, 12}},
    {{13, 2, 8, 4, 6, 15, 11, 1, 10, 9, 3, 14, 5, 0, 12, 7},
     {1, 15, 13, 8, 10, 3, 7, 4, 12, 5, 6, 11, 0, 14, 9, 2},
     {7, 11, 4, 1, 9, 12, 14, 2, 0, 6, 10, 13, 15, 3, 5, 8},
     {2, 1, 14, 7, 4, 10, 8, 13, 15, 12, 9, 0, 3, 5, 6, 11}}};

using Layout = std::array<std::uint8_t, 768>;

void ToBits(const std::uint8_t bytes[8], std::uint8_t bits[64]) {
    for (int i = 0; i < 64; ++i) bits[i] = (bytes[i / 8] >> (7 - i % 8)) & 1;
}

Layout Schedule(const Block& key) {
    std::uint8_t bits[64];
    ToBits(key.data(), bits);
    std::uint8_t cd[56];
    for (int i = 0; i < 56; ++i) cd[i] = bits[kPc1[i] - 1];
    Layout layout{};
    for (int r = 0; r < 16; ++r) {
        for (int s = 0; s < kShifts[r]; ++s) {
            const std::uint8_t c0 = cd[0];
            const std::uint8_t d0 = cd[28];
            for (int i = 0; i < 27; ++i) {
                cd[i] = cd[i + 1];
                cd[28 + i] = cd[29 + i];
            }
            cd[27] = c0;
            cd[55] = d0;
        }
        for (int j = 0; j < 48; ++j) layout[48 * r + j] = cd[kPc2[j] - 1];
    }
    return layout;
}

Block Crypt(const std::uint8_t* layout, const Block& in, bool encrypt) {
    std::uint8_t bits[64];
    ToBits(in.data(), bits);
    std::uint8_t l[32];
    std::uint8_t r[32];
    for (int i = 0; i < 32; ++i) {
        l[i] = bits[kIp[i] - 1];
        r[i] = bits[kIp[32 + i] - 1];
    }
    for (int round = 0; round < 16; ++round) {
        const std::uint8_t* k = layout + 48 * (encrypt ? round : 15 - round);
        std::uint8_t x[48];
        for (int j = 0; j < 48; ++j) x[j] = r[kE[j] - 1] ^ (k[j] & 1);
        std::uint8_t s[32];
        for (int n = 0; n < 8; ++n) {
            const std::uint8_t* g = x + 6 * n;
            const int v = kS[n][2 * g[0] + g[5]][8 * g[1] + 4 * g[2] + 2 * g[3] + g[4]];
            for (int b = 0; b < 4; ++b) s[4 * n + b] = (v >> (3 - b)) & 1;
        }
        std::uint8_t f[32];
        for (int i = 0; i < 32; ++i) f[i] = s[kP[i] - 1];
        for (int i = 0; i < 32; ++i) {
            const std::uint8_t newR = l[i] ^ f[i];
            l[i] = r[i];
            r[i] = newR;
        }
    }
    std::uint8_t pre[64];  // R16 || L16
    for (int i = 0; i < 32; ++i) {
        pre[i] = r[i];
        pre[32 + i] = l[i];
    }
    Block out{};
    for (int i = 0; i < 64; ++i) out[i / 8] |= std::uint8_t(pre[kFp[i] - 1] << (7 - i % 8));
    return out;
}

}  // namespace ref

Block Encrypt(const CDesKey& key, const Block& in) {
    Block out{};
    skylark::desEncrypt(in.data(), out.data(), key);
    return out;
}

Block Decrypt(const CDesKey& key, const Block& in) {
    Block out{};
    skylark::desDecrypt(in.data(), out.data(), key);
    return out;
}

Block RandomBlock(std::mt19937& rng) {
    Block b{};
    for (auto& byte : b) byte = std::uint8_t(rng());
    return b;
}

// ---------------------------------------------------------------------------
// Published known-answer vectors, each run both ways, with separate buffers,
// in place, and through a DesSchedule.

struct KnownAnswer {
    const char* name;  // source of the vector
    const char* key;
    const char* plain;
    const char* cipher;
};

const KnownAnswer kKnownAnswers[] = {
    // The step-by-step worked example that circulates with the standard.
    {"WorkedExample", "133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
    {"WorkedExample_ZeroCiphertext", "0E329232EA6D0D73", "8787878787878787", "0000000000000000"},
    // FIPS 81, appendix B, first block of "Now is the time for all ".
    {"Fips81_NowIsT", "0123456789ABCDEF", "4E6F772069732074", "3FA40E8A984D4815"},
    // NBS SP 500-20 validation tests.
    {"Sp500_20_VariablePlaintext_Bit1", "0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
    {"Sp500_20_VariablePlaintext_Bit2", "0101010101010101", "4000000000000000", "DD7F121CA5015619"},
    {"Sp500_20_VariablePlaintext_Bit3", "0101010101010101", "2000000000000000", "2E8653104F3834EA"},
    {"Sp500_20_VariablePlaintext_Bit64", "0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
    {"Sp500_20_VariableKey_Bit1", "8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
    {"Sp500_20_VariableKey_Bit2", "4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
    {"Sp500_20_PermutationOperation", "1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
    {"Sp500_20_SubstitutionTable", "7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
    // OpenSSL destest ECB vectors.
    {"OpenSslDestest_AllZero", "0000000000000000", "0000000000000000", "8CA64DE9C1B123A7"},
    {"OpenSslDestest_AllOne", "FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "7359B2163E4EDC58"},
    {"OpenSslDestest_3000", "3000000000000000", "1000000000000001", "958E6E627A05557B"},
    {"OpenSslDestest_1111", "1111111111111111", "1111111111111111", "F40379AB9E0EC533"},
    {"OpenSslDestest_0123Key", "0123456789ABCDEF", "1111111111111111", "17668DFC7292532D"},
    {"OpenSslDestest_FEDCKey", "FEDCBA9876543210", "0123456789ABCDEF", "ED39D950FA74BCC4"},
};

class DesKnownAnswer : public ::testing::TestWithParam<KnownAnswer> {};

TEST_P(DesKnownAnswer, EncryptsAndDecrypts) {
    const Block key = Hex8(GetParam().key);
    const Block plain = Hex8(GetParam().plain);
    const Block cipher = Hex8(GetParam().cipher);
    const CDesKey desKey(key.data());

    EXPECT_EQ(Encrypt(desKey, plain), cipher);
    EXPECT_EQ(Decrypt(desKey, cipher), plain);

    Block block = plain;
    skylark::desEncrypt(block.data(), block.data(), desKey);
    EXPECT_EQ(block, cipher) << "encrypt in place";
    skylark::desDecrypt(block.data(), block.data(), desKey);
    EXPECT_EQ(block, plain) << "decrypt in place";

    const skylark::DesSchedule schedule = skylark::DesSchedule::from(desKey);
    schedule.encrypt(block.data(), block.data());
    EXPECT_EQ(block, cipher) << "DesSchedule encrypt";
    schedule.decrypt(block.data(), block.data());
    EXPECT_EQ(block, plain) << "DesSchedule decrypt";
}

INSTANTIATE_TEST_SUITE_P(Published, DesKnownAnswer, ::testing::ValuesIn(kKnownAnswers),
                         [](const ::testing::TestParamInfo<KnownAnswer>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// The 768-byte layout.

// Subkeys K1 and K16 of the worked example, as published with it (in the
// order permuted choice 2 emits the bits).
TEST(CDesKeyLayout, HoldsPublishedSubkeysOneBitPerByte) {
    const char* const k1 = "000110110000001011101111111111000111000001110010";
    const char* const k16 = "110010110011110110001011000011100001011111110101";
    const CDesKey key(Hex8("133457799BBCDFF1").data());
    for (int j = 0; j < 48; ++j) {
        EXPECT_EQ(key.subkeys()[j], k1[j] - '0') << "K1 bit " << j + 1;
        EXPECT_EQ(key.subkeys()[48 * 15 + j], k16[j] - '0') << "K16 bit " << j + 1;
    }
}

TEST(CDesKeyLayout, MatchesReferenceScheduleAndHoldsOnlyZeroOrOne) {
    std::mt19937 rng(0x5EED0001);
    for (int n = 0; n < 200; ++n) {
        const Block key = RandomBlock(rng);
        const CDesKey desKey(key.data());
        const ref::Layout expected = ref::Schedule(key);
        ASSERT_EQ(std::memcmp(desKey.subkeys(), expected.data(), CDesKey::kSize), 0)
            << "key #" << n;
        for (std::size_t i = 0; i < CDesKey::kSize; ++i)
            ASSERT_LE(desKey.subkeys()[i], 1) << "key #" << n << " byte " << i;
    }
}

TEST(CDesKeyLayout, ParityBitsDoNotChangeTheSchedule) {
    std::mt19937 rng(0x5EED0002);
    for (int n = 0; n < 200; ++n) {
        const Block key = RandomBlock(rng);
        Block flipped = key;
        const unsigned parityFlips = rng() & 0xFF;  // at least one byte flipped
        for (int i = 0; i < 8; ++i)
            if (((parityFlips | 1u) >> i) & 1) flipped[i] ^= 1;
        const CDesKey a(key.data());
        const CDesKey b(flipped.data());
        ASSERT_EQ(std::memcmp(&a, &b, sizeof(CDesKey)), 0) << "key #" << n;
    }
}

// ---------------------------------------------------------------------------
// Agreement with the reference on random keys and blocks. Keys laid out by
// the reference are placed in a heap object of exactly sizeof(CDesKey), so
// under AddressSanitizer any read outside the 768 bytes is reported.

TEST(DesAgainstReference, BuiltKeysAndForeignLayoutsAgree) {
    std::mt19937 rng(0x5EED0003);
    for (int n = 0; n < 500; ++n) {
        const Block key = RandomBlock(rng);
        const ref::Layout layout = ref::Schedule(key);
        const CDesKey built(key.data());
        auto foreign = std::make_unique<CDesKey>();
        std::memcpy(static_cast<void*>(foreign.get()), layout.data(), CDesKey::kSize);
        const skylark::DesSchedule schedule = skylark::DesSchedule::from(*foreign);

        for (int m = 0; m < 4; ++m) {
            const Block in = RandomBlock(rng);
            const Block enc = ref::Crypt(layout.data(), in, true);
            const Block dec = ref::Crypt(layout.data(), in, false);
            ASSERT_EQ(Encrypt(built, in), enc) << "key #" << n;
            ASSERT_EQ(Decrypt(built, in), dec) << "key #" << n;
            ASSERT_EQ(Encrypt(*foreign, in), enc) << "key #" << n;
            ASSERT_EQ(Decrypt(*foreign, in), dec) << "key #" << n;
            Block viaSchedule{};
            schedule.encrypt(in.data(), viaSchedule.data());
            ASSERT_EQ(viaSchedule, enc) << "key #" << n;
            schedule.decrypt(in.data(), viaSchedule.data());
            ASSERT_EQ(viaSchedule, dec) << "key #" << n;
        }
    }
}

// A subkey byte counts by its least significant bit only: a foreign layout
// with noise in the other seven bits gives the same results.
TEST(DesAgainstReference, ForeignLayoutBytesCountByLowBit) {
    std::mt19937 rng(0x5EED0004);
    for (int n = 0; n < 200; ++n) {
        const Block key = RandomBlock(rng);
        ref::Layout noisy = ref::Schedule(key);
        for (auto& byte : noisy) byte = std::uint8_t(byte | (rng() & 0xFE));
        auto foreign = std::make_unique<CDesKey>();
        std::memcpy(static_cast<void*>(foreign.get()), noisy.data(), CDesKey::kSize);
        const CDesKey built(key.data());
        const skylark::DesSchedule schedule = skylark::DesSchedule::from(*foreign);

        const Block in = RandomBlock(rng);
        ASSERT_EQ(Encrypt(*foreign, in), Encrypt(built, in)) << "key #" << n;
        ASSERT_EQ(Decrypt(*foreign, in), Decrypt(built, in)) << "key #" << n;
        Block viaSchedule{};
        schedule.decrypt(in.data(), viaSchedule.data());
        ASSERT_EQ(viaSchedule, Decrypt(built, in)) << "key #" << n;
    }
}

TEST(DesAgainstReference, InPlaceMatchesSeparateBuffers) {
    std::mt19937 rng(0x5EED0005);
    for (int n = 0; n < 200; ++n) {
        const CDesKey key(RandomBlock(rng).data());
        const Block in = RandomBlock(rng);
        Block block = in;
        skylark::desEncrypt(block.data(), block.data(), key);
        ASSERT_EQ(block, Encrypt(key, in)) << "case #" << n;
        block = in;
        skylark::desDecrypt(block.data(), block.data(), key);
        ASSERT_EQ(block, Decrypt(key, in)) << "case #" << n;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Every block routine this build has, whichever one the public functions
// picked on this processor: the portable one always, the AVX2/BMI2 one where
// the processor has those instructions. Published vectors, then random keys
// laid out by the reference with noise above the low bit of every subkey
// byte (heap object of exactly sizeof(CDesKey), for AddressSanitizer), each
// through both key sources, both directions, in place and not.

struct BlockPathCase {
    const char* name;
    const skylark::detail::DesBlockPath* (*get)();
};

void PrintTo(const BlockPathCase& c, std::ostream* os) { *os << c.name; }

const skylark::detail::DesBlockPath* PortablePath() { return &skylark::detail::desPortablePath(); }

const BlockPathCase kBlockPaths[] = {
    {"Portable", PortablePath},
    {"Avx2Bmi2", skylark::detail::desFastPath},
};

class DesBlockPath : public ::testing::TestWithParam<BlockPathCase> {
protected:
    void SetUp() override {
        path_ = GetParam().get();
        if (path_ == nullptr) GTEST_SKIP() << "not built for, or not run by, this processor";
    }
    const skylark::detail::DesBlockPath* path_ = nullptr;
};

TEST_P(DesBlockPath, KnownAnswers) {
    for (const KnownAnswer& v : kKnownAnswers) {
        const Block plain = Hex8(v.plain);
        const Block cipher = Hex8(v.cipher);
        const CDesKey key(Hex8(v.key).data());
        Block out{};
        path_->encrypt(plain.data(), out.data(), key);
        EXPECT_EQ(out, cipher) << v.name << " encrypt";
        path_->decrypt(cipher.data(), out.data(), key);
        EXPECT_EQ(out, plain) << v.name << " decrypt";

        skylark::DesSchedule schedule{};
        path_->pack(key, schedule);
        Block block = plain;
        path_->scheduleEncrypt(schedule, block.data(), block.data());
        EXPECT_EQ(block, cipher) << v.name << " DesSchedule encrypt in place";
        path_->scheduleDecrypt(schedule, block.data(), block.data());
        EXPECT_EQ(block, plain) << v.name << " DesSchedule decrypt in place";
    }
}

TEST_P(DesBlockPath, RandomKeysAndBlocksAgreeWithReference) {
    std::mt19937 rng(0x5EED0006);
    for (int n = 0; n < 3000; ++n) {
        ref::Layout noisy = ref::Schedule(RandomBlock(rng));
        for (auto& byte : noisy) byte = std::uint8_t(byte | (rng() & 0xFE));
        auto key = std::make_unique<CDesKey>();
        std::memcpy(static_cast<void*>(key.get()), noisy.data(), CDesKey::kSize);
        const Block in = RandomBlock(rng);
        const Block enc = ref::Crypt(noisy.data(), in, true);
        const Block dec = ref::Crypt(noisy.data(), in, false);

        Block block = in;
        path_->encrypt(block.data(), block.data(), *key);
        ASSERT_EQ(block, enc) << "encrypt, case #" << n;
        block = in;
        path_->decrypt(block.data(), block.data(), *key);
        ASSERT_EQ(block, dec) << "decrypt, case #" << n;

        skylark::DesSchedule schedule{};
        path_->pack(*key, schedule);
        path_->scheduleEncrypt(schedule, in.data(), block.data());
        ASSERT_EQ(block, enc) << "DesSchedule encrypt, case #" << n;
        path_->scheduleDecrypt(schedule, in.data(), block.data());
        ASSERT_EQ(block, dec) << "DesSchedule decrypt, case #" << n;
    }
}

INSTANTIATE_TEST_SUITE_P(Compiled, DesBlockPath, ::testing::ValuesIn(kBlockPaths),
                         [](const ::testing::TestParamInfo<BlockPathCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(DesBlockPathChoice, PublicFunctionsUseOneOfTheCompiledPaths) {
    const skylark::detail::DesBlockPath* chosen = &skylark::detail::desChosenPath();
    EXPECT_TRUE(chosen == &skylark::detail::desPortablePath() ||
                chosen == skylark::detail::desFastPath());
}
