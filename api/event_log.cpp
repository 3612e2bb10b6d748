// Exports: the M clock's event log (SKM_).
#include "skylark/skylark.h"
#include "clock/event_log.h"

extern "C" {

SKAPI BOOL16 SKAPI_CALL SKM_GetMaxLogNo(SK_ULONG handle, SK_ULONG* maxLogNo) {
    return skylark::getMaxLogNo(handle, maxLogNo);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetLogInfo(SK_ULONG handle, SK_ULONG logNo, unsigned char* logType,
                                       double* logTime, char* logDataText) {
    return skylark::getLogInfo(handle, logNo, logType, logTime, logDataText);
}

}  // extern "C"
