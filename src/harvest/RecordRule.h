#pragma once

#include "harvest/FeedParser.h"

#include <functional>
#include <string_view>
#include <vector>

namespace trawl {

class ResultStore;
struct ResultRecord;
struct Settings;

// The record an item becomes (date, title and link trimmed of spaces, tabs, CR and LF; a feed
// description longer than 25 characters kept, trimmed of spaces, behind the "<!--RSS-->" mark when
// RSSdescription is on). False when its title or link is empty once trimmed.
bool RecordOfItem(const FeedItem& item, std::string_view cityName, std::string_view sectionName,
                  const Settings& settings, ResultRecord& record);

struct ItemsAdded {
    int added = 0;
    bool storeFull = false; // the store overflowed; the remaining items were not looked at
};

// Adds the items in order, each with its duplicate test (the trimmed link) as one step under the
// store's lock. `onAdded` runs after each record added, outside the lock.
ItemsAdded AddFeedItems(ResultStore& store, const std::vector<FeedItem>& items, std::string_view cityName,
                        std::string_view sectionName, const Settings& settings, const std::function<void()>& onAdded);

} // namespace trawl
