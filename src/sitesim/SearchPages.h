#pragma once

#include "app/Clock.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Page generators of the sample sites. Every generator is a pure function of its arguments and
// returns the page BODY only; HttpOkResponse wraps a body into a whole HTTP/1.0 response (status
// line, headers, blank line), as a server sends it and as HttpGet returns it.
namespace trawl::sitesim {

// One invented ad as a search page lists it.
struct ListedAd {
    std::string title;
    std::string link; // "http://" + host + path
    LocalDate date;
    std::string description; // feed description; on a result page a price such as "$250"
    bool picture = false;
};

// `count` invented ads on `host`, the same for the same arguments. Titles of the even-numbered ads
// (0, 2, ...) contain `term` when it is given, so title filters have something to keep and to drop.
// Dates run back one day per ad from `newest`; every third ad has a picture.
std::vector<ListedAd> InventAds(std::uint32_t seed, int count, std::string_view host, std::string_view term = {},
                                LocalDate newest = {2024, 3, 15});

struct FeedOptions {
    bool cdata = false; // titles and descriptions wrapped in CDATA sections
    // Links and titles on lines of their own, indented with tabs and spaces, with CR LF or LF, as
    // real feeds have carried them (`<link>` LF TAB URL CR LF `</link>`).
    bool lineBroken = false;
};

// The Craigslist RSS search feed: a channel with its own title, then one item per ad.
std::string CraigslistSearchFeed(const std::vector<ListedAd>& ads, const FeedOptions& options = {});
// The Kijiji Canada RSS search feed: a channel image, then one item per ad with an RFC 822 date.
std::string KijijiCanadaSearchFeed(const std::vector<ListedAd>& ads, const FeedOptions& options = {});

struct ResultPageOptions {
    bool noAdsMessage = false; // the page says that nothing matched (the entries are still listed)
};
// The result page of the other Kijiji sites (at most 99 entries are listed).
std::string KijijiResultPage(const std::vector<ListedAd>& ads, const ResultPageOptions& options = {});

// "HTTP/1.0 200 OK", a content type and length, a blank line, then the body.
std::string HttpOkResponse(std::string_view body, std::string_view contentType = "text/html");

// Helpers the generators share.
std::string IsoDate(LocalDate date);    // 2024-03-05
std::string Rfc822Date(LocalDate date); // Tue, 05 Mar 2024 10:30:00 GMT
LocalDate DaysBefore(LocalDate date, int days);

} // namespace trawl::sitesim
