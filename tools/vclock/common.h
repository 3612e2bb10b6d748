// What the clock commands and the tag commands of skylark-vclock share: the
// exit status, a refusal, and the files they read back.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vclock {

// Exit status: done, refused (the file or the device said no), bad usage.
constexpr int kDone = 0, kRefused = 1, kUsage = 2;

// A refusal: the command stops and says why, with exit status kRefused.
struct Refusal {
    std::string message;
};
[[noreturn]] inline void refuse(const std::string& message) { throw Refusal{message}; }

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A temporary file of our own, removed at the end.
struct TempFile {
    std::string path;
    TempFile() {
        static int n = 0;
        path = (std::filesystem::temp_directory_path() /
                ("skylark-vclock-" + std::to_string(getpid()) + "-" + std::to_string(++n) + ".json"))
                   .string();
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() { std::remove(path.c_str()); }
};

}  // namespace vclock
