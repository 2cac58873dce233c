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
    std::vector<std::string> searches;       // as typed, in order
    std::vector<std::string> unknownOptions; // as typed, dashes included

    // Batch mode: no window, the named searches are run and their outputs written.
    bool Batch() const { return csv || html || deep; }
};

BatchOptions ParseBatchArguments(const std::vector<std::string>& arguments);

// Printed when the program is started without batch options (there is no window yet).
std::string UsageText();

} // namespace trawl
