// Stored arrival records made the way a clock makes them, for the unit
// suites, the records tool's tests and benchmark and the fuzz target: the
// body check value set into plain bytes 8..11, the five blocks encrypted
// under the record key, and the chain check value over the plain bytes
// appended, under a verification key (by default the one ClockLink holds).
//   0 body 6 | 6 . 2 | 8 check 4 | 12 body 4 | 16 time 6 | 22 lead 4 | 26 further 14
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "frame/clocklink.h"
#include "hex_text.h"
#include "security/constants.h"
#include "security/des.h"

namespace test {

// Sets plain bytes 8..11 to the body check value of the others.
inline void setBodyCheck(std::uint8_t p[40], const CDesKey& verify = s_verifykey) {
    std::uint8_t v[8] = {p[0], p[1], p[2], p[3], p[4], p[5],
                         std::uint8_t(p[12] ^ p[22]), std::uint8_t(p[13] ^ p[23])};
    skylark::desEncrypt(v, v, verify);
    v[0] ^= std::uint8_t(p[14] ^ p[24]);
    v[1] ^= std::uint8_t(p[15] ^ p[25]);
    for (int i = 0; i < 6; ++i) v[2 + i] ^= p[16 + i];
    skylark::desEncrypt(v, v, verify);
    std::memcpy(p + 8, v, 4);
}

// The stored 48 bytes of plain record p under vKey: each block encrypted
// under the record key, followed by the decryption chain over the plain
// blocks, the first carrying vKey shifted left by one bit. A suite that
// writes the record key out itself passes it.
inline void seal(const std::uint8_t p[40], const std::uint8_t vKey[8], std::uint8_t record[48],
                 const CDesKey& verify = s_verifykey,
                 const std::uint8_t (&recordKeyBytes)[8] = skylark::kRecordKey) {
    std::uint8_t chain[8];
    for (int i = 0; i < 8; ++i) chain[i] = std::uint8_t(p[i] ^ std::uint8_t(vKey[i] << 1));
    skylark::desDecrypt(chain, chain, verify);
    for (int at = 8; at < 40; at += 8) {
        for (int i = 0; i < 8; ++i) chain[i] ^= p[at + i];
        skylark::desDecrypt(chain, chain, verify);
    }
    const CDesKey recordKey(recordKeyBytes);
    for (int at = 0; at < 40; at += 8) skylark::desEncrypt(p + at, record + at, recordKey);
    std::memcpy(record + 40, chain, 8);
}

// Plain record n: varied body, lead and further bytes, an arrival time on
// 14 March 2010 at n seconds past midnight (modulo a day), and its body
// check value.
inline void plainRecord(std::uint32_t n, std::uint8_t p[40]) {
    std::uint32_t x = n * 2654435761u + 12345u;
    for (int i = 0; i < 40; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        p[i] = static_cast<std::uint8_t>(x);
    }
    const auto bcd = [](unsigned v) { return static_cast<std::uint8_t>((v / 10) << 4 | (v % 10)); };
    const std::uint8_t time[6] = {0x10, 0x03, 0x14, bcd(n / 3600 % 24), bcd(n / 60 % 60), bcd(n % 60)};
    std::memcpy(p + 16, time, 6);
    setBodyCheck(p);
}

// The key of record n.
inline void recordKeyOf(std::uint32_t n, std::uint8_t vKey[8]) {
    for (int i = 0; i < 8; ++i) vKey[i] = static_cast<std::uint8_t>(n * 31u + i * 77u);
}

// "KEY,RECORD" of record n, valid.
inline std::string recordLine(std::uint32_t n) {
    std::uint8_t p[40], key[8], rec[48];
    plainRecord(n, p);
    recordKeyOf(n, key);
    seal(p, key, rec);
    return hexText(key, 8) + "," + hexText(rec, 48);
}

}  // namespace test
