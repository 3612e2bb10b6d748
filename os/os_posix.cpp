// The operating-system services on Linux. The OLE date conversions follow
// the platform conversions of Windows exactly, step by step in the same
// floating-point order, so that both builds give the same bytes.
#include <pthread.h>
#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <ctime>
#include <mutex>

#include "base/calendar.h"
#include "os/os.h"

namespace skylark {

namespace {

// The convertible range: 1 January 100 to 31 December 9999.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958465.0;

// Day 0 of the OLE calendar (30 December 1899) counted from 1 March 0000,
// the epoch of the civil-day arithmetic below.
constexpr long kOleEpoch = 693899;

// Gregorian date of a day counted from 1 March 0000 (proleptic calendar).
void civilFromDays(long z, int& y, int& m, int& d) {
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const long doe = z - era * 146097;                                     // [0, 146096]
    const long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);               // [0, 365]
    const long mp = (5 * doy + 2) / 153;                                   // [0, 11], March first
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

long daysFromCivil(int y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const long yoe = y - era * 400;
    const long doy = (153L * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
}

}  // namespace

bool osDateToFields(double date, DateTime& out) {
    if (!(date > kFirstDay - 1.0 && date < kLastDay + 1.0)) return false;

    // The day is the whole part truncated toward zero; the time of day is the
    // size of the fraction, counted forward from that day's midnight. A tiny
    // amount is added against values that sit just below a whole second.
    const double wholeDays = date < 0.0 ? std::ceil(date) : std::floor(date);
    double time = std::fabs(date - wholeDays) + 0.00000000001;
    if (time >= 1.0) time -= 0.00000000001;

    civilFromDays(static_cast<long>(static_cast<int>(date)) + kOleEpoch, out.year, out.month,
                  out.day);

    time *= 24.0;
    out.hour = static_cast<int>(time);
    time -= out.hour;
    time *= 60.0;
    out.minute = static_cast<int>(time);
    time -= out.minute;
    time *= 60.0;
    out.second = static_cast<int>(time);
    time -= out.second;

    // Round to the nearest second, carrying into minutes, hours and days.
    if (time > 0.5) {
        if (++out.second == 60) {
            out.second = 0;
            if (++out.minute == 60) {
                out.minute = 0;
                if (++out.hour == 24) {
                    out.hour = 0;
                    if (++out.day > daysInMonth(out.year, out.month)) {
                        out.day = 1;
                        if (++out.month > 12) {
                            out.month = 1;
                            ++out.year;
                        }
                    }
                }
            }
        }
    }
    return true;
}

bool osFieldsToDate(const DateTime& t, double& out) {
    double date = static_cast<double>(daysFromCivil(t.year, t.month, t.day) - kOleEpoch);
    const double sign = date < 0.0 ? -1.0 : 1.0;
    date += t.hour / 24.0 * sign;
    date += t.minute / 1440.0 * sign;
    date += t.second / 86400.0 * sign;
    out = date;
    return true;
}

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
