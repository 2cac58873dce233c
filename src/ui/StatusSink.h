#pragma once

#include "app/StatusView.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trawl::ui {

// The Full Text column of a row: empty, "RSS" or "Yes".
enum class FullTextCell : std::uint8_t { Empty, Rss, Yes, FromStore };
FullTextCell CellOfText(std::string_view cellText);
const char* CellText(FullTextCell cell);

struct RowChange {
    int record = 0;
    FullTextCell cell = FullTextCell::Empty;
};

// What the window shows of the program's work, applied on the GUI thread in the order the workers
// reported it. The Qt status view gathers the workers' calls and hands them on in batches.
class StatusSink {
public:
    virtual ~StatusSink() = default;
    virtual void ShowCounters(std::int64_t total, std::int64_t newResults, std::int64_t bytes) = 0;
    virtual void ShowSlot(SlotKind kind, int slot, const std::string& text, Light light, SiteIcon site) = 0;
    virtual void ShowProgress(int permille) = 0;
    virtual void ShowSlotView(SlotKind kind) = 0;
    virtual void ShowGoCaption(const std::string& caption) = 0;
    virtual void ShowDeepScanCaption(const std::string& caption) = 0;
    virtual void ShowWindowTitle(const std::string& title) = 0;
    virtual void ShowSearchIdle() = 0;
    // The sites whose feeds did not all come back whole, a line each ("" clears it).
    virtual void ShowSiteReport(const std::string& report) = 0;
    // Records added by searches, in the order they were added (each goes to the top of the list).
    virtual void RowsAdded(const std::vector<RowChange>& rows) = 0;
    virtual void CellsMarked(const std::vector<RowChange>& rows) = 0;
    // The list shows records 1 to `count` in store order.
    virtual void RowsRefilled(int count) = 0;
};

} // namespace trawl::ui
