#include "sitesim/SearchPages.h"

#include "sitesim/InventedText.h"

#include <algorithm>
#include <cstdio>

namespace trawl::sitesim {

namespace {

constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

int DaysInMonth(int year, int month)
{
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// 0 = Sunday (Sakamoto's method).
int Weekday(LocalDate date)
{
    static constexpr int kOffsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
    int year = date.year - (date.month < 3 ? 1 : 0);
    return (year + year / 4 - year / 100 + year / 400 + kOffsets[date.month - 1] + date.day) % 7;
}

std::string Wrapped(const std::string& text, bool cdata)
{
    return cdata ? "<![CDATA[" + text + "]]>" : text;
}

std::string LineBroken(const std::string& text, const FeedOptions& options)
{
    return options.lineBroken ? "\n\t  " + text + "\r\n " : text;
}

std::string TwoDigits(int value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

} // namespace

std::string IsoDate(LocalDate date)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
    return buffer;
}

std::string Rfc822Date(LocalDate date)
{
    static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return std::string(kDays[Weekday(date)]) + ", " + TwoDigits(date.day) + " " + kMonthNames[date.month - 1] + " " +
           std::to_string(date.year) + " 10:30:00 GMT";
}

LocalDate DaysBefore(LocalDate date, int days)
{
    for (int i = 0; i < days; ++i) {
        if (--date.day == 0) {
            if (--date.month == 0) {
                date.month = 12;
                --date.year;
            }
            date.day = DaysInMonth(date.year, date.month);
        }
    }
    return date;
}

std::vector<ListedAd> InventAds(std::uint32_t seed, int count, std::string_view host, std::string_view term,
                                LocalDate newest)
{
    InventedText words(seed);
    std::vector<ListedAd> ads;
    ads.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        ListedAd ad;
        ad.title = words.Title();
        if (!term.empty() && i % 2 == 0) {
            ad.title += " " + std::string(term);
        }
        ad.link = "http://" + std::string(host) + "/ad/" + std::to_string(seed) + "-" + std::to_string(i) + ".html";
        ad.date = DaysBefore(newest, i);
        ad.description = words.Sentence(8 + i % 5);
        ad.picture = i % 3 == 0;
        ads.push_back(std::move(ad));
    }
    return ads;
}

std::string CraigslistSearchFeed(const std::vector<ListedAd>& ads, const FeedOptions& options)
{
    std::string page = "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
                       "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
                       "<channel>\n<title>sample listings search results</title>\n"
                       "<link>http://sample.invalid/</link>\n<items><rdf:Seq>\n";
    for (const ListedAd& ad : ads) {
        page += "<rdf:li rdf:resource=\"" + ad.link + "\" />\n";
    }
    page += "</rdf:Seq></items>\n</channel>\n";
    for (const ListedAd& ad : ads) {
        page += "<item rdf:about=\"" + ad.link + "\">\n";
        page += "<title>" + Wrapped(LineBroken(ad.title, options), options.cdata) + "</title>\n";
        page += "<link>" + LineBroken(ad.link, options) + "</link>\n";
        page += "<description>" + Wrapped(ad.description, options.cdata) + "</description>\n";
        page += "<dc:date>" + IsoDate(ad.date) + "T10:30:00-08:00</dc:date>\n";
        page += "</item>\n";
    }
    page += "</rdf:RDF>\n";
    return page;
}

std::string KijijiCanadaSearchFeed(const std::vector<ListedAd>& ads, const FeedOptions& options)
{
    std::string page = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">\n<channel>\n"
                       "<title>Sample classifieds</title>\n<link>http://sample.invalid/</link>\n"
                       "<image><title>Sample</title><url>http://sample.invalid/logo.gif</url></image>\n";
    for (const ListedAd& ad : ads) {
        page += "<item>\n";
        page += "<title>" + Wrapped(ad.title, options.cdata) + "</title>\n";
        page += "<link>" + ad.link + "</link>\n";
        page += "<description>" + Wrapped(ad.description, options.cdata) + "</description>\n";
        page += "<pubDate>" + Rfc822Date(ad.date) + "</pubDate>\n";
        page += "</item>\n";
    }
    page += "</channel>\n</rss>\n";
    return page;
}

std::string KijijiResultPage(const std::vector<ListedAd>& ads, const ResultPageOptions& options)
{
    const std::size_t shown = std::min<std::size_t>(ads.size(), 99);
    std::string page = "<html><head><title>Sample classifieds</title></head><body>\n";
    if (options.noAdsMessage) {
        page += "<p class=\"notice\">Sorry, but no ads matched your search. Try fewer words.</p>\n";
    }
    page += "<div id=\"ui-search-result-count\">Showing 1-" + std::to_string(shown) + " of " +
            std::to_string(ads.size()) + " ads</div>\n<ol class=\"search-results\">\n";
    for (std::size_t i = 0; i < shown; ++i) {
        const ListedAd& ad = ads[i];
        page += "<li><span class=\"thumb\">";
        if (ad.picture) {
            page += "<img src=\"http://img.sample.invalid/" + std::to_string(i) + ".jpg\" />";
        }
        page += "</span><a class=\"title\" href=\"" + ad.link + "\">" + ad.title + "</a> ";
        if (!ad.description.empty()) {
            page += "<strong>" + ad.description + " </strong>";
        }
        page += "<em>Posted</em> - " + std::string(kMonthNames[ad.date.month - 1]) + " " + TwoDigits(ad.date.day) +
                "</li>\n";
    }
    page += "</ol>\n</body></html>\n";
    return page;
}

std::string HttpOkResponse(std::string_view body, std::string_view contentType)
{
    std::string response = "HTTP/1.0 200 OK\r\nContent-Type: " + std::string(contentType) +
                           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    response.append(body);
    return response;
}

} // namespace trawl::sitesim
