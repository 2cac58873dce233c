#pragma once

#include "app/Prompts.h"
#include "app/Settings.h"

#include <functional>
#include <string>

namespace trawl {

// What a start-menu entry points at.
struct ShortcutRequest {
    std::string linkName;         // file name of the entry inside the menu folder
    std::string target;           // the program file
    std::string workingDirectory; // the program folder
    std::string description;
};

using ShortcutCreator = std::function<bool(const ShortcutRequest&)>;

inline constexpr const char* kStartMenuCaption = "Start Menu?";
inline constexpr const char* kStartMenuQuestion =
    "Would you like to add Trawlkit to your start menu? Select 'yes' to do so, 'no' not to, or 'cancel' to ask "
    "again later.";
inline constexpr const char* kShortcutDescription = "Run the Brackenly Trawlkit";
inline constexpr const char* kShortcutLinkName = "trawlkit.desktop";
// The icon's name in the desktop's icon theme, and the program's id in its software catalogue
// (AppStream), as `cmake --install` and the package put them.
inline constexpr const char* kIconName = "trawlkit";
inline constexpr const char* kApplicationId = "com.brackenly.Trawlkit";

// The offer made at start-up while `StartMenu` is not "done". Yes creates the entry (its outcome is not
// looked at) and No declines it, both for good; Cancel or a closed box asks again at the next start.
// Only the settings in memory change; they reach the file with the next save.
void OfferStartMenuShortcut(Settings& settings, Prompts& prompts, const std::string& executablePath,
                            const std::string& programDirectory, const ShortcutCreator& create);

// The desktop's menu folder for the user's own entries: $XDG_DATA_HOME/applications, else
// ~/.local/share/applications; "" when neither is known. Ends in "/".
std::string ApplicationsFolder(const std::string& xdgDataHome, const std::string& home);

// The desktop entry's text for the request (LF line ends, as the desktop expects). The entry the
// package installs is this text for InstalledShortcut(); the offer's differs only in Exec (the running
// program) and Path (its folder), so with both present the user's own entry takes the package's place.
std::string DesktopEntryText(const ShortcutRequest& request);
// The package's entry: the program on the PATH, no working folder.
ShortcutRequest InstalledShortcut();

// Writes the entry into `folder` (created when missing). False on any failure; callers stay silent.
bool CreateStartMenuShortcut(const std::string& folder, const ShortcutRequest& request);

// The same into the user's menu folder from the environment.
bool CreateStartMenuShortcut(const ShortcutRequest& request);

} // namespace trawl
