#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Helpers the fuzz targets share: reading the input as text, cutting it into parts, and failing loudly
// when a property does not hold (libFuzzer keeps the input that aborted).
namespace trawl::fuzz {

inline std::string_view AsText(const std::uint8_t* data, std::size_t size)
{
    return {reinterpret_cast<const char*>(data), size};
}

// The first byte (0 when there is none) and the text after it.
struct Selected {
    unsigned char selector = 0;
    std::string_view rest;
};
Selected TakeSelector(std::string_view input);

// At most `maxParts` parts cut at each `separator`; the last part takes the rest.
std::vector<std::string_view> SplitParts(std::string_view input, char separator, std::size_t maxParts);

// Prints what failed and the bytes involved, then aborts.
[[noreturn]] void Fail(const char* what, std::string_view detail = {});
inline void Check(bool condition, const char* what, std::string_view detail = {})
{
    if (!condition) {
        Fail(what, detail);
    }
}

// ASCII lower case of the whole text (a plain loop, as a reference for the library's own).
std::string PlainLower(std::string_view text);

// What a text reads back as after EscapeField and a read: every line break (CR LF, CR, LF, form feed)
// as CR LF.
std::string BreaksAsCrLf(std::string_view text);

} // namespace trawl::fuzz
