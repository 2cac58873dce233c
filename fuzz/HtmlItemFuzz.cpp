// HTML items made from hostile values: after disarming, nothing in the item could still run script
// except the template's own tags (disarming the item again changes nothing), and an item of the
// default template, parsed as a browser parses it, holds no script but its own two links.
#include "FuzzSupport.h"
#include "app/DefaultTemplates.h"
#include "results/HtmlOutput.h"
#include "results/HtmlSafety.h"
#include "support/ActiveContent.h"

using namespace trawl;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string kDefaultItem = DefaultTemplate(2);
    const auto [selector, rest] = fuzz::TakeSelector(fuzz::AsText(data, size));
    // "title \x01 text \x01 link \x01 city \x01 item template" (the default template when none is given)
    const auto parts = fuzz::SplitParts(rest, '\x01', 5);
    const auto part = [&](std::size_t i) { return i < parts.size() ? parts[i] : std::string_view(); };
    const std::string_view itemTemplate = parts.size() == 5 ? parts[4] : std::string_view(kDefaultItem);
    const RecordView record{"2024-03-01", part(0), part(3), "bicycles", part(2), part(1), "Yes"};
    const int counter = 1 + selector;

    std::string item;
    std::string scratch;
    AppendHtmlItem(item, itemTemplate, counter, record, scratch);
    std::string again;
    AppendDisarmed(again, item, OwnScriptTags(itemTemplate, counter));
    fuzz::Check(again == item, "a disarmed item still holds a tag that could run script", item);

    if (parts.size() != 5) {
        const test::ActiveContent active = test::FindActiveContent("<html><body>" + item + "</body></html>");
        const std::string n = std::to_string(counter);
        bool own = active.scripts == 0 && active.loaders.empty() && active.handlers.empty();
        for (const std::string& address : active.addresses) {
            own = own && (address == "javascript:lunchboxopen('" + n + "');" ||
                          address == "javascript:lunchboxclose('" + n + "');");
        }
        fuzz::Check(own, "a browser finds script that the ad brought into the item", item);
    }
    return 0;
}
