#include "batch/BatchOutputs.h"

#include "app/Settings.h"
#include "app/TextUtil.h"
#include "batch/AlertCommand.h"
#include "batch/Console.h"
#include "results/CsvExport.h"
#include "results/HtmlOutput.h"

#include <cstdlib>
#include <unistd.h>

namespace trawl {

namespace {

// Takes the export's own messages in silence, keeping the text of a failure.
class QuietPrompts final : public Prompts {
public:
    PromptAnswer Show(PromptKind kind, const std::string&, const std::string& text) override
    {
        if (kind == PromptKind::Error) {
            failure = text;
        }
        return PromptAnswer::Ok;
    }
    std::string failure;
};

} // namespace

Status AlertNewResults(const std::string& program, const std::string& searchName, const Settings& settings,
                       const ReferenceTables& tables, ResultStore& store)
{
    const char* tmp = std::getenv("TMPDIR");
    std::string path = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/trawlkit-new-XXXXXX.csv";
    const int fd = ::mkstemps(path.data(), 4);
    if (fd < 0) {
        return Status::Failure("no file for the new results of the alert command could be made in the temporary "
                               "folder");
    }
    ::close(fd);
    QuietPrompts quiet;
    const CsvColumns columns{settings.IncludeStateInCSV != 0, settings.IncludeSiteInCSV != 0};
    const OutputResult written = ExportCsv(store, path, OutputScope::New, {}, columns, tables, quiet);
    Status status = Status::Ok();
    if (!written.status) {
        status = Status::Failure("the new results for the alert command could not be written: " +
                                 (quiet.failure.empty() ? written.status.message() : quiet.failure));
    } else if (written.count > 0) {
        status = RunAlertCommand(program, searchName, written.count, path);
    }
    ::unlink(path.c_str());
    return status;
}

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
