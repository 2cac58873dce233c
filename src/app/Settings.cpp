#include "app/Settings.h"

#include "app/AtomicFile.h"
#include "app/DefaultTemplates.h"
#include "app/TextUtil.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string_view>

namespace trawl {

namespace {

enum class Kind { Text, Number, Template };

struct Field {
    const char* key; // as written to the file
    Kind kind;
    std::string Settings::*text = nullptr;
    int Settings::*number = nullptr;
    bool onlyWhenSet = false; // beyond the 24: written only when not 0
};

// The file order. Every line of the file is one of these, and the file holds all of them (those written
// only when set, only then).
const Field kFields[] = {
    {"CurrentSearchName", Kind::Text, &Settings::CurrentSearchName},
    {"SearchCraigslist", Kind::Number, nullptr, &Settings::SearchCraigslist},
    {"SearchKijiji", Kind::Number, nullptr, &Settings::SearchKijiji},
    {"AutoDeepScan", Kind::Number, nullptr, &Settings::AutoDeepScan},
    {"RSSdescription", Kind::Number, nullptr, &Settings::RSSdescription},
    {"OverrideRSS", Kind::Number, nullptr, &Settings::OverrideRSS},
    {"IncludeSiteInCSV", Kind::Number, nullptr, &Settings::IncludeSiteInCSV},
    {"IncludeStateInCSV", Kind::Number, nullptr, &Settings::IncludeStateInCSV},
    {"AllowMultipleInstances", Kind::Number, nullptr, &Settings::AllowMultipleInstances},
    {"ConfirmSpawn", Kind::Number, nullptr, &Settings::ConfirmSpawn},
    {"CheckForUpdates", Kind::Number, nullptr, &Settings::CheckForUpdates},
    {"DiscardSearches", Kind::Number, nullptr, &Settings::DiscardSearches},
    {"MaxResults", Kind::Number, nullptr, &Settings::MaxResults},
    {"MaxThreads", Kind::Number, nullptr, &Settings::MaxThreads},
    {"MaxThreads2", Kind::Number, nullptr, &Settings::MaxThreads2},
    {"Width", Kind::Number, nullptr, &Settings::Width},
    {"Height", Kind::Number, nullptr, &Settings::Height},
    {"UserAgent", Kind::Text, &Settings::UserAgent},
    {"StartMenu", Kind::Text, &Settings::StartMenu},
    {"SearchTitles", Kind::Number, nullptr, &Settings::SearchTitles},
    {"HasPictures", Kind::Number, nullptr, &Settings::HasPictures},
    {"AutoSync", Kind::Number, nullptr, &Settings::AutoSync},
    {"HTMLheader", Kind::Template, &Settings::HTMLheader},
    {"HTMLitem", Kind::Template, &Settings::HTMLitem},
    {"HostPauseMs", Kind::Number, nullptr, &Settings::HostPauseMs, true},
    {"WatchMinutes", Kind::Number, nullptr, &Settings::WatchMinutes, true},
};

int Clamp(int value, int low, int high)
{
    return value < low ? low : (value > high ? high : value);
}

void Apply(Settings& settings, const Field& field, std::string_view value)
{
    switch (field.kind) {
    case Kind::Number: {
        int number = LeadingInteger(value);
        if (field.number == &Settings::MaxResults) {
            number = Clamp(number, kMinMaxResults, kMaxMaxResults);
        } else if (field.number == &Settings::MaxThreads || field.number == &Settings::MaxThreads2) {
            number = Clamp(number, 1, kMaxWorkerThreads);
        } else if (field.number == &Settings::HostPauseMs) {
            number = Clamp(number, 0, kMaxHostPauseMs);
        } else if (field.number == &Settings::WatchMinutes) {
            number = BoundedWatchMinutes(number);
        }
        settings.*field.number = number;
        break;
    }
    case Kind::Text:
        settings.*field.text = field.text == &Settings::StartMenu ? ToLowerAscii(value) : std::string(value);
        break;
    case Kind::Template:
        settings.*field.text = ReplaceAll(value, "\\n", "\r\n");
        break;
    }
}

// One line of the file (without its line end).
void ReadLine(Settings& settings, std::string_view line)
{
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) {
        return; // not a setting: without a colon a line would give its own text as the value
    }
    const std::string key = ToLowerAscii(TrimSpaces(line.substr(0, colon)));
    const std::string_view value = TrimSpaces(line.substr(colon + 1));
    if (value.empty()) {
        return;
    }
    for (const Field& field : kFields) {
        if (key == ToLowerAscii(field.key)) {
            Apply(settings, field, value);
            return;
        }
    }
}

// A single-line text may not carry a line break into the file, where it would end the line early and
// start a line of its own; each CR or LF is written as a space.
std::string SingleLine(const std::string& text)
{
    std::string out = text;
    for (char& c : out) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return out;
}

// CR LF pairs become backslash-n so the template fits on one line. A bare LF would break the line just
// the same, so it is encoded too (it reads back as CR LF); a bare CR does not end a line and stays.
std::string EncodeTemplate(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            out.append("\\n");
            ++i;
        } else if (text[i] == '\n') {
            out.append("\\n");
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

} // namespace

int BoundedWatchMinutes(int minutes)
{
    return minutes <= 0 ? 0 : Clamp(minutes, kMinWatchMinutes, kMaxWatchMinutes);
}

Settings Settings::Defaults()
{
    Settings settings;
    settings.HTMLheader = DefaultTemplate(1);
    settings.HTMLitem = DefaultTemplate(2);
    return settings;
}

Settings ParseSettingsText(std::string_view text)
{
    Settings settings = Settings::Defaults();
    // A line ends at LF; a CR right before it belongs to the line end. Anything else, NUL bytes and
    // other binary junk included, is plain text of the line, so a damaged file loads what it can.
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        ReadLine(settings, line);
    }
    // At least one site is always searched.
    if (settings.SearchCraigslist == 0 && settings.SearchKijiji == 0) {
        settings.SearchCraigslist = 1;
    }
    return settings;
}

