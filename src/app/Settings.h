#pragma once

#include "app/Prompts.h"
#include "app/Status.h"

#include <string>
#include <string_view>

namespace trawl {

// The 24 persisted settings, named by their file keys, in the order the file is written.
// Flags are integers: zero is off, anything else is on (a value of 5 stays 5).
struct Settings {
    std::string CurrentSearchName = "default";
    int SearchCraigslist = 1;
    int SearchKijiji = 1;
    int AutoDeepScan = 0;
    int RSSdescription = 1;
    int OverrideRSS = 1;
    int IncludeSiteInCSV = 0;
    int IncludeStateInCSV = 0;
    int AllowMultipleInstances = 1;
    int ConfirmSpawn = 0;
    int CheckForUpdates = 1;
    int DiscardSearches = 1;
    int MaxResults = 25000;
    int MaxThreads = 4;
    int MaxThreads2 = 4;
    int Width = 398;
    int Height = 369;
    std::string UserAgent = "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT)";
    std::string StartMenu = "later";
    int SearchTitles = 0;
    int HasPictures = 0;
    int AutoSync = 1;
    std::string HTMLheader; // DefaultTemplate(1) unless read from the file
    std::string HTMLitem;   // DefaultTemplate(2) unless read from the file
    // Beyond the 24: the least time between two requests to one host, in milliseconds (0 to
    // kMaxHostPauseMs; 0, the default, asks as the sites have always been asked). Written to the file
    // only when set, so a file that never set it keeps its 24 lines.
    int HostPauseMs = 0;
    // Also beyond the 24, written only when set: the window repeats the current search by itself every
    // so many minutes (0: never, the default; else 10 to 1440) and saves it after each run.
    int WatchMinutes = 0;

    // Every value at its default, the templates included.
    static Settings Defaults();
};

inline constexpr int kMinMaxResults = 5000;
inline constexpr int kMaxMaxResults = 1000000;
inline constexpr int kMaxWorkerThreads = 12;
inline constexpr int kMaxHostPauseMs = 60000;
inline constexpr int kMinWatchMinutes = 10; // a watched search never asks the sites more often
inline constexpr int kMaxWatchMinutes = 24 * 60;
// 0 (never) for 0 or less, else within kMinWatchMinutes to kMaxWatchMinutes.
int BoundedWatchMinutes(int minutes);

// The settings file's name inside the program folder.
inline constexpr const char* kSettingsFileName = "trawlkit.ini";

// Defaults, then the file when it exists (missing or unreadable: defaults). Lines end at LF, a CR before
// the LF is dropped. The file is only read, never written.
Settings LoadSettings(const std::string& path);
// The same rules applied to a file's whole content (defaults for whatever it does not set).
Settings ParseSettingsText(std::string_view text);
// The canonical 24 lines, CR LF, written atomically.
std::string SettingsFileText(const Settings& settings);
Status SaveSettings(const std::string& path, const Settings& settings);

// A failed save is told to the user rather than passed over: the message box text for it, and
// SaveSettings that shows it (Error kind) when the save fails.
inline constexpr const char* kSettingsSaveFailureCaption = "Settings Not Saved";
std::string SettingsSaveFailureText(const Status& status);
Status SaveSettingsReporting(const std::string& path, const Settings& settings, Prompts& prompts);

} // namespace trawl
