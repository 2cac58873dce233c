#include "ui/DbusNotifier.h"

#include "app/StartMenu.h"
#include "ui/QtText.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QVariantMap>

namespace trawl::ui {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kCallTimeoutMs = 2000; // a service that does not answer must not hold the window

} // namespace

DbusNotifier::DbusNotifier(QObject* parent) : QObject(parent) {}

bool DbusNotifier::Notify(const std::string& title, const std::string& text, std::function<void()> activated)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface() == nullptr || !bus.interface()->isServiceRegistered(kService).value()) {
        return false;
    }
    if (!m_listening) {
        bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                    SLOT(ActionInvoked(uint, QString)));
        bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this, SLOT(Closed(uint, uint)));
        m_listening = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // The "default" action is what a click on the notification itself invokes.
    call << QStringLiteral("Trawlkit") << uint{0} << QString::fromLatin1(kIconName) << ToQString(title)
         << ToQString(text) << QStringList{QStringLiteral("default"), QStringLiteral("Show Trawlkit")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("trawlkit")}} << -1;
    const QDBusReply<uint> reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (!reply.isValid()) {
        return false;
    }
    m_activations[reply.value()] = std::move(activated);
    return true;
}

void DbusNotifier::ActionInvoked(uint id, const QString& action)
{
    const auto found = m_activations.find(id);
    if (found != m_activations.end() && action == QStringLiteral("default") && found->second) {
        found->second();
    }
}

void DbusNotifier::Closed(uint id, uint)
{
    m_activations.erase(id);
}

} // namespace trawl::ui
