#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace trawl::ui {

// The core keeps text as bytes. The window shows them as UTF-8 when they are valid UTF-8 and as
// Latin-1 otherwise (older lists and feeds), and hands typed text back as UTF-8.
QString ToQString(std::string_view bytes);
std::string ToBytes(const QString& text);
// The same with CR LF line ends shown as plain line breaks (message boxes, editors).
QString ToQStringLines(std::string_view bytes);

} // namespace trawl::ui
