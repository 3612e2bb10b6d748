#include "security/device_control.h"

#include "frame/frame.h"

namespace skylark {

BOOL16 getDevState(SK_ULONG handle, std::uint8_t* state) {
    if (state == nullptr) return 0;
    Params params = paramsFor(cmd::GetDevState);
    // ClockLink writes the one reply byte into the caller's own byte.
    return run(handle, cmd::GetDevState, params, state).result;
}

}  // namespace skylark
