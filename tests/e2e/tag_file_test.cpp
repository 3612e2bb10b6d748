// Reader files: a virtual reader's tags saved and loaded (RRV_Save,
// RRV_Load), the file a person writes by hand, every rule of the file with
// the field it names, and raw tag memory (RRV_WriteTagPage) read back
// through Skylark's SKR_ exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "host.h"

namespace {

using e2e::Bytes;
using e2e::hex;

using e2e::readFile;
using e2e::tempPath;
using e2e::TempFile;
using e2e::writeFile;

// A reader opened from a file, closed at the end; 0 when the file was refused.
struct Loaded {
    RRV_HANDLE handle = 0;
    int err = -1;
    std::string why;
    explicit Loaded(const std::string& path) {
        char text[256] = "unchanged";
        handle = RRV_LoadEx(path.c_str(), &err, text, sizeof text);
        why = text;
    }
    ~Loaded() {
        if (handle != 0) RRV_Close(handle);
    }
    Loaded(const Loaded&) = delete;
    Loaded& operator=(const Loaded&) = delete;
};

// Page p of a tag (uid empty: the tag in the field), empty when refused.
Bytes page(RRV_HANDLE reader, RRV_ULONG p, const Bytes& uid = {}) {
    std::uint8_t data[4] = {};
    if (!RRV_ReadTagPage(reader, uid.empty() ? nullptr : uid.data(), p, data)) return {};
    return Bytes(data, data + 4);
}

bool poke(RRV_HANDLE reader, RRV_ULONG p, const Bytes& data, const Bytes& uid = {}) {
    return RRV_WriteTagPage(reader, uid.empty() ? nullptr : uid.data(), p, data.data()) != 0;
}

const Bytes kFormatted = hex("5A 01 C3 7E"), kRaw = hex("0A 1B 2C 3D"), kFactory = hex("00 00 00 01");
// Pages 4..7 as SKR_FormatCard writes ring 112233445566, race 01020304.
const char* kFrame = "00 22 32 29 9D 12 AB 66 80 C0 A0 70 48 04 62 07";

// Every page of every tag, the tag in the field, and an empty field come
// back from a file; a loaded reader saves the same file again.
TEST(ReaderFile, EveryFieldSurvivesARoundTrip) {
    TempFile first("first.json"), second("second.json");
    for (const bool fieldHoldsATag : {true, false}) {
        SCOPED_TRACE(fieldHoldsATag ? "a tag in the field" : "an empty field");
        {
            e2e::Reader reader;
            // One formatted through the library, one with every page raw
            // (page p holding p0 p1 p2 p3), one from the factory.
            ASSERT_TRUE(reader.put(kFormatted));
            char uid[9] = {};
            ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
            ASSERT_NE(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0);
            ASSERT_TRUE(reader.take());
            ASSERT_NE(RRV_AddTag(reader.handle(), kFactory.data()), 0);
            ASSERT_TRUE(reader.put(kRaw));
            for (RRV_ULONG p = 1; p < RRV_TAG_PAGES; ++p) {
                const auto b = static_cast<std::uint8_t>(p << 4);
                ASSERT_TRUE(poke(reader.handle(), p, {b, static_cast<std::uint8_t>(b | 1), static_cast<std::uint8_t>(b | 2),
                                                      static_cast<std::uint8_t>(b | 3)}));
            }
            if (!fieldHoldsATag) {
                ASSERT_TRUE(reader.take());
            }
            ASSERT_EQ(RRV_Save(reader.handle(), first.path.c_str()), RRV_OK);
        }
        Loaded loaded(first.path);
        ASSERT_NE(loaded.handle, 0u) << loaded.why;
        EXPECT_EQ(loaded.err, RRV_OK);
        EXPECT_EQ(loaded.why, "");

        EXPECT_EQ(page(loaded.handle, 1, kFormatted), hex("06 08 00 AA"));
        Bytes frame;
        for (RRV_ULONG p = 4; p < 8; ++p) {
            const Bytes b = page(loaded.handle, p, kFormatted);
            frame.insert(frame.end(), b.begin(), b.end());
        }
        EXPECT_EQ(frame, hex(kFrame));
        for (RRV_ULONG p = 0; p < RRV_TAG_PAGES; ++p) {
            SCOPED_TRACE(p);
            const auto b = static_cast<std::uint8_t>(p << 4);
            const Bytes raw = p == 0 ? kRaw
                                     : Bytes{b, static_cast<std::uint8_t>(b | 1), static_cast<std::uint8_t>(b | 2),
                                             static_cast<std::uint8_t>(b | 3)};
            EXPECT_EQ(page(loaded.handle, p, kRaw), raw);
            const Bytes factory = p == 0 ? kFactory : p == 1 ? hex("06 00 00 AA") : Bytes(4, 0);
            EXPECT_EQ(page(loaded.handle, p, kFactory), factory);
            if (p == 0 || (p >= 2 && (p < 4 || p > 7))) {
                EXPECT_EQ(page(loaded.handle, p, kFormatted), p == 0 ? kFormatted : Bytes(4, 0));
            }
        }

        char uid[9] = {}, ring[13] = {}, race[9] = {};
        if (fieldHoldsATag) {
            EXPECT_EQ(SKR_ReadCard(loaded.handle, ring, race), 0) << "the tag in the field is not activated";
            EXPECT_EQ(RRV_PutTag(loaded.handle, kFactory.data()), 0) << "the field holds a tag";
            ASSERT_NE(SKR_ActiveCard(loaded.handle, uid), 0);
            EXPECT_STREQ(uid, "0A1B2C3D");
        } else {
            EXPECT_EQ(SKR_ActiveCard(loaded.handle, uid), 0) << "the field is empty";
        }
        ASSERT_EQ(RRV_Save(loaded.handle, second.path.c_str()), RRV_OK);
        EXPECT_EQ(readFile(second.path), readFile(first.path));

        if (!fieldHoldsATag) {
            // The formatted tag, put back into the loaded reader, reads as written.
            ASSERT_NE(RRV_PutTag(loaded.handle, kFormatted.data()), 0);
            ASSERT_NE(SKR_ActiveCard(loaded.handle, uid), 0);
            ASSERT_NE(SKR_ReadCard(loaded.handle, ring, race), 0);
            EXPECT_STREQ(ring, "112233445566");
            EXPECT_STREQ(race, "01020304");
        }
    }
}

// A file written by hand: a tag with only its UID is a factory tag, pages
// may be given by number, hex digits of either case; the reader saves it in
// full and in upper case.
TEST(ReaderFile, HandWrittenFileTakesDefaults) {
    TempFile file("hand.json"), saved("hand-saved.json");
    writeFile(file.path, R"({"format": "skylark-virtual-reader", "version": 1,
      "tags": [{"uid": "0a1b2c3d"},
               {"uid": "5A01C37E", "config": "060800aa", "pages": {"4": "00223229", "15": "ffeeddcc"}}],
      "field": "0A1B2C3D"})");
    Loaded loaded(file.path);
    ASSERT_NE(loaded.handle, 0u) << loaded.why;
    EXPECT_EQ(page(loaded.handle, 0), kRaw) << "the tag in the field";
    EXPECT_EQ(page(loaded.handle, 1, kRaw), hex("06 00 00 AA"));
    for (RRV_ULONG p = 2; p < RRV_TAG_PAGES; ++p) EXPECT_EQ(page(loaded.handle, p, kRaw), Bytes(4, 0)) << p;
    EXPECT_EQ(page(loaded.handle, 1, kFormatted), hex("06 08 00 AA"));
    EXPECT_EQ(page(loaded.handle, 4, kFormatted), hex("00 22 32 29"));
    EXPECT_EQ(page(loaded.handle, 5, kFormatted), Bytes(4, 0));
    EXPECT_EQ(page(loaded.handle, 15, kFormatted), hex("FF EE DD CC"));

