#include "batch/BatchOptions.h"

#include "app/TextUtil.h"

#include <cstdlib>

namespace trawl {

BatchOptions ParseBatchArguments(const std::vector<std::string>& arguments)
{
    BatchOptions options;
    for (const std::string& argument : arguments) {
        if (argument.empty() || argument.front() != '-') {
            if (!argument.empty()) {
                options.searches.push_back(argument);
            }
            continue;
        }
        const std::string word = ToLowerAscii(std::string_view(argument).substr(1));
        if (word == "csv") {
            options.csv = true;
        } else if (word == "html") {
            options.html = true;
        } else if (word == "new") {
            options.newOnly = true;
        } else if (word == "deep") {
            options.deep = true;
        } else if (word == "datename") {
            options.dateName = true;
        } else if (word == "-demo" || word == "demo") {
            options.demo = true;
        } else if (word == "-help" || word == "help" || word == "h" || word == "?") {
            options.help = true;
        } else if (word.starts_with("alert=")) {
            options.alertCommand = argument.substr(argument.find('=') + 1); // the program's name as typed
        } else {
            options.unknownOptions.push_back(argument);
        }
    }
    return options;
}

std::string UsageText()
{
    return "Trawlkit 2.08: harvests classified ads from Craigslist and Kijiji.\n"
           "\n"
           "Usage: trawlkit [options] SEARCH...\n"
           "  SEARCH     a search file (NAME.trawl), looked up in the current folder, then in the program folder\n"
           "  -csv       write NAME.csv beside each search file\n"
           "  -html      write NAME.html beside each search file (through the HTML templates)\n"
           "  -deep      deep-scan the results (fetch each ad's own page)\n"
           "  -new       the outputs hold only the results this run found new\n"
           "  -datename  name the outputs NAME-YYYY-MM-DD.csv / .html (today's date)\n"
           "  --demo     run on the built-in sample sites (offline), in a demo program folder\n"
           "  -alert=PROGRAM  after a search found new results, run PROGRAM (no shell, no arguments) with\n"
           "             TRAWLKIT_SEARCH, TRAWLKIT_NEW_COUNT and TRAWLKIT_NEW_CSV (a CSV of just the new\n"
           "             results) in its environment; its failure fails the run\n"
           "\n"
           "Any of -csv, -html or -deep runs the named searches without a window and saves each search back\n"
           "to its file. Without them the program opens its window (a display is needed; --demo without one\n"
           "runs the demo search without a window).\n"
           "Program folder: TRAWLKIT_HOME, else the program's own folder when writable, else\n"
           "~/.local/share/trawlkit. TRAWLKIT_CONNECT_TO=HOST:PORT:ADDR:PORT2 redirects connections.\n"
           "Exit status: 0 all done, 1 a search did not run as asked or an output failed, 2 bad\n"
           "TRAWLKIT_CONNECT_TO,"
           " 3 the list download failed.\n";
}

bool WantsWindow(const BatchOptions& options, bool displayAvailable)
{
    return displayAvailable && !options.help && !options.Batch();
}

bool DisplayAvailable()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            return true;
        }
    }
    return false;
}

} // namespace trawl
