#pragma once

#include "ui/DialogUnits.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>

namespace trawl {
class Shell;
}

namespace trawl::ui {

// "About Trawlkit": what the program is, its version, the maker's e-mail and web addresses (the
// pointer becomes a hand over them), "Visit Website" and "That's Cool". Not modal: the window stays
// usable, and closes the box when it closes itself.
class AboutBox final : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kMailAddress = "trawlkit@brackenly.com";

    AboutBox(Shell& shell, QWidget* owner);

    QLabel picture;
    QLabel body;
    QLabel mail;
    QLabel web;
    QPushButton visit;
    QPushButton cool;

private:
    Shell& m_shell;
    DialogUnits m_units;
};

} // namespace trawl::ui
