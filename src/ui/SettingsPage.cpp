#include "ui/SettingsPage.h"

#include "app/TextUtil.h"
#include "ui/PageLayout.h"
#include "ui/QtText.h"

#include <algorithm>

namespace trawl::ui {

namespace {

struct FlagPlace {
    int Settings::*setting;
    const char* caption;
    int y;
};

// The check boxes from the top of the page down (the two site boxes first: Apply reads them first).
constexpr FlagPlace kFlags[] = {
    {&Settings::SearchCraigslist, "Search Craigslist", 5},
    {&Settings::SearchKijiji, "Search Kijiji", 15},
    {&Settings::AutoDeepScan, "Automatically do a deep scan", 25},
    {&Settings::CheckForUpdates, "Check brackenly server for updates", 35},
    {&Settings::DiscardSearches, "Automatically discard old results after two months", 45},
    {&Settings::SearchTitles, "Only search in the titles of ads", 130},
    {&Settings::HasPictures, "Only include ads with images in the search results", 140},
    {&Settings::AutoSync, "Attempt to automatically snychronize Craigslist and Kijiji", 150},
    {&Settings::RSSdescription, "Attempt to harvest full text from RSS feeds", 160},
    {&Settings::OverrideRSS, "Re-download RSS pre-loaded descriptions when deep scanning", 170},
    {&Settings::IncludeSiteInCSV, "Include site in CSV output", 180},
    {&Settings::IncludeStateInCSV, "Include state code in CSV output", 190},
    {&Settings::AllowMultipleInstances, "Allow multiple instances of the software to run at once", 200},
    {&Settings::ConfirmSpawn, "Confirm before viewing ad in web browser", 210},
};

// The leading number of a box, bounded; the box shows the bounded number when it was corrected.
int BoundedNumber(QLineEdit& box, int low, int high)
{
    const int typed = LeadingInteger(ToBytes(box.text()));
    const int bounded = std::clamp(typed, low, high);
    if (bounded != typed) {
        box.setText(QString::number(bounded));
    }
    return bounded;
}

} // namespace

SettingsPage::SettingsPage(const DialogUnits& units, QWidget* parent)
    : LaidOutPage(units, parent), maxResultsLabel(QStringLiteral("Maximum number of search results:"), this),
      maxResults(this), maxThreadsLabel(QStringLiteral("Maximum # of search threads:"), this), maxThreads(this),
      maxThreads2Label(QStringLiteral("Maximum # of deep scan threads:"), this), maxThreads2(this),
      userAgentLabel(QStringLiteral("Fake browser user agent:"), this), userAgent(this),
      hostPauseLabel(QStringLiteral("Pause per site (ms):"), this), hostPause(this),
      watchLabel(QStringLiteral("Repeat search every (min):"), this), watch(this), apply(QStringLiteral("Apply"), this),
      cancel(QStringLiteral("Cancel"), this), about(QStringLiteral("About..."), this)
{
    for (const FlagPlace& place : kFlags) {
        m_flags.push_back({place.setting, std::make_unique<QCheckBox>(QString::fromLatin1(place.caption), this)});
    }
    for (QLabel* label :
         {&maxResultsLabel, &maxThreadsLabel, &maxThreads2Label, &userAgentLabel, &hostPauseLabel, &watchLabel}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    hostPauseLabel.setBuddy(&hostPause);
    watchLabel.setBuddy(&watch);
    maxResultsLabel.setBuddy(&maxResults);
    maxThreadsLabel.setBuddy(&maxThreads);
    maxThreads2Label.setBuddy(&maxThreads2);
    userAgentLabel.setBuddy(&userAgent);
    // Room for every box with the buttons under them; less than that and the page scrolls.
    setMinimumSize(units.x(372), units.y(245));
}

QCheckBox& SettingsPage::Box(int Settings::*setting)
{
    return *std::find_if(m_flags.begin(), m_flags.end(), [&](const Flag& f) { return f.setting == setting; })->box;
}

void SettingsPage::Fill(const Settings& settings)
{
    for (Flag& flag : m_flags) {
        flag.box->setChecked(settings.*flag.setting != 0);
    }
    maxResults.setText(QString::number(settings.MaxResults));
    maxThreads.setText(QString::number(settings.MaxThreads));
    maxThreads2.setText(QString::number(settings.MaxThreads2));
    hostPause.setText(QString::number(settings.HostPauseMs));
    watch.setText(QString::number(settings.WatchMinutes));
    userAgent.setText(ToQString(settings.UserAgent));
    userAgent.setCursorPosition(0);
}

Settings SettingsPage::Read(const Settings& base)
{
    Settings settings = base;
    for (Flag& flag : m_flags) {
        settings.*flag.setting = flag.box->isChecked() ? 1 : 0;
    }
    if (settings.SearchCraigslist == 0 && settings.SearchKijiji == 0) {
        settings.SearchCraigslist = 1;
        Box(&Settings::SearchCraigslist).setChecked(true);
    }
    settings.MaxResults = BoundedNumber(maxResults, kMinMaxResults, kMaxMaxResults);
    settings.MaxThreads = BoundedNumber(maxThreads, 1, kMaxWorkerThreads);
    settings.MaxThreads2 = BoundedNumber(maxThreads2, 1, kMaxWorkerThreads);
    settings.HostPauseMs = BoundedNumber(hostPause, 0, kMaxHostPauseMs);
    const int watchTyped = BoundedNumber(watch, 0, kMaxWatchMinutes);
    settings.WatchMinutes = BoundedWatchMinutes(watchTyped); // the sites are never asked more often
    if (settings.WatchMinutes != watchTyped) {
        watch.setText(QString::number(settings.WatchMinutes));
    }
    // As typed, but a line break would split the file's line and the request's header in two.
    std::string agent = ToBytes(userAgent.text());
    std::replace_if(
        agent.begin(), agent.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    settings.UserAgent = agent;
    return settings;
}

void SettingsPage::SetRunning(bool searching, bool holdDeepScanBox)
{
    for (int Settings::*setting :
         {&Settings::SearchCraigslist, &Settings::SearchKijiji, &Settings::RSSdescription, &Settings::OverrideRSS}) {
        Box(setting).setEnabled(!searching);
    }
    Box(&Settings::AutoDeepScan).setEnabled(!searching && !holdDeepScanBox);
    apply.setEnabled(!searching);
    cancel.setEnabled(!searching);
}

void SettingsPage::Lay()
{
    const DialogUnits& units = m_units;
    const auto [W, H] = PageSize::Of(*this, units);
    for (std::size_t i = 0; i < m_flags.size(); ++i) {
        Place(*m_flags[i].box, units, 2, kFlags[i].y, 255, 10);
    }
    // The boxes move right as far as the widest label needs in a font wider than the layout's.
    int labels = 0;
    for (const QLabel* label : {&maxResultsLabel, &maxThreadsLabel, &maxThreads2Label, &userAgentLabel}) {
        labels = std::max(labels, units.unitsX(label->sizeHint().width()) + 1);
    }
    const int shift = std::max(0, labels - 115);
    Place(maxResultsLabel, units, 2, 67, 115 + shift, 10);
    Place(maxResults, units, 120 + shift, 65, 50, 15);
    Place(maxThreadsLabel, units, 2, 82, 115 + shift, 10);
    Place(maxThreads, units, 120 + shift, 80, 50, 15);
    Place(maxThreads2Label, units, 2, 97, 115 + shift, 10);
    Place(maxThreads2, units, 120 + shift, 95, 50, 15);
    const int rightLabels = std::max(
        {95, units.unitsX(hostPauseLabel.sizeHint().width()) + 1, units.unitsX(watchLabel.sizeHint().width()) + 1});
    Place(hostPauseLabel, units, 175 + shift, 82, rightLabels, 10);
    Place(hostPause, units, 178 + shift + rightLabels, 80, 40, 15);
    Place(watchLabel, units, 175 + shift, 97, rightLabels, 10);
    Place(watch, units, 178 + shift + rightLabels, 95, 40, 15);
    Place(userAgentLabel, units, 2, 112, 115 + shift, 10);
    Place(userAgent, units, 120 + shift, 110, std::min(200, W - 150 - shift), 15);
    // Under the last check box even when the window is at its smallest (the page scrolls then).
    const int buttonsAt = std::max(H - 115, 225);
    Place(cancel, units, 2, buttonsAt, 50, 15);
    Place(apply, units, 57, buttonsAt, 50, 15);
    Place(about, units, W - 92, buttonsAt, 60, 15);
}

} // namespace trawl::ui
