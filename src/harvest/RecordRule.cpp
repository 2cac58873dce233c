#include "harvest/RecordRule.h"

#include "app/Settings.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"

namespace trawl {

bool RecordOfItem(const FeedItem& item, std::string_view cityName, std::string_view sectionName,
                  const Settings& settings, ResultRecord& record)
{
    const std::string_view title = TrimSpaces(item.title);
    const std::string_view link = TrimSpaces(item.link);
    if (title.empty() || link.empty()) {
        return false;
    }
    record.Date = TrimmedCopy(item.date);
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
        const AddOutcome outcome = store.AddIfNew(item.link, record);
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
