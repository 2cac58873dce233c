#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trawl {

class Clock;
struct Settings;

// One ad as cut from a search feed or result page.
struct FeedItem {
    std::string title;
    std::string link;
    std::string date; // YYYY-MM-DD
    std::string description;
};

// Cuts the items out of a search response by marker searching. Returns -1 for an empty response
// (a connection problem), else the number of items stored in `items` (0 when the page held none).
// At most settings.MaxResults items are kept. An item (a result-page entry) that the response ends
// inside of, a connection cut short, is not read. `items` is the worker's own buffer, reused job
// after job. Reads SearchTitles and HasPictures (Kijiji layouts); the result-page layout dates
// its entries by `clock`'s today.
int ParseFeed(std::string_view host, std::string_view response, std::string_view term, const Settings& settings,
              Clock& clock, std::vector<FeedItem>& items);

} // namespace trawl
