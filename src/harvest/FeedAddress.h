#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace trawl {

class HttpGetter;
struct Settings;

enum class Site { None, Craigslist, Kijiji };

// Escapes a search term for a query string: space to "+", letters, digits, "." and "-" kept, every
// other byte as "%XX" (upper-case hex, the byte as it is). An empty term becomes "+".
std::string UrlEncode(std::string_view term);

// The site a city key belongs to, by its markers (Craigslist tested first).
Site SiteOfCityKey(std::string_view cityKey);

// The address of one job's search page. `site` is None for a key without a site marker; host and
// path are then empty and nothing is to be sent.
struct FeedRequest {
    Site site = Site::None;
    bool canadian = false; // a Kijiji site in Canada (RSS feed rather than a result page)
    std::string host;
    std::string path;
};

// Host and path for the job (term, city key, section key exactly as the scheduler cut them).
// Reads SearchTitles and HasPictures (Craigslist only).
FeedRequest BuildFeedRequest(std::string_view term, std::string_view cityKey, std::string_view sectionKey,
                             const Settings& settings);

struct FetchedFeed {
    bool sent = false; // false: the key named no site, no request went out
    std::string host;
    std::string response; // raw, headers included; empty when nothing was received
};

// Builds the address and fetches it (one redirect followed, bytes counted). With `stop`, the host's
// turn is awaited first (HttpGetter::AwaitTurn); a stop meanwhile asks nothing (an empty response).
FetchedFeed FetchFeed(HttpGetter& http, std::string_view term, std::string_view cityKey, std::string_view sectionKey,
                      const Settings& settings, const std::atomic<int>* stop = nullptr);

} // namespace trawl
