#include "app/FileLock.h"

#include "app/AtomicFile.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

TEST(FileLock, one_holder_at_a_time_waiting_on_the_clock_until_stopped_or_given_up)
{
    test::TempDir dir;
    const std::string path = dir.File("a.trawl");
    test::WriteFile(path, "a\r\n");
    test::FakeClock clock;
    std::atomic<int> stop{0};
    FileLock first;
    ASSERT_TRUE(first.Acquire(path, clock, 0, stop).ok());

    FileLock second;
    const Status busy = second.Acquire(path, clock, 1000, stop);
    EXPECT_EQ(busy.message(), "'" + path + "' is in use by another run of Trawlkit.");
    EXPECT_GE(clock.ElapsedMs(), 1000);
    EXPECT_LE(clock.ElapsedMs(), 1100);
    stop.store(1);
    EXPECT_EQ(second.Acquire(path, clock, 1000, stop).message(), "Stopped while waiting for '" + path + "'.");

    // A save puts a new file in its place: the lock is on the file, so the new one is free to take,
    // and a stamp tells the two apart.
    const std::optional<FileStamp> before = StampOf(path);
    ASSERT_TRUE(WriteFileAtomically(path, "a\r\n").ok());
    EXPECT_NE(StampOf(path), before);
    stop.store(0);
    EXPECT_TRUE(second.Acquire(path, clock, 0, stop).ok());
    first.Release();
    EXPECT_FALSE(StampOf(dir.File("none")).has_value());
    EXPECT_FALSE(FileLock().Acquire(dir.File("none"), clock, 0, stop).ok());
}

} // namespace
} // namespace trawl
