#pragma once

#include "app/Clock.h"

#include <string>
#include <string_view>

namespace trawl {

// N: the search file's name without its folders and without ".trawl" (only a trailing one goes).
std::string SearchBaseName(std::string_view searchPath);

// Where an output of the search goes: beside the search file, as N + extension, or with `dateName`
// as N-YYYY-MM-DD + extension (today's local date). `extension` includes its dot.
std::string OutputPath(std::string_view searchPath, std::string_view extension, bool dateName, const LocalDate& today);

} // namespace trawl
