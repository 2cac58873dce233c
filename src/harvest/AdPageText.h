#pragma once

#include <string>
#include <string_view>

namespace trawl {

// The part of an ad page that the deep scan keeps, cut by the layout of the host's site: the mail link
// and the ad body (Craigslist), or title, description and picture (the Kijiji layouts). A page
// without its layout's marker is kept whole, headers included. Either is kept up to kMaxAdTextBytes.
std::string ExtractAdText(std::string_view host, std::string_view page);

// Ad pages are tens to hundreds of kilobytes. A server that sends filler without end fills a response
// to the client's cap (64 MiB); kept whole, every such page would add that much to the store and
// to the search file.
inline constexpr std::size_t kMaxAdTextBytes = std::size_t{1} << 20;

inline constexpr std::string_view kNoEmailText = "Could not find a valid email address.";
inline constexpr std::string_view kExpiredNotice = "This posting has expired.";
inline constexpr std::string_view kExpiredText = "This posting has expired and will be removed shortly.";

} // namespace trawl
