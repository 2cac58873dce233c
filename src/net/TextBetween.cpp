#include "net/TextBetween.h"

namespace trawl {

std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker)
{
    const auto start = text.find(startMarker);
    if (start == std::string_view::npos) {
        return {};
    }
    const auto from = start + startMarker.size();
    const auto end = text.find(endMarker, from);
    return std::string(end == std::string_view::npos ? text.substr(from) : text.substr(from, end - from));
}

} // namespace trawl
