#pragma once

#include "app/Status.h"

#include <string>
#include <string_view>
#include <vector>

namespace trawl {

class Prompts;
class ResultStore;
struct RunFlags;

// The columns of the result list: 1 Date, 2 Title, 3 City, 4 Section, 5 Full Text (not sortable).
enum class SortColumn { Date = 1, Title = 2, City = 3, Section = 4, FullText = 5 };

// The order the list's quicksort gives: for each position k, the index (0-based) into `keys` of the
// key that ends up there. Date sorts descending by bytes; the other columns ascending by their
// lower-cased bytes (the caller passes keys already lower-cased). Equal keys may change their
// relative order, exactly as the in-place Hoare quicksort with the middle pivot does.
std::vector<int> QuicksortOrder(std::vector<std::string_view> keys, bool descending);

// A click on a column header. Refuses with the error message while a search or deep scan runs;
// does nothing for the Full Text column or fewer than two records; otherwise reorders the records
// (moved whole) and tells the view to refill the list. Returns true when the store was sorted.
bool SortResults(ResultStore& store, SortColumn column, const RunFlags& flags, Prompts& prompts);

inline constexpr std::string_view kActiveSearchSortMessage =
    "A search is currently active. You need to stop the current scan before sorting the results.";

} // namespace trawl
