// The CSV export's state codes come from StateCodeIndex; its answers must be StateCodeOfLink's, link
// for link, whatever the tables hold.

#include "refdata/StateCodeIndex.h"

#include "refdata/Geography.h"

#include <gtest/gtest.h>
#include <random>

namespace trawl {
namespace {

using namespace std::string_view_literals;

class RandomText {
public:
    explicit RandomText(std::uint32_t seed) : m_random(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    // Few letters, so table links overlap, nest and end inside each other; now and then a capital, a
    // dot, a byte above 127 or a NUL.
    std::string Piece(int maxLength)
    {
        static constexpr std::string_view kBytes = "abcab.-/Ab\xE9\0"sv;
        std::string text;
        for (int i = Below(maxLength + 1); i > 0; --i) {
            text += kBytes[static_cast<std::size_t>(Below(static_cast<int>(kBytes.size())))];
        }
        return text;
    }
    template <typename T> const T& Pick(const std::vector<T>& from)
    {
        return from[static_cast<std::size_t>(Below(static_cast<int>(from.size())))];
    }

private:
    std::mt19937 m_random;
};

ReferenceTables RandomTables(RandomText& random)
{
    const std::vector<std::string> countries = {"United States", "Canada", "Mexico", "canada"};
    const std::vector<std::string> states = {"Texas",
                                             "Quebec",
                                             "Ontario",
                                             "Nowhere",
                                             "Qu\xE9"
                                             "bec",
                                             "District of Columbia"};
    ReferenceTables tables;
    for (int i = random.Below(40); i > 0; --i) {
        tables.CLStateTable.push_back({random.Piece(5), "a state", "S" + std::to_string(i)});
    }
    for (int i = random.Below(40); i > 0; --i) {
        tables.KJCityTable.push_back({random.Pick(countries), random.Pick(states), "a city", random.Piece(5)});
    }
    return tables;
}

// A link made of random pieces and of the tables' own links, with or without the Craigslist marker (in
// any letter case), and in any letter case itself.
std::string RandomLink(RandomText& random, const ReferenceTables& tables)
{
    std::string link;
    for (int i = random.Below(6); i > 0; --i) {
        switch (random.Below(5)) {
        case 0:
            if (!tables.CLStateTable.empty()) {
                link += random.Pick(tables.CLStateTable).CityURI;
            }
            break;
        case 1:
            if (!tables.KJCityTable.empty()) {
                link += random.Pick(tables.KJCityTable).URL;
            }
            break;
        case 2:
            link += random.Below(2) == 0 ? ".craigslist." : ".CraigsList.";
            break;
        default:
            link += random.Piece(6);
            break;
        }
    }
    // Most links have a scheme and a host: hosts repeat from link to link (the index remembers where
    // it stood after each), some are longer than it remembers, some links end in their host.
    if (random.Below(4) != 0) {
        std::string host = random.Below(3) == 0 ? std::string(50, 'b') : "";
        host += random.Below(2) == 0 && !tables.CLStateTable.empty() ? random.Pick(tables.CLStateTable).CityURI
                                                                     : random.Piece(4);
        link = (random.Below(2) == 0 ? "http://" : "x//") + host + (random.Below(5) == 0 ? "" : "/" + link);
    }
    if (random.Below(4) == 0) {
        for (char& c : link) {
            c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        }
    }
    return link;
}

TEST(StateCodeIndex, gives_the_plain_lookups_answer_for_random_links_and_tables)
{
    int coded = 0;
    int checked = 0;
    for (std::uint32_t seed = 1; seed <= 300; ++seed) {
        RandomText random(seed);
        const ReferenceTables tables = RandomTables(random);
        StateCodeIndex index(tables);
        for (int k = 0; k < 200; ++k) {
            const std::string link = RandomLink(random, tables);
            const std::string expected = StateCodeOfLink(link, tables);
            ASSERT_EQ(index.CodeOfLink(link), expected) << "seed " << seed << " link " << link;
            coded += expected != "--" ? 1 : 0;
            ++checked;
        }
    }
    // The links found codes often enough for the comparison to mean something, and missed too.
    EXPECT_GT(coded, checked / 4);
    EXPECT_LT(coded, checked * 9 / 10);
}

TEST(StateCodeIndex, answers_as_the_plain_lookup_on_the_known_cases)
{
    ReferenceTables tables;
    tables.CLStateTable = {{"", "Texas", "TX"},
                           {"http://washingtondc.craigslist.org", "District of Columbia", "DC"},
                           {"washingtondc", "Virginia", "VA"},
                           {"http://austin.craigslist.org", "Texas", "TX"}};
    tables.KJCityTable = {{"Canada", "Quebec", "Montreal", "http://montreal.kijiji.ca"},
                          {"Canada", "Ontario", "Ottawa", "http://Ottawa.kijiji.ca"},
                          {"Mexico", "Jalisco", "Guadalajara", "http://guadalajara.kijiji.com"}};
    StateCodeIndex index(tables);
    EXPECT_EQ(index.CodeOfLink("http://WashingtonDC.craigslist.org/nva/bik/123.html"), "DC"); // the earlier row
    EXPECT_EQ(index.CodeOfLink("http://austin.craigslist.org/"), "TX");
    EXPECT_EQ(index.CodeOfLink("http://boston.craigslist.org/"), "--"); // the empty link matches nothing
    EXPECT_EQ(index.CodeOfLink("http://montreal.kijiji.ca/c-W0QQ"), "QC");
    EXPECT_EQ(index.CodeOfLink("http://Ottawa.kijiji.ca/c-1"), "--"); // stored with capitals
    EXPECT_EQ(index.CodeOfLink("http://guadalajara.kijiji.com/"), "--");
    EXPECT_EQ(index.CodeOfLink(""), "--");
    EXPECT_EQ(StateCodeIndex(ReferenceTables{}).CodeOfLink("http://austin.craigslist.org/"), "--");
}

} // namespace
} // namespace trawl
