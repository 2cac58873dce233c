#include "sitesim/DemoSites.h"

namespace trawl::sitesim {

void ServeDemoWorld(SampleSiteServer& server, const DemoWorldOptions& options)
{
    // Exact routes win over the catch-all, so the list pages keep their own answers.
    ServeSampleSites(server, options.sites);
}

} // namespace trawl::sitesim
