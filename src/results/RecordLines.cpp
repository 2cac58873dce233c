#include "results/RecordLines.h"

#include "results/Escaping.h"
#include "results/LineReader.h"
#include "results/ResultStore.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace trawl {

bool KeepsRecord(const ResultRecord& record, std::string_view cutoff)
{
    // The byte-wise comparison drops an empty Date whatever the cut-off.
    return !record.Title.empty() && !(record.Date < cutoff);
}

namespace {

bool LoadLineByLine(LineReader& reader, ResultStore& store, std::string_view cutoff)
{
    ResultRecord record; // reused for every line, so its strings keep their storage
    std::string_view line;
    while (reader.Next(line)) {
        ReadRecordFields(line, record);
        if (KeepsRecord(record, cutoff) && !store.Lock().AppendLoaded(record)) {
            return true;
        }
    }
    return false;
}

// One block of lines on its way through: read in file order, parsed by any thread, appended in order.
struct Batch {
    LineReader::Block lines;
    std::vector<ResultStore::PackedRecord> records;
    bool parsed = false;
};

class ParallelLoad {
public:
    ParallelLoad(LineReader& reader, ResultStore& store, std::string_view cutoff, int threads)
        : m_reader(reader), m_locked(store.Lock()), m_cutoff(cutoff),
          m_lanes(std::clamp(threads, 1, ResultStore::kLoadLanes))
    {
    }

    bool Run()
    {
        std::vector<std::thread> helpers;
        for (int lane = 1; lane < m_lanes; ++lane) {
            helpers.emplace_back(&ParallelLoad::Work, this, lane);
        }
        Work(0);
        for (std::thread& helper : helpers) {
            helper.join();
        }
        // Records parsed past an overflow: no lane packs any more, so their memory can go back.
        for (Batch& batch : m_batches) {
            for (const ResultStore::PackedRecord& packed : batch.records) {
                m_locked.DiscardPacked(packed);
            }
        }
        return m_overflowed;
    }

private:
    // Blocks read but not yet appended: one a lane, and one more so a lane never waits for the
    // next to be read. Each holds its text and its packed records, so this bounds the memory a load
    // needs beyond its records.
    std::size_t Ahead() const { return static_cast<std::size_t>(m_lanes) + 1; }

    void Work(int lane)
    {
        ResultRecord record;
        while (true) {
            LineReader::Block lines;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_done || m_batches.size() < Ahead(); });
                if (m_done) {
                    return;
                }
                if (!m_spares.empty()) {
                    lines = std::move(m_spares.back()); // its buffer is reused
                    m_spares.pop_back();
                }
            }
            Batch* batch = nullptr;
            {
                // One thread reads at a time, and queues what it read before the next may read, so
                // the queue is in file order. Appending goes on meanwhile under the other lock.
                std::lock_guard reading(m_readMutex);
                const bool read = !m_readEnded && m_reader.NextBlock(lines);
                std::lock_guard lock(m_mutex);
                if (!read || m_done) {
                    m_readEnded = m_readEnded || !read;
                    m_done = true;
                    m_changed.notify_all();
                    return;
                }
                m_batches.push_back(Batch{std::move(lines), {}, false});
                batch = &m_batches.back();
            }
            Parse(lane, *batch, record);
            std::lock_guard lock(m_mutex);
            batch->parsed = true;
            AppendReady();
        }
    }

    void Parse(int lane, Batch& batch, ResultRecord& record)
    {
        std::string_view text = batch.lines.text;
        const std::size_t maxLine = m_reader.maxLineBytes();
        while (!text.empty()) {
            const auto lf = text.find('\n');
            std::string_view line = text.substr(0, lf);
            text.remove_prefix(lf == std::string_view::npos ? text.size() : lf + 1);
            // As LineReader::Next hands lines out: too long is empty, a CR before the end is dropped.
            if (line.size() > maxLine) {
                continue; // an empty line makes no record
            }
            if (!line.empty() && line.back() == '\r') {
                line.remove_suffix(1);
            }
            ReadRecordFields(line, record);
            if (KeepsRecord(record, m_cutoff)) {
                batch.records.push_back(m_locked.PackLoaded(lane, record));
            }
        }
    }

    // Under m_mutex: appends the parsed blocks at the front, in order.
    void AppendReady()
    {
        while (!m_batches.empty() && m_batches.front().parsed && !m_overflowed) {
            Batch& batch = m_batches.front();
            std::size_t taken = 0;
            while (taken < batch.records.size() && m_locked.AppendPacked(batch.records[taken])) {
                ++taken;
            }
            batch.records.erase(batch.records.begin(), batch.records.begin() + static_cast<std::ptrdiff_t>(taken));
            if (!batch.records.empty()) {
                m_overflowed = true; // the rest of the file is left unread, as line by line
                m_done = true;
                break;
            }
            m_spares.push_back(std::move(batch.lines));
            m_batches.pop_front();
        }
        m_changed.notify_all();
    }

    LineReader& m_reader;
    ResultStore::Locked m_locked; // held through the load; lanes pack through it (see PackLoaded)
    std::string_view m_cutoff;
    int m_lanes;
    std::mutex m_readMutex; // taken before m_mutex, never after it
    bool m_readEnded = false; // under m_readMutex
    std::mutex m_mutex;       // guards what follows
    std::condition_variable m_changed;
    std::deque<Batch> m_batches; // read in file order; the front is the next to append
    std::vector<LineReader::Block> m_spares;
    bool m_done = false;
    bool m_overflowed = false;
};

} // namespace

bool LoadRecordLines(LineReader& reader, ResultStore& store, std::string_view cutoff, int threads)
{
    if (threads <= 1) {
        return LoadLineByLine(reader, store, cutoff);
    }
    return ParallelLoad(reader, store, cutoff, threads).Run();
}

} // namespace trawl
