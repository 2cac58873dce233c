#pragma once

#include "app/Shell.h"

#include <QObject>
#include <QUrl>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

namespace trawl::ui {

// Hands links and written files to the desktop's default handler. May be called from any thread
// (the update check opens its page from its own); the GUI thread does the opening.
class QtShell final : public QObject, public Shell {
    Q_OBJECT

public:
    using Opener = std::function<bool(const QUrl&)>;

    // `opener` stands in for the desktop (tests); by default QDesktopServices::openUrl.
    explicit QtShell(Opener opener = {}, QObject* parent = nullptr);

    // False when the target is nothing the program should open: ad links come from outside, so only
    // web and mail addresses and local files are handed on, never another scheme's handler.
    bool Open(const std::string& target) override;

    // The address a target is opened as; invalid when it is refused. A link without a scheme is a
    // web address ("host/path"), a path starting with "/" a local file.
    static QUrl TargetUrl(const std::string& target);

private Q_SLOTS:
    void OpenWaiting();

private:
    Opener m_opener;
    std::mutex m_mutex;
    std::deque<QUrl> m_waiting;
};

} // namespace trawl::ui
