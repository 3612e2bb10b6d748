// The tracing build's file and clocks on Windows.
#include <windows.h>

#include <new>

#include "os/trace_io.h"

namespace skylark {

struct TraceFile {
    HANDLE h;
};

TraceFile* osTraceOpen() {
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableW(L"SKYLARK_TRACE", path, sizeof path / sizeof path[0]);
    if (n == 0 || n >= sizeof path / sizeof path[0]) return nullptr;
    const HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    return new (std::nothrow) TraceFile{h};
}

bool osTraceWrite(TraceFile* file, const char* data, std::size_t n) {
    while (n > 0) {
        const DWORD chunk = n > 0x40000000 ? 0x40000000 : static_cast<DWORD>(n);
        DWORD written = 0;
        if (!WriteFile(file->h, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        n -= written;
    }
    return true;
}

void osTraceClose(TraceFile* file) {
    if (file == nullptr) return;
    CloseHandle(file->h);
    delete file;
}

std::int64_t osTraceClockNs() {
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    const std::int64_t s = c.QuadPart / f.QuadPart;
    const std::int64_t rest = c.QuadPart % f.QuadPart;
    return s * 1000000000 + rest * 1000000000 / f.QuadPart;
}

std::int64_t osTraceWallMs() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER u;
    u.LowPart = ft.dwLowDateTime;
    u.HighPart = ft.dwHighDateTime;
    // 100 ns units since 1601 to milliseconds since 1970.
    return static_cast<std::int64_t>(u.QuadPart / 10000) - 11644473600000LL;
}

const char* osTraceSystem() { return "windows"; }

}  // namespace skylark
