// Exports: the M clock's ring registry (SKM_).
#include "skylark/skylark.h"
#include "clock/ring_registry.h"

extern "C" {

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

}  // extern "C"
