// The built library resolves every listed export by name, and every entry of
// the command index names a listed export.
#include <gtest/gtest.h>

#include <string>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "export_names.h"
#include "frame/commands.h"

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

// Whether listed is the export name, plain or as the C++-linkage symbol of a
// function of that name (_Z<length><name>... or ?<name>@@...).
bool isExport(const std::string& listed, const std::string& name) {
    const std::string itanium = "_Z" + std::to_string(name.size()) + name;
    const std::string msvc = "?" + name + "@@";
    return listed == name || listed.compare(0, itanium.size(), itanium) == 0 ||
           listed.compare(0, msvc.size(), msvc) == 0;
}

TEST(Exports, EveryCommandNamesAListedExport) {
    for (const skylark::Command* c : skylark::kCommandIndex) {
        bool listed = false;
        for (const char* name : kExportNames) listed = listed || isExport(name, c->name);
        EXPECT_TRUE(listed) << c->name;
    }
}

}  // namespace
