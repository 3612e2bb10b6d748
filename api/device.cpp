// Exports: device, security and record decoding (SK_).
#include "api/skylark.h"
#include "security/device_control.h"

extern "C" {

SKAPI BOOL16 SKAPI_CALL SK_GetDevState(SK_ULONG handle, unsigned char* state) {
    return skylark::getDevState(handle, state);
}

}  // extern "C"
