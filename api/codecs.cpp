// Exports: the hex and BCD date codecs.
#include "skylark/skylark.h"
#include "frame/codec.h"

extern "C" {

SKAPI void SKAPI_CALL BinToHex(const unsigned char* data, SK_ULONG len, char* text) {
    if (data == nullptr || text == nullptr) return;
    skylark::binToHex(data, len, text);
}

SKAPI SK_ULONG SKAPI_CALL HexToBin(const char* text, unsigned char* data, SK_ULONG maxBytes) {
    if (text == nullptr || data == nullptr) return 0;
    return static_cast<SK_ULONG>(skylark::hexToBin(text, data, maxBytes));
}

SKAPI void SKAPI_CALL DateToBcd(unsigned char* bcd, double date) {
    if (bcd == nullptr) return;
    skylark::dateToBcd(bcd, date);
}

SKAPI double SKAPI_CALL BcdToDate(const unsigned char* bcd) {
    if (bcd == nullptr) return 0.0;
    return skylark::bcdToDate(bcd);
}

}  // extern "C"
