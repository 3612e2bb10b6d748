// Saving a clock's file on Windows: write a temporary file beside it, flush
// it to disk, then move it over the old file with a write-through replace,
// so a crash or a full disk leaves either the old file or the new one.
#include <windows.h>

#include <algorithm>
#include <string>

#include "standins/clocklink/virtual/virtual_clock.h"

namespace standins::vclock {

bool replaceFile(const std::string& path, const std::string& text) {
    const std::string temp = path + ".tmp";
    HANDLE h = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
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
    ok = ok && MoveFileExA(temp.c_str(), path.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) DeleteFileA(temp.c_str());
    return ok;
}

}  // namespace standins::vclock
