#pragma once

// The state one list download run shares between its Craigslist and Kijiji steps (not a public header).

#include "refdata/ListDownload.h"
#include "refdata/ListFiles.h"
#include "refdata/ReferenceTables.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace trawl::download {

using Rows = std::vector<std::vector<std::string>>;

// Every acceptance test wants at least this many characters.
inline constexpr std::size_t kMinResponseChars = 50;

class Run {
public:
    Run(HttpGetter& getter, Clock& clock, std::string programDirectory, DownloadObserver& observer,
        const std::atomic<int>* stop)
        : m_getter(getter), m_clock(clock), m_directory(std::move(programDirectory)), m_observer(observer),
          m_stop(stop != nullptr ? *stop : m_neverStopped)
    {
    }

    // A whole line, with an immediate refresh unless said otherwise.
    void Log(std::string_view line, bool refreshNow = true);
    // A piece of a line (no line end added).
    void LogPiece(std::string_view text, bool refreshNow);
    void SetButton(const std::string& text) { m_observer.SetButton(text, false); }
    void SetAnimationSite(int site) { m_observer.SetAnimationSite(site); }

    // Fetches until the response has at least 50 characters and holds `marker` (when not empty).
    // Each refusal adds 1 to `failures`; while it is at most 5 the run waits 4000 ms and fetches
    // again. At 6 it logs `failureLines` (each a whole line) and gives nothing; so does a stop
    // request, at once.
    std::optional<std::string> Fetch(const std::string& host, const std::string& path, int followRedirect,
                                     std::string_view marker, int& failures,
                                     const std::vector<std::string>& failureLines);
    // Logs `failureLines` (the same lines as a failed fetch).
    void LogLines(const std::vector<std::string>& lines);

    // Writes a list file; on failure logs why and gives false.
    bool WriteList(ListFile which, const Rows& rows);

    // The states found so far, for StateCodeOfLink while the cities step runs.
    ReferenceTables& lookup() { return m_lookup; }
    const std::string& log() const { return m_log; }

private:
    HttpGetter& m_getter;
    Clock& m_clock;
    std::string m_directory;
    DownloadObserver& m_observer;
    const std::atomic<int> m_neverStopped{0};
    const std::atomic<int>& m_stop;
    std::string m_log;
    ReferenceTables m_lookup;
};

// The steps; each gives false when it ended the run.
bool CraigslistSections(Run& run);
bool CraigslistStates(Run& run);
bool CraigslistCities(Run& run);
bool KijijiSections(Run& run);
bool KijijiCities(Run& run);

// The text after the first `marker` at or after `from`, as a position; npos when there is none.
std::size_t After(std::string_view text, std::string_view marker, std::size_t from = 0);
// The text from `from` up to the first of `stop` (the rest when none), and where the stop was.
std::string_view UpTo(std::string_view text, std::size_t from, std::string_view stopChars, std::size_t& stopAt);
// The text after the first `>` at or after `from` up to the next `<`; `end` is the position of that
// `<` (or the text's end). Empty with `end` = text size when there is no `>`.
std::string_view TagText(std::string_view text, std::size_t from, std::size_t& end);

inline constexpr std::string_view kFatalLine = "Fatal Error: Internet connection problems -- aborting.";

} // namespace trawl::download
