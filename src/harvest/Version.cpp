#include "harvest/Version.h"

#include <cstdio>
#include <cstdlib>

namespace trawl {

std::string VersionText(int hundredths)
{
    const long long value = hundredths;
    const long long magnitude = std::llabs(value);
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%s%lld.%02lld", value < 0 ? "-" : "", magnitude / 100, magnitude % 100);
    return buffer;
}

std::string ProgramTitle()
{
    return "Trawlkit v" + VersionText(kProgramVersion);
}

} // namespace trawl
