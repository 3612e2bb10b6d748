// Exports: the M clock's settings (SKM_): channel numbers, touch type,
// site, phone code and staff number.
#include "skylark/skylark.h"
#include "clock/settings.h"

extern "C" {

SKAPI BOOL16 SKAPI_CALL SKM_GetChannelNo(SK_ULONG handle, SK_ULONG index, char* channelText) {
    return skylark::getChannelNo(handle, index, channelText);
}

SKAPI BOOL16 SKAPI_CALL SKM_SetChannelNo(SK_ULONG handle, SK_ULONG index,
                                         const char* channelText) {
    return skylark::setChannelNo(handle, index, channelText);
}

SKAPI BOOL16 SKAPI_CALL SKM_GET_TOUCH_TYPE(SK_ULONG handle, SK_ULONG index, char* touchTypeText) {
    return skylark::getTouchType(handle, index, touchTypeText);
}

SKAPI BOOL16 SKAPI_CALL SKM_SET_TOUCH_TYPE(SK_ULONG handle, SK_ULONG index,
                                           const char* touchTypeText) {
    return skylark::setTouchType(handle, index, touchTypeText);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetSiteInfo(SK_ULONG handle, char* siteCodeText, char* coordText1,
                                        char* coordText2) {
    return skylark::getSiteInfo(handle, siteCodeText, coordText1, coordText2);
}

SKAPI BOOL16 SKAPI_CALL SKM_SetSiteInfo(SK_ULONG handle, const char* siteCodeText,
                                        const char* coordText1, const char* coordText2) {
    return skylark::setSiteInfo(handle, siteCodeText, coordText1, coordText2);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetPhoneCode(SK_ULONG handle, char* phoneCode) {
    return skylark::getPhoneCode(handle, phoneCode);
}

SKAPI BOOL16 SKAPI_CALL SKM_SetPhoneCode(SK_ULONG handle, const char* phoneCode) {
    return skylark::setPhoneCode(handle, phoneCode);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetStaffNo(SK_ULONG handle, char* staffNo) {
    return skylark::getStaffNo(handle, staffNo);
}

SKAPI BOOL16 SKAPI_CALL SKM_SetStaffNo(SK_ULONG handle, const char* staffNo) {
    return skylark::setStaffNo(handle, staffNo);
}

}  // extern "C"
