// The operating-system services on Windows: oleaut32's date conversions,
// the local time and the system's preferred random generator.
#include <windows.h>
#include <oleauto.h>
#include <bcrypt.h>

#include <ctime>

#include "os/os.h"

namespace skylark {

bool osDateToFields(double date, DateTime& out) {
    SYSTEMTIME st{};
    if (!VariantTimeToSystemTime(date, &st)) return false;
    out = DateTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
    return true;
}

bool osFieldsToDate(const DateTime& t, double& out) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(t.year);
    st.wMonth = static_cast<WORD>(t.month);
    st.wDay = static_cast<WORD>(t.day);
    st.wHour = static_cast<WORD>(t.hour);
    st.wMinute = static_cast<WORD>(t.minute);
    st.wSecond = static_cast<WORD>(t.second);
    return SystemTimeToVariantTime(&st, &out) != 0;
}

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
