#pragma once

#include "app/Prompts.h"
#include "app/Status.h"
#include "results/OutputScope.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace trawl {

class ResultStore;
class StateCodeIndex;
struct ReferenceTables;

// The two optional columns, from the settings of the same names.
struct CsvColumns {
    bool IncludeStateInCSV = false;
    bool IncludeSiteInCSV = false;
};

struct OutputResult {
    Status status = Status::Ok();
    std::int64_t count = 0; // records written
};

inline constexpr const char* kCsvSavedCaption = "Save complete";
inline constexpr const char* kCsvFailedCaption = "CSV file not saved";

// "\"Date\",\"Title\",\"City\",[\"StateCode\",]\"Section\",\"URI\",[\"SiteName\",]\"FullText\"" and CR LF.
std::string CsvHeaderLine(const CsvColumns& columns);
// "Craigslist" for a link with the Craigslist word between two dots, else "Kijiji".
std::string_view SiteNameOfLink(std::string_view link);
// One record's line, CR LF included, appended to `out`. `states` (built once per export from the
// reference tables) is read only for the state column.
void AppendCsvLine(std::string& out, const RecordView& record, const CsvColumns& columns, StateCodeIndex* states);
// "CSV file saved to 'PATH' with 1,234 records." ("record." for 0 and 1).
std::string CsvSavedMessage(std::string_view path, std::int64_t count);
std::string CsvFailedMessage(const Status& status);

// Writes the header and one line per record of the scope, in store order (expired records included),
// to `path`; the file is replaced only once it is complete. Then tells the user: the closing message
// (Notice) on success, the failure (Error) otherwise. `filterText` is read for scope Filtered only.
OutputResult ExportCsv(ResultStore& store, const std::string& path, OutputScope scope, std::string_view filterText,
                       const CsvColumns& columns, const ReferenceTables& tables, Prompts& prompts);

} // namespace trawl
