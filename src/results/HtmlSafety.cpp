#include "results/HtmlSafety.h"

#include "app/TextUtil.h"

#include <algorithm>
#include <array>

namespace trawl {

namespace {

constexpr std::array<std::string_view, 17> kActiveElements = {
    "script", "style", "iframe", "frame", "frameset", "object", "embed",  "applet", "meta",
    "base",   "link",  "form",   "svg",   "math",     "xml",    "import", "template",
};
constexpr std::array<std::string_view, 4> kActiveValues = {"javascript:", "vbscript:", "livescript:", "expression("};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// An attribute value as a browser reads it for its address scheme: character references decoded,
// white space and control bytes dropped, ASCII lower case.
std::string SchemeView(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        char c = value[i];
        if (c == '&') {
            const std::string_view rest = value.substr(i + 1);
            std::size_t used = 0;
            long code = -1;
            if (rest.size() > 1 && rest[0] == '#') {
                const bool hex = rest[1] == 'x' || rest[1] == 'X';
                std::size_t k = hex ? 2 : 1;
                long number = 0;
                const std::size_t digitsFrom = k;
                while (k < rest.size() && k < digitsFrom + 8) {
                    const char d = LowerAscii(rest[k]);
                    const int digit = (d >= '0' && d <= '9') ? d - '0' : (hex && d >= 'a' && d <= 'f') ? d - 'a' + 10 : -1;
                    if (digit < 0) {
                        break;
                    }
                    number = number * (hex ? 16 : 10) + digit;
                    ++k;
                }
                if (k > digitsFrom) {
                    code = number;
                    used = k + (k < rest.size() && rest[k] == ';' ? 1 : 0);
                }
            } else {
                for (const auto& [name, decoded] : {std::pair<std::string_view, char>{"colon;", ':'},
                                                    {"tab;", '\t'}, {"newline;", '\n'}, {"lpar;", '('}}) {
                    if (ToLowerAscii(rest.substr(0, name.size())) == name) {
                        code = decoded;
                        used = name.size();
                        break;
                    }
                }
            }
            if (code >= 0) {
                c = code < 256 ? static_cast<char>(code) : '?';
                i += used;
            }
        }
        if (static_cast<unsigned char>(c) > 32 && c != 127) {
            out.push_back(LowerAscii(c));
        }
    }
    return out;
}

// The end of the tag that starts at `start` (one past its '>'), or npos when it is never closed;
// `active` tells whether it could run script.
std::size_t ScanTag(std::string_view text, std::size_t start, bool& active)
{
    std::size_t i = start + 1;
    const std::size_t nameFrom = i;
    while (i < text.size() && !IsSpace(text[i]) && text[i] != '/' && text[i] != '>') {
        ++i;
    }
    const std::string name = ToLowerAscii(text.substr(nameFrom, i - nameFrom));
    active = std::find(kActiveElements.begin(), kActiveElements.end(), name) != kActiveElements.end();
    while (i < text.size()) {
        while (i < text.size() && (IsSpace(text[i]) || text[i] == '/')) {
            ++i;
        }
        if (i >= text.size()) {
            break;
        }
        if (text[i] == '>') {
            return i + 1;
        }
        const std::size_t attributeFrom = i;
        ++i; // a first '=' belongs to the name
        while (i < text.size() && !IsSpace(text[i]) && text[i] != '/' && text[i] != '>' && text[i] != '=') {
            ++i;
        }
        const std::string attribute = ToLowerAscii(text.substr(attributeFrom, i - attributeFrom));
        active = active || attribute.starts_with("on");
        std::size_t j = i;
        while (j < text.size() && IsSpace(text[j])) {
            ++j;
        }
        if (j >= text.size() || text[j] != '=') {
            continue;
        }
        ++j;
        while (j < text.size() && IsSpace(text[j])) {
            ++j;
        }
        std::size_t valueFrom = j;
        std::size_t valueEnd = j;
        if (j < text.size() && (text[j] == '"' || text[j] == '\'')) {
            valueFrom = j + 1;
            valueEnd = text.find(text[j], valueFrom);
            if (valueEnd == std::string_view::npos) {
                active = true;
                return std::string_view::npos;
            }
            i = valueEnd + 1;
        } else {
            while (valueEnd < text.size() && !IsSpace(text[valueEnd]) && text[valueEnd] != '>') {
                ++valueEnd;
            }
            i = valueEnd;
        }
        const std::string scheme = SchemeView(text.substr(valueFrom, valueEnd - valueFrom));
        for (std::string_view marker : kActiveValues) {
            active = active || scheme.find(marker) != std::string::npos;
        }
    }
    active = true;
    return std::string_view::npos;
}

// Calls `onTag(start, end, active)` for every tag of `text` ('<' and a letter); end is npos for a tag
// never closed, which ends the scan.
template <typename OnTag> void ForEachTag(std::string_view text, OnTag&& onTag)
{
    std::size_t at = text.find('<');
    while (at != std::string_view::npos) {
        if (at + 1 < text.size() && IsLetter(text[at + 1])) {
            bool active = false;
            const std::size_t end = ScanTag(text, at, active);
            onTag(at, end, active);
            if (end == std::string_view::npos) {
                return;
            }
            at = text.find('<', end);
        } else {
            at = text.find('<', at + 1);
        }
    }
}

} // namespace

std::vector<std::string> OwnScriptTags(std::string_view itemTemplate, int counter)
{
    const std::string expanded = ReplaceAll(itemTemplate, "**COUNTER**", std::to_string(counter));
    std::vector<std::string> tags;
    ForEachTag(expanded, [&](std::size_t start, std::size_t end, bool active) {
        if (active && end != std::string_view::npos) {
            tags.emplace_back(std::string_view(expanded).substr(start, end - start));
        }
    });
    return tags;
}

void AppendDisarmed(std::string& out, std::string_view item, const std::vector<std::string>& ownTags)
{
    std::size_t copied = 0;
    std::size_t at = item.find('<');
    while (at != std::string_view::npos) {
        if (at + 1 >= item.size() || !IsLetter(item[at + 1])) {
            at = item.find('<', at + 1);
            continue;
        }
        bool active = false;
        const std::size_t end = ScanTag(item, at, active);
        const bool own = end != std::string_view::npos &&
                         std::find(ownTags.begin(), ownTags.end(), item.substr(at, end - at)) != ownTags.end();
        if (!active || own) {
            at = end == std::string_view::npos ? end : item.find('<', end);
            continue;
        }
        out.append(item.substr(copied, at - copied));
        out.append("&lt;");
        copied = at + 1;
        // What stood inside the disarmed tag is text now, and a tag in it would be a tag: look again.
        at = item.find('<', at + 1);
    }
    out.append(item.substr(copied));
}

} // namespace trawl
