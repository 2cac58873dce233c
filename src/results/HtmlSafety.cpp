#include "results/HtmlSafety.h"

#include "app/TextUtil.h"

#include <algorithm>
#include <array>

namespace trawl {

namespace {

// Elements that run or load active content, and those whose content a browser reads as plain text up
// to their end tag (raw text: a tag "inside an attribute" there is a real tag after the end tag).
constexpr std::array<std::string_view, 24> kActiveElements = {
    "script",   "style",    "iframe", "frame", "frameset", "object",  "embed",    "applet",
    "meta",     "base",     "link",   "form",  "svg",      "math",    "xml",      "import",
    "template", "noscript", "xmp",    "title", "textarea", "noembed", "noframes", "plaintext",
};
constexpr std::array<std::string_view, 10> kRawTextElements = {
    "script", "style", "iframe", "noscript", "xmp", "title", "textarea", "noembed", "noframes", "plaintext",
};
constexpr std::array<std::string_view, 4> kActiveValues = {"javascript:", "vbscript:", "livescript:", "expression("};

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool IsLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

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
                // Leading zeros are as many as the writer likes ("&#0000000106;" is 'j').
                while (k < rest.size()) {
                    const char d = LowerAscii(rest[k]);
                    const int digit = (d >= '0' && d <= '9')          ? d - '0'
                                      : (hex && d >= 'a' && d <= 'f') ? d - 'a' + 10
                                                                      : -1;
                    if (digit < 0) {
                        break;
                    }
                    number = std::min(number * (hex ? 16 : 10) + digit, 0x110000L);
                    ++k;
                }
                if (k > digitsFrom) {
                    code = number;
                    used = k + (k < rest.size() && rest[k] == ';' ? 1 : 0);
                }
            } else {
                for (const auto& [name, decoded] : {std::pair<std::string_view, char>{"colon;", ':'},
                                                    {"tab;", '\t'},
                                                    {"newline;", '\n'},
                                                    {"lpar;", '('}}) {
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

// A tag or attribute name as the strictest reader takes it: ASCII lower case, control bytes left out
// (a browser turns a NUL into a replacement character, but some HTML parsers drop it).
std::string NameView(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (static_cast<unsigned char>(c) >= 32 && c != 127) {
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
    const std::string name = NameView(text.substr(nameFrom, i - nameFrom));
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
        const std::string attribute = NameView(text.substr(attributeFrom, i - attributeFrom));
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
        // A data: address carries a page or a picture of its own (srcset lists addresses after commas).
        active = active || scheme.starts_with("data:") || scheme.find(",data:") != std::string::npos;
    }
    active = true;
    return std::string_view::npos;
}

bool IsRawText(std::string_view name)
{
    return std::find(kRawTextElements.begin(), kRawTextElements.end(), name) != kRawTextElements.end();
}

// The lower-case name of the tag whose '<' (or "</") is at `start`.
std::string TagName(std::string_view text, std::size_t nameFrom)
{
    std::size_t i = nameFrom;
    while (i < text.size() && !IsSpace(text[i]) && text[i] != '/' && text[i] != '>') {
        ++i;
    }
    return ToLowerAscii(text.substr(nameFrom, i - nameFrom));
}

// Where the raw text after a start tag `name` ends: at its end tag ("</name" then space, '/' or
// '>', in any letter case), or at the end of the text (always for plaintext).
std::size_t RawTextEnd(std::string_view text, std::size_t from, std::string_view name)
{
    if (name == "plaintext") {
        return text.size();
    }
    for (std::size_t at = text.find("</", from); at != std::string_view::npos; at = text.find("</", at + 2)) {
        const std::size_t after = at + 2 + name.size();
        if (after <= text.size() && ToLowerAscii(text.substr(at + 2, name.size())) == name &&
            (after == text.size() || IsSpace(text[after]) || text[after] == '/' || text[after] == '>')) {
            return at;
        }
    }
    return text.size();
}

// The end (one past its last byte) of the comment or other markup declaration at `start` ("<!",
// "<?" or "</" without a letter), as a browser ends it; npos when it never ends.
std::size_t DeclarationEnd(std::string_view text, std::size_t start)
{
    if (text.substr(start, 4) == "<!--") {
        const std::size_t body = start + 4;
        if (text.substr(body, 1) == ">") {
            return body + 1;
        }
        if (text.substr(body, 2) == "->") {
            return body + 2;
        }
        const std::size_t plain = text.find("-->", body);
        const std::size_t bang = text.find("--!>", body);
        if (plain == std::string_view::npos && bang == std::string_view::npos) {
            return std::string_view::npos;
        }
        return plain <= bang ? plain + 3 : bang + 4;
    }
    if (text.substr(start, 3) == "</>") {
        return start + 3; // ignored by a browser
    }
    // "<!DOCTYPE", "<![CDATA[" outside SVG, "<?..." and "</" without a name run to the first '>'.
    const std::size_t close = text.find('>', start + 2);
    return close == std::string_view::npos ? close : close + 1;
}

// Walks `text` as a browser's tokenizer reads it from its data state. For every start or end tag it
// calls `stands(start, end, active)` (end is npos for a tag never closed, which is active); a tag
// that stands is markup, and a raw-text element's content after it is skipped to its end tag. A
// tag that does not stand has been shown as text by the caller, so the walk goes on inside it.
// Comments and declarations are skipped whole; one never closed is offered as an active tag.
template <typename Stands> void WalkMarkup(std::string_view text, Stands&& stands)
{
    std::size_t at = text.find('<');
    while (at != std::string_view::npos && at + 1 < text.size()) {
        const char next = text[at + 1];
        std::size_t end = std::string_view::npos;
        bool active = true;
        std::string rawText;
        if (IsLetter(next)) {
            end = ScanTag(text, at, active);
            if (end != std::string_view::npos && IsRawText(TagName(text, at + 1))) {
                rawText = TagName(text, at + 1);
            }
        } else if (next == '/' && at + 2 < text.size() && IsLetter(text[at + 2])) {
            // An end tag's attributes mean nothing, but their quotes hide what is in them.
            end = ScanTag(text, at + 1, active);
            active = end == std::string_view::npos;
        } else if (next == '!' || next == '?' || next == '/') {
            end = DeclarationEnd(text, at);
            if (end != std::string_view::npos) {
                at = text.find('<', end);
                continue;
            }
        } else {
            at = text.find('<', at + 1);
            continue;
        }
        if (!stands(at, end, active)) {
            at = text.find('<', at + 1);
        } else if (end == std::string_view::npos) {
            return; // it swallows the rest
        } else {
            at = text.find('<', rawText.empty() ? end : RawTextEnd(text, end, rawText));
        }
    }
}

} // namespace

std::vector<std::string> OwnScriptTags(std::string_view itemTemplate, int counter)
{
    return ScriptTags(ReplaceAll(itemTemplate, "**COUNTER**", std::to_string(counter)));
}

std::vector<std::string> ScriptTags(std::string_view text)
{
    std::vector<std::string> tags;
    WalkMarkup(text, [&](std::size_t start, std::size_t end, bool active) {
        if (active && end != std::string_view::npos) {
            tags.emplace_back(text.substr(start, end - start));
        }
        return true;
    });
    return tags;
}

void AppendDisarmed(std::string& out, std::string_view item, const std::vector<std::string>& ownTags)
{
    std::size_t copied = 0;
    WalkMarkup(item, [&](std::size_t start, std::size_t end, bool active) {
        const bool own = end != std::string_view::npos &&
                         std::find(ownTags.begin(), ownTags.end(), item.substr(start, end - start)) != ownTags.end();
        if (!active || own) {
            return true;
        }
        out.append(item.substr(copied, start - copied));
        out.append("&lt;");
        copied = start + 1;
        return false;
    });
    out.append(item.substr(copied));
}

} // namespace trawl
