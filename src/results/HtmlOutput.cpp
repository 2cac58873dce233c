#include "results/HtmlOutput.h"

#include "app/AtomicFile.h"
#include "app/TextUtil.h"
#include "results/HtmlSafety.h"
#include "results/ResultStore.h"

#include <cstdio>
#include <utility>
#include <vector>

namespace trawl {

namespace {

constexpr std::string_view kTimestampMacro = "**TIMESTAMP**";
constexpr std::string_view kNameMacro = "**NAME**";
constexpr std::string_view kItemMacro = "**ITEM**";

// `text` with every `from` replaced by `to`, left to right, into `out` (cleared first).
void ReplaceInto(std::string& out, std::string_view text, std::string_view from, std::string_view to)
{
    out.clear();
    std::size_t at = 0;
    for (std::size_t hit = text.find(from); hit != std::string_view::npos; hit = text.find(from, at)) {
        out.append(text.substr(at, hit - at));
        out.append(to);
        at = hit + from.size();
    }
    out.append(text.substr(at));
}

// The header cut at every ITEM: the page is parts[0] items parts[1] items ... parts[n].
std::vector<std::string_view> SplitAtItems(std::string_view page)
{
    std::vector<std::string_view> parts;
    std::size_t at = 0;
    for (std::size_t hit = page.find(kItemMacro); hit != std::string_view::npos; hit = page.find(kItemMacro, at)) {
        parts.push_back(page.substr(at, hit - at));
        at = hit + kItemMacro.size();
    }
    parts.push_back(page.substr(at));
    return parts;
}

} // namespace

std::string HtmlTimestamp(const TimeOfDay& time, const LocalDate& date)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d %02d-%02d-%04d", time.hour, time.minute, time.second, date.month,
                  date.day, date.year);
    return text;
}

void AppendHtmlItem(std::string& out, std::string_view itemTemplate, int counter, const RecordView& record,
                    std::string& scratch)
{
    const std::string number = std::to_string(counter);
    const std::pair<std::string_view, std::string_view> macros[] = {
        {"**ITEMLINK**", record.URI},
        {"**ITEMTITLE**", record.Title},
        {"**COUNTER**", number},
        {"**NEW**", record.NewMark.empty() ? std::string_view() : std::string_view("NEW")},
        {"**ITEMDATE**", record.Date},
        {"**ITEMCITY**", record.City},
        {"**ITEMSECTION**", record.Section},
        {"**DESCRIPTION**", record.FullText},
    };
    // Two buffers take turns: each pass reads the result of the one before, so a value inserted
    // earlier that holds a later macro is expanded too.
    std::string current(itemTemplate);
    for (const auto& [macro, value] : macros) {
        if (current.find(macro) == std::string::npos) {
            continue;
        }
        ReplaceInto(scratch, current, macro, value);
        std::swap(current, scratch);
    }
    // The ad's values are strangers' markup: only the template's own script may run in the page.
    AppendDisarmed(out, current, OwnScriptTags(itemTemplate, counter));
}

std::string HtmlFailedMessage(const Status& status)
{
    return "HTML file has NOT been saved.\r\n\r\n" + status.message();
}

OutputResult WriteHtml(ResultStore& store, const std::string& path, OutputScope scope, std::string_view filterText,
                       const HtmlPageInputs& inputs, Clock& clock, Prompts& prompts)
{
    const TimeOfDay now = clock.Now();
    const LocalDate today = clock.Today();
    const std::string header = ReplaceAll(inputs.headerTemplate, kTimestampMacro, HtmlTimestamp(now, today));
    // The search's name is a file name, which anyone may have chosen: only the header's own script runs.
    std::string page;
    AppendDisarmed(page, ReplaceAll(header, kNameMacro, TrimSpaces(inputs.searchName)), ScriptTags(header));
    const std::vector<std::string_view> parts = SplitAtItems(page);

    const ScopeTest inScope(scope, store.Selection(), filterText);
    AtomicFileWriter writer(path);
    OutputResult result;
    std::string item;
    std::string scratch;
    auto eachItem = [&](auto&& sink) {
        store.ForEach([&](int record, const RecordView& view) {
            if (view.Date == kExpiredDate || !inScope.Includes(record, view)) {
                return;
            }
            item.clear();
            AppendHtmlItem(item, inputs.itemTemplate, record, view, scratch);
            sink(item);
        });
    };

    writer.Write(parts.front());
    if (parts.size() == 2) {
        // The usual page: one ITEM, so the items stream straight to the file.
        eachItem([&](const std::string& text) {
            writer.Write(text);
            ++result.count;
        });
        writer.Write(parts.back());
    } else if (parts.size() > 2) {
        // Several ITEMs get the same items: built once, written at each.
        std::string items;
        eachItem([&](const std::string& text) {
            items.append(text);
            ++result.count;
        });
        for (std::size_t k = 1; k < parts.size(); ++k) {
            writer.Write(items);
            writer.Write(parts[k]);
        }
    }

    result.status = writer.Commit();
    if (!result.status) {
        prompts.Show(PromptKind::Error, kHtmlFailedCaption, HtmlFailedMessage(result.status));
    }
    return result;
}

} // namespace trawl
