#include "ui/TemplatePage.h"

#include "app/TextUtil.h"
#include "ui/PageLayout.h"
#include "ui/QtText.h"

namespace trawl::ui {

namespace {

// Templates keep CR LF line ends; the editors show plain line breaks.
std::string TemplateText(const QPlainTextEdit& editor)
{
    return ReplaceAll(ToBytes(editor.toPlainText()), "\n", "\r\n");
}

void SetUpEditor(QPlainTextEdit& editor)
{
    editor.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    editor.setLineWrapMode(QPlainTextEdit::NoWrap);
    editor.setTabChangesFocus(true);
    editor.setFrameShadow(QFrame::Sunken);
}

} // namespace

TemplatePage::TemplatePage(const DialogUnits& units, QWidget* parent)
    : LaidOutPage(units, parent),
      headerLabel(QStringLiteral("Enter the HTML for the header and container below:"), this), header(this),
      itemLabel(QStringLiteral("Enter the HTML for the item fragment below:"), this), item(this),
      save(QStringLiteral("Save"), this), cancel(QStringLiteral("Cancel"), this), reset(QStringLiteral("Reset"), this)
{
    SetUpEditor(header);
    SetUpEditor(item);
    headerLabel.setBuddy(&header);
    itemLabel.setBuddy(&item);
}

void TemplatePage::Fill(const std::string& headerText, const std::string& itemText)
{
    header.setPlainText(ToQStringLines(headerText));
    item.setPlainText(ToQStringLines(itemText));
}

std::string TemplatePage::HeaderText() const
{
    return TemplateText(header);
}

std::string TemplatePage::ItemText() const
{
    return TemplateText(item);
}

void TemplatePage::Lay()
{
    const DialogUnits& units = m_units;
    const auto [W, H] = PageSize::Of(*this, units);
    Place(headerLabel, units, 5, 5, 290, 10);
    Place(header, units, 5, 15, W - 40, (H - 150) / 2);
    Place(itemLabel, units, 5, (H - 150) / 2 + 22, 290, 10);
    Place(item, units, 5, (H - 150) / 2 + 32, W - 40, (H - 160) / 2);
    Place(save, units, 5, H - 115, 50, 15);
    Place(cancel, units, 60, H - 115, 50, 15);
    Place(reset, units, 115, H - 115, 50, 15);
}

} // namespace trawl::ui
