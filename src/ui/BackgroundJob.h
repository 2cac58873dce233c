#pragma once

#include <QObject>
#include <functional>
#include <thread>

namespace trawl::ui {

// Runs one piece of work at a time on a thread of its own, then its completion on the GUI thread,
// so that work on a million records never holds up the window.
class BackgroundJob final : public QObject {
    Q_OBJECT

public:
    explicit BackgroundJob(QObject* parent = nullptr);
    // Waits for the work (the completion is not run).
    ~BackgroundJob() override;

    // False (nothing started) while a job runs.
    bool Start(std::function<void()> work, std::function<void()> done);
    bool Running() const { return m_running; }
    // Waits for the work and runs the completion now (GUI thread).
    void Finish();

private Q_SLOTS:
    void WorkEnded();

private:
    bool m_running = false; // GUI thread
    std::thread m_thread;
    std::function<void()> m_done;
};

} // namespace trawl::ui
