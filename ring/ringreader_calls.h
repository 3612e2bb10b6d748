// The RingReader calls the library makes, as the library's own functions:
// every call site goes through these. In the normal build each is the import
// itself; the tracing build (SKYLARK_TRACE_BUILD) defines them in trace/,
// where each call is also written to the trace.
#pragma once

#include "ring/ringreader.h"

namespace skylark::link {

#if defined(SKYLARK_TRACE_BUILD)

int active(SK_ULONG reader, unsigned char* uid4);
int deactive(SK_ULONG reader);
int readPage(SK_ULONG reader, SK_ULONG page, unsigned char* data4);
int writePage(SK_ULONG reader, SK_ULONG page, unsigned char* data4);
int readBlock(SK_ULONG reader, SK_ULONG block, unsigned char* data16);

#else

inline int active(SK_ULONG reader, unsigned char* uid4) { return HTS_Active(reader, uid4); }
inline int deactive(SK_ULONG reader) { return HTS_Deactive(reader); }
inline int readPage(SK_ULONG reader, SK_ULONG page, unsigned char* data4) {
    return HTS_ReadPage(reader, page, data4);
}
inline int writePage(SK_ULONG reader, SK_ULONG page, unsigned char* data4) {
    return HTS_WritePage(reader, page, data4);
}
inline int readBlock(SK_ULONG reader, SK_ULONG block, unsigned char* data16) {
    return HTS_ReadBlock(reader, block, data16);
}

#endif

}  // namespace skylark::link
