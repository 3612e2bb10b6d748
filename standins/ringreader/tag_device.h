// A reader behind a RingReader handle: one operation per RingReader call.
#pragma once

#include <cstdint>

#include "skylark/skylark_types.h"
#include "standins/handles.h"

namespace standins {

class TagDevice {
public:
    virtual ~TagDevice() = default;
    virtual int active(unsigned char* uid4) = 0;
    virtual int deactive() = 0;
    virtual int readPage(SK_ULONG page, unsigned char* data4) = 0;
    virtual int writePage(SK_ULONG page, unsigned char* data4) = 0;
    virtual int readBlock(SK_ULONG block, unsigned char* data16) = 0;
};

// The readers our RingReader knows, by handle.
Handles<TagDevice>& tagDevices();

}  // namespace standins
