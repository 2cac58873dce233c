#include "harvest/AdPageText.h"

#include "net/TextBetween.h"
#include "sites/Endpoints.h"

namespace trawl {

namespace {

constexpr std::string_view kCrLf = "\r\n";

// From `start` up to and including the first `end` after it; the rest of the text when there is none.
std::string_view UpToIncluding(std::string_view text, std::size_t start, std::string_view end)
{
    const auto hit = text.find(end, start);
    return hit == std::string_view::npos ? text.substr(start) : text.substr(start, hit + end.size() - start);
}

// The page from `marker` on, up to and including the first `end` after it; empty without the marker.
std::string_view MarkedBlock(std::string_view page, std::string_view marker, std::string_view end)
{
    const auto at = page.find(marker);
    return at == std::string_view::npos ? std::string_view() : UpToIncluding(page, at, end);
}

// From one character after the end of `marker` up to and including the next "/>"; empty without it.
std::string_view PictureAfter(std::string_view page, std::string_view marker, std::size_t skip)
{
    const auto at = page.find(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    const std::size_t start = std::min(page.size(), at + marker.size() + skip);
    return UpToIncluding(page, start, "/>");
}

std::string Craigslist(std::string_view page)
{
    constexpr std::string_view kBody = "<div id=\"userbody\">";
    if (page.find(kBody) == std::string_view::npos) {
        return std::string(page.substr(0, kMaxAdTextBytes));
    }
    std::string text;
    const auto mail = page.find("<a href=\"mailto:");
    text = mail == std::string_view::npos ? std::string(kNoEmailText) : std::string(UpToIncluding(page, mail, "</a>"));
    text += "<br /><br />";
    text += kCrLf;
    text += TextBetween(page, kBody, "</div>");
    return text;
}

std::string KijijiCanada(std::string_view page)
{
    constexpr std::string_view kTitle = "<h1 id=\"preview-local-title\">";
    if (page.find(kTitle) == std::string_view::npos) {
        return std::string(page.substr(0, kMaxAdTextBytes));
    }
    std::string text(MarkedBlock(page, kTitle, "</h1>"));
    text += MarkedBlock(page, "<span id=\"preview-local-desc\">", "</span>");
    text += "<br />";
    text += kCrLf;
    text += PictureAfter(page, "title='Zoom'>", 0);
    return text;
}

std::string Kijiji(std::string_view page)
{
    constexpr std::string_view kTitle = "<h1 id=\"ad-title\">";
    if (page.find(kTitle) == std::string_view::npos) {
        return std::string(page.substr(0, kMaxAdTextBytes));
    }
    std::string text(MarkedBlock(page, kTitle, "</h1>"));
    constexpr std::string_view kDetails = "<span class=\"h3\">";
    const auto details = page.find(kDetails);
    if (details != std::string_view::npos) {
        const std::string_view rest = page.substr(details);
        const auto para = rest.find("<p>");
        if (para != std::string_view::npos) {
            const std::string_view body = rest.substr(std::min(rest.size(), para + 3 + 1));
            text += body.substr(0, body.find("</p>"));
        }
    }
    text += "<br />";
    text += kCrLf;
    text += PictureAfter(page, "class=\"imageStack\"", 1);
    return text;
}

} // namespace

std::string ExtractAdText(std::string_view host, std::string_view page)
{
    std::string text;
    if (endpoints::IsCraigslistLink(host)) {
        text = Craigslist(page);
    } else if (host.find(endpoints::kKijijiCanadaMarker) != std::string_view::npos) {
        text = KijijiCanada(page);
    } else {
        text = Kijiji(page);
    }
    if (text.size() > kMaxAdTextBytes) {
        text.resize(kMaxAdTextBytes);
        text.shrink_to_fit();
    }
    return text;
}

} // namespace trawl
