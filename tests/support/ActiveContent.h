#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace trawl::test {

// What in an HTML page could run script once a browser has parsed it (Gumbo, an HTML5 parser).
struct ActiveContent {
    int scripts = 0;                    // script elements
    std::vector<std::string> loaders;   // other elements that run or load content (iframe, object, ...)
    std::vector<std::string> handlers;  // on* attributes, "name=value"
    std::vector<std::string> addresses; // javascript:, vbscript: and data: values, as the browser reads them
                                        // (lower case, white space and control bytes dropped)
};

ActiveContent FindActiveContent(std::string_view page);

} // namespace trawl::test