    ASSERT_EQ(RRV_Save(loaded.handle, saved.path.c_str()), RRV_OK);
    const std::string text = readFile(saved.path);
    EXPECT_NE(text.find("\"uid\": \"0A1B2C3D\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"FFEEDDCC\""), std::string::npos) << text;
    EXPECT_NE(text.find("\"field\": \"0A1B2C3D\""), std::string::npos) << text;

    // The least file: no tags, nothing in the field.
    writeFile(file.path, R"({"format": "skylark-virtual-reader", "version": 1})");
    Loaded empty(file.path);
    ASSERT_NE(empty.handle, 0u) << empty.why;
    EXPECT_NE(RRV_PutTag(empty.handle, kRaw.data()), 0);
}

struct Refusal {
    const char* name;
    std::string body;  // the file, or its tags and field after the header (see fileOf)
    int err;
    const char* why;  // the start of RRV_LoadEx's reason
};

void PrintTo(const Refusal& r, std::ostream* os) { *os << r.name; }

// A whole document, or a body that starts with a comma appended to the header.
std::string fileOf(const std::string& body) {
    return body.rfind(",", 0) == 0 ? R"({"format": "skylark-virtual-reader", "version": 1)" + body + "}" : body;
}

std::string manyTags(std::size_t n) {
    std::string tags;
    char uid[16];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(uid, sizeof uid, "%08X", static_cast<unsigned>(i));
        tags += std::string(i ? "," : "") + "{\"uid\": \"" + uid + "\"}";
    }
    return ", \"tags\": [" + tags + "]";
}

