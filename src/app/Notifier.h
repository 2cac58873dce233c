#pragma once

#include <functional>
#include <string>

namespace trawl {

// Desktop notifications: a short message shown outside the window. The window's only way to them;
// the real one speaks to the desktop's notification service, tests record.
class Notifier {
public:
    virtual ~Notifier() = default;
    // Shows `text` under `title`; `activated` runs on the GUI thread when the user clicks the
    // notification. False, and nothing shown, when the desktop has no notification service.
    virtual bool Notify(const std::string& title, const std::string& text, std::function<void()> activated) = 0;
};

} // namespace trawl
