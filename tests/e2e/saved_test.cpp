// Saved state: a clock saved to a file comes back with its password, registry,
// races and settings; a damaged, truncated or newer file is refused and left
// as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "host.h"

namespace {

using e2e::Clock;
using e2e::ring;

using e2e::readFile;
using e2e::tempPath;
using e2e::TempFile;
using e2e::writeFile;

// An M clock with a password, three rings, a race with two arrivals and a
// staff number, saved to path.
void saveClock(const std::string& path) {
    Clock clock(CLV_KIND_M);
    ASSERT_NE(SK_InitDevEx(clock, "loft7"), 0);
    ASSERT_TRUE(e2e::connect(clock, "loft7"));
    for (unsigned i = 1; i <= 3; ++i)
        ASSERT_NE(SKM_AppendCard(clock, ring(i).c_str(), i, 0, 0, 0, 0, ""), 0);
    ASSERT_TRUE(e2e::stockRace(clock, 3, 2));
    ASSERT_NE(SKM_SetStaffNo(clock, "KEEPER-01"), 0);
    ASSERT_EQ(CLV_Save(clock, path.c_str()), CLV_OK);
}

TEST(Saved, ClockSurvivesReopen) {
    TempFile file("reopen.json");
    saveClock(file.path);

    int err = -1;
    Clock clock = Clock::adopt(CLV_Load(file.path.c_str(), &err));
    ASSERT_NE(clock.handle(), 0u) << err;
    SK_ULONG count = 0;
    EXPECT_EQ(SKM_GetCardCount(clock, &count), 0) << "a reopened channel starts unauthenticated";
    EXPECT_EQ(SK_ConnectEx(clock, "other"), 0) << "the password was kept";
    ASSERT_NE(SK_ConnectEx(clock, "loft7"), 0);

    ASSERT_NE(SKM_GetCardCount(clock, &count), 0);
    EXPECT_EQ(count, 3u);
    char key[17] = {}, staff[17] = {};
    double first, second;
    SK_ULONG figure = 0;
    ASSERT_NE(SKM_GetRaceInfo(clock, 0, key, &first, &second, &figure), 0);
    EXPECT_STREQ(key, e2e::kRaceKey);
    EXPECT_EQ(figure, 2u);
    char record[33] = {}, lead[9] = {};
    double arrived;
    ASSERT_NE(SKM_GetRaceRecord(clock, 0, 1, record, &arrived, lead), 0);
    EXPECT_EQ(std::string(record).substr(0, 12), ring(2));
    ASSERT_NE(SKM_GetStaffNo(clock, staff), 0);
    EXPECT_STREQ(staff, "KEEPER-01");
}

TEST(Saved, DamagedFilesAreRefusedAndLeftAlone) {
    TempFile good("good.json");
    saveClock(good.path);
    const std::string text = readFile(good.path);
    ASSERT_FALSE(text.empty());

    // The same file claiming a later version, and claiming a kind of clock
    // that does not exist.
    auto replaced = [&](const std::string& field, const std::string& value) {
        std::string out = text;
        const std::size_t at = out.find("\"" + field + "\"");
        const std::size_t from = out.find(':', at) + 1;
        const std::size_t to = out.find_first_of(",\n}", from);
        if (at == std::string::npos || to == std::string::npos) return std::string();
        return out.replace(from, to - from, " " + value);
    };
    const std::string newer = replaced("version", "999");
    const std::string unknownKind = replaced("kind", "\"Q\"");
    ASSERT_FALSE(newer.empty()) << "the file carries its version";
    ASSERT_FALSE(unknownKind.empty());

    struct Case {
        const char* name;
        std::string content;
        int err;
    };
    const Case cases[] = {
        {"truncated", text.substr(0, text.size() / 2), CLV_ERR_FILE_DAMAGED},
        {"empty", "", CLV_ERR_FILE_DAMAGED},
        {"not a clock", "{\"hello\": \"world\"}", CLV_ERR_FILE_DAMAGED},
        {"unknown kind", unknownKind, CLV_ERR_FILE_DAMAGED},
        {"newer version", newer, CLV_ERR_FILE_VERSION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFile bad("bad.json");
        writeFile(bad.path, c.content);
        int err = 0;
        EXPECT_EQ(CLV_Load(bad.path.c_str(), &err), 0u);
        EXPECT_EQ(err, c.err);
        EXPECT_EQ(readFile(bad.path), c.content) << "left untouched";
    }
    int err = 0;
    EXPECT_EQ(CLV_Load(tempPath("missing.json").c_str(), &err), 0u);
    EXPECT_EQ(err, CLV_ERR_FILE_IO);
}

// A save that cannot be written says so.
TEST(Saved, SaveIntoMissingFolderFails) {
    Clock clock(CLV_KIND_M);
    EXPECT_EQ(CLV_Save(clock, tempPath("no-such-dir/clock.json").c_str()), CLV_ERR_FILE_IO);
}

}  // namespace
