#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

namespace trawl::fuzz {

Selected TakeSelector(std::string_view input)
{
    if (input.empty()) {
        return {};
    }
    return {static_cast<unsigned char>(input[0]), input.substr(1)};
}

std::vector<std::string_view> SplitParts(std::string_view input, char separator, std::size_t maxParts)
{
    std::vector<std::string_view> parts;
    while (parts.size() + 1 < maxParts) {
        const auto at = input.find(separator);
        if (at == std::string_view::npos) {
            break;
        }
        parts.push_back(input.substr(0, at));
        input.remove_prefix(at + 1);
    }
    parts.push_back(input);
    return parts;
}

void Fail(const char* what, std::string_view detail)
{
    std::fprintf(stderr, "fuzz property failed: %s\n", what);
    if (!detail.empty()) {
        std::fprintf(stderr, "  detail (%zu bytes): ", detail.size());
        for (std::size_t i = 0; i < detail.size() && i < 400; ++i) {
            const auto byte = static_cast<unsigned char>(detail[i]);
            if (byte >= 32 && byte < 127 && byte != '\\') {
                std::fputc(byte, stderr);
            } else {
                std::fprintf(stderr, "\\x%02x", byte);
            }
        }
        std::fputc('\n', stderr);
    }
    std::abort();
}

std::string PlainLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

std::string BreaksAsCrLf(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n' || c == '\f') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            out.append("\r\n");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

} // namespace trawl::fuzz
