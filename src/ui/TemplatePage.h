#pragma once

#include "ui/DialogUnits.h"
#include "ui/PageLayout.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <string>

namespace trawl::ui {

// Page 5, "HTML Template": the header and item templates in two editors, with Save, Cancel and Reset.
// The editors hold copies: only Save (or Reset) puts a template into force.
class TemplatePage final : public LaidOutPage {
    Q_OBJECT

public:
    TemplatePage(const DialogUnits& units, QWidget* parent = nullptr);

    void Fill(const std::string& header, const std::string& item);
    // The editors' texts with the templates' own line ends (CR LF).
    std::string HeaderText() const;
    std::string ItemText() const;
    void Lay() override;

    QLabel headerLabel;
    QPlainTextEdit header;
    QLabel itemLabel;
    QPlainTextEdit item;
    QPushButton save;
    QPushButton cancel;
    QPushButton reset;
};

} // namespace trawl::ui
