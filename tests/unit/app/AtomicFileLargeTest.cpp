// Large files: their full buffers bypass the page cache where the file system allows it, and the last
// piece, seldom a whole number of blocks, is written the usual way. The bytes must come out the same
// on every file system and through every mix of calls.
#include "app/AtomicFile.h"
#include "support/Doubles.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace trawl {
namespace {

using test::ReadFile;
using test::TempDir;

// Writes about five megabytes through Put, small writes and writes larger than the buffer, starting
// at odd offsets so no piece lines up with a block; returns what was written.
std::string WriteMixed(const std::string& path, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::string expected;
    AtomicFileWriter writer(path);
    while (expected.size() < (5u << 20) + 777) {
        const int kind = static_cast<int>(random() % 3);
        if (kind == 0) {
            const char c = static_cast<char>(random());
            writer.Put(c);
            expected.push_back(c);
        } else {
            const std::size_t size = kind == 1 ? random() % 5000 : (1u << 20) + random() % 300000;
            std::string bytes(size, '\0');
            for (char& c : bytes) {
                c = static_cast<char>(random());
            }
            writer.Write(bytes);
            expected += bytes;
        }
    }
    EXPECT_TRUE(writer.Commit().ok());
    return expected;
}

void ExpectWholeFilesIn(const std::string& folder)
{
    const std::string path = folder + "large.bin";
    const std::string first = WriteMixed(path, 1);
    EXPECT_TRUE(ReadFile(path) == first) << "first file in " << folder;

    // A smaller file replacing it leaves nothing of the larger one behind.
    AtomicFileWriter writer(path);
    const std::string small((1u << 20) + 3, 'z');
    writer.Write(small);
    ASSERT_TRUE(writer.Commit().ok());
    EXPECT_TRUE(ReadFile(path) == small);

    const std::string second = WriteMixed(path, 2);
    EXPECT_TRUE(ReadFile(path) == second) << "second file in " << folder;
    EXPECT_EQ(std::filesystem::file_size(path), second.size());
}

TEST(AtomicFileLarge, a_large_file_comes_out_byte_for_byte_on_a_disk)
{
    TempDir dir;
    ExpectWholeFilesIn(dir.path());
}

// tmpfs either takes writes that bypass its cache or refuses them; both ways the file is whole.
TEST(AtomicFileLarge, a_large_file_comes_out_byte_for_byte_in_memory_backed_folders)
{
    if (!std::filesystem::is_directory("/dev/shm")) {
        GTEST_SKIP() << "no /dev/shm here";
    }
    const std::string folder = "/dev/shm/trawlkit-test-" + std::to_string(::getpid()) + "/";
    std::filesystem::create_directory(folder);
    ExpectWholeFilesIn(folder);
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace trawl
