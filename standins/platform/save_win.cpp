// Saving a virtual device's file (a clock's, the reader's) on Windows: write
// a temporary file of its own beside the target (created new, so never an
// existing file or link), flush it to disk, then move it over the target
// with a write-through replace, so a crash, a full disk or another save to
// the same path leaves a whole file that one of the saves wrote.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>

#include "standins/saved_file.h"

namespace standins {

namespace {

HANDLE createTemp(const std::string& path, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%lu.%u.tmp",
                      static_cast<unsigned long>(GetCurrentProcessId()), counter.fetch_add(1));
        temp = path + suffix;
        HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

// Moves temp over path. A replace fails while another one on the same path
// is under way (access denied or a sharing violation): saves of this process
// take turns, and one that meets another process's save tries again for up
// to about a second.
bool moveOver(const std::string& temp, const std::string& path) {
    static std::mutex turns;
    std::lock_guard<std::mutex> lock(turns);
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        const DWORD e = GetLastError();
        if ((e != ERROR_ACCESS_DENIED && e != ERROR_SHARING_VIOLATION) || attempt >= 100) return false;
        Sleep(10);
    }
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text) {
    std::string temp;
    HANDLE h = createTemp(path, temp);
    if (h == INVALID_HANDLE_VALUE) return false;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<std::size_t>(text.size() - done, 1u << 20));
        ok = WriteFile(h, text.data() + done, want, &n, nullptr) && n > 0;
        done += n;
    }
    ok = ok && FlushFileBuffers(h);
    ok = CloseHandle(h) && ok;
    ok = ok && moveOver(temp, path);
    if (!ok) DeleteFileA(temp.c_str());
    return ok;
}

}  // namespace standins
