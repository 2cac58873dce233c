// The commands of the settings page, the template page and the About box.

#include "app/DefaultTemplates.h"
#include "app/Prompts.h"
#include "ui/AboutBox.h"
#include "ui/MainWindow.h"
#include "ui/QtText.h"
#include "ui/SearchSettingsPage.h"
#include "ui/SettingsPage.h"
#include "ui/TemplatePage.h"

namespace trawl::ui {

bool MainWindow::CommitSettings(const Settings& next)
{
    if (!SaveSettingsReporting(m_services.programDirectory + kSettingsFileName, next, m_services.prompts)) {
        return false;
    }
    m_settings = next;
    return true;
}

void MainWindow::ApplySettings()
{
    Settings next = m_settingsPage->Read(m_settings);
    next.CurrentSearchName = ToBytes(m_searchName.text());
    const bool newPeriod = next.WatchMinutes != m_settings.WatchMinutes;
    if (!CommitSettings(next)) {
        return;
    }
    m_http.SetUserAgent(m_settings.UserAgent);
    m_polite.SetPause(m_settings.HostPauseMs);
    if (newPeriod && Idle()) {
        PlanWatch(); // a new period counts from now (or the watch ends)
    }
    // The trees of the sites that are on, laid out again.
    m_searchPage->Lay();
    LayFrame();
}

void MainWindow::SaveTemplate()
{
    Settings next = m_settings;
    next.HTMLheader = m_templatePage->HeaderText();
    next.HTMLitem = m_templatePage->ItemText();
    if (CommitSettings(next)) {
        m_services.prompts.Show(PromptKind::Notice, "Save complete",
                                "Your HTML template has been saved and will be used from now on.");
    }
}

void MainWindow::RevertTemplate()
{
    if (m_services.prompts.Show(PromptKind::Question, "Revert Template?",
                                "Do you want to discard any changes you've made to your HTML template and go back to "
                                "your previous settings?") == PromptAnswer::Yes) {
        m_templatePage->Fill(m_settings.HTMLheader, m_settings.HTMLitem);
    }
}

void MainWindow::ResetTemplate()
{
    if (m_services.prompts.Show(PromptKind::Question, "Default Template?",
                                "Do you want to discard your current HTML template and replace it with the default?") !=
        PromptAnswer::Yes) {
        return;
    }
    Settings next = m_settings;
    next.HTMLheader = DefaultTemplate(1);
    next.HTMLitem = DefaultTemplate(2);
    m_templatePage->Fill(next.HTMLheader, next.HTMLitem);
    CommitSettings(next);
}

void MainWindow::OpenAbout()
{
    if (m_about == nullptr) {
        m_about = new AboutBox(m_services.shell, this);
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

} // namespace trawl::ui
