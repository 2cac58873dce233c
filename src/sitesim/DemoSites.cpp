#include "sitesim/DemoSites.h"

#include "sitesim/ListPages.h"

namespace trawl::sitesim {

void ServeDemoWorld(SampleSiteServer& server, const DemoWorldOptions& options)
{
    // Exact routes win over the catch-all, so the list pages keep their own answers.
    InstallListPages(server, options.world);
    ServeSampleSites(server, options.sites);
}

} // namespace trawl::sitesim
