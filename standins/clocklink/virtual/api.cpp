// The virtual clocks' C API (standins/include/virtual_clock.h).
#include "standins/include/virtual_clock.h"

extern "C" {

CLV_API CLV_ULONG CLV_CALL CLV_Open(int) { return 0; }
CLV_API CLV_ULONG CLV_CALL CLV_Load(const char*, int* err) {
    if (err != nullptr) *err = CLV_ERR_FILE_IO;
    return 0;
}
CLV_API int CLV_CALL CLV_Save(CLV_ULONG, const char*) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_Close(CLV_ULONG) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_GetKind(CLV_ULONG, int*) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_SetPassword(CLV_ULONG, const char*) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_SetClockTime(CLV_ULONG, double) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_GetClockTime(CLV_ULONG, double*) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_FreezeClock(CLV_ULONG, int) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_RecordArrival(CLV_ULONG, CLV_ULONG, const char*, double) {
    return CLV_ERR_NO_CHANNEL;
}
CLV_API int CLV_CALL CLV_RecordTrainArrival(CLV_ULONG, CLV_ULONG, const char*, double) {
    return CLV_ERR_NO_CHANNEL;
}
CLV_API int CLV_CALL CLV_GetArrivalCount(CLV_ULONG, CLV_ULONG, CLV_ULONG*) {
    return CLV_ERR_NO_CHANNEL;
}
CLV_API int CLV_CALL CLV_GetStoredRecord(CLV_ULONG, CLV_ULONG, CLV_ULONG, const unsigned char*,
                                         char*) {
    return CLV_ERR_NO_CHANNEL;
}
CLV_API int CLV_CALL CLV_GetMaskedRecord(CLV_ULONG, CLV_ULONG, CLV_ULONG, char*) {
    return CLV_ERR_NO_CHANNEL;
}
CLV_API int CLV_CALL CLV_SetCardData(CLV_ULONG, const char*) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_SetFault(CLV_ULONG, int, CLV_ULONG) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_GetLogCount(CLV_ULONG, CLV_ULONG*) { return CLV_ERR_NO_CHANNEL; }
CLV_API int CLV_CALL CLV_GetLogEntry(CLV_ULONG, CLV_ULONG, unsigned char*, double*, char*) {
    return CLV_ERR_NO_CHANNEL;
}
CLV_API const char* CLV_CALL CLV_ErrorText(int) { return "not built yet"; }

}  // extern "C"
