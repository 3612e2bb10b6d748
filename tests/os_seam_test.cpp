// The library when the operating system's random source fails: the record
// downloads send nothing and return 0 with their outputs untouched. Driven
// through the seam of the static core.
#include <gtest/gtest.h>

#include <cstring>
#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

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

#if !defined(_WIN32)
// The system source hands each byte out once: draws in a row differ, and a
// forked child does not repeat the challenges its parent goes on to send.
TEST(SystemRandom, NoDrawRepeatsInAThreadOrAcrossFork) {
    std::uint8_t first[4], second[4];
    ASSERT_TRUE(skylark::osSystemRandomBytes(first, sizeof first));  // the pool is filled now
    ASSERT_TRUE(skylark::osSystemRandomBytes(second, sizeof second));
    EXPECT_NE(std::memcmp(first, second, sizeof first), 0);

    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::uint8_t drawn[4] = {};
        const bool ok = skylark::osSystemRandomBytes(drawn, sizeof drawn);
        _exit(ok && write(pipeEnds[1], drawn, sizeof drawn) == sizeof drawn ? 0 : 1);
    }
    std::uint8_t parent[4], fromChild[4];
    ASSERT_TRUE(skylark::osSystemRandomBytes(parent, sizeof parent));
    ASSERT_EQ(read(pipeEnds[0], fromChild, sizeof fromChild), ssize_t(sizeof fromChild));
    int childStatus = 0;
    waitpid(child, &childStatus, 0);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    EXPECT_EQ(childStatus, 0);
    EXPECT_NE(std::memcmp(parent, fromChild, sizeof parent), 0);
}
#endif
