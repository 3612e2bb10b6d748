#include "clock/ring_registry.h"

#include "clock/identifiers.h"
#include "frame/frame.h"

namespace skylark {

static_assert(CardRecord::kSize == cmd::GetCardInfo.replyLen);
static_assert(CardRecord::kRingNoBytes == kRingBytes);

namespace {

// The selector byte of c, then the first 19 bytes of a CardRecord:
//   0 selector | 1 ring field 8 | 9 byte | 10 word1 2 | 12 word2 2 | 14 word3 2 | 16 long 4
Params cardHead(const Command& c, const char* ringText, const CardValues& v) {
    Params p = paramsFor(c);
    ringField(p, ringText)
        .u8(v.byteField)
        .be16(v.wordField1)
        .be16(v.wordField2)
        .be16(v.wordField3)
        .be32(v.longField);
    return p;
}

}  // namespace

CardRecord CardRecord::decode(const std::uint8_t* reply) {
    CardRecord r;
    ReplyReader in(reply);
    std::memcpy(r.ringNo, in.here(), kRingNoBytes);
    in.skip(kRingNoBytes);
    in.skip(2);  // ring field tail
    r.byteField = in.u8();
    r.wordField1 = in.be16();
    r.wordField2 = in.be16();
    r.wordField3 = in.be16();
    r.longField = in.be32();
    std::memcpy(r.dataField, in.here(), kDataBytes);
    return r;
}

BOOL16 getCardCount(SK_ULONG handle, SK_ULONG* count) {
    if (count == nullptr) return 0;
    Params p = paramsFor(cmd::GetCardCount);
    return runReadNumber<16>(handle, cmd::GetCardCount, p, count);
}

BOOL16 getCardIndex(SK_ULONG handle, const char* ringText, SK_ULONG* index) {
    if (ringText == nullptr || index == nullptr) return 0;
    // 0 selector | 1 ring field 8
    Params p = paramsFor(cmd::GetCardIndex);
    ringField(p, ringText);
    return runReadNumber<16>(handle, cmd::GetCardIndex, p, index);
}

BOOL16 getCardInfo(SK_ULONG handle, SK_ULONG index, char* ringText, std::uint8_t* byteField,
                   SK_ULONG* wordField1, SK_ULONG* wordField2, SK_ULONG* wordField3,
                   SK_ULONG* longField, char* dataText) {
    if (ringText == nullptr || byteField == nullptr || wordField1 == nullptr ||
        wordField2 == nullptr || wordField3 == nullptr || longField == nullptr ||
        dataText == nullptr)
        return 0;
    // 0 selector | 1 index 2
    Params p = paramsFor(cmd::GetCardInfo);
    p.be16(index);
    return runRead(handle, cmd::GetCardInfo, p, [&](ReplyReader& reply) {
        const CardRecord r = CardRecord::decode(reply.here());
        binToHex(r.ringNo, sizeof r.ringNo, ringText);
        *byteField = r.byteField;
        *wordField1 = r.wordField1;
        *wordField2 = r.wordField2;
        *wordField3 = r.wordField3;
        *longField = r.longField;
        binToHex(r.dataField, sizeof r.dataField, dataText);
    });
}

BOOL16 appendCard(SK_ULONG handle, const char* ringText, const CardValues& values,
                  const char* dataText) {
    if (ringText == nullptr || dataText == nullptr) return 0;
    // 0 selector 00 | 1 CardRecord 31 (19 head bytes, then 20 data 12)
    Params p = cardHead(cmd::AppendCard, ringText, values);
    p.hex(dataText, CardRecord::kDataBytes);
    return run(handle, cmd::AppendCard, p, nullptr).result;
}

BOOL16 modifyCard(SK_ULONG handle, const char* ringText, const CardValues& values) {
    if (ringText == nullptr) return 0;
    // 0 selector 01 | 1 CardRecord head 19 (no data field)
    Params p = cardHead(cmd::ModifyCard, ringText, values);
    return run(handle, cmd::ModifyCard, p, nullptr).result;
}

BOOL16 removeCard(SK_ULONG handle, const char* ringText) {
    if (ringText == nullptr) return 0;
    // 0 ring field 8
    Params p = paramsFor(cmd::RemoveCard);
    ringField(p, ringText);
    return run(handle, cmd::RemoveCard, p, nullptr).result;
}

}  // namespace skylark
