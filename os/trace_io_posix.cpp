// The tracing build's file and clocks on Linux.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>

#include "os/trace_io.h"

namespace skylark {

struct TraceFile {
    int fd;
};

TraceFile* osTraceOpen() {
    const char* path = std::getenv("SKYLARK_TRACE");
    if (path == nullptr || *path == '\0') return nullptr;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    return new (std::nothrow) TraceFile{fd};
}

bool osTraceWrite(TraceFile* file, const char* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(file->fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

void osTraceClose(TraceFile* file) {
    if (file == nullptr) return;
    ::close(file->fd);
    delete file;
}

std::int64_t osTraceClockNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::int64_t osTraceWallMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const char* osTraceSystem() { return "linux"; }

}  // namespace skylark
