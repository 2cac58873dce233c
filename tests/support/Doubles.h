#pragma once

// Test doubles for the seams between the core and its front ends. Each records what it was asked,
// is safe to call from several threads, and can be scripted.

#include "app/Clock.h"
#include "app/Notifier.h"
#include "app/Prompts.h"
#include "app/Shell.h"
#include "app/StatusView.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace trawl::test {

struct ShownPrompt {
    PromptKind kind;
    std::string caption;
    std::string text;
};

class RecordingPrompts : public Prompts {
public:
    PromptAnswer Show(PromptKind kind, const std::string& caption, const std::string& text) override;

    // Answers given in turn; when none is left: `responder` if set, else Ok for boxes with one
    // button and `defaultAnswer` for the others.
    void QueueAnswer(PromptAnswer answer);
    std::function<PromptAnswer(const ShownPrompt&)> responder;
    PromptAnswer defaultAnswer = PromptAnswer::No;

    std::vector<ShownPrompt> Shown() const;
    std::size_t Count() const;
    // "Caption: text" of every box, in order (handy for EXPECT_THAT).
    std::vector<std::string> Lines() const;

private:
    mutable std::mutex m_mutex;
    std::vector<ShownPrompt> m_shown;
    std::deque<PromptAnswer> m_answers;
};

class RecordingShell : public Shell {
public:
    bool Open(const std::string& target) override;
    std::vector<std::string> Opened() const;
    bool result = true;

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_opened;
};

// Virtual time: waits return at once and move the clock on. `onAdvance` runs after every wait with
// the total virtual milliseconds so far (tests use it to press Abort at a given moment).
class FakeClock : public Clock {
public:
    LocalDate Today() override;
    TimeOfDay Now() override;
    bool WaitFor(int ms, const std::atomic<int>& stop) override;
    void Sleep(int ms) override;
    int RandomUpTo(int maxInclusive) override;
    std::int64_t MonotonicMs() override { return m_elapsed.load(); } // the virtual time

    void SetToday(LocalDate date);
    void SetNow(TimeOfDay time);
    void QueueRandom(int value); // answers of RandomUpTo in turn; 0 when none is left
    std::int64_t ElapsedMs() const { return m_elapsed.load(); }
    std::vector<int> Waits() const; // lengths of every WaitFor and Sleep, in order
    std::function<void(std::int64_t elapsedMs)> onAdvance;

private:
    void Advance(int ms);
    mutable std::mutex m_mutex;
    LocalDate m_today{2024, 3, 15};
    TimeOfDay m_now{12, 0, 0};
    std::deque<int> m_randoms;
    std::vector<int> m_waits;
    std::atomic<std::int64_t> m_elapsed{0};
};

// Keeps every notification; with `available` false it is a desktop without a notification service.
class RecordingNotifier : public Notifier {
public:
    struct Shown {
        std::string title;
        std::string text;
        std::function<void()> activated;
    };
    bool Notify(const std::string& title, const std::string& text, std::function<void()> activated) override
    {
        if (!available) {
            return false;
        }
        shown.push_back({title, text, std::move(activated)});
        return true;
    }
    bool available = true;
    std::vector<Shown> shown; // GUI thread only, as the window calls it
};

// Keeps the latest state of every control and a log of every call.
class RecordingStatusView : public StatusView {
public:
    void SetTotalResults(std::int64_t count) override;
    void SetNewResults(std::int64_t count) override;
    void SetBytesDownloaded(std::int64_t count) override;
    void SetSlotText(SlotKind kind, int slot, const std::string& text) override;
    void SetSlotLight(SlotKind kind, int slot, Light light) override;
    void SetSlotSite(SlotKind kind, int slot, SiteIcon icon) override;
    void SetProgress(int permille) override;
    void ShowSlotView(SlotKind kind) override;
    void SetGoCaption(const std::string& caption) override;
    void SetDeepScanCaption(const std::string& caption) override;
    void SetWindowTitle(const std::string& title) override;
    void SearchIdle() override;
    void SetSiteReport(const std::string& report) override;
    void ResultAdded(int record, const std::string& fullTextCell) override;
    void FullTextMarked(int record, const std::string& cell) override;
    void ResultsRefilled() override;

    struct Slot {
        std::string text;
        Light light = Light::Dark;
        SiteIcon site = SiteIcon::None;
        std::vector<std::string> texts; // every text the slot showed, in order
    };

    Slot SlotState(SlotKind kind, int slot) const;
    std::int64_t TotalResults() const;
    std::int64_t NewResults() const;
    std::int64_t BytesDownloaded() const;
    std::vector<int> ProgressHistory() const;
    std::string GoCaption() const;
    std::string DeepScanCaption() const;
    std::string WindowTitle() const;
    std::string SiteReport() const;
    int IdleCount() const;
    // Record numbers of ResultAdded in call order, and the cells they carried.
    std::vector<int> AddedRows() const;
    std::vector<std::string> AddedCells() const;
    std::vector<std::pair<int, std::string>> MarkedCells() const;
    int RefillCount() const;
    std::vector<std::string> Log() const;

private:
    void Note(std::string line);
    mutable std::mutex m_mutex;
    std::map<std::pair<int, int>, Slot> m_slots;
    std::int64_t m_total = 0;
    std::int64_t m_new = 0;
    std::int64_t m_bytes = 0;
    std::vector<int> m_progress;
    std::string m_go;
    std::string m_deepScan;
    std::string m_title;
    std::string m_siteReport;
    int m_idle = 0;
    std::vector<int> m_added;
    std::vector<std::string> m_addedCells;
    std::vector<std::pair<int, std::string>> m_marked;
    int m_refills = 0;
    std::vector<std::string> m_log;
};

// A scratch folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder, ending in "/".
    const std::string& path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

} // namespace trawl::test
