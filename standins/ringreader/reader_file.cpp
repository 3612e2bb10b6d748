// Reading is strict: JSON without duplicate keys, only the fields of the
// format, every hex text of exactly its length, each UID once, the tag in
// the field one of the tags. A refusal names the field by a JSON pointer.
#include "standins/ringreader/reader_file.h"

#include <cstring>
#include <new>

#include <nlohmann/json.hpp>

#include "standins/hex.h"
#include "standins/strict_json.h"

namespace standins {

namespace {

using nlohmann::json;
using ojson = nlohmann::ordered_json;

constexpr const char* kFormat = "skylark-virtual-reader";
constexpr int kVersion = 1;
constexpr std::size_t kUidPage = 0, kConfigPage = 1, kFirstUserPage = 2;
constexpr std::size_t kUserPages = RRV_TAG_PAGES - kFirstUserPage;
// The configuration page as a tag leaves the factory.
constexpr std::array<unsigned char, RRV_PAGE_BYTES> kFactoryConfig = {0x06, 0x00, 0x00, 0xAA};

struct Refused {
    int code;
    std::string where, what;
};
[[noreturn]] void refuse(const std::string& where, const std::string& what, int code = RRV_ERR_FILE_DAMAGED) {
    throw Refused{code, where, what};
}

std::string pageText(const std::array<unsigned char, RRV_PAGE_BYTES>& page) {
    return hexText(page.data(), page.size());
}

// A page of 8 hex digits, either case.
std::array<unsigned char, RRV_PAGE_BYTES> page(const json& j, const std::string& where) {
    if (!j.is_string()) refuse(where, "not a text of 8 hex digits");
    const std::string& s = j.get_ref<const std::string&>();
    std::array<unsigned char, RRV_PAGE_BYTES> out{};
    if (s.size() != 2 * out.size()) refuse(where, "not 8 hex digits");
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int high = hexDigit(s[2 * i]), low = hexDigit(s[2 * i + 1]);
        if (high < 0 || low < 0) refuse(where, "not 8 hex digits");
        out[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return out;
}

void onlyKeys(const json& obj, const std::string& where, std::initializer_list<const char*> keys) {
    if (!obj.is_object()) refuse(where, "not an object");
    for (auto it = obj.begin(); it != obj.end(); ++it) {
        bool known = false;
        for (const char* k : keys) known = known || it.key() == k;
        if (!known) refuse(where + "/" + pointerToken(it.key()), "not a field of a reader file");
    }
}

// A page number key of the pages object: "2" to "15", decimal, no leading zero.
std::size_t pageNumber(const std::string& key, const std::string& where) {
    std::size_t n = 0;
    const bool digits = !key.empty() && key.size() <= 2 && (key.size() == 1 || key[0] != '0') &&
                        key.find_first_not_of("0123456789") == std::string::npos;
    if (digits) n = static_cast<std::size_t>(std::stoul(key));
    if (!digits || n >= RRV_TAG_PAGES) refuse(where, "not a page number from 2 to 15");
    if (n == kUidPage) refuse(where, "page 0 is the UID: give it as \"uid\"");
    if (n == kConfigPage) refuse(where, "page 1 is the configuration page: give it as \"config\"");
    return n;
}

TagMemory tagOf(const json& t, const std::string& at) {
    onlyKeys(t, at, {"uid", "config", "pages"});
    TagMemory memory{};
    const auto uid = t.find("uid");
    if (uid == t.end()) refuse(at + "/uid", "missing");
    memory[kUidPage] = page(*uid, at + "/uid");
    const auto config = t.find("config");
    memory[kConfigPage] = config == t.end() ? kFactoryConfig : page(*config, at + "/config");
    const auto pages = t.find("pages");
    if (pages == t.end()) return memory;
    const std::string where = at + "/pages";
    if (pages->is_array()) {
        if (pages->size() != kUserPages) refuse(where, "not a list of 14 pages (pages 2 to 15)");
        for (std::size_t i = 0; i < kUserPages; ++i)
            memory[kFirstUserPage + i] = page((*pages)[i], where + "/" + std::to_string(i));
    } else if (pages->is_object()) {
        for (auto it = pages->begin(); it != pages->end(); ++it) {
            const std::string w = where + "/" + pointerToken(it.key());
            memory[pageNumber(it.key(), w)] = page(it.value(), w);
        }
    } else {
        refuse(where, "not a list of 14 pages or an object of page numbers");
    }
    return memory;
}

ReaderImage imageOf(const json& j) {
    if (!j.is_object()) refuse("", "not a reader file (not a JSON object)");
    const auto format = j.find("format");
    if (format == j.end()) refuse("/format", "missing");
    if (*format != kFormat) refuse("/format", "not \"skylark-virtual-reader\"");
    const auto version = j.find("version");
    if (version == j.end()) refuse("/version", "missing");
    if (!version->is_number_unsigned()) refuse("/version", "not a version number");
    if (version->get<std::uint64_t>() > static_cast<std::uint64_t>(kVersion))
        refuse("/version", "saved by a newer version (this reader reads version 1)", RRV_ERR_FILE_VERSION);
    if (version->get<std::uint64_t>() != static_cast<std::uint64_t>(kVersion)) refuse("/version", "not 1");
    onlyKeys(j, "", {"format", "version", "tags", "field"});

    ReaderImage image;
    std::map<TagUid, std::size_t> seen;  // UID -> index of its tag
    const auto tags = j.find("tags");
    if (tags != j.end()) {
        if (!tags->is_array()) refuse("/tags", "not a list");
        if (tags->size() > RRV_MAX_TAGS)
            refuse("/tags", "more than " + std::to_string(RRV_MAX_TAGS) + " tags");
        for (std::size_t i = 0; i < tags->size(); ++i) {
            const std::string at = "/tags/" + std::to_string(i);
            const TagMemory memory = tagOf((*tags)[i], at);
            TagUid uid;
            std::memcpy(uid.data(), memory[kUidPage].data(), uid.size());
            const auto [it, added] = seen.emplace(uid, i);
            if (!added) refuse(at + "/uid", "the UID of tag " + std::to_string(it->second) + " again");
            image.tags.emplace(uid, memory);
        }
    }
    const auto field = j.find("field");
    if (field != j.end() && !field->is_null()) {
        const auto uid = page(*field, "/field");
        TagUid key;
        std::memcpy(key.data(), uid.data(), key.size());
        if (image.tags.count(key) == 0) refuse("/field", "no tag of this UID in /tags");
        image.field = key;
    }
    return image;
}

}  // namespace

std::string readerFileText(const ReaderImage& image) {
    ojson tags = ojson::array();
    for (const auto& [uid, memory] : image.tags) {
        ojson pages = ojson::array();
        for (std::size_t p = kFirstUserPage; p < RRV_TAG_PAGES; ++p) pages.push_back(pageText(memory[p]));
        tags.push_back({{"uid", hexText(uid.data(), uid.size())},
                        {"config", pageText(memory[kConfigPage])},
                        {"pages", pages}});
    }
    ojson j;
    j["format"] = kFormat;
    j["version"] = kVersion;
    j["tags"] = tags;
    j["field"] = image.field ? ojson(hexText(image.field->data(), image.field->size())) : ojson();
    return j.dump(1) + "\n";
}

int readerFromText(const std::string& text, ReaderImage& out, std::string* why) {
    try {
        json j;
        JsonRefusal refusal;
        if (!parseStrict(text, j, refusal)) refuse(refusal.where, refusal.what);
        out = imageOf(j);
        if (why != nullptr) why->clear();
        return RRV_OK;
    } catch (const Refused& r) {
        if (why != nullptr) *why = r.where.empty() ? r.what : r.where + ": " + r.what;
        return r.code;
    } catch (const std::bad_alloc&) {
        if (why != nullptr) *why = "out of memory";
        return RRV_ERR_FULL;
    } catch (const std::exception& e) {  // nothing the checks above let through
        if (why != nullptr) *why = std::string("unreadable: ") + e.what();
        return RRV_ERR_FILE_DAMAGED;
    }
}

}  // namespace standins
