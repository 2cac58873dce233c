#pragma once

#include "app/Prompts.h"

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class QMessageBox;

namespace trawl::ui {

// The message boxes. Made on the GUI thread; Show may be called from any thread. A worker's box is
// shown by the GUI thread while the worker waits for the answer; boxes come one after the other,
// never stacked. Shutdown (the window is closing) answers every waiting box for its worker and
// makes every later call return at once (with SafeAnswer), so no worker can hold up the close.
class QtPrompts final : public QObject, public Prompts {
    Q_OBJECT

public:
    explicit QtPrompts(QObject* parent = nullptr);
    ~QtPrompts() override;

    PromptAnswer Show(PromptKind kind, const std::string& caption, const std::string& text) override;

    // The window the boxes belong to (centred on it, modal to it).
    void SetOwner(QWidget* owner) { m_owner = owner; }
    void Shutdown();
    bool IsShutDown() const;

private Q_SLOTS:
    void ShowWaitingBoxes();

private:
    struct Request {
        PromptKind kind;
        std::string caption;
        std::string text;
        bool answered = false;
        PromptAnswer answer = PromptAnswer::Ok;
    };

    PromptAnswer RunBox(PromptKind kind, const std::string& caption, const std::string& text);
    void Answer(Request& request, PromptAnswer answer); // m_mutex held

    mutable std::mutex m_mutex;
    std::condition_variable m_answered;
    std::deque<std::shared_ptr<Request>> m_waiting; // asked by workers, not shown yet
    std::shared_ptr<Request> m_onScreen;            // a worker's box being shown
    bool m_shutDown = false;
    bool m_showing = false;          // GUI thread only
    QPointer<QMessageBox> m_openBox; // GUI thread only
    QPointer<QWidget> m_owner;
};

} // namespace trawl::ui
