#include "ui/QtShell.h"

#include "ui/QtText.h"

#include <QDesktopServices>
#include <QThread>

namespace trawl::ui {

QtShell::QtShell(Opener opener, QObject* parent) : QObject(parent), m_opener(std::move(opener))
{
    if (!m_opener) {
        m_opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    }
}

QUrl QtShell::TargetUrl(const std::string& target)
{
    const QString text = ToQString(target).trimmed();
    if (text.isEmpty()) {
        return {};
    }
    if (text.startsWith(QLatin1Char('/'))) {
        return QUrl::fromLocalFile(text);
    }
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    const qsizetype slash = text.indexOf(QLatin1Char('/'));
    const bool hasScheme = colon > 0 && (slash < 0 || colon < slash);
    QUrl url(hasScheme ? text : QStringLiteral("http://") + text, QUrl::TolerantMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https") && scheme != QLatin1String("mailto"))) {
        return {};
    }
    return url;
}

bool QtShell::Open(const std::string& target)
{
    const QUrl url = TargetUrl(target);
    if (!url.isValid()) {
        return false;
    }
    if (QThread::currentThread() == thread()) {
        return m_opener(url);
    }
    std::lock_guard lock(m_mutex);
    m_waiting.push_back(url);
    QMetaObject::invokeMethod(this, "OpenWaiting", Qt::QueuedConnection);
    return true;
}

void QtShell::OpenWaiting()
{
    std::deque<QUrl> urls;
    {
        std::lock_guard lock(m_mutex);
        urls.swap(m_waiting);
    }
    for (const QUrl& url : urls) {
        m_opener(url);
    }
}

} // namespace trawl::ui
