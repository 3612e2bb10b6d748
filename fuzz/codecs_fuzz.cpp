// The hex and BCD date codecs on arbitrary input.
//  - BinToHex: upper-case digits, NUL exactly at 2*len, nothing beyond;
//    HexToBin of its text gives the bytes back.
//  - HexToBin on any text (each text form): never more than maxBytes bytes,
//    nothing written beyond the count it returns.
//  - DateToBcd then BcdToDate gives back any date of 2000..2099 within half
//    a second; BcdToDate of six proper BCD bytes is 0.0 or a date of that
//    range that encodes back to them.
#include <cmath>

#include "skylark/skylark.h"
#include "fuzz_support.h"

namespace {

constexpr double kFirst2000 = 36526.0;          // 1 January 2000
constexpr double kEnd2099 = 73051.0;            // 1 January 2100
constexpr double kHalfSecond = 0.5 / 86400.0;

void binToHex(fuzz::Input& in) {
    std::vector<std::uint8_t> data = in.bytes(in.u8() % 65);
    const std::size_t n = data.size();
    data.push_back(0);  // never a null pointer, also for no bytes
    fuzz::Out<2 * 64 + 1> text;
    BinToHex(data.data(), static_cast<SK_ULONG>(n), text.text());
    fuzz::check(text.isHex(2 * n), "BinToHex: upper-case digits ended by NUL");
    std::uint8_t back[64];
    fuzz::check(HexToBin(text.text(), back, 64) == n && std::memcmp(back, data.data(), n) == 0,
                "HexToBin(BinToHex(d)) == d");
}

void hexToBin(fuzz::Input& in) {
    static fuzz::GuardedPage page;
    const auto form = static_cast<fuzz::TextForm>(in.u8() % 4);
    const SK_ULONG maxBytes = in.u8() % 49;
    std::string storage;
    const char* text = fuzz::shapeText(page, storage, in.text(200), form);
    fuzz::Out<48> data;
    const SK_ULONG n = HexToBin(text, data.bytes, maxBytes);
    fuzz::check(n <= maxBytes, "HexToBin: at most maxBytes");
    for (std::size_t i = n; i < sizeof data.bytes; ++i)
        fuzz::check(data.bytes[i] == 0xA5, "HexToBin: nothing past the count");
}

void dateRoundTrip(fuzz::Input& in) {
    double d = in.f64();
    if (in.u8() & 1) {  // mostly dates of the range, from 32 bits of input
        d = kFirst2000 + (kEnd2099 - kFirst2000) * (in.u32() / 4294967296.0);
    }
    fuzz::Out<6> bcd;
    DateToBcd(bcd.bytes, d);
    fuzz::check(bcd.slackUntouched(), "DateToBcd: six bytes only");
    const double back = BcdToDate(bcd.bytes);
    // Within the range and clear of its last half second (rounding up leaves it).
    if (d >= kFirst2000 && d < kEnd2099 - kHalfSecond)
        fuzz::check(std::fabs(back - d) <= kHalfSecond + 1e-9, "BcdToDate(DateToBcd(d)) ~ d");
}

void bcdToDate(fuzz::Input& in) {
    std::uint8_t bcd[6] = {};
    in.fill(bcd, 6);
    const double d = BcdToDate(bcd);
    // Nibbles above 9 are read too (0x1A as 20, a year byte 0xFF as 2165),
    // so the range and the way back hold for proper BCD bytes only.
    bool canonical = true;
    for (std::uint8_t b : bcd) canonical = canonical && (b >> 4) <= 9 && (b & 15) <= 9;
    fuzz::check(std::isfinite(d), "BcdToDate: finite");
    if (!canonical) return;
    fuzz::check(d == 0.0 || (d >= kFirst2000 && d < kEnd2099), "BcdToDate: 0.0 or 2000..2099");
    if (d != 0.0) {  // a real date-time: encoding it again gives the same bytes
        std::uint8_t again[6];
        DateToBcd(again, d);
        fuzz::check(std::memcmp(again, bcd, 6) == 0, "DateToBcd(BcdToDate(b)) == b");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    switch (in.u8() % 4) {
        case 0: binToHex(in); break;
        case 1: hexToBin(in); break;
        case 2: dateRoundTrip(in); break;
        case 3: bcdToDate(in); break;
    }
    return 0;
}
