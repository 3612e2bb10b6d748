// What the fuzz targets share: a reader over the fuzzer's bytes, outputs
// filled with a known pattern to see whether a call wrote them, texts placed
// against an unreadable page, the property checks, and scratch files.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fuzz {

// What the target is exercising, printed with a failure.
inline std::string context;

// Fails the run with a message: a property did not hold.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "property violated: %s [%s]\n", what, context.c_str());
    std::abort();
}
inline void check(bool holds, const char* what) {
    if (!holds) fail(what);
}

// Takes values off the front of the fuzzer's input; zeros once it is used up.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    std::uint8_t u8() { return p_ < end_ ? *p_++ : 0; }
    std::uint16_t u16() { return static_cast<std::uint16_t>(u8() << 8 | u8()); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(u16()) << 16 | u16(); }
    double f64() {
        std::uint64_t bits = static_cast<std::uint64_t>(u32()) << 32 | u32();
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::vector<std::uint8_t> bytes(std::size_t n) {
        std::vector<std::uint8_t> out;
        while (n-- > 0 && p_ < end_) out.push_back(*p_++);
        return out;
    }
    // A text of up to max characters (its length from the input).
    std::string text(std::size_t max) {
        const std::size_t n = u8() % (max + 1);
        std::string s;
        while (s.size() < n && p_ < end_) s += static_cast<char>(*p_++);
        return s;
    }
    // Copies up to n bytes into dst; what the input lacks is left as it is.
    void fill(void* dst, std::size_t n) {
        auto* out = static_cast<std::uint8_t*>(dst);
        while (n-- > 0 && p_ < end_) *out++ = *p_++;
    }
    std::vector<std::uint8_t> rest() { return bytes(static_cast<std::size_t>(end_ - p_)); }
    bool empty() const { return p_ >= end_; }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

// An output buffer filled with a pattern, with room behind the size the
// export states, so a write beyond it or a write on failure shows.
template <std::size_t N>
struct Out {
    static constexpr std::size_t kSlack = 16;
    unsigned char bytes[N + kSlack];
    Out() { std::memset(bytes, 0xA5, sizeof bytes); }
    char* text() { return reinterpret_cast<char*>(bytes); }
    template <class T>
    T* as() { return reinterpret_cast<T*>(bytes); }
    bool untouched() const {
        for (unsigned char b : bytes)
            if (b != 0xA5) return false;
        return true;
    }
    bool slackUntouched() const {
        for (std::size_t i = N; i < sizeof bytes; ++i)
            if (bytes[i] != 0xA5) return false;
        return true;
    }
    // Upper-case hex digits and a NUL exactly at digits, nothing written after.
    bool isHex(std::size_t digits) const {
        for (std::size_t i = 0; i < digits; ++i) {
            const unsigned char c = bytes[i];
            if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
        }
        return bytes[digits] == '\0' && untouchedFrom(digits + 1);
    }
    // A NUL somewhere in the first size characters and nothing written past them.
    bool isText(std::size_t size) const {
        for (std::size_t i = 0; i < size && i < N; ++i)
            if (bytes[i] == '\0') return untouchedFrom(size);
        return false;
    }
    bool untouchedFrom(std::size_t at) const {
        for (std::size_t i = at; i < sizeof bytes; ++i)
            if (bytes[i] != 0xA5) return false;
        return true;
    }
};

// Two pages, the second unreadable: a text placed so its last byte is the
// last readable one. A read past it faults at once under any build.
class GuardedPage {
public:
    GuardedPage() {
        page_ = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        void* p = mmap(nullptr, 2 * page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                       -1, 0);
        if (p == MAP_FAILED) fail("mmap");
        base_ = static_cast<char*>(p);
        if (mprotect(base_ + page_, page_, PROT_NONE) != 0) fail("mprotect");
    }
    ~GuardedPage() { munmap(base_, 2 * page_); }
    GuardedPage(const GuardedPage&) = delete;
    GuardedPage& operator=(const GuardedPage&) = delete;

    // Places bytes (no terminator added) to end at the page's end.
    const char* place(const std::string& bytes) {
        const std::size_t n = bytes.size() < page_ ? bytes.size() : page_;
        char* at = base_ + page_ - n;
        std::memcpy(at, bytes.data(), n);
        return at;
    }

private:
    std::size_t page_;
    char* base_;
};

// The forms in which a fuzzed text reaches an export. Every one is a valid
// C text or holds more digits than any field needs: a read past what the
// export needs faults on the guard page.
enum class TextForm { Terminated, NulAtPageEnd, DigitsToPageEnd, VeryLong };

inline const char* shapeText(GuardedPage& page, std::string& storage, std::string text,
                             TextForm form) {
    text = text.substr(0, text.find('\0'));
    switch (form) {
        case TextForm::Terminated:
            storage = text;
            return storage.c_str();
        case TextForm::NulAtPageEnd:
            return page.place(text + '\0');
        case TextForm::DigitsToPageEnd:
            // No terminator: the export must stop once its field is full.
            return page.place(text + std::string(96, '0'));
        case TextForm::VeryLong:
            storage.clear();
            while (storage.size() < (1u << 16)) storage += text.empty() ? std::string("F") : text;
            return storage.c_str();
    }
    return "";
}

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeAll(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A scratch file of the target `target`, in memory where the system has a
// folder for it: saves flush, and a run makes many.
inline std::string scratch(const char* target, const char* name) {
    static const std::string dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : ".";
    return dir + "/skylark_fuzz_" + target + "_" + std::to_string(getpid()) + "_" + name;
}

}  // namespace fuzz
