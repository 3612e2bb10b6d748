// DES against OpenSSL's DES_ecb_encrypt on thousands of random keys and
// blocks (fixed seed), both directions, through CDesKey and DesSchedule.
// Native builds only: links libcrypto.

// The DES_* interface is deprecated in OpenSSL 3; it is the comparison we want.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/des.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <random>

#include "security/des.h"

namespace {

using Block = std::array<std::uint8_t, 8>;

Block RandomBlock(std::mt19937& rng) {
    Block b{};
    for (auto& byte : b) byte = std::uint8_t(rng());
    return b;
}

Block OpenSslEcb(const Block& key, const Block& in, int direction) {
    DES_cblock keyBlock;
    std::memcpy(keyBlock, key.data(), 8);
    DES_key_schedule schedule;
    DES_set_key_unchecked(&keyBlock, &schedule);  // parity is not checked
    DES_cblock inBlock;
    DES_cblock outBlock;
    std::memcpy(inBlock, in.data(), 8);
    DES_ecb_encrypt(&inBlock, &outBlock, &schedule, direction);
    Block out{};
    std::memcpy(out.data(), outBlock, 8);
    return out;
}

TEST(DesAgainstOpenSsl, RandomKeysAndBlocksBothDirections) {
    std::mt19937 rng(0xDE5C0DE5);
    for (int n = 0; n < 4000; ++n) {
        const Block key = RandomBlock(rng);
        const Block in = RandomBlock(rng);
        const CDesKey desKey(key.data());
        const skylark::DesSchedule schedule = skylark::DesSchedule::from(desKey);
        const Block expectedEnc = OpenSslEcb(key, in, DES_ENCRYPT);
        const Block expectedDec = OpenSslEcb(key, in, DES_DECRYPT);

        Block out{};
        skylark::desEncrypt(in.data(), out.data(), desKey);
        ASSERT_EQ(out, expectedEnc) << "encrypt, case #" << n;
        skylark::desDecrypt(in.data(), out.data(), desKey);
        ASSERT_EQ(out, expectedDec) << "decrypt, case #" << n;
        schedule.encrypt(in.data(), out.data());
        ASSERT_EQ(out, expectedEnc) << "DesSchedule encrypt, case #" << n;
        schedule.decrypt(in.data(), out.data());
        ASSERT_EQ(out, expectedDec) << "DesSchedule decrypt, case #" << n;
    }
}

}  // namespace
