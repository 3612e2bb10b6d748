// The services the library calls, each going to the system's own unless a
// test has installed a replacement (os.h).
#include <atomic>

#include "os/os.h"

namespace skylark {

namespace {

std::atomic<const OsServices*> installed{nullptr};

}  // namespace

const OsServices* osReplaceServices(const OsServices* services) {
    return installed.exchange(services);
}

DateTime osLocalNow() {
    const OsServices* s = installed.load(std::memory_order_acquire);
    return s != nullptr && s->localNow != nullptr ? s->localNow() : osSystemLocalNow();
}

std::int64_t osTimeNow() {
    const OsServices* s = installed.load(std::memory_order_acquire);
    return s != nullptr && s->timeNow != nullptr ? s->timeNow() : osSystemTimeNow();
}

bool osRandomBytes(std::uint8_t* buf, std::size_t len) {
    const OsServices* s = installed.load(std::memory_order_acquire);
    return s != nullptr && s->randomBytes != nullptr ? s->randomBytes(buf, len)
                                                     : osSystemRandomBytes(buf, len);
}

}  // namespace skylark
