#include "sitesim/UpdatePage.h"

namespace trawl::sitesim {

std::string UpdatePage(std::string_view versionText, bool endMarker)
{
    std::string page = "<html><head><title>Trawlkit</title></head><body>\n<h1>Trawlkit</h1>\n"
                       "<p>Current version: <!--trawlclver-->";
    page.append(versionText);
    if (endMarker) {
        page += "<!--endtrawlclver--></p>\n";
    } else {
        page += "</p>\n";
    }
    page += "<p>Release notes and downloads.</p>\n</body></html>\n";
    return page;
}

} // namespace trawl::sitesim
