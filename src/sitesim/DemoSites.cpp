#include "sitesim/DemoSites.h"

#include "sitesim/ListPages.h"

namespace trawl::sitesim {

void ServeDemoWorld(SampleSiteServer& server, const DemoWorldOptions& options)
{
    // Exact routes win over the catch-all, so the list pages keep their own answers.
    InstallListPages(server, options.world);
    ServeSampleSites(server, options.sites);
}

void MoveCraigslistToHttps(DemoWorldOptions& options)
{
    for (auto* pages : {&options.world.clStatePages, &options.world.clCountryPages}) {
        for (SampleCLDirectoryPage& page : *pages) {
            for (SampleCLCity& city : page.cities) {
                city.https = true;
                options.sites.httpsHosts.insert(city.host);
            }
        }
    }
}

} // namespace trawl::sitesim
