#pragma once

#include <functional>
#include <utility>

namespace trawl {

// The start-up steps shared by the window and the batch front end, from reading the lists to sizing the
// result store. Each step is a hook the front end supplies; a hook left empty is skipped.
struct StartupHooks {
    std::function<bool()> loadLists;     // reads the reference lists; true when none of them is empty
    std::function<void()> loadSettings;  // defaults, then the settings file
    std::function<bool()> instanceCheck; // first pass only: lock, command line, rule; false ends the copy
    std::function<int()> runSetup;       // the first-run download; its DownloadResult (1 = lists fetched)
    std::function<void()> offerStartMenu;
    std::function<void()> allocateStore;
};

enum class StartupOutcome {
    Ready,      // the main window (or the batch run) may start
    SecondCopy, // another copy runs and this one is not to
    SetupEnded, // the lists are still missing and the setup was not successful
};

class StartupSequence {
public:
    explicit StartupSequence(StartupHooks hooks) : m_hooks(std::move(hooks)) {}

    // Lists and settings are read again after every successful setup, until the lists are complete;
    // the instance check runs on the first pass only.
    StartupOutcome Run();

    int passes() const { return m_passes; }

private:
    StartupHooks m_hooks;
    int m_passes = 0;
};

} // namespace trawl
