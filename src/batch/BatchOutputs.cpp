#include "batch/BatchOutputs.h"

#include "app/Settings.h"
#include "app/TextUtil.h"
#include "batch/Console.h"
#include "results/CsvExport.h"
#include "results/HtmlOutput.h"

namespace trawl {

std::string HtmlSavedMessage(const std::string& path, std::int64_t count)
{
    return "HTML file saved to '" + path + "' with " + GroupDigits(count) + " record" + (count > 1 ? "s" : "") + ".";
}

Status WriteBatchCsv(const std::string& path, OutputScope scope, const Settings& settings,
                     const ReferenceTables& tables, ResultStore& store, Prompts& prompts)
{
    const CsvColumns columns{settings.IncludeStateInCSV != 0, settings.IncludeSiteInCSV != 0};
    // ExportCsv tells the user itself: the closing message, or the failure.
    return ExportCsv(store, path, scope, {}, columns, tables, prompts).status;
}

Status WriteBatchHtml(const std::string& path, OutputScope scope, const std::string& searchName,
                      const Settings& settings, ResultStore& store, Clock& clock, Prompts& prompts)
{
    const HtmlPageInputs inputs{settings.HTMLheader, settings.HTMLitem, searchName};
    const OutputResult result = WriteHtml(store, path, scope, {}, inputs, clock, prompts);
    if (result.status) {
        // The window opens the page instead; without one, the user is told where it is.
        prompts.Show(PromptKind::Notice, kSaveCompleteCaption, HtmlSavedMessage(path, result.count));
    }
    return result.status;
}

} // namespace trawl
