#pragma once

#include <string>

namespace trawl {

// The program's version in hundredths: 208 is version 2.08.
inline constexpr int kProgramVersion = 208;

// Hundredths as the "0.00" mask writes them: 208 -> "2.08", 210 -> "2.10".
std::string VersionText(int hundredths);

// The main window's title: "Trawlkit v2.08".
std::string ProgramTitle();

} // namespace trawl
