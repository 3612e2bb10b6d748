// Exports: ring tags (SKR_).
#include "skylark/skylark.h"
#include "ring/ring_tag.h"

extern "C" {

SKAPI BOOL16 SKAPI_CALL SKR_ActiveCard(SK_ULONG reader, char* uidHex) {
    return skylark::ringActivate(reader, uidHex);
}

SKAPI BOOL16 SKAPI_CALL SKR_FormatCard(SK_ULONG reader, const char* ringNoHex,
                                       const char* raceNoHex) {
    return skylark::ringFormat(reader, ringNoHex, raceNoHex);
}

SKAPI BOOL16 SKAPI_CALL SKR_ReadCard(SK_ULONG reader, char* ringNoHex, char* raceNoHex) {
    return skylark::ringRead(reader, ringNoHex, raceNoHex);
}

SKAPI BOOL16 SKAPI_CALL SKR_DeactiveCard(SK_ULONG reader) { return skylark::ringDeactivate(reader); }

}  // extern "C"
