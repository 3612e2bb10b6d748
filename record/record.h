// Stored arrival records: the 48-byte encrypted record, decrypted and proven
// by two DES checks, and the 24-byte masked record, unmasked. No device is
// involved; the encrypted record's checks use ClockLink's verification key.
#pragma once

#include <cstddef>
#include <cstdint>

#include "security/des.h"
#include "skylark/skylark_types.h"

namespace skylark {

inline constexpr std::size_t kRecordSize = 48;        // encrypted record, check value included
inline constexpr std::size_t kRecordPlainSize = 40;   // its plain bytes, returned
inline constexpr std::size_t kMaskedRecordSize = 24;  // masked record

// The record key's DES schedule, packed for the rounds; built once.
const DesSchedule& recordKey();

// Which check a stored record passed or failed: the chain check runs first,
// the body check only after it has passed.
enum class RecordCheck { passed, chainFailed, bodyFailed };

// ClockLink's verification key (s_verifykey) packed for checkRecordBytes.
DesSchedule verificationSchedule();

// The checks on a record's 48 bytes: decrypts bytes 0..39 in place under the
// record key and proves them with the chain check (seeded with vKey) and
// the body check under verify, ClockLink's verification key packed once.
RecordCheck checkRecordBytes(const std::uint8_t vKey[8], std::uint8_t rec[kRecordSize],
                             const DesSchedule& verify);

// parseRecord, saying which check failed.
RecordCheck checkRecord(const std::uint8_t vKey[8], const char* recordText, const CDesKey& verifyKey,
                        char* outText);

// Decrypts the record in recordText (hex) under the record key and proves it
// with the chain check (seeded with vKey, under verifyKey) and the body
// check. On success writes the 40 plain bytes as 80 hex digits and a NUL into
// outText and returns true; otherwise leaves outText untouched.
bool parseRecord(const std::uint8_t vKey[8], const char* recordText, const CDesKey& verifyKey,
                 char* outText);

// SK_ParseRecordInfo: parseRecord under ClockLink's verification key; -1 or 0.
BOOL16 parseRecordInfo(const std::uint8_t* vKey, const char* recordText, char* outText);

// SK_ParseRecordInfo2 and 3: lifts the record mask and the key field from a
// masked record and writes the 24 plain bytes as 48 hex digits and a NUL.
BOOL16 unmaskRecordInfo(const char* recordText, char* outText);

}  // namespace skylark
