// The built library resolves every listed export by name, and every entry of
// the command index names a listed export.
#include <gtest/gtest.h>

#include <string>

#include "export_names.h"
#include "frame/commands.h"
#include "support.h"

namespace {

TEST(Exports, EveryListedNameResolves) {
    for (const char* name : kExportNames) EXPECT_NE(test::exportAddress(name), nullptr) << name;
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
