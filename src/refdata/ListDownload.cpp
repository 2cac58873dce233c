#include "refdata/ListDownload.h"

#include "app/Clock.h"
#include "net/HttpGetter.h"
#include "refdata/ListDownloadRun.h"

namespace trawl {
namespace download {

void Run::Log(std::string_view line, bool refreshNow)
{
    std::string text(line);
    text += "\r\n";
    LogPiece(text, refreshNow);
}

void Run::LogPiece(std::string_view text, bool refreshNow)
{
    m_log += text;
    m_observer.AddLogText(std::string(text), refreshNow);
}

void Run::LogLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        Log(line);
    }
}

std::optional<std::string> Run::Fetch(const std::string& host, const std::string& path, int followRedirect,
                                      std::string_view marker, int& failures,
                                      const std::vector<std::string>& failureLines)
{
    for (;;) {
        if (m_stop.load() != 0) {
            LogLines(failureLines);
            return std::nullopt;
        }
        std::string response = m_getter.HttpGet(host, path, followRedirect, 0);
        if (response.size() >= kMinResponseChars && (marker.empty() || response.find(marker) != std::string::npos)) {
            return response;
        }
        ++failures;
        if (failures >= kDownloadMaxFailures) {
            LogLines(failureLines);
            return std::nullopt;
        }
        m_clock.WaitFor(kDownloadRetryWaitMs, m_stop);
    }
}

bool Run::WriteList(ListFile which, const Rows& rows)
{
    const std::string path = PathInDirectory(m_directory, ListFileName(which));
    const Status status = WriteListFile(path, ListFileHeader(which), rows);
    if (!status.ok()) {
        // A list that could not be written must not pass for a finished download.
        Log("");
        Log("  Could not write " + std::string(ListFileName(which)) + ": " + status.message());
        Log("");
        return false;
    }
    return true;
}

std::size_t After(std::string_view text, std::string_view marker, std::size_t from)
{
    if (from > text.size()) {
        return std::string_view::npos;
    }
    const std::size_t at = text.find(marker, from);
    return at == std::string_view::npos ? at : at + marker.size();
}

std::string_view UpTo(std::string_view text, std::size_t from, std::string_view stopChars, std::size_t& stopAt)
{
    if (from >= text.size()) {
        stopAt = text.size();
        return {};
    }
    stopAt = text.find_first_of(stopChars, from);
    if (stopAt == std::string_view::npos) {
        stopAt = text.size();
    }
    return text.substr(from, stopAt - from);
}

std::string_view TagText(std::string_view text, std::size_t from, std::size_t& end)
{
    const std::size_t open = After(text, ">", from);
    if (open == std::string_view::npos) {
        end = text.size();
        return {};
    }
    return UpTo(text, open, "<", end);
}

} // namespace download

ListDownloadOutcome RunListDownload(HttpGetter& getter, Clock& clock, const std::string& programDirectory,
                                    DownloadObserver& observer, const std::atomic<int>* stop)
{
    download::Run run(getter, clock, programDirectory, observer, stop);
    observer.SetCancelEnabled(false);
    observer.SetButton("Begin Download", false);
    run.SetAnimationSite(1);

    const bool done = download::CraigslistSections(run) && download::CraigslistStates(run) &&
                      download::CraigslistCities(run) && download::KijijiSections(run) && download::KijijiCities(run);

    ListDownloadOutcome outcome;
    if (done) {
        run.Log("");
        run.Log("");
        run.Log("Downloads complete (scroll up to see them all)! You should be able to start the program normally "
                "now.");
        run.Log("");
        outcome.DownloadResult = kDownloadFinished;
        run.SetAnimationSite(0);
    } else {
        outcome.DownloadResult = kDownloadAborted;
    }
    observer.SetDownloadResult(outcome.DownloadResult);
    observer.SetButton(done ? "Start" : "Exit (Try Later)", true);
    outcome.DownloadLog = run.log();
    return outcome;
}

} // namespace trawl
