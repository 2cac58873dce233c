#include "results/BrowserView.h"

#include "results/ResultStore.h"

namespace trawl {

bool OpenWithShell(const std::string& target, Shell& shell)
{
    return shell.Open(target);
}

std::string ViewAdQuestion(std::string_view city, std::string_view title, std::string_view uri, ViewSource source)
{
    std::string text = "View this " + std::string(city) + " ad in your browser?\r\n\r\n" + std::string(title);
    if (source == ViewSource::ResultList) {
        text += "\r\n\r\n";
        text += uri;
    }
    return text;
}

bool ViewAdInBrowser(ResultStore& store, int record, ViewSource source, bool confirmSpawn, Prompts& prompts,
                     Shell& shell)
{
    std::string city;
    std::string title;
    std::string uri;
    {
        auto locked = store.Lock();
        if (record < 1 || record > locked.Count()) {
            return false;
        }
        const RecordView view = locked.View(record);
        city = view.City;
        title = view.Title;
        uri = view.URI;
    }
    // A question box waits for the user; workers must not wait with it.
    if (confirmSpawn && prompts.Show(PromptKind::Question, kViewItCaption, ViewAdQuestion(city, title, uri, source)) !=
                            PromptAnswer::Yes) {
        return false;
    }
    return OpenWithShell(uri, shell);
}

} // namespace trawl
