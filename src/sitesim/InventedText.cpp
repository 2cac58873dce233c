#include "sitesim/InventedText.h"

namespace trawl::sitesim {

namespace {

constexpr const char* kThings[] = {"bicycle", "sofa",     "guitar", "lamp",      "desk",  "kayak",    "tent",
                                   "toaster", "bookcase", "drill",  "snowboard", "piano", "stroller", "rug"};
constexpr const char* kTraits[] = {"blue",  "vintage", "folding",  "solid oak", "lightweight", "barely used",
                                   "large", "compact", "restored", "electric",  "antique",     "sturdy"};
constexpr const char* kWords[] = {"works",   "great", "pickup",   "only", "cash", "offer", "clean", "smoke",
                                  "free",    "home",  "moving",   "sale", "must", "go",    "good",  "condition",
                                  "weekend", "call",  "evenings", "near", "park", "with",  "extra", "parts"};

template <typename T, std::size_t N> constexpr std::size_t Size(const T (&)[N])
{
    return N;
}

} // namespace

std::uint32_t InventedText::Next()
{
    m_state = m_state * 1664525u + 1013904223u;
    return m_state >> 8;
}

std::string InventedText::Title()
{
    std::string title = kTraits[Next() % Size(kTraits)];
    title += " ";
    title += kThings[Next() % Size(kThings)];
    return title;
}

std::string InventedText::Sentence(int words)
{
    std::string text;
    for (int i = 0; i < words; ++i) {
        if (i > 0) {
            text += ' ';
        }
        text += kWords[Next() % Size(kWords)];
    }
    return text;
}

std::string InventedText::Paragraph(int minimumLength)
{
    std::string text;
    while (static_cast<int>(text.size()) < minimumLength) {
        text += Sentence(6 + static_cast<int>(Next() % 6));
        text += ". ";
    }
    return text;
}

} // namespace trawl::sitesim
