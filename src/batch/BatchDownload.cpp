#include "batch/BatchDownload.h"

#include "batch/Console.h"
#include "refdata/ListDownload.h"

namespace trawl {

void ConsoleDownloadLog::AddLogText(const std::string& text, bool)
{
    m_pending += text;
    for (auto end = m_pending.find('\n'); end != std::string::npos; end = m_pending.find('\n')) {
        std::string line = m_pending.substr(0, end);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        m_console.Out(line);
        m_pending.erase(0, end + 1);
    }
}

void ConsoleDownloadLog::Flush()
{
    if (!m_pending.empty()) {
        m_console.Out(m_pending);
        m_pending.clear();
    }
}

bool RunBatchListDownload(HttpGetter& http, const std::string& programDirectory, Console& console, Clock& clock,
                          const std::atomic<int>& stop)
{
    ConsoleDownloadLog log(console);
    const ListDownloadOutcome outcome = RunListDownload(http, clock, programDirectory, log, &stop);
    log.Flush();
    return outcome.DownloadResult == kDownloadFinished;
}

} // namespace trawl
