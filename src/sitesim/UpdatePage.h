#pragma once

#include <string>
#include <string_view>

namespace trawl::sitesim {

// The maker's blog page that carries the current version between its two comment markers; body only.
// Without `endMarker` the closing marker is left out (a damaged page).
std::string UpdatePage(std::string_view versionText, bool endMarker = true);

} // namespace trawl::sitesim
