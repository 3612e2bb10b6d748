// What the end-to-end suites share: hex written in tests (decoded here, not
// by the codec under test) and handles that close themselves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skylark.h"
#include "virtual_reader.h"

namespace e2e {

using Bytes = std::vector<std::uint8_t>;

// Bytes of hex written in a test; anything but hex digits is skipped.
inline Bytes hex(const std::string& text) {
    Bytes out;
    int high = -1;
    for (const char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(high * 16 + v));
            high = -1;
        }
    }
    return out;
}

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

}  // namespace e2e
