#pragma once

#include "app/Status.h"
#include "results/OutputScope.h"

#include <cstdint>
#include <string>

namespace trawl {

class Clock;
class Prompts;
class ResultStore;
struct ReferenceTables;
struct Settings;

// The CSV file of the records in `scope`; the closing message, or the failure, goes through `prompts`.
Status WriteBatchCsv(const std::string& path, OutputScope scope, const Settings& settings,
                     const ReferenceTables& tables, ResultStore& store, Prompts& prompts);
// The HTML page of the records in `scope`, through the settings' templates; nothing is opened. Its
// closing message (HtmlSavedMessage), or the failure, goes through `prompts`.
Status WriteBatchHtml(const std::string& path, OutputScope scope, const std::string& searchName,
                      const Settings& settings, ResultStore& store, Clock& clock, Prompts& prompts);

// When the store holds results this run added: a CSV file of just those in the temporary folder, the
// alert command run on it (RunAlertCommand), and the file removed again. Nothing happens without new
// results. A failure (the CSV, or the command) is the message to tell.
Status AlertNewResults(const std::string& program, const std::string& searchName, const Settings& settings,
                       const ReferenceTables& tables, ResultStore& store);

// "HTML file saved to 'PATH' with 1,234 records." ("record." for 0 and 1), as the CSV one reads.
std::string HtmlSavedMessage(const std::string& path, std::int64_t count);

} // namespace trawl
