#pragma once

#include "app/Clock.h"

#include <string>
#include <string_view>

namespace trawl {

// 1 to 12 for a month name by its first three letters, any case ("Mar", "MARCH", "march" give 3);
// 0 when they name no month or the name is shorter than three letters.
int MonthNumber(std::string_view name);

// A date in the stored form YYYY-MM-DD (zero-padded), which orders by time when compared as bytes.
std::string FormatStoredDate(int year, int month, int day);

// The date two calendar months before `today`, day unchanged (2024-04-30 gives 2024-02-30, which
// still orders correctly against real dates). A result dated below it, byte-wise, is old.
std::string DiscardCutoff(const LocalDate& today);
std::string DiscardCutoff(Clock& clock);

} // namespace trawl
