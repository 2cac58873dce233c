#include "ui/ContextHelp.h"

#include <QCursor>
#include <QEvent>
#include <QLabel>

namespace trawl::ui {

QLabel* ShowContextHelp(const QString& text, QPoint pointer)
{
    if (text.isEmpty()) {
        return nullptr;
    }
    auto* popup = new QLabel(text, nullptr, Qt::Popup | Qt::FramelessWindowHint);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setWordWrap(true);
    popup->setTextFormat(Qt::PlainText);
    popup->setContentsMargins(6, 4, 6, 4);
    popup->setFrameStyle(QFrame::Box | QFrame::Plain);
    QPalette palette = popup->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(kContextHelpBackground));
    palette.setColor(QPalette::WindowText, Qt::black);
    popup->setPalette(palette);
    popup->setAutoFillBackground(true);
    // One line for a short text; a longer one wraps at about sixty characters.
    const QMargins margins = popup->contentsMargins();
    const int frame = 2 * popup->frameWidth() + margins.left() + margins.right();
    const int width = std::min(popup->fontMetrics().horizontalAdvance(text) + frame + 2,
                               popup->fontMetrics().averageCharWidth() * 60 + frame);
    popup->setFixedWidth(width);
    popup->setFixedHeight(popup->heightForWidth(width));
    popup->move(pointer + QPoint(25, 25));
    popup->show();
    return popup;
}

ContextHelp::ContextHelp(QObject* parent) : QObject(parent) {}

bool ContextHelp::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::WhatsThis) {
        return QObject::eventFilter(watched, event);
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget == nullptr) {
        return false;
    }
    // A click lands on the innermost widget (a list's viewport, say): the help is the nearest one's
    // that has a text, within its window.
    QString text;
    for (QWidget* w = widget; w != nullptr && text.isEmpty(); w = w->isWindow() ? nullptr : w->parentWidget()) {
        text = w->whatsThis();
    }
    if (m_shown != nullptr) {
        m_shown->close();
    }
    m_shown = ShowContextHelp(text, QCursor::pos());
    return true; // handled: a control without a text shows nothing at all
}

} // namespace trawl::ui
