// Arrival records as the clock hands them out: the download replies with
// their code over the host's challenge, the stored 48-byte record and the
// 24-byte masked record.
#include <cstring>

#include "security/constants.h"
#include "security/des.h"
#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

RecordFields arrivalRecord(const ClockState& s, const Key& raceKey, std::size_t arrivalNo,
                           const Arrival& a) {
    RecordFields r{};
    // lead: serial number, big-endian
    for (int i = 0; i < 4; ++i) r.lead[i] = static_cast<std::uint8_t>(s.serial >> (24 - 8 * i));
    // body: 0 ring 6 | 6 arrival number 2 | 8 body check 4 | 12 race key[0..3] 4
    std::memcpy(r.body, a.ring.data(), 6);
    r.body[6] = static_cast<std::uint8_t>(arrivalNo >> 8);
    r.body[7] = static_cast<std::uint8_t>(arrivalNo);
    std::memcpy(r.body + 12, raceKey.data(), 4);
    toBcd(a.time, r.time);
    // Body check: two encryptions over body[0..5], body[12..15]^lead, time;
    // its first four bytes are the body check value.
    std::uint8_t v[8];
    std::memcpy(v, r.body, 6);
    v[6] = r.body[12] ^ r.lead[0];
    v[7] = r.body[13] ^ r.lead[1];
    verifyEncrypt(v);
    v[0] ^= r.body[14] ^ r.lead[2];
    v[1] ^= r.body[15] ^ r.lead[3];
    for (int i = 0; i < 6; ++i) v[2 + i] ^= r.time[i];
    verifyEncrypt(v);
    std::memcpy(r.body + 8, v, 4);
    return r;
}

namespace {

// CBC-MAC under the verification key, zero initial block, over msg
// (a whole number of blocks) whose first block is XORed with the doubled
// challenge.
void challengeMac(std::uint8_t* msg, std::size_t blocks, const std::uint8_t c[4],
                  std::uint8_t code[8]) {
    std::uint8_t v[8] = {};
    for (std::size_t b = 0; b < blocks; ++b) {
        for (int i = 0; i < 8; ++i) v[i] ^= msg[8 * b + i] ^ (b == 0 ? c[i % 4] : 0);
        verifyEncrypt(v);
    }
    std::memcpy(code, v, 8);
}

}  // namespace

void putDownload(Exchange& x, const RecordFields& r, const std::uint8_t challenge[4]) {
    // 0 lead 4 | 4 body 16 | 20 time 6 | 26 code 8
    std::uint8_t msg[32];
    std::memcpy(msg, r.lead, 4);
    std::memcpy(msg + 4, r.body, 16);
    std::memcpy(msg + 20, r.time, 6);
    std::memset(msg + 26, 0x26, 6);
    std::uint8_t code[8];
    challengeMac(msg, 4, challenge, code);
    x.putBytes(msg, 26);
    x.putBytes(code, 8);
}

void putSingleDownload(Exchange& x, const RecordFields& r, const std::uint8_t challenge[4]) {
    // 0 body 16 | 16 time 6 | 22 code 8
    std::uint8_t msg[24];
    std::memcpy(msg, r.body, 16);
    std::memcpy(msg + 16, r.time, 6);
    msg[22] = msg[23] = 0x26;
    std::uint8_t code[8];
    challengeMac(msg, 3, challenge, code);
    x.putBytes(msg, 22);
    x.putBytes(code, 8);
}

void storedRecord(const RecordFields& r, const Key& raceKey, std::size_t arrivalNo,
                  const std::uint8_t vKey[8], std::uint8_t out[48]) {
    // plain: 0 body 16 | 16 time 6 | 22 lead 4 | 26 race key 8 | 34 arrival number 2 | 36 zeros 4
    std::uint8_t plain[40] = {};
    std::memcpy(plain, r.body, 16);
    std::memcpy(plain + 16, r.time, 6);
    std::memcpy(plain + 22, r.lead, 4);
    std::memcpy(plain + 26, raceKey.data(), 8);
    plain[34] = static_cast<std::uint8_t>(arrivalNo >> 8);
    plain[35] = static_cast<std::uint8_t>(arrivalNo);
    // Check value: CBC chain with decryption under the verification key; the
    // first block carries vKey shifted left by one bit.
    std::uint8_t v[8];
    for (int i = 0; i < 8; ++i) v[i] = plain[i] ^ static_cast<std::uint8_t>(vKey[i] << 1);
    verifyDecrypt(v);
    for (int b = 1; b < 5; ++b) {
        for (int i = 0; i < 8; ++i) v[i] ^= plain[8 * b + i];
        verifyDecrypt(v);
    }
    for (int b = 0; b < 5; ++b) clockKeys().record.encrypt(plain + 8 * b, out + 8 * b);
    std::memcpy(out + 40, v, 8);
}

void maskedRecord(const RecordFields& r, const Key& raceKey, std::uint8_t out[24]) {
    // 0 body[0..7]^key 8 | 8 body[8..15]^key 8 | 16 key^record mask 8
    for (int i = 0; i < 8; ++i) {
        out[i] = r.body[i] ^ raceKey[i];
        out[8 + i] = r.body[8 + i] ^ raceKey[i];
        out[16 + i] = raceKey[i] ^ skylark::kRecordMask[i];
    }
}

}  // namespace standins::vclock
