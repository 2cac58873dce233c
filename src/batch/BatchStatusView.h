#pragma once

#include "app/StatusView.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace trawl {

struct ReferenceTables;
struct SearchInputs;
struct Settings;

// The jobs a search run hands out for these inputs: city x section x term, pairing only a city and
// a section of the same site, counted as the scheduler counts them.
std::int64_t CountSearchJobs(const SearchInputs& inputs, const ReferenceTables& tables, const Settings& settings);

// What the window would show, kept as counters for the batch progress line. Called from any thread.
class BatchStatusView final : public NullStatusView {
public:
    void SetTotalResults(std::int64_t count) override { m_total.store(count); }
    void SetNewResults(std::int64_t count) override { m_new.store(count); }
    void SetBytesDownloaded(std::int64_t count) override { m_bytes.store(count); }
    void SetSlotSite(SlotKind kind, int slot, SiteIcon icon) override;
    void FullTextMarked(int record, const std::string& cell) override;

    // Starts counting the jobs and pages of a new search.
    void ResetRun();

    std::int64_t JobsDone() const { return m_jobsDone.load(); }
    std::int64_t PagesScanned() const { return m_scanned.load(); }
    std::int64_t TotalResults() const { return m_total.load(); }
    std::int64_t NewResults() const { return m_new.load(); }
    std::int64_t BytesDownloaded() const { return m_bytes.load(); }

private:
    std::atomic<std::int64_t> m_total{0};
    std::atomic<std::int64_t> m_new{0};
    std::atomic<std::int64_t> m_bytes{0};
    std::atomic<std::int64_t> m_jobsDone{0};
    std::atomic<std::int64_t> m_scanned{0};
};

// "bikes: 12 of 40 jobs, 1,230 results, 230 new, 1,234,567 bytes"
std::string SearchProgressLine(const std::string& name, std::int64_t jobsDone, std::int64_t jobsTotal,
                               std::int64_t results, std::int64_t newResults, std::int64_t bytes);
// "bikes: deep scan, 40 of 230 ad pages, 1,234,567 bytes"
std::string ScanProgressLine(const std::string& name, std::int64_t scanned, std::int64_t pending, std::int64_t bytes);

} // namespace trawl
