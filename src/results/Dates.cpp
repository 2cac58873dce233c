#include "results/Dates.h"

#include "app/TextUtil.h"

#include <cstdio>

namespace trawl {

int MonthNumber(std::string_view name)
{
    static constexpr std::string_view kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                     "jul", "aug", "sep", "oct", "nov", "dec"};
    if (name.size() < 3) {
        return 0;
    }
    const std::string prefix = ToLowerAscii(name.substr(0, 3));
    for (int i = 0; i < 12; ++i) {
        if (prefix == kMonths[i]) {
            return i + 1;
        }
    }
    return 0;
}

std::string FormatStoredDate(int year, int month, int day)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
    return text;
}

std::string DiscardCutoff(const LocalDate& today)
{
    int year = today.year;
    int month = today.month;
    for (int step = 0; step < 2; ++step) {
        --month;
        if (month == 0) {
            month = 12;
            --year;
        }
    }
    return FormatStoredDate(year, month, today.day);
}

std::string DiscardCutoff(Clock& clock)
{
    return DiscardCutoff(clock.Today());
}

} // namespace trawl
