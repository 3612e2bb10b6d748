// Exports: device, security and record decoding (SK_).
#include "skylark/skylark.h"
#include "record/record.h"
#include "security/auth.h"
#include "security/device_control.h"

extern "C" {

SKAPI BOOL16 SKAPI_CALL SK_Connect(SK_ULONG handle) { return skylark::connectEx(handle, nullptr); }

SKAPI BOOL16 SKAPI_CALL SK_ConnectEx(SK_ULONG handle, const char* password) {
    return skylark::connectEx(handle, password);
}

SKAPI BOOL16 SKAPI_CALL SK_CreateCommKey(SK_ULONG handle) { return skylark::createCommKey(handle); }

SKAPI BOOL16 SKAPI_CALL SK_InitDev(SK_ULONG handle) { return skylark::initDevEx(handle, nullptr); }

SKAPI BOOL16 SKAPI_CALL SK_InitDevEx(SK_ULONG handle, const char* password) {
    return skylark::initDevEx(handle, password);
}

SKAPI BOOL16 SKAPI_CALL SK_ActiveIsp(SK_ULONG handle) { return skylark::activeIsp(handle); }

SKAPI BOOL16 SKAPI_CALL SK_GetDevState(SK_ULONG handle, unsigned char* state) {
    return skylark::getDevState(handle, state);
}

SKAPI BOOL16 SKAPI_CALL SK_GetDevInfo(SK_ULONG handle, char* info) {
    return skylark::getDevInfo(handle, info);
}

SKAPI BOOL16 SKAPI_CALL SK_GetTime(SK_ULONG handle, double* date) {
    return skylark::getTime(handle, date);
}

SKAPI BOOL16 SKAPI_CALL SK_SetPigeon(SK_ULONG handle, double date) {
    return skylark::setPigeon(handle, date);
}

SKAPI BOOL16 SKAPI_CALL SK_SetTime(SK_ULONG handle, double date) {
    return skylark::setTime(handle, date);
}

SKAPI BOOL16 SKAPI_CALL SK_ParseRecordInfo(const unsigned char* vKey, const char* record,
                                           char* plain) {
    return skylark::parseRecordInfo(vKey, record, plain);
}

SKAPI BOOL16 SKAPI_CALL SK_ParseRecordInfo2(SK_ULONG /*unused*/, const char* record, char* plain) {
    return skylark::unmaskRecordInfo(record, plain);
}

SKAPI BOOL16 SKAPI_CALL SK_ParseRecordInfo3(SK_ULONG /*unused*/, const char* record, char* plain) {
    return skylark::unmaskRecordInfo(record, plain);
}

}  // extern "C"
