#pragma once

#include <string>
#include <string_view>

namespace trawl {

// The text after the first `startMarker` up to the first `endMarker` after it (the rest of the text
// when there is none); empty when `startMarker` does not occur. Literal, case-sensitive.
std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker);

} // namespace trawl
