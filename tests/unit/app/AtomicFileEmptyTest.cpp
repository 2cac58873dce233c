// Empty writes: an empty view may carry no buffer at all (found by fuzzing the search-file loader with
// an empty file, whose save wrote an empty header value).
#include "app/AtomicFile.h"
#include "support/Doubles.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace trawl {
namespace {

using test::ReadFile;
using test::TempDir;

TEST(AtomicFileEmpty, empty_writes_add_nothing_and_an_empty_file_is_written)
{
    TempDir dir;
    const std::string empty = dir.File("empty");
    ASSERT_TRUE(WriteFileAtomically(empty, std::string_view()).ok());
    EXPECT_TRUE(std::filesystem::exists(empty));
    EXPECT_EQ(ReadFile(empty), "");

    const std::string mixed = dir.File("mixed");
    AtomicFileWriter writer(mixed);
    writer.Write(std::string_view());
    writer.Write("a");
    writer.Write(std::string_view());
    writer.Write(std::string((1 << 20) + 5, 'b')); // larger than the buffer: goes through it in pieces
    writer.Write(std::string_view());
    writer.Write("c");
    ASSERT_TRUE(writer.Commit().ok());
    EXPECT_EQ(ReadFile(mixed), "a" + std::string((1 << 20) + 5, 'b') + "c");
}

} // namespace
} // namespace trawl
