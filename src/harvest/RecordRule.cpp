#include "harvest/RecordRule.h"

#include "app/Settings.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"

namespace trawl {

bool RecordOfItem(const FeedItem& item, std::string_view cityName, std::string_view sectionName,
                  const Settings& settings, ResultRecord& record)
{
    // Real feeds have carried links and titles on lines of their own, indented: line breaks and tabs
    // go as spaces do, or the link could never be fetched nor found again as a duplicate.
    const std::string_view title = TrimWhitespace(item.title);
    const std::string_view link = TrimWhitespace(item.link);
    if (title.empty() || link.empty()) {
        return false;
    }
    record.Date = std::string(TrimWhitespace(item.date));
    record.Title = std::string(title);
    record.City = std::string(cityName);
    record.Section = std::string(sectionName);
    record.URI = std::string(link);
    record.FullText.clear();
    if (settings.RSSdescription != 0 && item.description.size() > 25) {
        record.FullText = std::string(kRssMarker) + TrimmedCopy(item.description);
    }
    record.NewMark.clear();
    return true;
}

ItemsAdded AddFeedItems(ResultStore& store, const std::vector<FeedItem>& items, std::string_view cityName,
                        std::string_view sectionName, const Settings& settings, const std::function<void()>& onAdded)
{
    ItemsAdded result;
    ResultRecord record;
    for (const FeedItem& item : items) {
        if (!RecordOfItem(item, cityName, sectionName, settings, record)) {
            continue;
        }
        // The link as stored: a link with spaces or line breaks around it would never be found.
        const AddOutcome outcome = store.AddIfNew(record.URI, record);
        if (outcome == AddOutcome::Full) {
            result.storeFull = true;
            break;
        }
        if (outcome == AddOutcome::Added) {
            ++result.added;
            if (onAdded) {
                onAdded();
            }
        }
    }
    return result;
}

} // namespace trawl
