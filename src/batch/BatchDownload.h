#pragma once

#include "refdata/ListDownload.h"

#include <atomic>
#include <string>

namespace trawl {

class Clock;
class Console;
class HttpGetter;

// The download's log without its dialog: each whole line on standard output as it completes; the
// button, the animation and the result are the dialog's and are not shown.
class ConsoleDownloadLog final : public DownloadObserver {
public:
    explicit ConsoleDownloadLog(Console& console) : m_console(console) {}
    void AddLogText(const std::string& text, bool refreshNow) override;
    void SetButton(const std::string&, bool) override {}
    void SetCancelEnabled(bool) override {}
    void SetAnimationSite(int) override {}
    void SetDownloadResult(int) override {}
    // A last line that never got its line end.
    void Flush();

private:
    Console& m_console;
    std::string m_pending;
};

// The first-run list download without its dialog, log lines on standard output. Once `stop` is
// raised (Ctrl-C) no further page is fetched and the download fails. True when the five lists were
// written.
bool RunBatchListDownload(HttpGetter& http, const std::string& programDirectory, Console& console, Clock& clock,
                          const std::atomic<int>& stop);

} // namespace trawl
