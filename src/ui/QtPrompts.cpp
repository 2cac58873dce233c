#include "ui/QtPrompts.h"

#include "ui/QtText.h"

#include <QMessageBox>
#include <QThread>

namespace trawl::ui {

QtPrompts::QtPrompts(QObject* parent) : QObject(parent) {}

QtPrompts::~QtPrompts()
{
    Shutdown();
}

PromptAnswer QtPrompts::Show(PromptKind kind, const std::string& caption, const std::string& text)
{
    if (QThread::currentThread() == thread()) {
        if (IsShutDown()) {
            return SafeAnswer(kind);
        }
        return RunBox(kind, caption, text);
    }
    auto request = std::make_shared<Request>(Request{kind, caption, text});
    std::unique_lock lock(m_mutex);
    if (m_shutDown) {
        return SafeAnswer(kind);
    }
    m_waiting.push_back(request);
    // By name: the call carries nothing of the worker's, the request travels under m_mutex.
    QMetaObject::invokeMethod(this, "ShowWaitingBoxes", Qt::QueuedConnection);
    m_answered.wait(lock, [&] { return request->answered; });
    return request->answer;
}

void QtPrompts::ShowWaitingBoxes()
{
    if (m_showing) {
        return; // the loop below, further up the stack, takes the next box when this one is answered
    }
    m_showing = true;
    while (true) {
        std::shared_ptr<Request> request;
        {
            std::lock_guard lock(m_mutex);
            if (m_waiting.empty() || m_shutDown) {
                break;
            }
            request = m_waiting.front();
            m_waiting.pop_front();
            m_onScreen = request;
        }
        const PromptAnswer answer = RunBox(request->kind, request->caption, request->text);
        std::lock_guard lock(m_mutex);
        Answer(*request, answer);
        m_onScreen.reset();
    }
    m_showing = false;
}

void QtPrompts::Answer(Request& request, PromptAnswer answer)
{
    if (!request.answered) {
        request.answered = true;
        request.answer = answer;
        m_answered.notify_all();
    }
}

void QtPrompts::Shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_shutDown = true;
        for (const std::shared_ptr<Request>& request : m_waiting) {
            Answer(*request, SafeAnswer(request->kind));
        }
        m_waiting.clear();
        // The worker whose box is on screen is answered now: when the window is closed from inside
        // that box's own loop, the loop cannot end before the close has waited for the worker.
        if (m_onScreen) {
            Answer(*m_onScreen, SafeAnswer(m_onScreen->kind));
        }
    }
    if (m_openBox != nullptr && QThread::currentThread() == thread()) {
        m_openBox->done(QMessageBox::Cancel);
    }
}

bool QtPrompts::IsShutDown() const
{
    std::lock_guard lock(m_mutex);
    return m_shutDown;
}

PromptAnswer QtPrompts::RunBox(PromptKind kind, const std::string& caption, const std::string& text)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
    switch (kind) {
    case PromptKind::Error:
        icon = QMessageBox::Critical;
        break;
    case PromptKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case PromptKind::Information:
        icon = QMessageBox::Information;
        break;
    case PromptKind::Notice:
        break;
    case PromptKind::Question:
        icon = QMessageBox::Question;
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case PromptKind::Confirm:
        buttons = QMessageBox::Yes | QMessageBox::No;
        break;
    case PromptKind::ThreeWay:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    QMessageBox box(icon, ToQString(caption), ToQStringLines(text), buttons, m_owner);
    box.setWindowModality(Qt::ApplicationModal);
    const QPointer<QMessageBox> previous = m_openBox;
    m_openBox = &box;
    const int pressed = box.exec();
    m_openBox = previous;
    if (IsShutDown()) {
        return SafeAnswer(kind);
    }
    switch (pressed) {
    case QMessageBox::Yes:
        return PromptAnswer::Yes;
    case QMessageBox::No:
        return PromptAnswer::No;
    case QMessageBox::Cancel:
        return PromptAnswer::Cancel;
    case QMessageBox::Ok:
        return PromptAnswer::Ok;
    default:
        return SafeAnswer(kind);
    }
}

} // namespace trawl::ui
