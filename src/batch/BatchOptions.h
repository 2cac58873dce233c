#pragma once

#include <string>
#include <vector>

namespace trawl {

// What the command line asks of the program. Option words begin with "-" and match in any letter
// case; "--demo" is also accepted with a single dash. Everything else names a search file.
struct BatchOptions {
    bool csv = false;
    bool html = false;
    bool newOnly = false; // "-new": the outputs hold only the records this run added
    bool deep = false;
    bool dateName = false;                   // "-datename": outputs named N-YYYY-MM-DD
    bool demo = false;                       // "--demo": the built-in sample sites in a demo program folder
    bool help = false;                       // "-help", "--help", "-h", "-?"
    std::string alertCommand;                // "-alert=PROGRAM": run after a search found new results
    std::vector<std::string> searches;       // as typed, in order
    std::vector<std::string> unknownOptions; // as typed, dashes included

    // Batch mode: no window, the named searches are run and their outputs written.
    bool Batch() const { return csv || html || deep; }
};

BatchOptions ParseBatchArguments(const std::vector<std::string>& arguments);

// Printed for -help, and when there is neither a batch option nor a display for the window.
std::string UsageText();

// The window is for a run without batch options (the demo included) when a display is there.
bool WantsWindow(const BatchOptions& options, bool displayAvailable);
// A display the window can open on: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set.
bool DisplayAvailable();

} // namespace trawl
