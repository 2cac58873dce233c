#include "ui/BackgroundJob.h"

namespace trawl::ui {

BackgroundJob::BackgroundJob(QObject* parent) : QObject(parent) {}

BackgroundJob::~BackgroundJob()
{
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool BackgroundJob::Start(std::function<void()> work, std::function<void()> done)
{
    if (m_running) {
        return false;
    }
    m_running = true;
    m_done = std::move(done);
    m_thread = std::thread([this, work = std::move(work)] {
        work();
        QMetaObject::invokeMethod(this, "WorkEnded", Qt::QueuedConnection);
    });
    return true;
}

void BackgroundJob::WorkEnded()
{
    if (m_running) {
        Finish();
    }
}

void BackgroundJob::Finish()
{
    if (!m_running) {
        return;
    }
    // The join is what hands the work's results to this thread.
    if (m_thread.joinable()) {
        m_thread.join();
    }
    m_running = false;
    std::function<void()> done = std::move(m_done);
    m_done = nullptr;
    if (done) {
        done();
    }
}

} // namespace trawl::ui
