#include "net/TextBetween.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

TEST(TextBetween, CutsAfterTheFirstStartUpToTheNextEnd)
{
    EXPECT_EQ(TextBetween("abc[x]def[y]", "[", "]"), "x");
    EXPECT_EQ(TextBetween("abc[x", "[", "]"), "x");      // no end: the rest
    EXPECT_EQ(TextBetween("abc", "[", "]"), "");         // no start
    EXPECT_EQ(TextBetween("a]bc[xyz", "[", "]"), "xyz"); // an end before the start does not count
    EXPECT_EQ(TextBetween("abc[", "[", "]"), "");        // start at the very end
    EXPECT_EQ(TextBetween("[]", "[", "]"), "");
}

TEST(TextBetween, MarkersAreLiteralCaseSensitiveAndBytesPassUnchanged)
{
    EXPECT_EQ(TextBetween("<B>no</B><b> yes \r\n</b>", "<b>", "</b>"), " yes \r\n");
    EXPECT_EQ(TextBetween("x.*y(a)z", ".*y(", ")"), "a");
    const std::string bytes("k=\0\xff\x80;", 6);
    EXPECT_EQ(TextBetween(bytes, "k=", ";"), std::string("\0\xff\x80", 3));
    EXPECT_EQ(TextBetween("Location: http://h/p\r\nX", "Location: http://", "\r\n"), "h/p");
    EXPECT_EQ(TextBetween("abab", "ab", "ab"), ""); // the end is looked for after the start
}

} // namespace
} // namespace trawl
