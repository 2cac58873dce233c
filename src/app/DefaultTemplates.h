#pragma once

#include <string>

namespace trawl {

// The built-in HTML templates: 1 is the page header (and container of the items), 2 is the fragment
// written for each result; any other number gives "error". Lines end in CR LF.
std::string DefaultTemplate(int n);

} // namespace trawl
