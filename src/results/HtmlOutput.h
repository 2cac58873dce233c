#pragma once

#include "app/Clock.h"
#include "app/Prompts.h"
#include "results/CsvExport.h"
#include "results/OutputScope.h"

#include <string>
#include <string_view>

namespace trawl {

class ResultStore;

inline constexpr const char* kHtmlFailedCaption = "HTML file not saved";

// What a page is made of: the HTMLheader and HTMLitem settings and the search-name box's text.
struct HtmlPageInputs {
    std::string_view headerTemplate;
    std::string_view itemTemplate;
    std::string_view searchName; // trimmed here
};

// "HH:MM:SS MM-DD-YYYY", 24-hour.
std::string HtmlTimestamp(const TimeOfDay& time, const LocalDate& date);

// The item template with its macros replaced one after the other (ITEMLINK, ITEMTITLE, COUNTER, NEW,
// ITEMDATE, ITEMCITY, ITEMSECTION, DESCRIPTION), each pass over the previous result, appended to `out`.
// Values go in unescaped, but a tag that could run script and is not the template's own is written with
// its '<' as "&lt;" (see HtmlSafety.h). `scratch` is working space a caller reuses across records.
void AppendHtmlItem(std::string& out, std::string_view itemTemplate, int counter, const RecordView& record,
                    std::string& scratch);

std::string HtmlFailedMessage(const Status& status);

// The page: the header with TIMESTAMP then NAME replaced, then every ITEM replaced by the items of
// the scope's records in store order (expired records never), written exactly as it is, with no line
// end added; the file is replaced only once complete. A failure is told to the user (Error); success
// shows nothing, the caller opens the page. `count` is the number of items.
OutputResult WriteHtml(ResultStore& store, const std::string& path, OutputScope scope, std::string_view filterText,
                       const HtmlPageInputs& inputs, Clock& clock, Prompts& prompts);

} // namespace trawl
