// Exports: the M clock's ring registry, event log and settings (SKM_).
#include "skylark/skylark.h"
#include "clock/event_log.h"
#include "clock/registry.h"
#include "clock/settings.h"

extern "C" {

// ---- Ring registry

SKAPI BOOL16 SKAPI_CALL SKM_GetCardCount(SK_ULONG handle, SK_ULONG* count) {
    return skylark::getCardCount(handle, count);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetCardIndex(SK_ULONG handle, const char* ringText, SK_ULONG* index) {
    return skylark::getCardIndex(handle, ringText, index);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetCardInfo(SK_ULONG handle, SK_ULONG index, char* ringText,
                                        unsigned char* byteField, SK_ULONG* wordField1,
                                        SK_ULONG* wordField2, SK_ULONG* wordField3,
                                        SK_ULONG* longField, char* dataField) {
    return skylark::getCardInfo(handle, index, ringText, byteField, wordField1, wordField2,
                                wordField3, longField, dataField);
}

SKAPI BOOL16 SKAPI_CALL SKM_AppendCard(SK_ULONG handle, const char* ringText, SK_ULONG byteField,
                                       SK_ULONG wordField1, SK_ULONG wordField2,
                                       SK_ULONG wordField3, SK_ULONG longField,
                                       const char* dataField) {
    return skylark::appendCard(handle, ringText,
                               {byteField, wordField1, wordField2, wordField3, longField},
                               dataField);
}

SKAPI BOOL16 SKAPI_CALL SKM_ModifyCard(SK_ULONG handle, const char* ringText, SK_ULONG byteField,
                                       SK_ULONG wordField1, SK_ULONG wordField2,
                                       SK_ULONG wordField3, SK_ULONG longField) {
    return skylark::modifyCard(handle, ringText,
                               {byteField, wordField1, wordField2, wordField3, longField});
}

SKAPI BOOL16 SKAPI_CALL SKM_RemoveCard(SK_ULONG handle, const char* ringText) {
    return skylark::removeCard(handle, ringText);
}

// ---- Event log

SKAPI BOOL16 SKAPI_CALL SKM_GetMaxLogNo(SK_ULONG handle, SK_ULONG* maxLogNo) {
    return skylark::getMaxLogNo(handle, maxLogNo);
}

SKAPI BOOL16 SKAPI_CALL SKM_GetLogInfo(SK_ULONG handle, SK_ULONG logNo, unsigned char* logType,
                                       double* logTime, char* logDataText) {
    return skylark::getLogInfo(handle, logNo, logType, logTime, logDataText);
}

// ---- Settings

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
