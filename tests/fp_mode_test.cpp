// The date codecs in each floating-point mode a host may run its thread in:
// each rounding mode (x87 and SSE alike), on i686 each x87 precision too,
// and exceptions unmasked as some hosts run. The answers, through the
// library's exports, must be the bits of the date tables and of
// round-to-nearest, and the caller's control and status registers must be
// as they were after every call.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <float.h>
#endif

#include "date_cases.h"
#include "skylark/skylark.h"
#include "support.h"

namespace {

using test::Bytes;
using test::hex;

// ---- The thread's floating-point state ---------------------------------------

struct FpState {
#if defined(__i386__) || defined(__x86_64__)
    unsigned short x87 = 0;
    unsigned sse = 0;
#else
    int rounding = 0;
    int flags = 0;
#endif
};

bool operator==(const FpState& a, const FpState& b) {
#if defined(__i386__) || defined(__x86_64__)
    return a.x87 == b.x87 && a.sse == b.sse;
#else
    return a.rounding == b.rounding && a.flags == b.flags;
#endif
}

FpState readState() {
    FpState s;
#if defined(__i386__) || defined(__x86_64__)
    __asm__ __volatile__("fnstcw %0" : "=m"(s.x87)::"memory");
    __asm__ __volatile__("stmxcsr %0" : "=m"(s.sse)::"memory");
#else
    s.rounding = std::fegetround();
    s.flags = std::fetestexcept(FE_ALL_EXCEPT);
#endif
    return s;
}

std::string describe(const FpState& s) {
    char text[48];
#if defined(__i386__) || defined(__x86_64__)
    std::snprintf(text, sizeof text, "x87 %04X, mxcsr %08X", s.x87, s.sse);
#else
    std::snprintf(text, sizeof text, "rounding %d, flags %d", s.rounding, s.flags);
#endif
    return text;
}

// ---- The modes -----------------------------------------------------------------

enum class Rounding { Nearest, TowardZero, Up, Down };

struct Mode {
    const char* name;
    Rounding rounding;
    int precision;  // x87 mantissa bits on i686 (24, 53, 64); 0 leaves it
    bool trapping;  // invalid, divide-by-zero and overflow unmasked
};

void PrintTo(const Mode& m, std::ostream* os) { *os << m.name; }

// Puts the thread in a mode as a host would (_controlfp on Windows,
// fesetround on Linux) and gives back the state it found when it ends.
class HostMode {
public:
    explicit HostMode(const Mode& m) : saved_(readState()) {
#if defined(_WIN32)
        static constexpr unsigned kRc[] = {_RC_NEAR, _RC_CHOP, _RC_UP, _RC_DOWN};
        _clearfp();
        _controlfp(kRc[static_cast<int>(m.rounding)], _MCW_RC);
#if defined(__i386__)
        if (m.precision != 0)
            _controlfp(m.precision == 24 ? _PC_24 : m.precision == 53 ? _PC_53 : _PC_64, _MCW_PC);
#endif
        if (m.trapping) _controlfp(_MCW_EM & ~(_EM_INVALID | _EM_ZERODIVIDE | _EM_OVERFLOW), _MCW_EM);
#else
        static constexpr int kRc[] = {FE_TONEAREST, FE_TOWARDZERO, FE_UPWARD, FE_DOWNWARD};
        std::feclearexcept(FE_ALL_EXCEPT);
        std::fesetround(kRc[static_cast<int>(m.rounding)]);
#if defined(__GLIBC__)
        if (m.trapping) feenableexcept(FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW);
#endif
#endif
#if defined(__i386__) || defined(__x86_64__)
        // Both units in the mode, whatever the runtime's call reaches: the
        // SSE rounding field follows the x87 one.
        FpState s = readState();
        const unsigned rc = (s.x87 >> 10) & 3u;
        s.sse = (s.sse & ~(3u << 13)) | (rc << 13);
        if (m.trapping) s.sse &= ~((1u << 7) | (1u << 9) | (1u << 10));  // IM, ZM, OM
        __asm__ __volatile__("ldmxcsr %0" ::"m"(s.sse) : "memory");
#endif
    }

    ~HostMode() {
#if defined(__GLIBC__)
        fedisableexcept(FE_ALL_EXCEPT);
#endif
        std::feclearexcept(FE_ALL_EXCEPT);
#if defined(__i386__) || defined(__x86_64__)
        __asm__ __volatile__("fnclex\n\tfldcw %0" ::"m"(saved_.x87) : "memory");
        __asm__ __volatile__("ldmxcsr %0" ::"m"(saved_.sse) : "memory");
#else
        std::fesetround(saved_.rounding);
#endif
    }

