// The operating-system services on Linux: the local time and the system's
// random source.
#include <pthread.h>
#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>

#include "os/os.h"

namespace skylark {

DateTime osSystemLocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                    tm.tm_hour,        tm.tm_min,     tm.tm_sec > 59 ? 59 : tm.tm_sec};
}

std::int64_t osSystemTimeNow() { return static_cast<std::int64_t>(std::time(nullptr)); }

namespace {

bool fillFromSystem(std::uint8_t* buf, std::size_t len) {
    while (len > 0) {
        const ssize_t n = getrandom(buf, len, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        buf += n;
        len -= static_cast<std::size_t>(n);
    }
    return true;
}

// A record download draws a 4-byte challenge, and one system call per draw
// was most of the library's time in a long download. Each thread therefore
// takes its random bytes from a small pool of its own, filled from the
// system source 256 bytes at a time: per thread, as the standard generator's
// state is, and nothing a caller can see. A forked child must not send the
// challenges its parent sends, so a fork empties every pool: the child's
// fork handler moves the generation on, and a pool of an older generation
// counts as empty.
struct RandomPool {
    std::uint8_t bytes[256];
    std::size_t left = 0;
    unsigned generation = 0;
};

std::atomic<unsigned> forkGeneration{1};
std::once_flag forkHandlerOnce;

void onForkChild() { forkGeneration.fetch_add(1, std::memory_order_relaxed); }

}  // namespace

bool osSystemRandomBytes(std::uint8_t* buf, std::size_t len) {
    thread_local RandomPool pool;
    if (len > sizeof pool.bytes) return fillFromSystem(buf, len);

    std::call_once(forkHandlerOnce, [] { pthread_atfork(nullptr, nullptr, onForkChild); });
    const unsigned generation = forkGeneration.load(std::memory_order_relaxed);
    if (pool.generation != generation) {
        pool.left = 0;
        pool.generation = generation;
    }
    if (pool.left < len) {
        if (!fillFromSystem(pool.bytes, sizeof pool.bytes)) {
            pool.left = 0;
            return false;
        }
        pool.left = sizeof pool.bytes;
    }
    // Bytes are taken from the end and wiped, so none is handed out twice.
    std::uint8_t* from = pool.bytes + (pool.left - len);
    std::memcpy(buf, from, len);
    std::memset(from, 0, len);
    pool.left -= len;
    return true;
}

}  // namespace skylark