const Refusal kRefusals[] = {
    {"NotJson", "{\"format\": ", RRV_ERR_FILE_DAMAGED, "not JSON text"},
    {"NotAnObject", "[1, 2]", RRV_ERR_FILE_DAMAGED, "not a reader file"},
    {"NoFormat", R"({"version": 1})", RRV_ERR_FILE_DAMAGED, "/format: missing"},
    {"ClockFile", R"({"format": "skylark-virtual-clock", "version": 1})", RRV_ERR_FILE_DAMAGED, "/format: "},
    {"NoVersion", R"({"format": "skylark-virtual-reader"})", RRV_ERR_FILE_DAMAGED, "/version: missing"},
    {"VersionAsText", R"({"format": "skylark-virtual-reader", "version": "1"})", RRV_ERR_FILE_DAMAGED, "/version: "},
    {"VersionZero", R"({"format": "skylark-virtual-reader", "version": 0})", RRV_ERR_FILE_DAMAGED, "/version: not 1"},
    {"NewerVersion", R"({"format": "skylark-virtual-reader", "version": 2, "more": true})", RRV_ERR_FILE_VERSION,
     "/version: saved by a newer version"},
    {"KeyTwice", R"({"format": "skylark-virtual-reader", "version": 1, "version": 1})", RRV_ERR_FILE_DAMAGED,
     "/version: key appears twice"},
    {"KeyTwiceInATag", R"(, "tags": [{"uid": "00000001"}, {"uid": "00000002", "uid": "00000003"}])",
     RRV_ERR_FILE_DAMAGED, "/tags/1/uid: key appears twice"},
    {"UnknownField", R"(, "colour": "blue")", RRV_ERR_FILE_DAMAGED, "/colour: not a field"},
    {"UnknownTagField", R"(, "tags": [{"uid": "00000001", "crc": "00"}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/crc: not a field"},
    {"TagsNotAList", R"(, "tags": {"uid": "00000001"})", RRV_ERR_FILE_DAMAGED, "/tags: not a list"},
    {"TagNotAnObject", R"(, "tags": ["00000001"])", RRV_ERR_FILE_DAMAGED, "/tags/0: not an object"},
    {"NoUid", R"(, "tags": [{"config": "060000AA"}])", RRV_ERR_FILE_DAMAGED, "/tags/0/uid: missing"},
    {"ShortUid", R"(, "tags": [{"uid": "0000001"}])", RRV_ERR_FILE_DAMAGED, "/tags/0/uid: not 8 hex digits"},
    {"LongUid", R"(, "tags": [{"uid": "000000001"}])", RRV_ERR_FILE_DAMAGED, "/tags/0/uid: not 8 hex digits"},
    {"UidNotHex", R"(, "tags": [{"uid": "0000000G"}])", RRV_ERR_FILE_DAMAGED, "/tags/0/uid: not 8 hex digits"},
    {"UidANumber", R"(, "tags": [{"uid": 1}])", RRV_ERR_FILE_DAMAGED, "/tags/0/uid: not a text"},
    {"UidTwice", R"(, "tags": [{"uid": "0a1b2c3d"}, {"uid": "00000001"}, {"uid": "0A1B2C3D"}])",
     RRV_ERR_FILE_DAMAGED, "/tags/2/uid: the UID of tag 0 again"},
    {"LongConfig", R"(, "tags": [{"uid": "00000001", "config": "060000AA00"}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/config: not 8 hex digits"},
    {"ThirteenPages", R"(, "tags": [{"uid": "00000001", "pages": ["00000000","00000000","00000000","00000000",
       "00000000","00000000","00000000","00000000","00000000","00000000","00000000","00000000","00000000"]}])",
     RRV_ERR_FILE_DAMAGED, "/tags/0/pages: not a list of 14 pages"},
    {"ShortPageInList", R"(, "tags": [{"uid": "00000001", "pages": ["00000000","00000000","00000000","00000000",
       "00000000","00000000","00000000","00000000","00000000","00000000","00000000","00000000","00000000","000000"]}])",
     RRV_ERR_FILE_DAMAGED, "/tags/0/pages/13: not 8 hex digits"},
    {"PagesAText", R"(, "tags": [{"uid": "00000001", "pages": "00000000"}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/pages: not a list of 14 pages or an object"},
    {"PageZeroByNumber", R"(, "tags": [{"uid": "00000001", "pages": {"0": "00000002"}}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/pages/0: page 0 is the UID"},
    {"ConfigByNumber", R"(, "tags": [{"uid": "00000001", "pages": {"1": "060800AA"}}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/pages/1: page 1 is the configuration page"},
    {"PageSixteen", R"(, "tags": [{"uid": "00000001", "pages": {"16": "00000000"}}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/pages/16: not a page number from 2 to 15"},
    {"PageLeadingZero", R"(, "tags": [{"uid": "00000001", "pages": {"04": "00000000"}}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/pages/04: not a page number"},
    {"PageNotANumber", R"(, "tags": [{"uid": "00000001", "pages": {"four": "00000000"}}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/pages/four: not a page number"},
    {"PageByNumberNotHex", R"(, "tags": [{"uid": "00000001", "pages": {"5": "0000000X"}}])", RRV_ERR_FILE_DAMAGED,
     "/tags/0/pages/5: not 8 hex digits"},
    {"FieldNotATag", R"(, "tags": [{"uid": "00000001"}], "field": "00000002")", RRV_ERR_FILE_DAMAGED,
     "/field: no tag of this UID"},
    {"FieldNoTags", R"(, "field": "00000001")", RRV_ERR_FILE_DAMAGED, "/field: no tag of this UID"},
    {"FieldNotHex", R"(, "tags": [{"uid": "00000001"}], "field": true)", RRV_ERR_FILE_DAMAGED, "/field: not a text"},
    {"TooManyTags", manyTags(RRV_MAX_TAGS + 1), RRV_ERR_FILE_DAMAGED, "/tags: more than 1024 tags"},
};

