#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace trawl {

// Spaces only (byte 32), as the program trims everywhere.
std::string_view TrimSpaces(std::string_view text);
std::string TrimmedCopy(std::string_view text);
// Spaces, tabs, CR and LF: what a feed wraps its links and titles in.
std::string_view TrimWhitespace(std::string_view text);

// ASCII-only case mapping: bytes of 128 and above stay as they are, so UTF-8 is never corrupted.
inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
inline char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);

// A count with thousands separators, the "0," mask: 1234567 -> "1,234,567", -1234 -> "-1,234".
std::string GroupDigits(std::int64_t value);

// The longest leading decimal number of `text` (an optional sign, digits, an optional fraction),
// after leading spaces; 0 when the text does not start with a number.
double LeadingNumber(std::string_view text);
// LeadingNumber taken to the nearest integer (halves away from zero), clamped to the int range.
int LeadingInteger(std::string_view text);

// Every occurrence of `from` (non-empty) replaced by `to`, scanning left to right without overlap.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to);

// Cut at every comma (no quote handling).
std::vector<std::string> SplitPlain(std::string_view text, char separator = ',');

// Counts the parts of a comma list where commas inside double quotes do not separate.
int CountQuoteAware(std::string_view text);

} // namespace trawl
