#pragma once

#include <array>
#include <atomic>
#include <string>
#include <string_view>

namespace trawl {

// How a search job's feed came back. Only a whole feed of a layout the parser knows is an answer;
// everything else means the site gave us less than it holds, even when it looked like "0 ads".
enum class FeedVerdict {
    Whole,         // a 2xx response with the layout's start and end: read as the site wrote it
    NoAnswer,      // nothing came back, try after try (refused, timed out, name not found)
    HttpError,     // a status other than 2xx (an error page, or a redirect not followed)
    NotRecognised, // 2xx, but none of the markers the layout needs (garbage, a changed page)
    CutShort,      // the layout starts but never ends: the connection broke or the cap cut it
    Refused,       // 403 or 429: the site will not serve us (blocked, or asked too often)
};

// What a worker's row says while a site answers without saying anything ("" for the other verdicts).
std::string SilentSiteText(FeedVerdict verdict, std::string_view cityName);

// The three-digit status of a raw response ("HTTP/1.1 500 ..." gives 500); 0 when it has no status line.
int ResponseStatus(std::string_view response);

// Judges a non-empty raw response to a feed request to `host` (the host decides the layout).
FeedVerdict JudgeFeedResponse(std::string_view host, std::string_view response);

enum class FeedSite { Craigslist, Kijiji };
inline constexpr std::array<std::string_view, 2> kFeedSiteNames = {"Craigslist", "Kijiji"};

// Counts of the search jobs of one run by site and verdict, kept by the workers as they finish.
class FeedTally {
public:
    void Reset();
    void Count(FeedSite site, FeedVerdict verdict, int httpStatus = 0);

    int Jobs(FeedSite site) const;
    int Failed(FeedSite site) const; // every verdict but Whole
    // "Craigslist: 3 of 4 feeds failed (2 answered HTTP 500, 1 layout not recognised)."; "" when none failed.
    std::string FailureLine(FeedSite site) const;
    // The failure lines of both sites, one a line; "" when every feed came back whole.
    std::string Report() const;

private:
    static constexpr std::size_t kVerdicts = 6;
    struct Counts {
        std::array<std::atomic<int>, kVerdicts> byVerdict{};
        std::atomic<int> lastHttpStatus{0};
    };
    std::array<Counts, 2> m_sites{};
};

} // namespace trawl
