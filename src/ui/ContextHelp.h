#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

namespace trawl::ui {

// Shows `text` in a pop-up 25 pixels right of and below `pointer`: black on light yellow, with the
// usual margins and font; it goes with the next click or key. An empty text shows nothing (null).
QLabel* ShowContextHelp(const QString& text, QPoint pointer);

inline constexpr QRgb kContextHelpBackground = 0xFFFFE0; // red 255, green 255, blue 224

// The window's context help: after the help button (or Shift+F1) a click on a control shows that
// control's help text (its What's This text) with ShowContextHelp; a control without one shows nothing.
class ContextHelp final : public QObject {
    Q_OBJECT

public:
    explicit ContextHelp(QObject* parent = nullptr);
    QLabel* shown() const { return m_shown; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QLabel> m_shown;
};

} // namespace trawl::ui
