#include "app/TextUtil.h"

#include <climits>
#include <cmath>
#include <cstdlib>

namespace trawl {

std::string_view TrimSpaces(std::string_view text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

std::string TrimmedCopy(std::string_view text) { return std::string(TrimSpaces(text)); }

std::string_view TrimWhitespace(std::string_view text)
{
    constexpr std::string_view kWhitespace = " \t\r\n";
    const auto first = text.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(kWhitespace);
    return text.substr(first, last - first + 1);
}

std::string ToLowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = LowerAscii(c);
    }
    return out;
}

std::string ToUpperAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = UpperAscii(c);
    }
    return out;
}

std::string GroupDigits(std::int64_t value)
{
    const bool negative = value < 0;
    // Work on the unsigned magnitude so INT64_MIN does not overflow.
    std::uint64_t magnitude = negative ? (~static_cast<std::uint64_t>(value) + 1) : static_cast<std::uint64_t>(value);
    std::string digits = std::to_string(magnitude);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3 + 1);
    if (negative) {
        out.push_back('-');
    }
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out.push_back(',');
        }
        out.push_back(digits[i]);
    }
    return out;
}

double LeadingNumber(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    const std::size_t digitsStart = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
        ++i;
    }
    bool anyDigit = i > digitsStart;
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        while (j < text.size() && text[j] >= '0' && text[j] <= '9') {
            ++j;
        }
        if (j > i + 1) {
            anyDigit = true;
            i = j;
        } else if (anyDigit) {
            i = j; // "5." reads as 5
        }
    }
    if (!anyDigit) {
        return 0.0;
    }
    const std::string number(text.substr(start, i - start));
    return std::strtod(number.c_str(), nullptr);
}

int LeadingInteger(std::string_view text)
{
    const double rounded = std::round(LeadingNumber(text));
    if (rounded >= static_cast<double>(INT_MAX)) {
        return INT_MAX;
    }
    if (rounded <= static_cast<double>(INT_MIN)) {
        return INT_MIN;
    }
    return static_cast<int>(rounded);
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty()) {
        return std::string(text);
    }
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (true) {
        const auto hit = text.find(from, pos);
        if (hit == std::string_view::npos) {
            out.append(text.substr(pos));
            return out;
        }
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
}

std::vector<std::string> SplitPlain(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        const auto hit = text.find(separator, start);
        if (hit == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, hit - start));
        start = hit + 1;
    }
}

int CountQuoteAware(std::string_view text)
{
    int count = 1;
    bool inQuotes = false;
    for (char c : text) {
        if (c == '"') {
            inQuotes = !inQuotes;
        } else if (c == ',' && !inQuotes) {
            ++count;
        }
    }
    return count;
}

} // namespace trawl
