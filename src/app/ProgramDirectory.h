#pragma once

#include <string>

namespace trawl {

// What decides the program folder, gathered so the rule can be tested without touching the process.
struct ProgramFolderInputs {
    std::string trawlkitHome;   // TRAWLKIT_HOME, empty when unset
    std::string executablePath; // full path of the running program file, empty when unknown
    bool executableFolderWritable = false;
    // The executable sits in PREFIX/bin/ with the program's catalogue entry in PREFIX/share/metainfo/,
    // as `cmake --install` and the package put it: an installed copy even where the folder is writable
    // (run as root, or installed into the user's own prefix).
    bool installedLayout = false;
    std::string xdgDataHome; // XDG_DATA_HOME, empty when unset
    std::string home;        // HOME, empty when unset
};

// The folder holding the settings, the list files and the search files, ending in "/":
// TRAWLKIT_HOME when set; else the executable's folder when it is writable and not an installed layout
// (a portable copy); else $XDG_DATA_HOME/trawlkit, or ~/.local/share/trawlkit, for an installed copy.
std::string ResolveProgramDirectory(const ProgramFolderInputs& inputs);

// The folder part of a path up to and including its last "/"; "" when there is none.
std::string FolderOfPath(const std::string& path);

// The running program file, from /proc/self/exe; empty when it cannot be read.
std::string ExecutablePath();

// Whether the executable in `executableFolder` (ending in "/") is in an installed layout (above).
bool IsInstalledLayout(const std::string& executableFolder);

// ResolveProgramDirectory over the real environment. The per-user data folder is created when it is
// the one chosen and does not exist yet.
std::string ProgramDirectory();

} // namespace trawl