Settings LoadSettings(const std::string& path)
{
    // A fresh installation has no settings file yet. Only a regular file is read: a pipe or a device
    // in its place could hold start-up forever.
    if (!FileExists(path)) {
        return Settings::Defaults();
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return Settings::Defaults();
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return ParseSettingsText(text);
}

std::string SettingsFileText(const Settings& settings)
{
    std::string out;
    for (const Field& field : kFields) {
        if (field.onlyWhenSet && settings.*field.number == 0) {
            continue;
        }
        out.append(field.key);
        out.append(": ");
        switch (field.kind) {
        case Kind::Number: {
            std::int64_t number = settings.*field.number;
            if (field.number == &Settings::Height) {
                number += 4; // the file holds the height 4 above the stored one (64-bit: no overflow)
            }
            out.append(std::to_string(number));
            break;
        }
        case Kind::Text:
            out.append(SingleLine(settings.*field.text));
            break;
        case Kind::Template:
            out.append(EncodeTemplate(settings.*field.text));
            break;
        }
        out.append("\r\n");
    }
    return out;
}

Status SaveSettings(const std::string& path, const Settings& settings)
{
    return WriteFileAtomically(path, SettingsFileText(settings));
}

std::string SettingsSaveFailureText(const Status& status)
{
    return "Your settings could not be saved, so changes made since the last save will be lost when the program "
           "ends.\r\n\r\n" +
           status.message();
}

Status SaveSettingsReporting(const std::string& path, const Settings& settings, Prompts& prompts)
{
    Status status = SaveSettings(path, settings);
    if (!status.ok()) {
        prompts.Show(PromptKind::Error, kSettingsSaveFailureCaption, SettingsSaveFailureText(status));
    }
    return status;
}

} // namespace trawl
