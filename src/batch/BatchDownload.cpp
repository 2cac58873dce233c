#include "batch/BatchDownload.h"

#include "batch/Console.h"
#include "net/HttpGetter.h"
#include "refdata/ListDownload.h"

namespace trawl {

namespace {

// A request made after Ctrl-C gets no answer, so the download gives up at once.
class StoppableGetter final : public HttpGetter {
public:
    StoppableGetter(HttpGetter& inner, const std::atomic<int>& stop) : m_inner(inner), m_stop(stop) {}
    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes) override
    {
        return m_stop.load() != 0 ? std::string() : m_inner.HttpGet(host, path, followRedirect, countBytes);
    }

private:
    HttpGetter& m_inner;
    const std::atomic<int>& m_stop;
};

} // namespace

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
    StoppableGetter getter(http, stop);
    ConsoleDownloadLog log(console);
    const ListDownloadOutcome outcome = RunListDownload(getter, clock, programDirectory, log);
    log.Flush();
    return outcome.DownloadResult == kDownloadFinished;
}

} // namespace trawl
