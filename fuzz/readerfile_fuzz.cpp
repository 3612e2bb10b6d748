// Hostile reader files. The input is a reader file's text.
//  - A refused file: RRV_ERR_FILE_DAMAGED or RRV_ERR_FILE_VERSION, no
//    handle, a reason within the buffer, the file left as it was.
//  - A loaded file: the reader saves again, every tag of that file reads
//    back page for page, the save loads again and saves the same text, and
//    the field holds a tag exactly when the file names one (which the
//    library then activates and reads).

#include <cstdio>
#include <cstring>
#include <string>

#include <nlohmann/json.hpp>

#include "skylark/skylark.h"
#include "fuzz_support.h"
#include "skylark/virtual_reader.h"

namespace {

using nlohmann::json;

using fuzz::readAll;
using fuzz::writeAll;
std::string scratch(const char* name) { return fuzz::scratch("readerfile", name); }

int digit(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

// The reader's saved text, checked against what the reader holds.
std::string savedAndChecked(RRV_HANDLE h) {
    const std::string path = scratch("saved.json");
    fuzz::check(RRV_Save(h, path.c_str()) == RRV_OK, "a loaded reader saves");
    const std::string text = readAll(path);
    std::remove(path.c_str());
    const json j = json::parse(text);
    fuzz::check(j.at("tags").size() <= RRV_MAX_TAGS, "at most RRV_MAX_TAGS tags");
    for (const json& t : j.at("tags")) {
        const std::string uidText = t.at("uid");
        unsigned char uid[4];
        for (int i = 0; i < 4; ++i) uid[i] = static_cast<unsigned char>(digit(uidText[2 * i]) * 16 + digit(uidText[2 * i + 1]));
        for (RRV_ULONG p = 0; p < RRV_TAG_PAGES; ++p) {
            unsigned char page[4];
            fuzz::check(RRV_ReadTagPage(h, uid, p, page) == 1, "every saved tag's page reads");
            const std::string want = p == 0 ? uidText : p == 1 ? t.at("config").get<std::string>()
                                                               : t.at("pages").at(p - 2).get<std::string>();
            for (int i = 0; i < 4; ++i)
                fuzz::check(page[i] == digit(want[2 * i]) * 16 + digit(want[2 * i + 1]), "a page as saved");
        }
    }
    char uidHex[9] = {};
    const bool active = SKR_ActiveCard(h, uidHex) != 0;
    fuzz::check(active == !j.at("field").is_null(), "the field holds a tag when the file names one");
    if (active) {
        fuzz::check(j.at("field") == uidHex, "the tag in the field is the one named");
        char ring[13], race[9];
        fuzz::check(SKR_ReadCard(h, ring, race) != 0, "the tag in the field reads");
        SKR_DeactiveCard(h);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    fuzz::context = "reader file";
    const std::string path = scratch("input.json");
    writeAll(path, text);
    int err = -1;
    char why[64];
    std::memset(why, 'x', sizeof why);
    const RRV_HANDLE h = RRV_LoadEx(path.c_str(), &err, why, sizeof why);
    fuzz::check(std::memchr(why, '\0', sizeof why) != nullptr, "the reason ends within its buffer");
    if (h == 0) {
        fuzz::check(err == RRV_ERR_FILE_DAMAGED || err == RRV_ERR_FILE_VERSION, "a refusal's code");
        fuzz::check(why[0] != '\0', "a refusal says why");
        fuzz::check(readAll(path) == text, "a refused file is left as it was");
    } else {
        fuzz::check(err == RRV_OK && why[0] == '\0', "a load's code and reason");
        const std::string first = savedAndChecked(h);
        RRV_Close(h);
        writeAll(path, first);
        const RRV_HANDLE again = RRV_LoadEx(path.c_str(), &err, why, sizeof why);
        fuzz::check(again != 0, "a reader's save loads again");
        fuzz::check(savedAndChecked(again) == first, "the loaded save saves the same text");
        RRV_Close(again);
    }
    std::remove(path.c_str());
    return 0;
}
