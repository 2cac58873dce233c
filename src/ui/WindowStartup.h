#pragma once

#include "app/InstanceLock.h"
#include "app/Settings.h"
#include "refdata/ReferenceTables.h"
#include "ui/MainWindow.h"

#include <memory>
#include <string>
#include <vector>

namespace trawl::ui {

struct WindowStartupInputs {
    std::string folder;                 // the program folder, ending in "/"
    std::vector<std::string> arguments; // the command line without the program name
    std::string instanceLockPath;
    bool demo = false; // the demo opens on its own search, written from the lists when missing
};

// The start-up of the program with its window: lists and settings, the one-copy rule with its
// "Already Running" box, the first-run setup dialog while a list is missing (then lists and settings
// again), the start-menu offer, and the window. Holds what the window uses for as long as it lives.
class WindowStartup {
public:
    WindowStartup(WindowStartupInputs inputs, WindowSeams seams);

    // The window, built but not shown; null when this copy is to end (another copy runs, or the lists
    // are still missing after the setup dialog).
    std::unique_ptr<MainWindow> OpenWindow();

    Settings& settings() { return m_settings; }
    const ReferenceTables& tables() const { return m_tables; }

private:
    WindowStartupInputs m_inputs;
    WindowSeams m_seams;
    ReferenceTables m_tables;
    Settings m_settings;
    std::unique_ptr<InstanceLock> m_instance;
};

} // namespace trawl::ui
