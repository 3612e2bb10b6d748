// The trace writer: lines are numbered and stamped under one lock and
// collected in a buffer that goes to the file when it is full and when the
// library is unloaded.
#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "skylark/skylark.h"
#include "os/trace_io.h"
#include "trace/trace.h"

namespace skylark::trace {

namespace {

constexpr std::size_t kFlushAt = 64 * 1024;

#if defined(__x86_64__) || defined(_M_X64)
constexpr const char* kArch = "x86_64";
#elif defined(__i386__) || defined(_M_IX86)
constexpr const char* kArch = "i686";
#elif defined(__aarch64__)
constexpr const char* kArch = "aarch64";
#else
constexpr const char* kArch = "unknown";
#endif

// "2026-05-16T09:41:07.250Z" from milliseconds since 1970.
std::string isoTime(std::int64_t ms) {
    std::int64_t secs = ms / 1000;
    int millis = static_cast<int>(ms % 1000);
    if (millis < 0) {
        millis += 1000;
        --secs;
    }
    std::int64_t days = secs / 86400;
    std::int64_t rest = secs % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    // Civil date from days since 1970-01-01.
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char buf[40];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ", y, m, d,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                  static_cast<int>(rest % 60), millis);
    return buf;
}

class Session {
public:
    Session() {
        try {
            buffer_.reserve(kFlushAt * 2);
            file_ = osTraceOpen();
            if (file_ == nullptr) return;
            start_ = osTraceClockNs();
            std::string header = "{\"format\":\"";
            header += kFormatName;
            header += "\",\"version\":\"";
            header += kFormatVersion;
            header += "\",\"library\":\"" SKYLARK_VERSION "\",\"os\":\"";
            header += osTraceSystem();
            header += "\",\"arch\":\"";
            header += kArch;
            header += "\",\"time\":\"";
            header += isoTime(osTraceWallMs());
            header += "\",\"redacted\":[]}\n";
            buffer_ = header;
        } catch (...) {
            close();
        }
    }
    ~Session() {
        std::lock_guard<std::mutex> lock(mutex_);
        flush();
        close();
    }

    bool active() const { return file_ != nullptr; }

    void emit(const std::string& body) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (file_ == nullptr) return;
        try {
            char head[64];
            const double t = static_cast<double>(osTraceClockNs() - start_) / 1e9;
            const int n = std::snprintf(head, sizeof head, "{\"n\":%llu,\"t\":",
                                        static_cast<unsigned long long>(++lines_));
            buffer_.append(head, static_cast<std::size_t>(n));
            char num[32];
            const auto r = std::to_chars(num, num + sizeof num, t, std::chars_format::fixed, 6);
            buffer_.append(num, r.ptr);
            buffer_ += ',';
            buffer_ += body;
            buffer_ += "}\n";
        } catch (...) {
            return;
        }
        if (buffer_.size() >= kFlushAt) flush();
    }

private:
    void flush() {
        if (file_ == nullptr || buffer_.empty()) return;
        if (!osTraceWrite(file_, buffer_.data(), buffer_.size())) close();
        buffer_.clear();
    }
    void close() {
        osTraceClose(file_);
        file_ = nullptr;
    }

    std::mutex mutex_;
    TraceFile* file_ = nullptr;
    std::string buffer_;
    std::uint64_t lines_ = 0;
    std::int64_t start_ = 0;
};

Session& session() {
    static Session s;
    return s;
}

std::atomic<std::uint32_t> nextCall{0};
std::atomic<std::uint32_t> nextThread{0};
thread_local std::uint32_t threadCall = 0;
thread_local std::uint32_t threadNo = 0;

void appendEscaped(std::string& s, const char* p, std::size_t max) {
    static const char digits[] = "0123456789abcdef";
    s += '"';
    for (std::size_t i = 0; i < max && p[i] != '\0'; ++i) {
        const unsigned char c = static_cast<unsigned char>(p[i]);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7F) {
            // Characters are single bytes: each is written as its code point.
            s += "\\u00";
            s += digits[c >> 4];
            s += digits[c & 15];
        } else {
            s += static_cast<char>(c);
        }
    }
    s += '"';
}

}  // namespace

bool active() { return session().active(); }

void emit(const Line& line) {
    if (line.ok()) session().emit(line.body());
}

std::uint32_t currentCall() { return threadCall; }

std::uint32_t threadNumber() {
    if (threadNo == 0) threadNo = ++nextThread;
    return threadNo;
}

// ---- Line ----------------------------------------------------------------------

template <class F>
Line& Line::guarded(F f) {
    if (!ok_) return *this;
    try {
        f();
    } catch (...) {
        ok_ = false;
    }
    return *this;
}

Line::Line(const char* event) {
    guarded([&] {
        s_.reserve(256);
        s_ += "\"ev\":\"";
        s_ += event;
        s_ += '"';
    });
    first_ = false;
}

void Line::separator() {
    if (!first_) s_ += ',';
    first_ = false;
}

Line& Line::key(const char* name) {
    return guarded([&] {
        separator();
        s_ += '"';
        s_ += name;
        s_ += "\":";
    });
}

Line& Line::number(std::int64_t v) {
    return guarded([&] { s_ += std::to_string(v); });
}

Line& Line::unsignedNumber(std::uint64_t v) {
    return guarded([&] { s_ += std::to_string(v); });
}

Line& Line::real(double v) {
    return guarded([&] {
        if (std::isnan(v)) {
            s_ += "\"NaN\"";
        } else if (std::isinf(v)) {
            s_ += v > 0 ? "\"Infinity\"" : "\"-Infinity\"";
        } else {
            // The shortest form that reads back as the same double, in the
            // "C" form whatever the host's locale.
            char num[40];
            const auto r = std::to_chars(num, num + sizeof num, v);
            s_.append(num, r.ptr);
        }
    });
}

Line& Line::text(const char* p, std::size_t max) {
    return guarded([&] {
        if (p == nullptr) s_ += "null";
        else appendEscaped(s_, p, max);
    });
}

Line& Line::bytes(const std::uint8_t* p, std::size_t n) {
    return guarded([&] {
        static const char digits[] = "0123456789ABCDEF";
        if (p == nullptr) {
            s_ += "null";
            return;
        }
        s_ += '"';
        for (std::size_t i = 0; i < n; ++i) {
            s_ += digits[p[i] >> 4];
            s_ += digits[p[i] & 15];
        }
        s_ += '"';
    });
}

Line& Line::null() {
    return guarded([&] { s_ += "null"; });
}

Line& Line::boolean(bool v) {
    return guarded([&] { s_ += v ? "true" : "false"; });
}

Line& Line::raw(const char* json) {
    return guarded([&] { s_ += json; });
}

Line& Line::beginObject(const char* name) {
    key(name);
    guarded([&] { s_ += '{'; });
    first_ = true;
    return *this;
}

Line& Line::endObject() {
    first_ = false;
    return guarded([&] { s_ += '}'; });
}

// ---- ExportCall ------------------------------------------------------------------

ExportCall::ExportCall(const char* exportName) {
    if (!active()) return;
    previous_ = threadCall;
    threadCall = ++nextCall;
    line_.emplace("export");
    line_->key("call").unsignedNumber(threadCall);
    line_->key("thread").unsignedNumber(threadNumber());
    line_->key("export").text(exportName, 64);
}

ExportCall::~ExportCall() {
    if (line_) threadCall = previous_;
}

void ExportCall::finish() {
    if (line_) emit(*line_);
}

}  // namespace skylark::trace
