#pragma once

#include "app/Prompts.h"
#include "app/Shell.h"

#include <string>

namespace trawl {

class ResultStore;

inline constexpr const char* kViewItCaption = "View it?";

// Where the ad was chosen: the result list's question also shows the link.
enum class ViewSource { ResultList, QuickFilter };

// Hands a link or a written file to the desktop's default handler.
bool OpenWithShell(const std::string& target, Shell& shell);

// "View this CITY ad in your browser?" CR LF CR LF TITLE [CR LF CR LF URI].
std::string ViewAdQuestion(std::string_view city, std::string_view title, std::string_view uri, ViewSource source);

// Opens record `record`'s link. With `confirmSpawn` on, asks first (Question, "View it?") and opens
// only on Yes. A record number outside 1..Count() (no row selected) does nothing. The record is read
// under the store's lock; the question is asked with the lock released. True when the link was opened.
bool ViewAdInBrowser(ResultStore& store, int record, ViewSource source, bool confirmSpawn, Prompts& prompts,
                     Shell& shell);

} // namespace trawl
