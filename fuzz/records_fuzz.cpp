// Stored-record decoding on arbitrary text, and on genuine records with one
// bit changed.
//  - SK_ParseRecordInfo: 0 leaves the output untouched; -1 writes 80
//    upper-case digits and a NUL, and those plain bytes encrypted again under
//    the record key give the record's first 40 bytes as read from the text.
//  - A genuine record is accepted with its plain bytes; with any one bit of
//    its 48 bytes changed it is refused.
//  - SK_ParseRecordInfo2 and 3 always give -1 and the same 48 digits.
#include "skylark/skylark.h"
#include "fuzz_support.h"
#include "security/constants.h"
#include "security/des.h"
#include "tests/record_sealer.h"

namespace {

using skylark::desEncrypt;
using test::hexText;

// The stored form of 40 plain bytes under vKey: body check value written
// into bytes 8-11, five blocks encrypted, the chain check value behind them.
void makeGenuine(std::uint8_t plain[40], const std::uint8_t vKey[8], std::uint8_t rec[48]) {
    test::setBodyCheck(plain);
    test::seal(plain, vKey, rec);
}

void arbitrary(fuzz::Input& in) {
    static fuzz::GuardedPage page;
    const auto form = static_cast<fuzz::TextForm>(in.u8() % 4);
    std::uint8_t vKey[8] = {};
    in.fill(vKey, 8);
    std::string storage;
    const char* text = fuzz::shapeText(page, storage, in.text(255), form);

    fuzz::Out<81> out;
    const BOOL16 r = SK_ParseRecordInfo(vKey, text, out.text());
    if (r == 0) {
        fuzz::check(out.untouched(), "ParseRecordInfo: output untouched on 0");
    } else {
        fuzz::check(r == -1 && out.isHex(80), "ParseRecordInfo: -1 and 80 digits");
        std::uint8_t plain[40], input[48] = {};
        HexToBin(out.text(), plain, 40);
        HexToBin(text, input, 48);
        const CDesKey recordKey(skylark::kRecordKey);
        for (int at = 0; at < 40; at += 8) desEncrypt(plain + at, plain + at, recordKey);
        fuzz::check(std::memcmp(plain, input, 40) == 0, "accepted record re-encrypts to input");
    }

    fuzz::Out<49> two, three;
    fuzz::check(SK_ParseRecordInfo2(in.u32(), text, two.text()) == -1 &&
                    SK_ParseRecordInfo3(in.u32(), text, three.text()) == -1,
                "ParseRecordInfo2/3: always -1");
    fuzz::check(two.isHex(48) && std::memcmp(two.bytes, three.bytes, sizeof two.bytes) == 0,
                "ParseRecordInfo2/3: the same 48 digits");
}

void genuine(fuzz::Input& in) {
    std::uint8_t plain[40] = {}, vKey[8] = {}, rec[48];
    in.fill(plain, 40);
    in.fill(vKey, 8);
    const unsigned flip = in.u16() % 512;  // 384 and above: no change
    makeGenuine(plain, vKey, rec);
    if (flip < 384) rec[flip / 8] ^= std::uint8_t(0x80 >> (flip % 8));

    fuzz::Out<81> out;
    const BOOL16 r = SK_ParseRecordInfo(vKey, hexText(rec, 48).c_str(), out.text());
    if (flip < 384) {
        fuzz::check(r == 0 && out.untouched(), "one changed bit: refused, output untouched");
    } else {
        fuzz::check(r == -1 && out.isHex(80), "genuine record accepted");
        fuzz::check(hexText(plain, 40) == out.text(), "genuine record gives its plain bytes");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    if (in.u8() & 1)
        genuine(in);
    else
        arbitrary(in);
    return 0;
}
