#include "ui/DiagnosticsPage.h"

#include "app/TextUtil.h"
#include "ui/Images.h"
#include "ui/PageLayout.h"
#include "ui/QtText.h"

namespace trawl::ui {

namespace {

void ReadOnlyNumber(QLineEdit& box)
{
    box.setReadOnly(true);
    box.setAlignment(Qt::AlignRight);
    box.setText(QStringLiteral("0"));
}

QString SlotLabel(SlotKind kind, int slot)
{
    return QString::fromLatin1(kind == SlotKind::Search ? "Search %1:" : "Scan %1:").arg(slot, 2, 10, QLatin1Char('0'));
}

void ShowImage(QLabel& label, const QPixmap& pixmap)
{
    if (label.pixmap().cacheKey() != pixmap.cacheKey()) {
        label.setPixmap(pixmap);
    }
}

} // namespace

DiagnosticsPage::DiagnosticsPage(const DialogUnits& units, QWidget* parent)
    : LaidOutPage(units, parent), totalLabel(QStringLiteral("Current # of search results:"), this), total(this),
      newLabel(QStringLiteral("New resultss:"), this), newResults(this),
      bytesLabel(QStringLiteral("Bytes downloaded:"), this), bytes(this), watchStatus(this),
      viewSearch(QStringLiteral("View Search Status"), this), viewScan(QStringLiteral("View Scan Status"), this)
{
    for (QLabel* label : {&totalLabel, &newLabel, &bytesLabel}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    ReadOnlyNumber(total);
    ReadOnlyNumber(newResults);
    ReadOnlyNumber(bytes);
    for (int slot = 1; slot <= kSlots; ++slot) {
        auto row = std::make_unique<SlotRow>();
        for (QWidget* widget :
             std::initializer_list<QWidget*>{&row->searchSite, &row->scanSite, &row->label, &row->searchDetail,
                                             &row->scanDetail, &row->searchLight, &row->scanLight}) {
            widget->setParent(this);
        }
        row->searchSite.setPixmap(SiteImage(SiteIcon::None));
        row->scanSite.setPixmap(SiteImage(SiteIcon::None));
        row->searchLight.setPixmap(LightImage(Light::Dark));
        row->scanLight.setPixmap(LightImage(Light::Dark));
        row->label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        row->label.setText(SlotLabel(SlotKind::Search, slot));
        row->searchDetail.setReadOnly(true);
        row->scanDetail.setReadOnly(true);
        row->scanSite.hide();
        row->scanDetail.hide();
        m_rows[static_cast<std::size_t>(slot - 1)] = std::move(row);
    }
    // Room for the counters and the lower row of lights; less than that and the page scrolls.
    setMinimumSize(units.x(372), units.y(252) + 16 + units.y(4));
    connect(&viewSearch, &QPushButton::clicked, this, [this] { ShowSlotView(SlotKind::Search); });
    connect(&viewScan, &QPushButton::clicked, this, [this] { ShowSlotView(SlotKind::Scan); });
}

void DiagnosticsPage::Lay()
{
    const DialogUnits& units = m_units;
    const auto [W, H] = PageSize::Of(*this, units);
    Place(totalLabel, units, 10, 17, 90, 15);
    Place(total, units, 105, 15, 35, 15);
    Place(newLabel, units, 150, 17, 50, 16);
    Place(newResults, units, 205, 15, 35, 15);
    Place(bytesLabel, units, 250, 17, 65, 11);
    Place(bytes, units, 320, 15, 50, 15);
    Place(watchStatus, units, 10, 30, W - 50, 10);
    for (int slot = 1; slot <= kSlots; ++slot) {
        SlotRow& row = *m_rows[static_cast<std::size_t>(slot - 1)];
        const int r = 15 * (slot - 1);
        // Pictures are 16 by 16 pixels wherever the unit grid puts them.
        row.searchSite.setGeometry(units.x(10), units.y(42 + r), 16, 16);
        row.scanSite.setGeometry(units.x(10), units.y(42 + r), 16, 16);
        Place(row.label, units, 25, 42 + r, 40, 10);
        Place(row.searchDetail, units, 70, 40 + r, W - 110, 15);
        Place(row.scanDetail, units, 70, 40 + r, W - 110, 15);
        row.searchLight.setGeometry(units.x(70 + r), units.y(232), 16, 16);
        row.scanLight.setGeometry(units.x(70 + r), units.y(252), 16, 16);
    }
    Place(viewSearch, units, W - 130, 230, 90, 15);
    Place(viewScan, units, W - 130, 250, 90, 15);
}

void DiagnosticsPage::SetCounters(std::int64_t totalCount, std::int64_t newCount, std::int64_t byteCount)
{
    total.setText(QString::fromLatin1(GroupDigits(totalCount).c_str()));
    newResults.setText(QString::fromLatin1(GroupDigits(newCount).c_str()));
    bytes.setText(QString::fromLatin1(GroupDigits(byteCount).c_str()));
}

void DiagnosticsPage::SetSlot(SlotKind kind, int slot, const std::string& text, Light light, SiteIcon site)
{
    if (slot < 1 || slot > kSlots) {
        return;
    }
    SlotRow& row = *m_rows[static_cast<std::size_t>(slot - 1)];
    const bool search = kind == SlotKind::Search;
    QLineEdit& detail = search ? row.searchDetail : row.scanDetail;
    const QString shown = ToQString(text);
    if (detail.text() != shown) {
        detail.setText(shown);
        detail.setCursorPosition(0);
    }
    ShowImage(search ? row.searchLight : row.scanLight, LightImage(light));
    ShowImage(search ? row.searchSite : row.scanSite, SiteImage(site));
}

void DiagnosticsPage::ShowSlotView(SlotKind kind)
{
    m_view = kind;
    const bool search = kind == SlotKind::Search;
    setUpdatesEnabled(false);
    for (int slot = 1; slot <= kSlots; ++slot) {
        SlotRow& row = *m_rows[static_cast<std::size_t>(slot - 1)];
        row.searchSite.setVisible(search);
        row.searchDetail.setVisible(search);
        row.scanSite.setVisible(!search);
        row.scanDetail.setVisible(!search);
        row.label.setText(SlotLabel(kind, slot));
    }
    setUpdatesEnabled(true);
}

} // namespace trawl::ui
