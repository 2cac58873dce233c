#pragma once

#include "app/Notifier.h"

#include <QObject>
#include <QString>
#include <map>

namespace trawl::ui {

// Notifications through the desktop's notification service (org.freedesktop.Notifications on the
// session bus). Without a session bus or without the service, Notify shows nothing and says so.
// GUI thread only.
class DbusNotifier final : public QObject, public Notifier {
    Q_OBJECT

public:
    explicit DbusNotifier(QObject* parent = nullptr);

    bool Notify(const std::string& title, const std::string& text, std::function<void()> activated) override;

private Q_SLOTS:
    void ActionInvoked(uint id, const QString& action);
    void Closed(uint id, uint reason);

private:
    bool m_listening = false;
    std::map<uint, std::function<void()>> m_activations; // by notification id, until it is closed
};

} // namespace trawl::ui
