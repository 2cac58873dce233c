// Which control has which context-help text.

#include "ui/DiagnosticsPage.h"
#include "ui/HelpTexts.h"
#include "ui/MainWindow.h"
#include "ui/ResultsPage.h"
#include "ui/SearchSettingsPage.h"
#include "ui/SettingsPage.h"
#include "ui/TemplatePage.h"

namespace trawl::ui {

namespace {

void Help(HelpTopic topic, std::initializer_list<QWidget*> controls)
{
    for (QWidget* control : controls) {
        control->setWhatsThis(QString::fromLatin1(HelpText(topic)));
    }
}

} // namespace

void MainWindow::AssignHelpTexts()
{
    using T = HelpTopic;
    Help(T::SearchName, {&m_searchName});
    Help(T::Load, {&m_load});
    Help(T::Save, {&m_save});
    Help(T::ProgressBar, {&m_progress});

    ResultsPage& results = *m_resultsPage;
    Help(T::ResultList, {&results.list});
    Help(T::Clear, {&results.clear});
    Help(T::Filter, {&results.filter});
    Help(T::OutputCsv, {&results.outputCsv});
    Help(T::ViewHtml, {&results.viewHtml});
    Help(T::DeepScan, {&results.deepScan});
    Help(T::Go, {&results.go, &m_searchPage->go});

    SearchSettingsPage& search = *m_searchPage;
    Help(T::CraigslistCityTree, {&search.clCities});
    Help(T::KijijiCityTree, {&search.kjCities});
    Help(T::CraigslistSectionTree, {&search.clSections});
    Help(T::KijijiSectionTree, {&search.kjSections});
    Help(T::SelectAllCities, {&search.selectAllCities});
    Help(T::ClearAllCities, {&search.clearAllCities});
    Help(T::SelectAllSections, {&search.selectAllSections});
    Help(T::ClearAllSections, {&search.clearAllSections});
    Help(T::SearchTerms, {&search.terms});

    SettingsPage& settings = *m_settingsPage;
    const std::pair<int Settings::*, HelpTopic> flags[] = {
        {&Settings::SearchCraigslist, T::SearchCraigslist},
        {&Settings::SearchKijiji, T::SearchKijiji},
        {&Settings::AutoDeepScan, T::AutoDeepScan},
        {&Settings::CheckForUpdates, T::CheckForUpdates},
        {&Settings::DiscardSearches, T::DiscardSearches},
        {&Settings::SearchTitles, T::SearchTitles},
        {&Settings::HasPictures, T::HasPictures},
        {&Settings::AutoSync, T::AutoSync},
        {&Settings::RSSdescription, T::RssDescription},
        {&Settings::OverrideRSS, T::OverrideRss},
        {&Settings::IncludeSiteInCSV, T::IncludeSiteInCsv},
        {&Settings::IncludeStateInCSV, T::IncludeStateInCsv},
        {&Settings::AllowMultipleInstances, T::AllowMultipleInstances},
        {&Settings::ConfirmSpawn, T::ConfirmSpawn},
    };
    for (const auto& [setting, topic] : flags) {
        Help(topic, {&settings.Box(setting)});
    }
    Help(T::MaxResults, {&settings.maxResults});
    Help(T::MaxThreads, {&settings.maxThreads});
    Help(T::MaxThreads2, {&settings.maxThreads2});
    Help(T::HostPause, {&settings.hostPause});
    Help(T::Watch, {&settings.watch});
    Help(T::UserAgent, {&settings.userAgent});
    Help(T::SettingsCancel, {&settings.cancel});
    Help(T::Apply, {&settings.apply});
    Help(T::About, {&settings.about});

    DiagnosticsPage& diagnostics = *m_diagnosticsPage;
    Help(T::TotalResults, {&diagnostics.totalLabel, &diagnostics.total});
    Help(T::NewResults, {&diagnostics.newLabel, &diagnostics.newResults});
    Help(T::BytesDownloaded, {&diagnostics.bytesLabel, &diagnostics.bytes});
    for (int slot = 1; slot <= DiagnosticsPage::kSlots; ++slot) {
        DiagnosticsPage::SlotRow& row = diagnostics.row(slot);
        Help(T::SearchDetail, {&row.searchDetail});
        Help(T::ScanDetail, {&row.scanDetail});
        Help(T::SearchSite, {&row.searchSite});
        Help(T::ScanSite, {&row.scanSite});
        Help(T::SearchLight, {&row.searchLight});
        Help(T::ScanLight, {&row.scanLight});
    }
    Help(T::ViewSearchStatus, {&diagnostics.viewSearch});
    Help(T::ViewScanStatus, {&diagnostics.viewScan});

    TemplatePage& templates = *m_templatePage;
    Help(T::TemplateSave, {&templates.save});
    Help(T::TemplateCancel, {&templates.cancel});
    Help(T::TemplateReset, {&templates.reset});
    Help(T::HeaderEditor, {&templates.header});
    Help(T::ItemEditor, {&templates.item});
}

} // namespace trawl::ui
