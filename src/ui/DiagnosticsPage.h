#pragma once

#include "app/StatusView.h"
#include "ui/DialogUnits.h"
#include "ui/PageLayout.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

namespace trawl::ui {

// Page 4, "Diagnostics": the three counters, a row per worker slot showing either the search or
// the deep-scan workers, and two rows of twelve lights that always show both kinds.
class DiagnosticsPage final : public LaidOutPage {
    Q_OBJECT

public:
    static constexpr int kSlots = 12;

    explicit DiagnosticsPage(const DialogUnits& units, QWidget* parent = nullptr);

    void Lay() override;

    void SetCounters(std::int64_t total, std::int64_t newResults, std::int64_t bytes);
    void SetSlot(SlotKind kind, int slot, const std::string& text, Light light, SiteIcon site);
    void ShowSlotView(SlotKind kind);
    SlotKind slotView() const { return m_view; }

    struct SlotRow {
        QLabel searchSite;
        QLabel scanSite;
        QLabel label;
        QLineEdit searchDetail;
        QLineEdit scanDetail;
        QLabel searchLight;
        QLabel scanLight;
    };
    const SlotRow& row(int slot) const { return *m_rows[static_cast<std::size_t>(slot - 1)]; }
    SlotRow& row(int slot) { return *m_rows[static_cast<std::size_t>(slot - 1)]; }

    QLabel totalLabel;
    QLineEdit total;
    QLabel newLabel;
    QLineEdit newResults;
    QLabel bytesLabel;
    QLineEdit bytes;
    QLabel watchStatus; // under the counters: when the watched search runs next ("" when none is watched)
    QPushButton viewSearch;
    QPushButton viewScan;

private:
    std::array<std::unique_ptr<SlotRow>, kSlots> m_rows;
    SlotKind m_view = SlotKind::Search;
};

} // namespace trawl::ui
