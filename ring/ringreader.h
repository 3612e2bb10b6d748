// RingReader, the closed library that talks to a ring tag reader: only what
// this library uses, with the exact names and calling convention it exports.
// Every result is judged on all 32 bits: non-zero is success.
#pragma once

#include "skylark/skylark_types.h"

#if defined(_WIN32)
#  if defined(RINGREADER_BUILDING)
#    define RINGREADER_FUNC __declspec(dllexport)
#  else
#    define RINGREADER_FUNC
#  endif
#else
#  define RINGREADER_FUNC __attribute__((visibility("default")))
#endif

extern "C" {

// Activates the tag in the reader's field and reads its 4-byte UID.
RINGREADER_FUNC int SKAPI_CALL HTS_Active(SK_ULONG reader, unsigned char* uid4);
// Releases the active tag.
RINGREADER_FUNC int SKAPI_CALL HTS_Deactive(SK_ULONG reader);
// Reads or writes one 4-byte page of the tag.
RINGREADER_FUNC int SKAPI_CALL HTS_ReadPage(SK_ULONG reader, SK_ULONG page, unsigned char* data4);
RINGREADER_FUNC int SKAPI_CALL HTS_WritePage(SK_ULONG reader, SK_ULONG page, unsigned char* data4);
// Reads one 16-byte block (four pages) of the tag.
RINGREADER_FUNC int SKAPI_CALL HTS_ReadBlock(SK_ULONG reader, SK_ULONG block, unsigned char* data16);

}  // extern "C"
