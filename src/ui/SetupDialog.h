#pragma once

#include "refdata/ListDownload.h"
#include "ui/DialogUnits.h"

#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace trawl {
class Clock;
class HttpGetter;
} // namespace trawl

namespace trawl::ui {

// The first-run dialog: explains that the city and section lists are missing, downloads them on
// request (on a thread of its own, its log and buttons shown here), and ends with "Start" or
// "Exit (Try Later)". Closing it while the download runs stops the run; every list file stays whole.
class SetupDialog final : public QDialog {
    Q_OBJECT

public:
    static constexpr int kFrameMs = 250;

    SetupDialog(HttpGetter& getter, Clock& clock, std::string programDirectory, QWidget* parent = nullptr);
    // Stops a run still going and waits for it.
    ~SetupDialog() override;

    // 0 before and during the run, then 1 (lists written) or -1.
    int DownloadResult() const { return m_downloadResult; }
    int AnimationSite() const { return m_animationSite; }
    int AnimationFrame() const { return m_frame; }
    bool RunActive() const { return m_thread.joinable() && m_downloadResult == kDownloadNotRun; }

    static QString WarningText();

    QPlainTextEdit log;
    QPushButton cancel;
    QPushButton begin;
    QLabel picture;

protected:
    void reject() override; // Escape and the close box

private Q_SLOTS:
    void ApplyReports();

private:
    // What the run reports, from its thread; the dialog shows it on the GUI thread.
    class Reports final : public DownloadObserver {
    public:
        explicit Reports(SetupDialog& dialog) : m_dialog(dialog) {}
        void AddLogText(const std::string& text, bool refreshNow) override;
        void SetButton(const std::string& text, bool enabled) override;
        void SetCancelEnabled(bool enabled) override;
        void SetAnimationSite(int site) override;
        void SetDownloadResult(int result) override;

        struct Batch {
            std::string logText; // not shown yet
            bool refresh = false;
            std::optional<std::pair<std::string, bool>> button;
            std::optional<bool> cancelEnabled;
            std::optional<int> animationSite;
            std::optional<int> result;
        };
        Batch Take();

    private:
        void Changed(); // m_mutex held
        SetupDialog& m_dialog;
        std::mutex m_mutex;
        Batch m_batch;
        bool m_wakeAsked = false;
    };

    void Begin();
    void NextFrame();
    void StopRun();
    void Lay();

    HttpGetter& m_getter;
    Clock& m_clock;
    std::string m_programDirectory;
    DialogUnits m_units;
    Reports m_reports;
    std::atomic<int> m_stop{0};
    std::thread m_thread;
    int m_downloadResult = kDownloadNotRun; // GUI thread
    int m_animationSite = 0;                // GUI thread
    int m_frame = 0;
    bool m_logShown = false; // the warning has been replaced by the log
    QTimer m_animation;
};

} // namespace trawl::ui
