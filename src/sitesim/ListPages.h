#pragma once

#include "sitesim/SampleSiteServer.h"
#include "sitesim/SampleWorld.h"

#include <cstddef>
#include <optional>
#include <string>

namespace trawl::sitesim {

// The pages that the first-run list download reads, in the layouts whose markers it looks for.

// The section page of group `index` (0 to 8): the group's options after the first option-group
// marker, then a second group that the page's block must not take in.
std::string CLSectionPage(const SampleWorld& world, std::size_t index);
// A directory page: a list page (`<div id="list">` with links, bold names between <b> and </b>), a
// "302 Found" to the first city's link, or "Not Found".
SimResponse CLDirectoryResponse(const SampleCLDirectoryPage& page);
std::string KJSectionPage(const SampleWorld& world);
std::string KJCanadaPage(const SampleWorld& world);
std::string KJUnitedStatesPage(const SampleWorld& world);
std::string KJStatePage(const SampleKJState& state);
// The link of a state page on the United States national host.
std::string KJStateLink(const SampleKJState& state);

// The answer for `host` and `path` when it is one of the list pages (the country directory answers
// "Not Found" for every path it has no page for); nothing otherwise.
std::optional<SimResponse> ListPageResponse(const SampleWorld& world, const std::string& host, const std::string& path);

// Routes every list page of `world` on `server` at the fixed list-download hosts. City hosts that
// double as list hosts get exact paths only, so routes for their search feeds can sit beside them.
void InstallListPages(SampleSiteServer& server, const SampleWorld& world);

} // namespace trawl::sitesim
