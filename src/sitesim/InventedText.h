#pragma once

#include <cstdint>
#include <string>

namespace trawl::sitesim {

// Made-up ad wording from a small word stock, driven by its own generator so the same seed gives
// the same text on every platform.
class InventedText {
public:
    explicit InventedText(std::uint32_t seed) : m_state(seed * 2654435761u + 12345u) {}
    std::string Title();
    std::string Sentence(int words);
    std::string Paragraph(int minimumLength);
    std::uint32_t Next();

private:
    std::uint32_t m_state;
};

} // namespace trawl::sitesim
