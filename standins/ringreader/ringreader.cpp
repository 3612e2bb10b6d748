// Our RingReader: each call goes to the reader registered under its handle.
#include "ring/ringreader.h"

#include "standins/ringreader/tag_device.h"

namespace standins {

Handles<TagDevice>& tagDevices() {
    static Handles<TagDevice> handles;
    return handles;
}

}  // namespace standins

namespace {

// Runs op on the reader behind handle; an unknown handle fails with 0.
template <class Op>
int onReader(SK_ULONG reader, Op op) {
    auto device = standins::tagDevices().find(reader);
    return device ? op(*device) : 0;
}

}  // namespace

extern "C" {

int SKAPI_CALL HTS_Active(SK_ULONG reader, unsigned char* uid4) {
    return onReader(reader, [&](standins::TagDevice& d) { return d.active(uid4); });
}

int SKAPI_CALL HTS_Deactive(SK_ULONG reader) {
    return onReader(reader, [&](standins::TagDevice& d) { return d.deactive(); });
}

int SKAPI_CALL HTS_ReadPage(SK_ULONG reader, SK_ULONG page, unsigned char* data4) {
    return onReader(reader, [&](standins::TagDevice& d) { return d.readPage(page, data4); });
}

int SKAPI_CALL HTS_WritePage(SK_ULONG reader, SK_ULONG page, unsigned char* data4) {
    return onReader(reader, [&](standins::TagDevice& d) { return d.writePage(page, data4); });
}

int SKAPI_CALL HTS_ReadBlock(SK_ULONG reader, SK_ULONG block, unsigned char* data16) {
    return onReader(reader, [&](standins::TagDevice& d) { return d.readBlock(block, data16); });
}

}  // extern "C"
