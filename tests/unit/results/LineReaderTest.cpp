#include "results/LineReader.h"

#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

namespace trawl {
namespace {

using ::testing::ElementsAre;

struct ReadLines {
    std::vector<std::string> lines;
    std::vector<bool> tooLong;
};

ReadLines ReadAll(const std::string& path, std::size_t maxLine = LineReader::kDefaultMaxLineBytes,
                  std::size_t block = std::size_t{4} << 20)
{
    LineReader reader(path, maxLine, block);
    ReadLines out;
    std::string_view line;
    while (reader.Next(line)) {
        out.lines.emplace_back(line);
        out.tooLong.push_back(reader.tooLong());
    }
    EXPECT_EQ(reader.error(), 0);
    return out;
}

// The line rule written plainly, to compare the block reader against.
std::vector<std::string> SplitLines(const std::string& content)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t lf = content.find('\n', start);
        const bool last = lf == std::string::npos;
        std::string line = content.substr(start, (last ? content.size() : lf) - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
        start = last ? content.size() : lf + 1;
    }
    return lines;
}

struct LineReaderTest : ::testing::Test {
    test::TempDir dir;
    std::string Write(const std::string& content)
    {
        const std::string path = dir.File("lines.txt");
        test::WriteFile(path, content);
        return path;
    }
};

TEST_F(LineReaderTest, lf_ends_a_line_and_a_cr_before_it_is_dropped)
{
    const std::string content = std::string("a\r\nb\n\r\nc\rd\r\n\ne") + '\0' + "f\r";
    EXPECT_THAT(ReadAll(Write(content)).lines, ElementsAre("a", "b", "", "c\rd", "", std::string("e\0f", 3)));
}

TEST_F(LineReaderTest, no_empty_line_after_a_final_line_end)
{
    EXPECT_THAT(ReadAll(Write("x\r\n")).lines, ElementsAre("x"));
    EXPECT_THAT(ReadAll(Write("")).lines, ElementsAre());
    EXPECT_THAT(ReadAll(Write("\r\n")).lines, ElementsAre(""));
    EXPECT_THAT(ReadAll(Write("no line end at all")).lines, ElementsAre("no line end at all"));
}

TEST_F(LineReaderTest, block_boundaries_anywhere_give_the_same_lines)
{
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> pick(0, 5);
    for (int round = 0; round < 200; ++round) {
        std::string content;
        const int size = static_cast<int>(rng() % 300);
        for (int i = 0; i < size; ++i) {
            content += "ab\r\n  "[pick(rng)];
        }
        const std::string path = Write(content);
        for (std::size_t block : {16, 17, 64, 4096}) {
            ASSERT_EQ(ReadAll(path, 1000, block).lines, SplitLines(content)) << testing::PrintToString(content);
        }
    }
}

TEST_F(LineReaderTest, overlong_lines_read_as_empty_and_keep_the_numbering)
{
    const std::string content = "short\n" + std::string(100, 'x') + "\r\nnext\n" + std::string(5000, 'y');
    const ReadLines read = ReadAll(Write(content), 64, 16);
    EXPECT_THAT(read.lines, ElementsAre("short", "", "next", ""));
    EXPECT_THAT(read.tooLong, ElementsAre(false, true, false, true));
}

TEST_F(LineReaderTest, ten_megabyte_line_is_read_whole)
{
    const std::string big(10 << 20, 'z');
    const ReadLines read = ReadAll(Write("head\r\n" + big + "\r\ntail"), LineReader::kDefaultMaxLineBytes, 1 << 16);
    ASSERT_EQ(read.lines.size(), 3u);
    EXPECT_EQ(read.lines[1], big);
    EXPECT_EQ(read.lines[2], "tail");
}

TEST_F(LineReaderTest, missing_file_is_not_open)
{
    LineReader reader(dir.File("absent.txt"));
    std::string_view line;
    EXPECT_FALSE(reader.isOpen());
    EXPECT_FALSE(reader.Next(line));
}

} // namespace
} // namespace trawl
