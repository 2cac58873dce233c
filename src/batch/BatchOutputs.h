#pragma once

#include "app/Status.h"

#include <string>

namespace trawl {

class Clock;
class Prompts;
class ResultStore;
struct Settings;

// The record sets of the outputs: everything, or only what this run added.
inline constexpr int kScopeAll = 1;
inline constexpr int kScopeNew = 2;

// The CSV file of the records in `scope`; the closing message goes through `prompts`.
Status WriteBatchCsv(const std::string& path, int scope, const Settings& settings, ResultStore& store,
                     Prompts& prompts);
// The HTML page of the records in `scope`, through the settings' templates; nothing is opened.
Status WriteBatchHtml(const std::string& path, int scope, const std::string& searchName, const Settings& settings,
                      ResultStore& store, Clock& clock, Prompts& prompts);

} // namespace trawl
