#include "record/record.h"

#include "frame/clocklink.h"
#include "frame/codec.h"
#include "security/constant_time.h"
#include "security/constants.h"
#include "security/des.h"

namespace skylark {

namespace {

constexpr std::size_t kBlock = 8;
constexpr std::size_t kCheckAt = kRecordPlainSize;  // check value, after the five blocks

// Chain check: a CBC-MAC with DES decryption as the block function over the
// 40 plain bytes, the first block also carrying vKey shifted left by one
// bit; it must equal the check value that follows them.
bool chainHolds(const std::uint8_t* rec, const std::uint8_t vKey[8], const DesSchedule& verifyKey) {
    std::uint8_t code[kBlock];
    for (std::size_t i = 0; i < kBlock; ++i)
        code[i] = static_cast<std::uint8_t>(rec[i] ^ static_cast<std::uint8_t>(vKey[i] << 1));
    verifyKey.decrypt(code, code);
    for (std::size_t at = kBlock; at < kRecordPlainSize; at += kBlock) {
        for (std::size_t i = 0; i < kBlock; ++i) code[i] ^= rec[at + i];
        verifyKey.decrypt(code, code);
    }
    return equalConstantTime(code, rec + kCheckAt, kBlock);
}

// Body check over the plain bytes:
//   0 body 6 | 6 . 2 | 8 check 4 | 12 body 4 | 16 time 6 | 22 lead 4
// block 1 = body[0..5], R12^R22, R13^R23; encrypted; then XORed with
// R14^R24, R15^R25, time[0..5]; encrypted; its first four bytes = R[8..11].
bool bodyHolds(const std::uint8_t* rec, const DesSchedule& verifyKey) {
    std::uint8_t code[kBlock] = {rec[0], rec[1], rec[2], rec[3], rec[4], rec[5],
                                 static_cast<std::uint8_t>(rec[12] ^ rec[22]),
                                 static_cast<std::uint8_t>(rec[13] ^ rec[23])};
    verifyKey.encrypt(code, code);
    code[0] ^= static_cast<std::uint8_t>(rec[14] ^ rec[24]);
    code[1] ^= static_cast<std::uint8_t>(rec[15] ^ rec[25]);
    for (std::size_t i = 0; i < 6; ++i) code[2 + i] ^= rec[16 + i];
    verifyKey.encrypt(code, code);
    return equalConstantTime(code, rec + 8, 4);
}

}  // namespace

const DesSchedule& recordKey() {
    // Built once: the record key never changes.
    static const DesSchedule key = DesSchedule::from(CDesKey(kRecordKey));
    return key;
}

bool parseRecord(const std::uint8_t vKey[8], const char* recordText, const CDesKey& verifyKey,
                 char* outText) {
    return checkRecord(vKey, recordText, verifyKey, outText) == RecordCheck::passed;
}

DesSchedule verificationSchedule() { return DesSchedule::from(s_verifykey); }

RecordCheck checkRecordBytes(const std::uint8_t vKey[8], std::uint8_t rec[kRecordSize],
                             const DesSchedule& verify) {
    const DesSchedule& key = recordKey();
    for (std::size_t at = 0; at < kRecordPlainSize; at += kBlock) key.decrypt(rec + at, rec + at);
    if (!chainHolds(rec, vKey, verify)) return RecordCheck::chainFailed;
    if (!bodyHolds(rec, verify)) return RecordCheck::bodyFailed;
    return RecordCheck::passed;
}

RecordCheck checkRecord(const std::uint8_t vKey[8], const char* recordText, const CDesKey& verifyKey,
                        char* outText) {
    // Cleared first: a short text leaves zeros, which then fail the checks.
    std::uint8_t rec[kRecordSize] = {};
    hexToBin(recordText, rec, kRecordSize);
    // The verification key's schedule is read once for the seven blocks.
    const RecordCheck result = checkRecordBytes(vKey, rec, DesSchedule::from(verifyKey));
    if (result == RecordCheck::passed) binToHex(rec, kRecordPlainSize, outText);
    return result;
}

BOOL16 parseRecordInfo(const std::uint8_t* vKey, const char* recordText, char* outText) {
    if (vKey == nullptr || recordText == nullptr || outText == nullptr) return 0;
    return parseRecord(vKey, recordText, s_verifykey, outText) ? BOOL16(-1) : BOOL16(0);
}

BOOL16 unmaskRecordInfo(const char* recordText, char* outText) {
    if (recordText == nullptr || outText == nullptr) return 0;
    // 0 body 8 | 8 body 8 | 16 key field 8; both halves masked with the key field
    std::uint8_t rec[kMaskedRecordSize] = {};
    hexToBin(recordText, rec, kMaskedRecordSize);
    std::uint8_t* keyField = rec + 16;
    for (std::size_t i = 0; i < 8; ++i) {
        keyField[i] ^= kRecordMask[i];
        rec[i] ^= keyField[i];
        rec[8 + i] ^= keyField[i];
    }
    binToHex(rec, kMaskedRecordSize, outText);
    return -1;
}

}  // namespace skylark
