// The ad-page cut of each site layout and the update page's version reader on arbitrary pages.
#include "FuzzSupport.h"

#include "harvest/AdPageText.h"
#include "harvest/UpdateCheck.h"

using namespace trawl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static constexpr std::string_view kHosts[] = {"sfbay.craigslist.org", "toronto.kijiji.ca", "boston.kijiji.com"};
    const auto [selector, page] = fuzz::TakeSelector(fuzz::AsText(data, size));
    if (selector % 4 == 3) {
        (void)VersionHundredths(page);
        return 0;
    }
    const std::string text = ExtractAdText(kHosts[selector % 4], page);
    // Each of the (at most three) pieces of a cut is a part of the page, plus fixed short texts: a page
    // never yields more than three times itself.
    fuzz::Check(text.size() <= 3 * page.size() + kNoEmailText.size() + 64,
                "the kept ad text outgrows the page", page);
    return 0;
}