class ReaderFileRefusal : public ::testing::TestWithParam<Refusal> {};

// Each rule refuses its file with its code and the field it names, and a
// refused file opens no reader.
TEST_P(ReaderFileRefusal, NamesTheField) {
    const Refusal& r = GetParam();
    TempFile file("refused.json");
    const std::string text = fileOf(r.body);
    writeFile(file.path, text);
    const RRV_HANDLE before = RRV_Open();
    RRV_Close(before);
    {
        Loaded loaded(file.path);
        EXPECT_EQ(loaded.handle, 0u);
        EXPECT_EQ(loaded.err, r.err);
        EXPECT_EQ(loaded.why.rfind(r.why, 0), 0u) << loaded.why;
    }
    const RRV_HANDLE after = RRV_Open();
    RRV_Close(after);
    EXPECT_EQ(after, before + 1) << "the refused file opened a reader";
    EXPECT_EQ(readFile(file.path), text) << "the file is left as it was";
}

INSTANTIATE_TEST_SUITE_P(Rules, ReaderFileRefusal, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderFile, UnreadableFileAndUnusableArguments) {
    int err = -1;
    EXPECT_EQ(RRV_Load(tempPath("no-such-file.json").c_str(), &err), 0u);
    EXPECT_EQ(err, RRV_ERR_FILE_IO);
    EXPECT_EQ(RRV_Load(nullptr, &err), 0u);
    EXPECT_EQ(err, RRV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(RRV_Load(nullptr, nullptr), 0u) << "err may be null";

    e2e::Reader reader;
    EXPECT_EQ(RRV_Save(reader.handle(), nullptr), RRV_ERR_BAD_ARGUMENT);
    EXPECT_EQ(RRV_Save(0, tempPath("unknown.json").c_str()), RRV_ERR_BAD_ARGUMENT);
    const std::string inMissingFolder = tempPath("no-such-folder/reader.json");
    EXPECT_EQ(RRV_Save(reader.handle(), inMissingFolder.c_str()), RRV_ERR_FILE_IO);
    EXPECT_EQ(readFile(inMissingFolder), "");
}

// A reader holds RRV_MAX_TAGS tags: a new one beyond is refused, the ones
// it holds still go into the field, and a full reader saves a file it loads.
TEST(ReaderFile, ReaderHoldsAtMostMaxTags) {
    TempFile file("full.json");
    e2e::Reader reader;
    for (std::uint32_t i = 0; i < RRV_MAX_TAGS; ++i) {
        const std::uint8_t uid[4] = {static_cast<std::uint8_t>(i >> 24), static_cast<std::uint8_t>(i >> 16),
                                     static_cast<std::uint8_t>(i >> 8), static_cast<std::uint8_t>(i)};
        ASSERT_NE(RRV_AddTag(reader.handle(), uid), 0) << i;
    }
    EXPECT_EQ(RRV_AddTag(reader.handle(), hex("00 00 00 01").data()), 0) << "a UID it holds";
    const Bytes beyond = hex("FF FF FF FF");
    EXPECT_EQ(RRV_AddTag(reader.handle(), beyond.data()), 0);
    EXPECT_FALSE(reader.put(beyond));
    EXPECT_TRUE(reader.put(hex("00 00 03 FF")));
    ASSERT_EQ(RRV_Save(reader.handle(), file.path.c_str()), RRV_OK);
    Loaded loaded(file.path);
    ASSERT_NE(loaded.handle, 0u) << loaded.why;
    EXPECT_EQ(page(loaded.handle, 0), hex("00 00 03 FF"));
    EXPECT_EQ(RRV_AddTag(loaded.handle, beyond.data()), 0) << "the loaded reader is full too";
}

// Raw writes: any page but the UID, of the tag in the field or one taken
// out, with no activation and no write fault spent.
TEST(TagMemory, RawWriteReachesEveryPageButTheUid) {
    e2e::Reader reader;
    const Bytes data = hex("DE AD BE EF");
    EXPECT_FALSE(poke(reader.handle(), 4, data)) << "no tag in the field";
    ASSERT_NE(RRV_AddTag(reader.handle(), kRaw.data()), 0);
    EXPECT_FALSE(poke(reader.handle(), 4, data, kFactory)) << "no such tag";
    EXPECT_FALSE(poke(reader.handle(), 0, data, kRaw)) << "the UID";
    EXPECT_FALSE(poke(reader.handle(), RRV_TAG_PAGES, data, kRaw)) << "no such page";
    EXPECT_EQ(RRV_WriteTagPage(reader.handle(), kRaw.data(), 4, nullptr), 0);
    EXPECT_EQ(RRV_WriteTagPage(0, kRaw.data(), 4, data.data()), 0) << "unknown reader";
    EXPECT_EQ(page(reader.handle(), 0, kRaw), kRaw);
    EXPECT_EQ(page(reader.handle(), 4, kRaw), Bytes(4, 0)) << "refused writes wrote nothing";

    EXPECT_TRUE(poke(reader.handle(), 1, data, kRaw)) << "the configuration page, out of the field";
    EXPECT_TRUE(poke(reader.handle(), 15, data, kRaw));
    EXPECT_EQ(page(reader.handle(), 1, kRaw), data);
    EXPECT_EQ(page(reader.handle(), 15, kRaw), data);

    // In the field and activated: the host reads what was put there, and a
    // pending write fault stays for the host's next write.
    ASSERT_TRUE(reader.put(kRaw));
    char uid[9] = {}, ring[13] = {}, race[9] = {};
    ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
    ASSERT_NE(RRV_FailNextWrite(reader.handle(), RRV_WRITE_REFUSED), 0);
    const Bytes frame = hex(kFrame);
    for (RRV_ULONG p = 4; p < 8; ++p)
        ASSERT_TRUE(poke(reader.handle(), p, Bytes(frame.begin() + 4 * (p - 4), frame.begin() + 4 * (p - 3))));
    ASSERT_NE(SKR_ReadCard(reader.handle(), ring, race), 0);
    EXPECT_STREQ(ring, "112233445566");
    EXPECT_STREQ(race, "01020304");
    EXPECT_EQ(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0) << "the fault was still armed";
}

// A configuration page the library did not write: formatting sets byte 1
// and keeps the other three as the tag holds them.
TEST(TagMemory, FormatKeepsTheRawConfigurationBytes) {
    e2e::Reader reader;
    ASSERT_TRUE(reader.put(kRaw));
    ASSERT_TRUE(poke(reader.handle(), 1, hex("12 00 34 56")));
    char uid[9] = {};
    ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
    ASSERT_NE(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0);
    EXPECT_EQ(reader.pages(1, 1), hex("12 08 34 56"));
}

// A data frame whose check bytes are wrong, made with a raw write and kept
// by a file: SKR_ReadCard does not examine the check bytes, so it reads
// the ring and race numbers as a tag formatted right; the tag's memory
// keeps the wrong byte for a host that checks it itself.
TEST(TagMemory, WrongCheckByteIsReadAsTheTagHoldsIt) {
    TempFile file("wrong-crc.json");
    {
        e2e::Reader reader;
        ASSERT_TRUE(reader.put(kFormatted));
        char uid[9] = {};
        ASSERT_NE(SKR_ActiveCard(reader.handle(), uid), 0);
        ASSERT_NE(SKR_FormatCard(reader.handle(), "112233445566", "01020304"), 0);
        // Page 7 holds frame bytes 12..15; bytes 14 and 15 carry the race
        // check byte c1 = 0x03: 62 07 -> 62 FF makes it 0x7F.
        ASSERT_TRUE(poke(reader.handle(), 7, hex("48 04 62 FF")));
        ASSERT_EQ(RRV_Save(reader.handle(), file.path.c_str()), RRV_OK);
    }
    Loaded loaded(file.path);
    ASSERT_NE(loaded.handle, 0u) << loaded.why;
    EXPECT_EQ(page(loaded.handle, 7), hex("48 04 62 FF"));
    char uid[9] = {}, ring[13] = {}, race[9] = {};
    ASSERT_NE(SKR_ActiveCard(loaded.handle, uid), 0);
    ASSERT_NE(SKR_ReadCard(loaded.handle, ring, race), 0) << "the check bytes are not examined";
    EXPECT_STREQ(ring, "112233445566");
    EXPECT_STREQ(race, "01020304");
    // Formatting it again writes the right frame back, read back and checked.
    ASSERT_NE(SKR_FormatCard(loaded.handle, "112233445566", "01020304"), 0);
    EXPECT_EQ(page(loaded.handle, 7), hex("48 04 62 07"));
}

#if !defined(_WIN32)
// A save replaces a link planted at the path, or where a temporary file
// might be, and writes through neither.
TEST(ReaderFile, SaveFollowsNoPlantedLink) {
    TempFile file("linked.json"), victim("victim.txt"), tmpLink("linked.json.tmp");
    writeFile(victim.path, "not yours");
    ASSERT_EQ(::symlink(victim.path.c_str(), file.path.c_str()), 0);
    ASSERT_EQ(::symlink(victim.path.c_str(), tmpLink.path.c_str()), 0);
    e2e::Reader reader;
    ASSERT_TRUE(reader.put(kRaw));
    ASSERT_EQ(RRV_Save(reader.handle(), file.path.c_str()), RRV_OK);
    EXPECT_EQ(readFile(victim.path), "not yours");
    struct stat st {};
    ASSERT_EQ(::lstat(file.path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode)) << "the link was replaced by the file";
    Loaded loaded(file.path);
    EXPECT_NE(loaded.handle, 0u) << loaded.why;
}
#endif

}  // namespace
