// The M clock's settings: channel numbers and touch types (one per index),
// site information, phone code and staff number. Each is read with a class-0
// command and written with the class-1 command of the same code.
#pragma once

#include "skylark/skylark_types.h"

namespace skylark {

BOOL16 getChannelNo(SK_ULONG handle, SK_ULONG index, char* channelText);
BOOL16 setChannelNo(SK_ULONG handle, SK_ULONG index, const char* channelText);
BOOL16 getTouchType(SK_ULONG handle, SK_ULONG index, char* touchTypeText);
BOOL16 setTouchType(SK_ULONG handle, SK_ULONG index, const char* touchTypeText);
BOOL16 getSiteInfo(SK_ULONG handle, char* siteCodeText, char* coordText1, char* coordText2);
BOOL16 setSiteInfo(SK_ULONG handle, const char* siteCodeText, const char* coordText1,
                   const char* coordText2);
BOOL16 getPhoneCode(SK_ULONG handle, char* phoneCode);
BOOL16 setPhoneCode(SK_ULONG handle, const char* phoneCode);
BOOL16 getStaffNo(SK_ULONG handle, char* staffNo);
BOOL16 setStaffNo(SK_ULONG handle, const char* staffNo);

}  // namespace skylark
