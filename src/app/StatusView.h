#pragma once

#include <cstdint>
#include <string>

namespace trawl {

enum class Light { Dark, Green, Red };            // "ICONDARK", "ICONGREEN", "ICONRED"
enum class SiteIcon { None, Craigslist, Kijiji }; // "HARDLYTHERE", "CRAIGSLIST", "KIJIJI"
enum class SlotKind { Search, Scan };

// What the window shows of the program's work. Workers call it from their own threads; an
// implementation must not block (the Qt one posts every call to the GUI thread). Counts are passed
// as numbers; a front end shows them with GroupDigits (app/TextUtil.h).
class StatusView {
public:
    virtual ~StatusView() = default;

    // The three counters of the Diagnostics page.
    virtual void SetTotalResults(std::int64_t count) = 0;
    virtual void SetNewResults(std::int64_t count) = 0;
    virtual void SetBytesDownloaded(std::int64_t count) = 0;

    // One row per worker slot, slot 1 to 12.
    virtual void SetSlotText(SlotKind kind, int slot, const std::string& text) = 0;
    virtual void SetSlotLight(SlotKind kind, int slot, Light light) = 0;
    virtual void SetSlotSite(SlotKind kind, int slot, SiteIcon icon) = 0;

    virtual void SetProgress(int permille) = 0; // 0 to 1000
    virtual void ShowSlotView(SlotKind kind) = 0;

    virtual void SetGoCaption(const std::string& caption) = 0;       // "Go!" or "Abort"
    virtual void SetDeepScanCaption(const std::string& caption) = 0; // "Deep Scan" or "Abort DS"
    virtual void SetWindowTitle(const std::string& title) = 0;
    // A search has ended: the controls that Go! disabled are usable again.
    virtual void SearchIdle() = 0;
    // Said as a search ends: one line per site whose feeds did not all come back whole ("Kijiji: 2 of 4
    // feeds failed (2 refused by the site)."); "" when they all did, and as a search starts.
    virtual void SetSiteReport(const std::string& report) { static_cast<void>(report); }

    // Result-list events. Record numbers count from 1.
    virtual void ResultAdded(int record, const std::string& fullTextCell) = 0; // a row at the top
    virtual void FullTextMarked(int record, const std::string& cell) = 0;      // the deep scan stored a text
    virtual void ResultsRefilled() = 0; // the list shows records 1 to ResultCount in store order
};

// A view that shows nothing (batch mode without a terminal, tools).
class NullStatusView : public StatusView {
public:
    void SetTotalResults(std::int64_t) override {}
    void SetNewResults(std::int64_t) override {}
    void SetBytesDownloaded(std::int64_t) override {}
    void SetSlotText(SlotKind, int, const std::string&) override {}
    void SetSlotLight(SlotKind, int, Light) override {}
    void SetSlotSite(SlotKind, int, SiteIcon) override {}
    void SetProgress(int) override {}
    void ShowSlotView(SlotKind) override {}
    void SetGoCaption(const std::string&) override {}
    void SetDeepScanCaption(const std::string&) override {}
    void SetWindowTitle(const std::string&) override {}
    void SearchIdle() override {}
    void ResultAdded(int, const std::string&) override {}
    void FullTextMarked(int, const std::string&) override {}
    void ResultsRefilled() override {}
};

} // namespace trawl
