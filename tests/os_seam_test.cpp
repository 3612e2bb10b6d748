// The library when the operating system's random source fails: the record
// downloads send nothing and return 0 with their outputs untouched. Driven
// through the seam of the static core.
#include <gtest/gtest.h>

#include "clock/race_record.h"
#include "clock/sclock.h"
#include "os/os.h"
#include "support.h"

namespace {

int gRandomCalls = 0;
bool failingRandom(std::uint8_t*, std::size_t) {
    ++gRandomCalls;
    return false;
}

TEST(RandomSourceFails, DownloadsSendNothing) {
    static const skylark::OsServices failing{nullptr, nullptr, failingRandom};
    const skylark::OsServices* previous = skylark::osReplaceServices(&failing);
    gRandomCalls = 0;

    test::TestClock clock;
    char record[33] = "untouched", lead[9] = "lead";
    double time = 1.5;
    EXPECT_EQ(skylark::getRaceRecord(clock.handle(), 1, 2, record, &time, lead), 0);
    EXPECT_EQ(skylark::sGetRaceRecord(clock.handle(), 3, record, &time), 0);

    skylark::osReplaceServices(previous);
    EXPECT_EQ(gRandomCalls, 2);
    EXPECT_EQ(CLT_CallCount(clock.handle()), 0u);
    EXPECT_STREQ(record, "untouched");
    EXPECT_STREQ(lead, "lead");
    EXPECT_EQ(time, 1.5);
}

}  // namespace
