// Feed parsing of every search layout on arbitrary responses; the first byte picks the layout and the
// title and picture options.
#include "FuzzSupport.h"

#include "app/Settings.h"
#include "harvest/FeedParser.h"
#include "support/Doubles.h"

using namespace trawl;
using namespace trawl::test;
using trawl::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::string_view kHosts[] = {"sfbay.craigslist.org", "toronto.kijiji.ca", "boston.kijiji.com"};
    const auto [selector, rest] = fuzz::TakeSelector(fuzz::AsText(data, size));
    const std::string_view host = kHosts[selector % 3];

    Settings settings;
    settings.SearchTitles = (selector >> 2) & 1;
    settings.HasPictures = (selector >> 3) & 1;
    settings.MaxResults = kMinMaxResults;

    // "term \x01 response", or the whole rest as the response with a fixed term.
    const auto parts = fuzz::SplitParts(rest, '\x01', 2);
    const std::string_view term = parts.size() == 2 ? parts[0] : std::string_view("bike");
    const std::string_view response = parts.back();

    FakeClock clock;
    clock.SetToday({2024, 3, 15});
    std::vector<FeedItem> items(3, FeedItem{"stale", "http://stale/", "2000-01-01", "stale"}); // a reused buffer
    const int count = ParseFeed(host, response, term, settings, clock, items);
    if (response.empty()) {
        Check(count == -1, "an empty response is not reported as one");
    } else {
        Check(count >= 0 && static_cast<std::size_t>(count) == items.size(), "count and items disagree", response);
        Check(count <= settings.MaxResults, "more items than MaxResults", response);
    }
    return 0;
}
