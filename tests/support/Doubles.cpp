#include "support/Doubles.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace trawl::test {

// --- RecordingPrompts ---

PromptAnswer RecordingPrompts::Show(PromptKind kind, const std::string& caption, const std::string& text)
{
    ShownPrompt shown{kind, caption, text};
    std::function<PromptAnswer(const ShownPrompt&)> respond;
    {
        std::lock_guard lock(m_mutex);
        m_shown.push_back(shown);
        if (!m_answers.empty()) {
            const PromptAnswer answer = m_answers.front();
            m_answers.pop_front();
            return answer;
        }
        respond = responder;
    }
    if (respond) {
        return respond(shown); // outside the lock: a responder may block to hold the box open
    }
    switch (kind) {
    case PromptKind::Error:
    case PromptKind::Warning:
    case PromptKind::Information:
    case PromptKind::Notice:
        return PromptAnswer::Ok;
    default:
        return defaultAnswer;
    }
}

void RecordingPrompts::QueueAnswer(PromptAnswer answer)
{
    std::lock_guard lock(m_mutex);
    m_answers.push_back(answer);
}

std::vector<ShownPrompt> RecordingPrompts::Shown() const
{
    std::lock_guard lock(m_mutex);
    return m_shown;
}

std::size_t RecordingPrompts::Count() const
{
    std::lock_guard lock(m_mutex);
    return m_shown.size();
}

std::vector<std::string> RecordingPrompts::Lines() const
{
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    for (const auto& shown : m_shown) {
        lines.push_back(shown.caption + ": " + shown.text);
    }
    return lines;
}

// --- RecordingShell ---

bool RecordingShell::Open(const std::string& target)
{
    std::lock_guard lock(m_mutex);
    m_opened.push_back(target);
    return result;
}

std::vector<std::string> RecordingShell::Opened() const
{
    std::lock_guard lock(m_mutex);
    return m_opened;
}

// --- FakeClock ---

LocalDate FakeClock::Today()
{
    std::lock_guard lock(m_mutex);
    return m_today;
}

TimeOfDay FakeClock::Now()
{
    std::lock_guard lock(m_mutex);
    return m_now;
}

void FakeClock::Advance(int ms)
{
    {
        std::lock_guard lock(m_mutex);
        m_waits.push_back(ms);
    }
    const auto elapsed = m_elapsed.fetch_add(ms) + ms;
    if (onAdvance) {
        onAdvance(elapsed);
    }
    // Let other threads run, as a real wait would.
    std::this_thread::yield();
}

bool FakeClock::WaitFor(int ms, const std::atomic<int>& stop)
{
    if (stop.load() != 0) {
        return true;
    }
    Advance(ms);
    return stop.load() != 0;
}

void FakeClock::Sleep(int ms)
{
    Advance(ms);
}

int FakeClock::RandomUpTo(int maxInclusive)
{
    std::lock_guard lock(m_mutex);
    if (m_randoms.empty()) {
        return 0;
    }
    const int value = m_randoms.front();
    m_randoms.pop_front();
    return value > maxInclusive ? maxInclusive : value;
}

void FakeClock::SetToday(LocalDate date)
{
    std::lock_guard lock(m_mutex);
    m_today = date;
}

void FakeClock::SetNow(TimeOfDay time)
{
    std::lock_guard lock(m_mutex);
    m_now = time;
}

void FakeClock::QueueRandom(int value)
{
    std::lock_guard lock(m_mutex);
    m_randoms.push_back(value);
}

std::vector<int> FakeClock::Waits() const
{
    std::lock_guard lock(m_mutex);
    return m_waits;
}

// --- RecordingStatusView ---

namespace {

const char* KindName(SlotKind kind)
{
    return kind == SlotKind::Search ? "Search" : "Scan";
}

} // namespace

void RecordingStatusView::Note(std::string line)
{
    m_log.push_back(std::move(line));
}

void RecordingStatusView::SetTotalResults(std::int64_t count)
{
    std::lock_guard lock(m_mutex);
    m_total = count;
    Note("total " + std::to_string(count));
}

void RecordingStatusView::SetNewResults(std::int64_t count)
{
    std::lock_guard lock(m_mutex);
    m_new = count;
    Note("new " + std::to_string(count));
}

void RecordingStatusView::SetBytesDownloaded(std::int64_t count)
{
    std::lock_guard lock(m_mutex);
    m_bytes = count;
    Note("bytes " + std::to_string(count));
}

void RecordingStatusView::SetSlotText(SlotKind kind, int slot, const std::string& text)
{
    std::lock_guard lock(m_mutex);
    auto& state = m_slots[{static_cast<int>(kind), slot}];
    state.text = text;
    state.texts.push_back(text);
    Note(std::string(KindName(kind)) + " " + std::to_string(slot) + " text " + text);
}

