#pragma once

#include <string>
#include <string_view>

namespace trawl {

// The part of an ad page that the deep scan keeps, cut by the layout of the host's site: the mail link
// and the ad body (Craigslist), or title, description and picture (the Kijiji layouts). A page
// without its layout's marker is kept whole, headers included.
std::string ExtractAdText(std::string_view host, std::string_view page);

inline constexpr std::string_view kNoEmailText = "Could not find a valid email address.";
inline constexpr std::string_view kExpiredNotice = "This posting has expired.";
inline constexpr std::string_view kExpiredText = "This posting has expired and will be removed shortly.";

} // namespace trawl
