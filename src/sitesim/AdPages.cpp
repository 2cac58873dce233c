#include "sitesim/AdPages.h"

#include "sitesim/InventedText.h"

namespace trawl::sitesim {

namespace {

std::string Head(const std::string& title)
{
    return "<html><head><title>" + title + "</title></head><body>\n<div class=\"nav\">home &gt; for sale</div>\n";
}

constexpr const char* kExpiredPage =
    "<html><head><title>expired</title></head><body>\n<h2>This posting has expired.</h2>\n"
    "<p>(The title on the listings page will be removed in just a few minutes.)</p>\n</body></html>\n";

std::string TitleOf(std::uint32_t seed)
{
    return InventedText(seed ^ 0x5bd1e995u).Title();
}

} // namespace

std::string AdBodyText(const AdPageOptions& options)
{
    return InventedText(options.seed).Paragraph(options.bodyLength);
}

std::string CraigslistAdPage(const AdPageOptions& options)
{
    if (options.expired) {
        return kExpiredPage;
    }
    const std::string title = TitleOf(options.seed);
    std::string page = Head(title) + "<h2>" + title + "</h2>\n";
    if (options.mailto) {
        page += "Reply to: <a href=\"mailto:sale-" + std::to_string(options.seed) +
                "@reply.sample.invalid?subject=" + title + "\">sale-" + std::to_string(options.seed) +
                "@reply.sample.invalid</a>\n";
    }
    page += "<div id=\"userbody\">\n" + AdBodyText(options) + "\n</div>\n<div class=\"footer\">posting id " +
            std::to_string(options.seed) + "</div>\n</body></html>\n";
    return page;
}

std::string KijijiCanadaAdPage(const AdPageOptions& options)
{
    if (options.expired) {
        return kExpiredPage;
    }
    const std::string title = TitleOf(options.seed);
    std::string page = Head(title) + "<h1 id=\"preview-local-title\">" + title + "</h1>\n";
    if (options.picture) {
        page += "<a class=\"zoom\" title='Zoom'><img src=\"http://img.sample.invalid/" + std::to_string(options.seed) +
                ".jpg\" /></a>\n";
    }
    page += "<table><tr><td>Price</td><td>$" + std::to_string(10 + options.seed % 900) + "</td></tr></table>\n";
    page += "<span id=\"preview-local-desc\">" + AdBodyText(options) + "</span>\n</body></html>\n";
    return page;
}

std::string KijijiAdPage(const AdPageOptions& options)
{
    if (options.expired) {
        return kExpiredPage;
    }
    const std::string title = TitleOf(options.seed);
    std::string page = Head(title) + "<h1 id=\"ad-title\">" + title + "</h1>\n";
    if (options.picture) {
        page += "<div class=\"imageStack\"><img src=\"http://img.sample.invalid/" + std::to_string(options.seed) +
                ".jpg\" /></div>\n";
    }
    page += "<div class=\"details\"><span class=\"h3\">Description</span>\n<p>\n" + AdBodyText(options) +
            "</p>\n</div>\n</body></html>\n";
    return page;
}

} // namespace trawl::sitesim
