#include "harvest/FeedParser.h"

#include "app/Clock.h"
#include "app/Settings.h"
#include "app/TextUtil.h"
#include "net/TextBetween.h"
#include "results/Dates.h"
#include "sites/Endpoints.h"

#include <algorithm>

namespace trawl {

namespace {

constexpr std::string_view kCdataStart = "<![CDATA[";

bool Has(std::string_view text, std::string_view marker)
{
    return text.find(marker) != std::string_view::npos;
}

std::string UnwrapCdata(std::string field)
{
    if (field.starts_with(kCdataStart)) {
        return TextBetween(field, kCdataStart, "]]>");
    }
    return field;
}

// The text from the first `marker` on (marker kept); empty without it.
std::string_view From(std::string_view text, std::string_view marker)
{
    const auto at = text.find(marker);
    return at == std::string_view::npos ? std::string_view() : text.substr(at);
}

// True when the response ends inside this item: its title is there, but no "</item>" is left. A
// connection that broke (or a server that stopped) in the middle of a feed leaves such a tail, whose
// last field runs to the end of the text; a link cut there would be stored and, as it contains the
// whole link, would pass the real ad off as a duplicate for good. Such an item is not read.
bool CutShort(std::string_view text)
{
    return text.find("</item>") == std::string_view::npos && text.find("<title>") != std::string_view::npos;
}

// Drops the text up to and including the first "</item>", or six characters when there is none.
void NextItem(std::string_view& text)
{
    const auto end = text.find("</item>");
    text.remove_prefix(end == std::string_view::npos ? std::min<std::size_t>(6, text.size()) : end + 7);
}

std::size_t CountOccurrences(std::string_view text, std::string_view marker)
{
    std::size_t n = 0;
    for (auto at = text.find(marker); at != std::string_view::npos; at = text.find(marker, at + marker.size())) {
        ++n;
    }
    return n;
}

// A whole number with at least `width` digits ("0" padding), as the "00" and "0000" masks write it.
std::string Padded(long long value, std::size_t width)
{
    if (value < 0) {
        return "-" + Padded(-value, width);
    }
    std::string digits = std::to_string(value);
    if (digits.size() < width) {
        digits.insert(0, width - digits.size(), '0');
    }
    return digits;
}

// The job's term as the title filter compares it: lower case, double quotes removed.
std::string FilterTerm(std::string_view term)
{
    std::string filter = ToLowerAscii(term);
    std::erase(filter, '"');
    return filter;
}

bool TitleMatches(std::string_view title, std::string_view filter)
{
    return Has(ToLowerAscii(title), filter);
}

// "Tue, 05 Mar 2024 10:00:00 GMT": year, month by name, day by value.
std::string DateOfRfc822(std::string_view stamp)
{
    const std::vector<std::string> fields = SplitPlain(stamp, ' ');
    auto field = [&fields](std::size_t n) { return n <= fields.size() ? std::string_view(fields[n - 1]) : ""; };
    return std::string(field(4)) + "-" + Padded(MonthNumber(field(3)), 2) + "-" + Padded(LeadingInteger(field(2)), 2);
}

void ParseCraigslist(std::string_view response, std::size_t cap, std::vector<FeedItem>& items)
{
    std::string_view text = From(response, "</channel>");
    const std::size_t n = std::min(CountOccurrences(text, "<title>"), cap);
    for (std::size_t i = 0; i < n && !CutShort(text); ++i) {
        FeedItem item;
        item.title = UnwrapCdata(TextBetween(text, "<title>", "</title>"));
        item.date = TextBetween(text, "<dc:date>", "</dc:date>").substr(0, 10);
        item.description = ReplaceAll(UnwrapCdata(TextBetween(text, "<description>", "</description>")), "&amp;", "&");
        item.link = TextBetween(text, "<link>", "</link>");
        NextItem(text);
        items.push_back(std::move(item));
    }
}

void ParseKijijiFeed(std::string_view response, std::string_view term, const Settings& settings, std::size_t cap,
                     std::vector<FeedItem>& items)
{
    std::string_view text = From(response, "</image>");
    const std::size_t n = CountOccurrences(text, "<title>");
    const std::string filter = FilterTerm(term);
    for (std::size_t i = 0; i < n && items.size() < cap && !CutShort(text); ++i) {
        if (settings.SearchTitles != 0 && !TitleMatches(TextBetween(text, "<title>", "</title>"), filter)) {
            NextItem(text);
            continue;
        }
        FeedItem item;
        item.title = UnwrapCdata(TextBetween(text, "<title>", "</title>"));
        item.date = DateOfRfc822(TextBetween(text, "<pubDate>", "</pubDate>"));
        item.description = UnwrapCdata(TextBetween(text, "<description>", "</description>"));
        item.link = TextBetween(text, "<link>", "</link>");
        NextItem(text);
        items.push_back(std::move(item));
    }
}

void ParseKijijiPage(std::string_view response, std::string_view term, const Settings& settings, Clock& clock,
                     std::size_t cap, std::vector<FeedItem>& items)
{
    if (Has(response, "Sorry, but no ads matched your search")) {
        return;
    }
    int n = 0;
    const std::string_view counter = From(response, "<div id=\"ui-search-result-count\">");
    const auto showing = counter.find("Showing 1-");
    if (showing != std::string_view::npos) {
        n = LeadingInteger(counter.substr(showing + 10, 2));
    }
    std::string_view text = From(response, "<ol class=\"search-results\">");
    const std::string filter = FilterTerm(term);
    LocalDate today{};
    bool haveToday = false;
    for (int i = 1; i <= n && items.size() < cap; ++i) {
        const auto open = text.find("<li>");
        text.remove_prefix(open == std::string_view::npos ? text.size() : open + 4);
        const auto close = text.find("</li>");
        if (close == std::string_view::npos) {
            break; // the page ends inside this entry (see CutShort)
        }
        std::string_view entry = text.substr(0, close);

        if (settings.HasPictures != 0 && (Has(entry, ".jpg") || Has(entry, ".jpeg"))) {
            continue;
        }
        const auto span = entry.find("</span>");
        if (span != std::string_view::npos) {
            entry.remove_prefix(span + 7);
        }
        FeedItem item;
        item.link = TextBetween(entry, "href=\"", "\"");
        item.title = TextBetween(entry, "\">", "</a>");
        if (settings.SearchTitles != 0 && !TitleMatches(item.title, filter)) {
            continue;
        }
        const auto dollar = entry.find('$');
        if (dollar != std::string_view::npos) {
            const std::string_view price = entry.substr(dollar);
            item.description = std::string(price.substr(0, price.find(' ')));
        }
        if (!haveToday) {
            today = clock.Today();
            haveToday = true;
        }
        const int month = MonthNumber(TextBetween(entry, "</em> - ", " "));
        const int year = today.month < month ? today.year - 1 : today.year;
        const int day = LeadingInteger(entry.substr(entry.size() - std::min<std::size_t>(2, entry.size())));
        item.date = Padded(year, 4) + "-" + Padded(month, 2) + "-" + Padded(day, 2);
        items.push_back(std::move(item));
    }
}

} // namespace

int ParseFeed(std::string_view host, std::string_view response, std::string_view term, const Settings& settings,
              Clock& clock, std::vector<FeedItem>& items)
{
    items.clear();
    if (response.empty()) {
        return -1;
    }
    const std::size_t cap = static_cast<std::size_t>(std::max(settings.MaxResults, 1));
    if (Has(host, endpoints::kCraigslistWord)) {
        ParseCraigslist(response, cap, items);
    } else if (Has(host, endpoints::kKijijiWord)) {
        if (endpoints::HasCanadaMarker(host)) {
            ParseKijijiFeed(response, term, settings, cap, items);
        } else {
            ParseKijijiPage(response, term, settings, clock, cap, items);
        }
    }
    return static_cast<int>(items.size());
}

} // namespace trawl
