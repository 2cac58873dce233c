#include "ui/SetupDialog.h"

#include "ui/Images.h"
#include "ui/QtText.h"

#include <QScrollBar>

namespace trawl::ui {

QString SetupDialog::WarningText()
{
    return QStringLiteral(
        "Warning:\nI couldn't find a current list of cities and sections for searching. Please click the button "
        "below to attempt to download them from Craigslist and Kijiji now. You will only need to do this once and "
        "the files will be saved in the same directory as the program is running from.");
}

SetupDialog::SetupDialog(HttpGetter& getter, Clock& clock, std::string programDirectory, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      log(this), cancel(QStringLiteral("Cancel"), this), begin(QStringLiteral("Begin Download"), this), picture(this),
      m_getter(getter), m_clock(clock), m_programDirectory(std::move(programDirectory)), m_units(font()),
      m_reports(*this)
{
    setWindowTitle(QStringLiteral("Download Sections and Cities"));
    setWindowIcon(ProgramIcon());
    setModal(true);
    log.setReadOnly(true);
    log.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log.setFrameShadow(QFrame::Sunken);
    log.setPlainText(WarningText());
    picture.setAlignment(Qt::AlignCenter);
    picture.setPixmap(BlankImage(32));
    begin.setDefault(true);
    Lay();
    setFixedSize(m_units.size(293, 190));

    connect(&cancel, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(&begin, &QPushButton::clicked, this, &SetupDialog::Begin);
    m_animation.setInterval(kFrameMs);
    connect(&m_animation, &QTimer::timeout, this, &SetupDialog::NextFrame);
}

SetupDialog::~SetupDialog()
{
    StopRun();
}

void SetupDialog::Lay()
{
    log.setGeometry(m_units.rect(10, 10, 275, 145));
    cancel.setGeometry(m_units.rect(140, 165, 55, 15));
    begin.setGeometry(m_units.rect(200, 165, 85, 15));
    picture.setGeometry(m_units.x(10), m_units.y(160), 32, 32);
}

void SetupDialog::Begin()
{
    if (m_downloadResult != kDownloadNotRun) {
        accept(); // "Start" or "Exit (Try Later)": start-up goes on or ends by DownloadResult
        return;
    }
    if (m_thread.joinable()) {
        return;
    }
    // The run disables the buttons itself at once; doing it here too keeps a second click out.
    begin.setEnabled(false);
    cancel.setEnabled(false);
    m_thread = std::thread([this] { RunListDownload(m_getter, m_clock, m_programDirectory, m_reports, &m_stop); });
}

void SetupDialog::StopRun()
{
    m_stop.store(1);
    m_animation.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void SetupDialog::reject()
{
    // The close box (and Escape): the picture stops and the dialog closes; a run still going ends
    // here and DownloadResult stays what it is.
    m_stop.store(1);
    m_animationSite = 0;
    m_animation.stop();
    picture.setPixmap(BlankImage(32));
    QDialog::reject();
}

void SetupDialog::NextFrame()
{
    if (m_animationSite == 0) {
        m_animation.stop();
        picture.setPixmap(ImageNamed("HARDLYTHERE"));
        return;
    }
    m_frame = m_frame % kMagnifierFrames + 1;
    picture.setPixmap(MagnifierFrame(m_animationSite, m_frame));
}

void SetupDialog::ApplyReports()
{
    Reports::Batch batch = m_reports.Take();
    if (!batch.logText.empty() || batch.refresh) {
        if (!m_logShown) {
            log.clear(); // the first refresh replaces the warning with the log
            m_logShown = true;
        }
        QString text = ToQString(batch.logText);
        text.remove(QLatin1Char('\r'));
        QTextCursor end(log.document());
        end.movePosition(QTextCursor::End);
        end.insertText(text);
        // The newest line is always in sight.
        log.verticalScrollBar()->setValue(log.verticalScrollBar()->maximum());
    }
    if (batch.cancelEnabled) {
        cancel.setEnabled(*batch.cancelEnabled);
    }
    if (batch.animationSite) {
        m_animationSite = *batch.animationSite;
        if (m_animationSite == 0) {
            NextFrame(); // stops at once and shows the blank picture
        } else if (!m_animation.isActive()) {
            NextFrame();
            m_animation.start();
        }
    }
    if (batch.result) {
        m_downloadResult = *batch.result;
    }
    if (batch.button) {
        begin.setText(ToQString(batch.button->first));
        begin.setEnabled(batch.button->second);
    }
}

// --- The run's reports ---

void SetupDialog::Reports::Changed()
{
    if (!m_wakeAsked) {
        m_wakeAsked = true;
        // By name: the call carries nothing of the run's; what changed travels under m_mutex.
        QMetaObject::invokeMethod(&m_dialog, "ApplyReports", Qt::QueuedConnection);
    }
}

SetupDialog::Reports::Batch SetupDialog::Reports::Take()
{
    std::lock_guard lock(m_mutex);
    m_wakeAsked = false;
    Batch taken = std::move(m_batch);
    m_batch = Batch{};
    if (!taken.refresh) {
        // Log text without a refresh waits for the next one.
        m_batch.logText = std::move(taken.logText);
        taken.logText.clear();
    }
    return taken;
}

void SetupDialog::Reports::AddLogText(const std::string& text, bool refreshNow)
{
    std::lock_guard lock(m_mutex);
    m_batch.logText += text;
    if (refreshNow) {
        m_batch.refresh = true;
        Changed();
    }
}

void SetupDialog::Reports::SetButton(const std::string& text, bool enabled)
{
    std::lock_guard lock(m_mutex);
    m_batch.button = std::make_pair(text, enabled);
    Changed();
}

void SetupDialog::Reports::SetCancelEnabled(bool enabled)
{
    std::lock_guard lock(m_mutex);
    m_batch.cancelEnabled = enabled;
    Changed();
}

void SetupDialog::Reports::SetAnimationSite(int site)
{
    std::lock_guard lock(m_mutex);
    m_batch.animationSite = site;
    Changed();
}

void SetupDialog::Reports::SetDownloadResult(int result)
{
    std::lock_guard lock(m_mutex);
    m_batch.result = result;
    Changed();
}

} // namespace trawl::ui
