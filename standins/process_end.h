// Whether the process is ending while the stand-ins' static objects are
// destroyed (platform/process_*.cpp). On Windows a DLL's static objects go
// after the system ended every other thread of the process, wherever it
// stood: a thread of ours cannot be woken, nor joined, nor its locks
// trusted then. Elsewhere the threads still run and are ended as always.
#pragma once

namespace standins {

bool processEnding();

}  // namespace standins