    HostMode(const HostMode&) = delete;
    HostMode& operator=(const HostMode&) = delete;

private:
    const FpState saved_;
};

std::vector<Mode> modes() {
    std::vector<Mode> out;
    static constexpr struct {
        const char* name;
        Rounding rounding;
    } kRoundings[] = {{"Nearest", Rounding::Nearest},
                      {"TowardZero", Rounding::TowardZero},
                      {"Up", Rounding::Up},
                      {"Down", Rounding::Down}};
#if defined(_WIN32) && defined(__i386__)
    static const char* const kNames[3][4] = {
        {"Nearest24", "TowardZero24", "Up24", "Down24"},
        {"Nearest53", "TowardZero53", "Up53", "Down53"},
        {"Nearest64", "TowardZero64", "Up64", "Down64"}};
    static constexpr int kPrecisions[] = {24, 53, 64};
    for (int p = 0; p < 3; ++p)
        for (int r = 0; r < 4; ++r) out.push_back({kNames[p][r], kRoundings[r].rounding, kPrecisions[p], false});
    out.push_back({"Trapping64", Rounding::Nearest, 64, true});
#else
    for (const auto& r : kRoundings) out.push_back({r.name, r.rounding, 0, false});
    out.push_back({"Trapping", Rounding::Nearest, 0, true});
#endif
    return out;
}

// ---- The inputs ------------------------------------------------------------------

// Dates around the half seconds where DateToBcd's rounding turns, a few
// units in the last place either side, over days across the range.
std::vector<double> sweepDates() {
    std::vector<double> out;
    for (const double day : {-657434.0, -1.0, 0.0, 36526.0, 40251.0, 2958465.0}) {
        const double sign = day < 0.0 ? -1.0 : 1.0;
        for (int s = 0; s < 86400; s += s < 86300 ? 997 : 1) {
            double d = day + sign * (s + 0.5) / 86400.0;
            for (int i = 0; i < 3; ++i) d = std::nextafter(d, -1e9);
            for (int i = 0; i < 7; ++i, d = std::nextafter(d, 1e9)) out.push_back(d);
        }
    }
    return out;
}

// BCD times over whole days of a few years, months and days.
std::vector<Bytes> sweepBcd() {
    std::vector<Bytes> out;
    for (const std::uint8_t year : {0x00, 0x10, 0x99})
        for (std::uint8_t month = 1; month <= 12; ++month)
            for (const std::uint8_t day : {0x01, 0x28})
                for (int hour = 0; hour < 24; ++hour)
                    for (const std::uint8_t minute : {0x00, 0x31, 0x59})
                        for (const std::uint8_t second : {0x00, 0x07, 0x59}) {
                            const auto bcd = [](int v) { return static_cast<std::uint8_t>(v / 10 * 16 + v % 10); };
                            out.push_back({year, bcd(month), day, bcd(hour), minute, second});
                        }
    return out;
}

struct Inputs {
    std::vector<double> dates;
    std::vector<Bytes> bcds;
};

struct Answers {
    std::vector<Bytes> bcd;       // DateToBcd of each date
    std::vector<double> date;     // BcdToDate of each BCD
    int stateChanges = 0;         // calls after which the state was not the caller's
    std::string firstChange;
};

// Every input through the exports, the state read before and after each
// call. Nothing here does floating-point arithmetic of its own.
Answers run(const Inputs& in) {
    Answers a;
    a.bcd.reserve(in.dates.size());
    a.date.reserve(in.bcds.size());
    const auto check = [&a](const FpState& before, const char* call) {
        const FpState after = readState();
        if (after == before) return;
        if (a.stateChanges++ == 0) a.firstChange = std::string(call) + ": " + describe(before) + " became " + describe(after);
    };
    for (const double d : in.dates) {
        unsigned char bcd[6];
        const FpState before = readState();
        DateToBcd(bcd, d);
        check(before, "DateToBcd");
        a.bcd.emplace_back(bcd, bcd + 6);
    }
    for (const Bytes& b : in.bcds) {
        const FpState before = readState();
        const double d = BcdToDate(b.data());
        check(before, "BcdToDate");
        a.date.push_back(d);
    }
    return a;
}

Inputs tableInputs() {
    Inputs in;
    for (const auto& c : test::kDateToBcdCases) in.dates.push_back(c.date);
    for (const auto& c : test::kBcdToDateCases) in.bcds.push_back(hex(c.bcd));
    return in;
}

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class FpModeTest : public testing::TestWithParam<Mode> {};

TEST_P(FpModeTest, DateTablesGiveTheirBits) {
    const Inputs in = tableInputs();
    Answers a;
    {
        const HostMode mode(GetParam());
        a = run(in);
    }
    EXPECT_EQ(a.stateChanges, 0) << a.firstChange;
    for (std::size_t i = 0; i < in.dates.size(); ++i)
        EXPECT_EQ(a.bcd[i], hex(test::kDateToBcdCases[i].bcd)) << "DateToBcd " << test::kDateToBcdCases[i].name;
    for (std::size_t i = 0; i < in.bcds.size(); ++i)
        EXPECT_TRUE(sameBits(a.date[i], test::kBcdToDateCases[i].date))
            << "BcdToDate " << test::kBcdToDateCases[i].name << ": " << a.date[i];
}

TEST_P(FpModeTest, SweepGivesTheBitsOfRoundToNearest) {
    const Inputs in{sweepDates(), sweepBcd()};
    const Answers nearest = run(in);
    Answers a;
    {
        const HostMode mode(GetParam());
        a = run(in);
    }
    EXPECT_EQ(a.stateChanges, 0) << a.firstChange;
    int wrong = 0;
    for (std::size_t i = 0; i < in.dates.size(); ++i) {
        if (a.bcd[i] == nearest.bcd[i]) continue;
        if (++wrong <= 5) ADD_FAILURE() << "DateToBcd(" << testing::PrintToString(in.dates[i]) << ")";
    }
    for (std::size_t i = 0; i < in.bcds.size(); ++i) {
        if (sameBits(a.date[i], nearest.date[i])) continue;
        if (++wrong <= 10) ADD_FAILURE() << "BcdToDate(" << testing::PrintToString(in.bcds[i]) << ")";
    }
    EXPECT_EQ(wrong, 0) << "of " << in.dates.size() + in.bcds.size();
    for (const Bytes& b : nearest.bcd) EXPECT_LT(b[3], 0x24) << "an hour 24";
}

INSTANTIATE_TEST_SUITE_P(Dates, FpModeTest, testing::ValuesIn(modes()),
                         [](const testing::TestParamInfo<Mode>& info) { return std::string(info.param.name); });

}  // namespace
