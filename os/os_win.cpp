// The operating-system services on Windows: the local time and the system's
// preferred random generator.
#include <windows.h>
#include <bcrypt.h>

#include <ctime>

#include "os/os.h"

namespace skylark {

DateTime osSystemLocalNow() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    return DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

std::int64_t osSystemTimeNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

bool osSystemRandomBytes(std::uint8_t* buf, std::size_t len) {
    return BCryptGenRandom(nullptr, buf, static_cast<ULONG>(len), BCRYPT_USE_SYSTEM_PREFERRED_RNG) == 0;
}

}  // namespace skylark
