// The files of the stand-ins' virtual devices (the clocks' and the
// reader's): read whole, and saved atomically (platform/save_*.cpp).
#pragma once

#include <string>

namespace standins {

// The whole content of the file at path into text; false when it cannot be
// read.
bool readFile(const std::string& path, std::string& text);

// Replaces the file at path with text atomically: a temporary file of its
// own beside it (created new, never through a link), flushed, renamed over
// path, the folder flushed. On failure path is left as it was.
bool replaceFile(const std::string& path, const std::string& text);

}  // namespace standins
