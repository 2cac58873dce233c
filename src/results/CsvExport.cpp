#include "results/CsvExport.h"

#include "app/AtomicFile.h"
#include "app/TextUtil.h"
#include "refdata/StateCodeIndex.h"
#include "results/Escaping.h"
#include "results/ResultStore.h"
#include "sites/Endpoints.h"

#include <optional>

namespace trawl {

namespace {

void AppendCell(std::string& out, std::string_view value)
{
    out.push_back('"');
    AppendEscaped(out, value);
    out.append("\",");
}

} // namespace

std::string CsvHeaderLine(const CsvColumns& columns)
{
    std::string line = "\"Date\",\"Title\",\"City\",";
    if (columns.IncludeStateInCSV) {
        line += "\"StateCode\",";
    }
    line += "\"Section\",\"URI\",";
    if (columns.IncludeSiteInCSV) {
        line += "\"SiteName\",";
    }
    line += "\"FullText\"\r\n";
    return line;
}

std::string_view SiteNameOfLink(std::string_view link)
{
    return endpoints::IsCraigslistLink(link) ? "Craigslist" : "Kijiji";
}

void AppendCsvLine(std::string& out, const RecordView& record, const CsvColumns& columns, StateCodeIndex* states)
{
    AppendCell(out, record.Date);
    AppendCell(out, record.Title);
    AppendCell(out, record.City);
    if (columns.IncludeStateInCSV) {
        // Written as it is: a state code never holds a quote or a line break.
        out.push_back('"');
        out.append(states != nullptr ? states->CodeOfLink(record.URI) : std::string_view("--"));
        out.append("\",");
    }
    AppendCell(out, record.Section);
    AppendCell(out, record.URI);
    if (columns.IncludeSiteInCSV) {
        out.push_back('"');
        out.append(SiteNameOfLink(record.URI));
        out.append("\",");
    }
    out.push_back('"');
    AppendEscaped(out, record.FullText);
    out.append("\"\r\n");
}

std::string CsvSavedMessage(std::string_view path, std::int64_t count)
{
    return "CSV file saved to '" + std::string(path) + "' with " + GroupDigits(count) + " record" +
           (count > 1 ? "s" : "") + ".";
}

std::string CsvFailedMessage(const Status& status)
{
    return "CSV file has NOT been saved.\r\n\r\n" + status.message();
}

OutputResult ExportCsv(ResultStore& store, const std::string& path, OutputScope scope, std::string_view filterText,
                       const CsvColumns& columns, const ReferenceTables& tables, Prompts& prompts)
{
    const ScopeTest inScope(scope, store.Selection(), filterText);
    AtomicFileWriter writer(path);
    writer.Write(CsvHeaderLine(columns));

    // The tables' links are indexed once here rather than searched row by row for every record.
    std::optional<StateCodeIndex> states;
    if (columns.IncludeStateInCSV) {
        states.emplace(tables);
    }
    OutputResult result;
    std::string line; // reused: one record's line at a time, never the whole file
    store.ForEach([&](int record, const RecordView& view) {
        if (!inScope.Includes(record, view)) {
            return;
        }
        line.clear();
        AppendCsvLine(line, view, columns, states ? &*states : nullptr);
        writer.Write(line);
        ++result.count;
    });

    result.status = writer.Commit();
    if (result.status) {
        prompts.Show(PromptKind::Notice, kCsvSavedCaption, CsvSavedMessage(path, result.count));
    } else {
        prompts.Show(PromptKind::Error, kCsvFailedCaption, CsvFailedMessage(result.status));
    }
    return result;
}

} // namespace trawl
