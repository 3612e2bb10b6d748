// The M clock's ring registry: count the entries, find a ring's index, read
// the entry at an index, append, modify and remove entries.
#pragma once

#include <cstddef>
#include <cstdint>

#include "skylark/skylark_types.h"

namespace skylark {

// One registry entry as the clock returns it (31 bytes, numbers big-endian):
//   0 ringNo 6 | 6 tail 2 | 8 byte 1 | 9 word1 2 | 11 word2 2 | 13 word3 2 | 15 long 4 | 19 data 12
// The append block carries the same layout after its selector byte; the
// modify block carries its first 19 bytes.
struct CardRecord {
    static constexpr std::size_t kSize = 31;
    static constexpr std::size_t kRingNoBytes = 6;
    static constexpr std::size_t kDataBytes = 12;

    std::uint8_t ringNo[kRingNoBytes];
    std::uint8_t byteField;
    std::uint32_t wordField1;
    std::uint32_t wordField2;
    std::uint32_t wordField3;
    std::uint32_t longField;
    std::uint8_t dataField[kDataBytes];

    static CardRecord decode(const std::uint8_t* reply);
};

// The host's values of an entry's number fields, for append and modify.
// Only the low 8 bits of byteField and 16 bits of each word field are sent.
struct CardValues {
    SK_ULONG byteField;
    SK_ULONG wordField1;
    SK_ULONG wordField2;
    SK_ULONG wordField3;
    SK_ULONG longField;
};

BOOL16 getCardCount(SK_ULONG handle, SK_ULONG* count);
BOOL16 getCardIndex(SK_ULONG handle, const char* ringText, SK_ULONG* index);
BOOL16 getCardInfo(SK_ULONG handle, SK_ULONG index, char* ringText, std::uint8_t* byteField,
                   SK_ULONG* wordField1, SK_ULONG* wordField2, SK_ULONG* wordField3,
                   SK_ULONG* longField, char* dataText);
BOOL16 appendCard(SK_ULONG handle, const char* ringText, const CardValues& values,
                  const char* dataText);
BOOL16 modifyCard(SK_ULONG handle, const char* ringText, const CardValues& values);
BOOL16 removeCard(SK_ULONG handle, const char* ringText);

}  // namespace skylark