void RecordingStatusView::SetSlotLight(SlotKind kind, int slot, Light light)
{
    std::lock_guard lock(m_mutex);
    m_slots[{static_cast<int>(kind), slot}].light = light;
    static const char* names[] = {"ICONDARK", "ICONGREEN", "ICONRED"};
    Note(std::string(KindName(kind)) + " " + std::to_string(slot) + " light " + names[static_cast<int>(light)]);
}

void RecordingStatusView::SetSlotSite(SlotKind kind, int slot, SiteIcon icon)
{
    std::lock_guard lock(m_mutex);
    m_slots[{static_cast<int>(kind), slot}].site = icon;
    static const char* names[] = {"HARDLYTHERE", "CRAIGSLIST", "KIJIJI"};
    Note(std::string(KindName(kind)) + " " + std::to_string(slot) + " site " + names[static_cast<int>(icon)]);
}

void RecordingStatusView::SetProgress(int permille)
{
    std::lock_guard lock(m_mutex);
    m_progress.push_back(permille);
    Note("progress " + std::to_string(permille));
}

void RecordingStatusView::ShowSlotView(SlotKind kind)
{
    std::lock_guard lock(m_mutex);
    Note(std::string("view ") + KindName(kind));
}

void RecordingStatusView::SetGoCaption(const std::string& caption)
{
    std::lock_guard lock(m_mutex);
    m_go = caption;
    Note("go " + caption);
}

void RecordingStatusView::SetDeepScanCaption(const std::string& caption)
{
    std::lock_guard lock(m_mutex);
    m_deepScan = caption;
    Note("deepscan " + caption);
}

void RecordingStatusView::SetWindowTitle(const std::string& title)
{
    std::lock_guard lock(m_mutex);
    m_title = title;
    Note("title " + title);
}

void RecordingStatusView::SearchIdle()
{
    std::lock_guard lock(m_mutex);
    ++m_idle;
    Note("idle");
}

void RecordingStatusView::ResultAdded(int record, const std::string& fullTextCell)
{
    std::lock_guard lock(m_mutex);
    m_added.push_back(record);
    m_addedCells.push_back(fullTextCell);
    Note("added " + std::to_string(record) + " " + fullTextCell);
}

void RecordingStatusView::FullTextMarked(int record, const std::string& cell)
{
    std::lock_guard lock(m_mutex);
    m_marked.emplace_back(record, cell);
    Note("marked " + std::to_string(record) + " " + cell);
}

void RecordingStatusView::ResultsRefilled()
{
    std::lock_guard lock(m_mutex);
    ++m_refills;
    Note("refilled");
}

RecordingStatusView::Slot RecordingStatusView::SlotState(SlotKind kind, int slot) const
{
    std::lock_guard lock(m_mutex);
    const auto it = m_slots.find({static_cast<int>(kind), slot});
    return it == m_slots.end() ? Slot{} : it->second;
}

std::int64_t RecordingStatusView::TotalResults() const
{
    std::lock_guard lock(m_mutex);
    return m_total;
}

std::int64_t RecordingStatusView::NewResults() const
{
    std::lock_guard lock(m_mutex);
    return m_new;
}

std::int64_t RecordingStatusView::BytesDownloaded() const
{
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

std::vector<int> RecordingStatusView::ProgressHistory() const
{
    std::lock_guard lock(m_mutex);
    return m_progress;
}

std::string RecordingStatusView::GoCaption() const
{
    std::lock_guard lock(m_mutex);
    return m_go;
}

std::string RecordingStatusView::DeepScanCaption() const
{
    std::lock_guard lock(m_mutex);
    return m_deepScan;
}

std::string RecordingStatusView::WindowTitle() const
{
    std::lock_guard lock(m_mutex);
    return m_title;
}

void RecordingStatusView::SetSiteReport(const std::string& report)
{
    std::lock_guard lock(m_mutex);
    m_siteReport = report;
    Note("site report " + report);
}

std::string RecordingStatusView::SiteReport() const
{
    std::lock_guard lock(m_mutex);
    return m_siteReport;
}

int RecordingStatusView::IdleCount() const
{
    std::lock_guard lock(m_mutex);
    return m_idle;
}

std::vector<int> RecordingStatusView::AddedRows() const
{
    std::lock_guard lock(m_mutex);
    return m_added;
}

std::vector<std::string> RecordingStatusView::AddedCells() const
{
    std::lock_guard lock(m_mutex);
    return m_addedCells;
}

std::vector<std::pair<int, std::string>> RecordingStatusView::MarkedCells() const
{
    std::lock_guard lock(m_mutex);
    return m_marked;
}

int RecordingStatusView::RefillCount() const
{
    std::lock_guard lock(m_mutex);
    return m_refills;
}

std::vector<std::string> RecordingStatusView::Log() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

// --- TempDir and files ---

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "trawlkit-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    m_path = pattern + "/";
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

} // namespace trawl::test
