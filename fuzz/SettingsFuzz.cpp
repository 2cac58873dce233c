// The settings file reader on arbitrary content, and the file it writes back.
#include "FuzzSupport.h"

#include "app/Settings.h"

#include <climits>

using namespace trawl;
using trawl::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const Settings settings = ParseSettingsText(fuzz::AsText(data, size));
    Check(settings.MaxResults >= kMinMaxResults && settings.MaxResults <= kMaxMaxResults, "MaxResults range");
    Check(settings.MaxThreads >= 1 && settings.MaxThreads <= kMaxWorkerThreads, "MaxThreads range");
    Check(settings.MaxThreads2 >= 1 && settings.MaxThreads2 <= kMaxWorkerThreads, "MaxThreads2 range");
    Check(settings.SearchCraigslist != 0 || settings.SearchKijiji != 0, "no site searched");

    // The written file is 24 lines, and one more for each of the two settings written only when set,
    // each ended by CR LF: no value may break a line.
    const int expectedLines = 24 + (settings.HostPauseMs != 0 ? 1 : 0) + (settings.WatchMinutes != 0 ? 1 : 0);
    const std::string file = SettingsFileText(settings);
    int lines = 0;
    for (std::size_t i = 0; i < file.size(); ++i) {
        if (file[i] == '\n') {
            Check(i > 0 && file[i - 1] == '\r', "bare LF in the written file", file);
            ++lines;
        }
    }
    Check(lines == expectedLines && file.ends_with("\r\n"), "the written file has the wrong number of lines", file);

    // Read back, numbers and templates are what was written (the file holds the height 4 above).
    const Settings again = ParseSettingsText(file);
    Check(again.MaxResults == settings.MaxResults && again.MaxThreads == settings.MaxThreads &&
              again.MaxThreads2 == settings.MaxThreads2 && again.Width == settings.Width &&
              again.SearchTitles == settings.SearchTitles && again.HasPictures == settings.HasPictures &&
              again.AutoSync == settings.AutoSync && again.SearchCraigslist == settings.SearchCraigslist &&
              again.SearchKijiji == settings.SearchKijiji && again.DiscardSearches == settings.DiscardSearches &&
              again.HostPauseMs == settings.HostPauseMs && again.WatchMinutes == settings.WatchMinutes,
          "a number changed on the way through the file", file);
    if (settings.Height <= INT_MAX - 4) {
        Check(again.Height == settings.Height + 4, "height read back", file);
    }
    Check(again.HTMLheader == settings.HTMLheader, "HTMLheader changed on the way through the file", file);
    Check(again.HTMLitem == settings.HTMLitem, "HTMLitem changed on the way through the file", file);
    return 0;
}
