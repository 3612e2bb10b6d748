// The virtual reader's file (format in include/skylark/virtual_reader.h):
// its tags' memory and the tag in the field, as JSON text and back.
#pragma once

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

#include "skylark/virtual_reader.h"

namespace standins {

using TagUid = std::array<unsigned char, RRV_PAGE_BYTES>;
// A tag's memory, page 0 (the UID) first.
using TagMemory = std::array<std::array<unsigned char, RRV_PAGE_BYTES>, RRV_TAG_PAGES>;

// What a reader file holds.
struct ReaderImage {
    std::map<TagUid, TagMemory> tags;  // every tag, by UID
    std::optional<TagUid> field;       // the tag in the field, one of tags
};

// The file's text: tags in the order of their UIDs, every page written out.
std::string readerFileText(const ReaderImage& image);

// Reads a reader file into out (untouched unless RRV_OK). Returns RRV_OK or
// RRV_ERR_FILE_DAMAGED, RRV_ERR_FILE_VERSION, RRV_ERR_FULL; *why (if given)
// names the refused field as a JSON pointer and says what is wrong with it.
int readerFromText(const std::string& text, ReaderImage& out, std::string* why = nullptr);

}  // namespace standins
