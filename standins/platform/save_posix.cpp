// Saving a virtual device's file (a clock's, the reader's) on Linux: write a
// temporary file of its own beside the target (created exclusively, never
// through a link), flush it to disk, rename it over the target, then flush
// the folder, so a crash, a full disk or another save to the same path
// leaves a whole file that one of the saves wrote, and a save that reports
// success is on disk.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "standins/saved_file.h"

namespace standins {

namespace {

// Opens a fresh temporary file beside path; -1 when none can be made.
int createTemp(const std::string& path, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(::getpid()),
                      counter.fetch_add(1));
        temp = path + suffix;
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              0644);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool replaceFile(const std::string& path, const std::string& text) {
    std::string temp;
    const int fd = createTemp(path, temp);
    if (fd < 0) return false;
    std::size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && std::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    const std::size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // The rename has happened: the file is this save's whether or not the
    // folder's flush succeeds, so the save reports success either way.
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace standins
