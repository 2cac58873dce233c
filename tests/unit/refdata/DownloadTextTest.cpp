#include "refdata/DownloadText.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

TEST(MixedCase, FirstLetterOfEverySpaceSeparatedWordIsUpperAndTheRestLower)
{
    EXPECT_EQ(MixedCase("antiques &amp; collectibles"), "Antiques &Amp; Collectibles");
    EXPECT_EQ(MixedCase("SF BAY area"), "Sf Bay Area");
    EXPECT_EQ(MixedCase("apts/housing"), "Apts/housing");
    EXPECT_EQ(MixedCase("  two  spaces "), "  Two  Spaces ");
    EXPECT_EQ(MixedCase("(all) 4x4"), "(All) 4X4");
    // Bytes outside ASCII are neither letters nor changed.
    EXPECT_EQ(MixedCase("\xC3\xA9"
                        "cole MONTR\xC3\x89"
                        "AL"),
              "\xC3\xA9"
              "Cole Montr\xC3\x89"
              "al");
    EXPECT_EQ(MixedCase(""), "");
}

TEST(FoldAccents, EveryFrenchLetterOfTheTableBecomesPlain)
{
    const std::string accented = "\xC3\x80\xC3\x82\xC3\xA0\xC3\xA2\xC3\x87\xC3\xA7\xC3\x88\xC3\x89\xC3\x8A\xC3\x8B"
                                 "\xC3\xA8\xC3\xA9\xC3\xAA\xC3\xAB\xC3\x8E\xC3\x8F\xC3\xAE\xC3\xAF\xC3\x94\xC3\xB4"
                                 "\xC5\x92\xC5\x93\xC3\x99\xC3\x9B\xC3\x9C\xC3\xB9\xC3\xBB\xC3\xBC\xC5\xB8\xC3\xBF";
    EXPECT_EQ(FoldAccents(accented), "AAaaCcEEEEeeeeIIiiOoOEoeUUUuuuYy");
    EXPECT_EQ(FoldAccents("Montr\xC3\xA9"
                          "al, Qu\xC3\xA9"
                          "bec"),
              "Montreal, Quebec");
}

TEST(FoldAccents, OtherBytesStayAsTheyAre)
{
    EXPECT_EQ(FoldAccents("Toronto (GTA)"), "Toronto (GTA)");
    // Letters outside the table (a-acute, n-tilde, a Latin-1 e-acute) and a cut-off lead byte stay.
    const std::string other = "\xC3\xA1\xC3\xB1 Barth\xE9lemy \xC3";
    EXPECT_EQ(FoldAccents(other), other);
    EXPECT_EQ(FoldAccents("\xC3\xC3\xA9"), "\xC3"
                                           "e");
}

TEST(SplitKijijiCategoryLink, PathWordAndNumberOfACategoryLink)
{
    std::string dir = "stale";
    std::string id = "stale";
    EXPECT_TRUE(SplitKijijiCategoryLink("http://boston.kijiji.com/buy-and-sell/?catId=10", dir, id));
    EXPECT_EQ(dir, "buy-and-sell");
    EXPECT_EQ(id, "10");
    EXPECT_TRUE(SplitKijijiCategoryLink("http://boston.kijiji.com/cars/trucks/?catId=174", dir, id));
    EXPECT_EQ(dir, "cars");
    EXPECT_EQ(id, "174");
    // Without a "/" before the query the word ends at the query.
    EXPECT_TRUE(SplitKijijiCategoryLink("http://boston.kijiji.com/jobs?catId=45", dir, id));
    EXPECT_EQ(dir, "jobs");
    EXPECT_EQ(id, "45");
}

TEST(SplitKijijiCategoryLink, WrongFormsGiveTwoEmptyParts)
{
    for (const char* link : {"http://boston.kijiji.com/about.html", "http://www.kijiji.ca/buy-and-sell/?catId=10",
                             "http://boston.kijiji.com/jobs/?catid=45", "http://boston.kijiji.com/jobs/?catId=", ""}) {
        std::string dir = "stale";
        std::string id = "stale";
        EXPECT_FALSE(SplitKijijiCategoryLink(link, dir, id)) << link;
        EXPECT_EQ(dir, "") << link;
        EXPECT_EQ(id, "") << link;
    }
}

} // namespace
} // namespace trawl
