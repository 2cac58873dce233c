// What earlier writes leave in the folder: temporary files of a killed writer, and a file that is a
// symbolic link to the real one.
#include "app/AtomicFile.h"
#include "support/Doubles.h"

#include <fcntl.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace trawl {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;
using ::testing::UnorderedElementsAre;

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

// Writes `path` and dates it an hour back.
void WriteOld(const std::string& path, const std::string& content)
{
    WriteFile(path, content);
    const timeval hourAgo[2] = {{::time(nullptr) - 3600, 0}, {::time(nullptr) - 3600, 0}};
    ASSERT_EQ(::utimes(path.c_str(), hourAgo), 0);
}

TEST(AtomicFileLeftovers, our_stale_temporaries_of_the_file_go_when_it_is_next_written_and_nothing_else_does)
{
    TempDir dir;
    WriteOld(dir.File(".bikes.trawl.tmp-Ab3xYz"), std::string(1 << 20, 'x')); // a killed save
    WriteFile(dir.File(".bikes.trawl.tmp-Qr5tUv"), "a save that has just begun");
    WriteOld(dir.File(".bikes.trawl.tmp-Held01"), "a save under way, stalled");
    WriteOld(dir.File(".bikes.trawl.tmp-toolong"), "not one of ours");
    WriteOld(dir.File(".cars.trawl.tmp-Ab3xYz"), "another file's: left for its own next save");
    WriteOld(dir.File("bikes.trawl.tmp-Ab3xYz"), "not ours: no dot in front");
    const int held = ::open(dir.File(".bikes.trawl.tmp-Held01").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_TRUE(WriteFileAtomically(dir.File("bikes.trawl"), "records").ok());
    EXPECT_EQ(ReadFile(dir.File("bikes.trawl")), "records");
    EXPECT_THAT(NamesIn(dir.path()),
                UnorderedElementsAre("bikes.trawl", ".bikes.trawl.tmp-Qr5tUv", ".bikes.trawl.tmp-Held01",
                                     ".bikes.trawl.tmp-toolong", ".cars.trawl.tmp-Ab3xYz", "bikes.trawl.tmp-Ab3xYz"));
    ::close(held);
}

TEST(AtomicFileLeftovers, a_linked_file_is_written_through_to_its_target_and_stays_a_link)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("store"));
    WriteFile(dir.File("store/bikes.trawl"), "old");
    ASSERT_EQ(::symlink("store/bikes.trawl", dir.File("bikes.trawl").c_str()), 0); // relative
    ASSERT_EQ(::symlink(dir.File("bikes.trawl").c_str(), dir.File("again.trawl").c_str()), 0); // a link to it

    ASSERT_TRUE(WriteFileAtomically(dir.File("again.trawl"), "new").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("bikes.trawl")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("again.trawl")));
    EXPECT_EQ(ReadFile(dir.File("store/bikes.trawl")), "new");
    EXPECT_THAT(NamesIn(dir.File("store")), UnorderedElementsAre("bikes.trawl"));

    // A link to a file not yet there makes that file.
    ASSERT_EQ(::symlink("store/cars.trawl", dir.File("cars.trawl").c_str()), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.File("cars.trawl"), "cars").ok());
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("cars.trawl")));
    EXPECT_EQ(ReadFile(dir.File("store/cars.trawl")), "cars");

    // A link to what is not a regular file (here a pipe; a link to /dev/zero in a list's place was
    // how this was found) and a loop of links: the link itself is replaced, its target untouched.
    ASSERT_EQ(::mkfifo(dir.File("store/pipe").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("store/pipe", dir.File("piped.trawl").c_str()), 0);
    ASSERT_EQ(::symlink("loop-b", dir.File("loop-a").c_str()), 0);
    ASSERT_EQ(::symlink("loop-a", dir.File("loop-b").c_str()), 0);
    for (const char* name : {"piped.trawl", "loop-a"}) {
        ASSERT_TRUE(WriteFileAtomically(dir.File(name), "plain").ok()) << name;
        EXPECT_FALSE(std::filesystem::is_symlink(dir.File(name))) << name;
        EXPECT_EQ(ReadFile(dir.File(name)), "plain") << name;
    }
    EXPECT_TRUE(std::filesystem::is_fifo(dir.File("store/pipe")));
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("loop-b")));
}

} // namespace
} // namespace trawl
