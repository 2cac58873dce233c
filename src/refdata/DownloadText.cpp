#include "refdata/DownloadText.h"

#include "app/TextUtil.h"

#include <array>

namespace trawl {

std::string MixedCase(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    bool letterSeen = false; // in the current word
    for (char c : text) {
        if (c == ' ') {
            letterSeen = false;
            result += c;
            continue;
        }
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter) {
            result += c;
            continue;
        }
        result += letterSeen ? LowerAscii(c) : UpperAscii(c);
        letterSeen = true;
    }
    return result;
}

namespace {

struct Folding {
    unsigned char lead;
    unsigned char trail;
    std::string_view plain;
};

constexpr std::array<Folding, 30> kFoldings{{
    {0xC3, 0x80, "A"}, {0xC3, 0x82, "A"}, {0xC3, 0xA0, "a"},  {0xC3, 0xA2, "a"},  {0xC3, 0x87, "C"}, {0xC3, 0xA7, "c"},
    {0xC3, 0x88, "E"}, {0xC3, 0x89, "E"}, {0xC3, 0x8A, "E"},  {0xC3, 0x8B, "E"},  {0xC3, 0xA8, "e"}, {0xC3, 0xA9, "e"},
    {0xC3, 0xAA, "e"}, {0xC3, 0xAB, "e"}, {0xC3, 0x8E, "I"},  {0xC3, 0x8F, "I"},  {0xC3, 0xAE, "i"}, {0xC3, 0xAF, "i"},
    {0xC3, 0x94, "O"}, {0xC3, 0xB4, "o"}, {0xC5, 0x92, "OE"}, {0xC5, 0x93, "oe"}, {0xC3, 0x99, "U"}, {0xC3, 0x9B, "U"},
    {0xC3, 0x9C, "U"}, {0xC3, 0xB9, "u"}, {0xC3, 0xBB, "u"},  {0xC3, 0xBC, "u"},  {0xC5, 0xB8, "Y"}, {0xC3, 0xBF, "y"},
}};

} // namespace

std::string FoldAccents(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto lead = static_cast<unsigned char>(text[i]);
        bool folded = false;
        if ((lead == 0xC3 || lead == 0xC5) && i + 1 < text.size()) {
            const auto trail = static_cast<unsigned char>(text[i + 1]);
            for (const Folding& f : kFoldings) {
                if (f.lead == lead && f.trail == trail) {
                    result += f.plain;
                    ++i;
                    folded = true;
                    break;
                }
            }
        }
        if (!folded) {
            result += text[i];
        }
    }
    return result;
}

bool SplitKijijiCategoryLink(std::string_view link, std::string& sectionDir, std::string& sectionID)
{
    sectionDir.clear();
    sectionID.clear();
    constexpr std::string_view kCom = ".com/";
    constexpr std::string_view kCatId = "?catId=";
    const std::size_t com = link.find(kCom);
    if (com == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = link.substr(com + kCom.size());
    const std::size_t catId = rest.find(kCatId);
    if (catId == std::string_view::npos || catId + kCatId.size() == rest.size()) {
        return false;
    }
    const std::size_t slash = rest.find('/');
    sectionDir = std::string(rest.substr(0, slash < catId ? slash : catId));
    sectionID = std::string(rest.substr(catId + kCatId.size()));
    return true;
}

} // namespace trawl
