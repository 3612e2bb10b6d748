// The built library resolves every listed export by name.
#include <gtest/gtest.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "export_names.h"

namespace {

#if defined(_WIN32)
void* lookup(const char* name) {
    HMODULE lib = GetModuleHandleA("Skylark.dll");
    return lib ? reinterpret_cast<void*>(GetProcAddress(lib, name)) : nullptr;
}
#else
void* lookup(const char* name) {
    void* lib = dlopen("libskylark.so", RTLD_NOW | RTLD_NOLOAD);
    void* sym = lib ? dlsym(lib, name) : nullptr;
    if (lib) dlclose(lib);
    return sym;
}
#endif

TEST(Exports, EveryListedNameResolves) {
    for (const char* name : kExportNames) EXPECT_NE(lookup(name), nullptr) << name;
}

}  // namespace
