#pragma once

#include <string_view>

// The outside services' host names and the site markers, in one place. Everything else finds a site
// by these words: a Craigslist city host contains ".craigslist", a Kijiji one ".kijiji", a Canadian
// Kijiji host ".ca".
namespace trawl::endpoints {

inline constexpr std::string_view kCraigslistWord = "craigslist";
inline constexpr std::string_view kKijijiWord = "kijiji";
inline constexpr std::string_view kCanadaCode = "ca";

inline constexpr std::string_view kCraigslistMarker = ".craigslist";      // after a dot
inline constexpr std::string_view kCraigslistLinkMarker = ".craigslist."; // between two dots
inline constexpr std::string_view kKijijiMarker = ".kijiji";
inline constexpr std::string_view kCanadaMarker = ".ca";
inline constexpr std::string_view kKijijiCanadaMarker = ".kijiji.ca"; // dot, word, dot, country code

// List download: the Craigslist city site whose section pages are read, the country directory.
inline constexpr std::string_view kCraigslistSectionHost = "sfbay.craigslist.org";
inline constexpr std::string_view kCraigslistDirectoryHost = "geo.craigslist.org";
// List download: a Kijiji United States city site (section page), the two national hosts.
inline constexpr std::string_view kKijijiSectionHost = "boston.kijiji.com";
inline constexpr std::string_view kKijijiCanadaHost = "www.kijiji.ca";
inline constexpr std::string_view kKijijiUnitedStatesHost = "www.kijiji.com";

// The maker's homepage: the About box and the update check.
inline constexpr std::string_view kMakerHost = "www.brackenly.com";
inline constexpr std::string_view kUpdatePath = "/blog/trawlkit/";

inline bool Contains(std::string_view text, std::string_view marker)
{
    return text.find(marker) != std::string_view::npos;
}
// A city key or host of Craigslist (".craigslist"), tested before Kijiji.
inline bool HasCraigslistMarker(std::string_view text)
{
    return Contains(text, kCraigslistMarker);
}
inline bool HasKijijiMarker(std::string_view text)
{
    return Contains(text, kKijijiMarker);
}
inline bool HasCanadaMarker(std::string_view text)
{
    return Contains(text, kCanadaMarker);
}
// A link or host of Craigslist: the word between two dots.
inline bool IsCraigslistLink(std::string_view text)
{
    return Contains(text, kCraigslistLinkMarker);
}

} // namespace trawl::endpoints
