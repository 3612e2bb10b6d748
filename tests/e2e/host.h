// What the end-to-end suites share: hex written in tests (decoded here, not
// by the codec under test), handles that close themselves and scratch files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// ClockLink's own call for the error code of a refusal, and the stand-in's
// test hooks (another verification key, a relay channel).
#include "../hex_text.h"
#include "clocklink.h"
#include "standins/clocklink/test_clock.h"
#include "skylark.h"
#include "virtual_clock.h"
#include "virtual_reader.h"

namespace e2e {

using test::Bytes;
using test::hex;
using test::hexText;

// A file of the suites in the temporary folder.
inline std::string tempPath(const std::string& name) {
    const char* dir = std::getenv("TMPDIR");
#if defined(_WIN32)
    if (dir == nullptr) dir = std::getenv("TEMP");
#endif
    return std::string(dir != nullptr ? dir : "/tmp") + "/skylark_e2e_" + name;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A file removed when the test ends (and before it starts).
struct TempFile {
    std::string path;
    explicit TempFile(const std::string& name) : path(tempPath(name)) { std::remove(path.c_str()); }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() { std::remove(path.c_str()); }
};

// A virtual reader open for the life of the object.
class Reader {
public:
    Reader() : handle_(RRV_Open()) {}
    ~Reader() { RRV_Close(handle_); }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    RRV_HANDLE handle() const { return handle_; }
    bool put(const Bytes& uid4) { return RRV_PutTag(handle_, uid4.data()) != 0; }
    bool take() { return RRV_TakeTag(handle_) != 0; }
    // Pages first..first+count-1 of the tag in the field, as it holds them.
    Bytes pages(RRV_ULONG first, RRV_ULONG count, const Bytes& uid4 = {}) const {
        Bytes out;
        for (RRV_ULONG p = first; p < first + count; ++p) {
            std::uint8_t page[4] = {};
            if (!RRV_ReadTagPage(handle_, uid4.empty() ? nullptr : uid4.data(), p, page)) return {};
            out.insert(out.end(), page, page + 4);
        }
        return out;
    }

private:
    RRV_HANDLE handle_;
};


// Puts another key behind ClockLink's s_verifykey (the library's copy of the
// verification key) for the life of the object; the clock keeps its own.
class VerifyKey {
public:
    explicit VerifyKey(const Bytes& key8) { CLT_SetVerifyKey(key8.data()); }
    ~VerifyKey() { CLT_SetVerifyKey(nullptr); }
    VerifyKey(const VerifyKey&) = delete;
    VerifyKey& operator=(const VerifyKey&) = delete;
};

// Race day in tests: 16 May 2026 (OLE date 46158) at h:m:s.
inline double at(int h, int m, int s) { return 46158.0 + (h * 3600.0 + m * 60.0 + s) / 86400.0; }

// The BCD bytes of a date as the library encodes them: compares two dates to
// the second without floating-point noise.
inline Bytes bcd(double date) {
    Bytes out(6);
    DateToBcd(out.data(), date);
    return out;
}

// A virtual clock open for the life of the object, its time frozen so that
// what tests set is what they read.
class Clock {
public:
    explicit Clock(int kind) : handle_(CLV_Open(kind)) { CLV_FreezeClock(handle_, 1); }
    // Takes over a handle (from CLV_Load).
    static Clock adopt(CLV_ULONG handle) { return Clock(handle, 0); }
    Clock(Clock&& other) noexcept : handle_(other.handle_) { other.handle_ = 0; }
    ~Clock() {
        if (handle_ != 0) CLV_Close(handle_);
    }
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;
    Clock& operator=(Clock&&) = delete;

    CLV_ULONG handle() const { return handle_; }
    operator CLV_ULONG() const { return handle_; }
    // The error code of the last refusal on the channel.
    SK_ULONG error() const { return IFD_GetErrCode(handle_); }

private:
    Clock(CLV_ULONG handle, int) : handle_(handle) {}
    CLV_ULONG handle_;
};

// Authenticates and sets the clock's time: what every road starts with.
inline bool connect(const Clock& clock, const char* password = nullptr,
                    double now = at(6, 0, 0)) {
    return SK_ConnectEx(clock, password) != 0 && SK_SetPigeon(clock, now) != 0;
}

// A ring number of a test team: 2026A0 and a six-digit serial.
inline std::string ring(unsigned serial) {
    char text[13];
    std::snprintf(text, sizeof text, "2026A0%06u", serial % 1000000);
    return text;
}

// An M clock with a confirmed race (index 0, key kRaceKey) of birds rings
// 1..birds, of which the first `arrived` have arrived a minute apart from
// 09:00:00.
constexpr const char* kRaceKey = "5241434532303236";
inline bool stockRace(const Clock& clock, unsigned birds, unsigned arrived) {
    if (SKM_CreateRace(clock, kRaceKey, at(7, 30, 0), at(21, 0, 0), 500) == 0) return false;
    for (unsigned i = 1; i <= birds; ++i)
        if (SKM_AddRaceCard(clock, (ring(i) + "0000").c_str()) == 0) return false;
    if (SKM_ConfirmRace(clock, kRaceKey, 1, "CONFIRM1") == 0) return false;
    for (unsigned i = 1; i <= arrived; ++i)
        if (CLV_RecordArrival(clock, 0, ring(i).c_str(), at(9, 0, 0) + (i - 1) / 1440.0) != CLV_OK)
            return false;
    return true;
}

}  // namespace e2e
