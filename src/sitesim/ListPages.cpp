#include "sitesim/ListPages.h"

#include "sites/Endpoints.h"

#include <memory>

namespace trawl::sitesim {
namespace {

constexpr const char* kEnd = "\r\n";

std::string Html(const std::string& title, const std::string& body)
{
    return "<html>\r\n<head><title>" + title + "</title></head>\r\n<body>\r\n" + body + "</body>\r\n</html>\r\n";
}

std::string Anchor(const std::string& link, const std::string& text)
{
    return "<a href=\"" + link + "\">" + text + "</a>";
}

std::string CityItem(const SampleKJCity& city)
{
    const std::string anchor = Anchor(city.Link(), city.name);
    return city.bold ? "<li><b>" + anchor + "</b></li>\r\n" : "<li>" + anchor + "</li>\r\n";
}

std::string KJCategoryLink(const std::string& dir, const std::string& id)
{
    return "http://" + std::string(endpoints::kKijijiSectionHost) + "/" + dir + "/?catId=" + id;
}

} // namespace

std::string CLSectionPage(const SampleWorld& world, std::size_t index)
{
    const SampleCLGroup& group = world.clGroups.at(index);
    const SampleCLGroup& other = world.clGroups.at((index + 1) % world.clGroups.size());
    std::string body = "<form id=\"search\">\r\n<select id=\"cAbb\" name=\"catAbb\">\r\n";
    body += "<option disabled value=\"\">-- " + group.label + ":" + kEnd;
    for (const auto& section : group.sections) {
        body += "<option value=\"" + section.code + "\">" + section.pageName + kEnd;
    }
    body += "<option disabled value=\"\">-- " + other.label + ":" + kEnd;
    for (const auto& section : other.sections) {
        body += "<option value=\"" + section.code + "\">" + section.pageName + kEnd;
    }
    body += "</select>\r\n</form>\r\n";
    return Html("craigslist: " + group.label, body);
}

SimResponse CLDirectoryResponse(const SampleCLDirectoryPage& page)
{
    if (page.answer == DirectoryAnswer::NotFound || page.cities.empty()) {
        return SimResponse::NotFound();
    }
    if (page.answer == DirectoryAnswer::Redirect) {
        // Sent without the trailing "/" that the list pages give their links.
        const SampleCLCity& city = page.cities.front();
        return SimResponse::Redirect((city.https ? "https://" : "http://") + city.host);
    }
    // A link before the list, which the download must not take for a site.
    std::string body = "<h1>choose the site nearest you</h1>\r\n" +
                       Anchor("http://www.craigslist.org/about/", "about") + "\r\n<div id=\"list\">\r\n";
    for (const auto& city : page.cities) {
        const std::string name = city.bold ? "<b>" + city.pageName + "</b>" : city.pageName;
        body += Anchor(city.Link(), name) + "<br>\r\n";
    }
    body += "</div>\r\n";
    return SimResponse::Page(Html("craigslist: site directory", body));
}

std::string KJSectionPage(const SampleWorld& world)
{
    std::string body = "<div class=\"categories\">\r\n";
    for (const auto& group : world.kjGroups) {
        body +=
            "<h2 class=\"title\">" + Anchor(KJCategoryLink(group.dir, group.id), group.pageName) + "</h2>\r\n<ul>\r\n";
        for (const auto& section : group.sections) {
            body += "<li>" + Anchor(KJCategoryLink(section.dir, section.id), section.pageName) + "</li>\r\n";
        }
        body += "</ul>\r\n";
    }
    // A heading that is no category ends the list.
    body += "<h2 class=\"title\">" +
            Anchor("http://" + std::string(endpoints::kKijijiSectionHost) + "/about.html", "about kijiji") +
            "</h2>\r\n<ul>\r\n<li>" + Anchor(KJCategoryLink("free-stuff", "17220"), "free stuff") +
            "</li>\r\n</ul>\r\n</div>\r\n";
    return Html("Kijiji: free classifieds", body);
}

std::string KJCanadaPage(const SampleWorld& world)
{
    std::string body = "<div class=\"catlist\">\r\n";
    for (const auto& province : world.kjProvinces) {
        body += "<h2 class=\"homeMetaCatName\">" + province.name + "</h2>\r\n<ul>\r\n";
        for (const auto& city : province.cities) {
            body += CityItem(city);
        }
        body += "</ul>\r\n";
    }
    body += "</div>\r\n<div class=\"footer\"><ul><li>" + Anchor("http://www.kijiji.ca/help/", "Help") +
            "</li></ul></div>\r\n";
    return Html("Kijiji Canada", body);
}

std::string KJStateLink(const SampleKJState& state)
{
    return "http://" + std::string(endpoints::kKijijiUnitedStatesHost) + "/state/" + state.slug;
}

std::string KJUnitedStatesPage(const SampleWorld& world)
{
    std::string body = Anchor("http://www.kijiji.com/help/", "help") +
                       "\r\n<p>Welcome! To find ads near you, please click on your state below</p>\r\n<ul>\r\n";
    for (std::size_t i = 0; i < world.kjStates.size(); ++i) {
        body += "<li>" + Anchor(KJStateLink(world.kjStates[i]), world.kjStates[i].name) + "</li>\r\n";
        if (i == 0) {
            body += "<li>" + Anchor("http://www.kijiji.com/about/", "About Kijiji") + "</li>\r\n";
        }
    }
    body += "</ul>\r\n";
    return Html("Kijiji United States", body);
}

std::string KJStatePage(const SampleKJState& state)
{
    std::string body = "<div class=\"cities\">\r\n<p>Please select a city below</p>\r\n<ul>\r\n";
    for (const auto& city : state.cities) {
        body += "<li>" + Anchor(city.Link(), city.name) + "</li>\r\n";
    }
    body += "</ul>\r\n</div>\r\n<div class=\"footer\">" + Anchor("http://www.kijiji.com/help/", "help") + "</div>\r\n";
    return Html("Kijiji " + state.name, body);
}

std::optional<SimResponse> ListPageResponse(const SampleWorld& world, const std::string& host, const std::string& path)
{
    if (host == endpoints::kCraigslistSectionHost) {
        for (std::size_t i = 0; i < world.clGroups.size(); ++i) {
            if (path == "/" + world.clGroups[i].code + "/") {
                return SimResponse::Page(CLSectionPage(world, i));
            }
        }
    }
    if (host == endpoints::kCraigslistDirectoryHost) {
        for (const auto* pages : {&world.clStatePages, &world.clCountryPages}) {
            for (const auto& page : *pages) {
                if (page.path == path) {
                    return CLDirectoryResponse(page);
                }
            }
        }
        return SimResponse::NotFound();
    }
    if (host == endpoints::kKijijiSectionHost && path == "/") {
        return SimResponse::Page(KJSectionPage(world));
    }
    if (host == endpoints::kKijijiCanadaHost && path == "/") {
        return SimResponse::Page(KJCanadaPage(world));
    }
    if (host == endpoints::kKijijiUnitedStatesHost) {
        if (path == "/") {
            return SimResponse::Page(KJUnitedStatesPage(world));
        }
        for (const auto& state : world.kjStates) {
            if (path == "/state/" + state.slug) {
                return SimResponse::Page(KJStatePage(state));
            }
        }
    }
    return std::nullopt;
}

void InstallListPages(SampleSiteServer& server, const SampleWorld& world)
{
    auto shared = std::make_shared<const SampleWorld>(world);
    auto route = [&server, shared](const std::string& host, const std::string& path) {
        server.AddRoute(host, path, [shared](const SimRequest& request) {
            return ListPageResponse(*shared, request.host, request.path).value_or(SimResponse::NotFound());
        });
    };
    for (const auto& group : world.clGroups) {
        route(std::string(endpoints::kCraigslistSectionHost), "/" + group.code + "/");
    }
    route(std::string(endpoints::kCraigslistDirectoryHost), "*");
    route(std::string(endpoints::kKijijiSectionHost), "/");
    route(std::string(endpoints::kKijijiCanadaHost), "/");
    route(std::string(endpoints::kKijijiUnitedStatesHost), "/");
    for (const auto& state : world.kjStates) {
        route(std::string(endpoints::kKijijiUnitedStatesHost), "/state/" + state.slug);
    }
}

} // namespace trawl::sitesim
