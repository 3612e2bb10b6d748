// The process's end on Windows: a DLL's static objects are destroyed in its
// DLL_PROCESS_DETACH, after ExitProcess ended every other thread. ntdll says
// whether that is where we are (not linked against: looked up once).
#include <windows.h>

#include "standins/process_end.h"

namespace standins {

bool processEnding() {
    using Query = BOOLEAN(WINAPI*)();
    static const Query query = [] {
        const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll == nullptr ? nullptr
                                : reinterpret_cast<Query>(reinterpret_cast<void*>(
                                      GetProcAddress(ntdll, "RtlDllShutdownInProgress")));
    }();
    return query != nullptr && query() != 0;
}

}  // namespace standins
