#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace trawl {

class Clock;
class HttpGetter;

// What a list download run shows while it works. The setup dialog implements it (calls come from the
// run's own thread); the batch mode and the tests record it.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    // `text` goes to the end of the log. Whole lines end in CR LF; a piece without one is continued by
    // the next call. With `refreshNow` the log box shows the whole log at once (newest line visible);
    // without it the text appears with the next refresh.
    virtual void AddLogText(const std::string& text, bool refreshNow) = 0;
    // The main button ("Begin Download" before the run): the running step's name, disabled, while the
    // run lasts; "Start" or "Exit (Try Later)", enabled, at its end.
    virtual void SetButton(const std::string& text, bool enabled) = 0;
    virtual void SetCancelEnabled(bool enabled) = 0;
    // 1 Craigslist, 2 Kijiji, 0 stop.
    virtual void SetAnimationSite(int site) = 0;
    // Called once, before the final SetButton: 1 finished, -1 aborted.
    virtual void SetDownloadResult(int result) = 0;
};

inline constexpr int kDownloadNotRun = 0;
inline constexpr int kDownloadFinished = 1;
inline constexpr int kDownloadAborted = -1;

// Between two fetches of a page that was not accepted; a page gets at most five retries.
inline constexpr int kDownloadRetryWaitMs = 4000;
inline constexpr int kDownloadMaxFailures = 6;
// The United States state pages read at most (there are 51; more links than this are ignored).
inline constexpr std::size_t kMaxKijijiStates = 100;

struct ListDownloadOutcome {
    int DownloadResult = kDownloadNotRun; // 1 or -1 once the run has ended
    std::string DownloadLog;              // everything the run logged, CR LF line ends
};

// Reads the sites' list pages and writes the five list files into `programDirectory`, in the order
// CL sections, CL states, CL cities, KJ sections, KJ cities. A step that fails ends the run: the files
// of the finished steps stay written, the others untouched. Every pause goes through `clock`.
// Synchronous: the dialog runs it on a thread of its own. Once `stop` (when given) is raised, no
// further page is fetched, a retry pause ends at once, and the run fails as a failed fetch would;
// every list file is then whole, new or old.
ListDownloadOutcome RunListDownload(HttpGetter& getter, Clock& clock, const std::string& programDirectory,
                                    DownloadObserver& observer, const std::atomic<int>* stop = nullptr);

} // namespace trawl
