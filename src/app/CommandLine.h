#pragma once

#include "app/Prompts.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {

// At most this many search-file paths are kept; further found files are still counted.
inline constexpr std::size_t kMaxCommandLineFiles = 32;

// The option words the program knows. They are recorded and have no effect of their own.
struct CommandLineOptions {
    bool csv = false;
    bool html = false;
    bool newOnly = false; // "-new"
    bool deep = false;
    bool dateName = false;
};

struct CommandLine {
    CommandLineOptions options;
    std::vector<std::string> unknownOptions; // option words given without their "-", as typed
    std::vector<std::string> searchFiles;    // paths of the named search files that exist
    int searchFileCount = 0;                 // every named search file that exists
};

// Arguments are separated by runs of spaces; one that begins with a double quote runs to the next
// double quote (or the end of the text), without the quotes.
std::vector<std::string> SplitCommandLine(std::string_view text);

// The error shown for a named search file that exists neither in the current folder nor in the
// program folder.
std::string MissingSearchText(const std::string& argument);
inline constexpr const char* kMissingSearchCaption = "Error";

using FileProbe = std::function<bool(const std::string& path)>;

// Examines the arguments (argv without the program name can be passed as it is). Nothing is examined
// when the arguments joined by spaces are at most one character long after trimming. Each missing
// search file is reported once through `prompts`.
CommandLine ExamineArguments(const std::vector<std::string>& arguments, const std::string& programDirectory,
                             Prompts& prompts, const FileProbe& exists = {});

// The same for one command-line text.
CommandLine ExamineCommandLine(std::string_view text, const std::string& programDirectory, Prompts& prompts,
                               const FileProbe& exists = {});

} // namespace trawl
