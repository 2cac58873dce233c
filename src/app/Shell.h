#pragma once

#include <string>

namespace trawl {

// Hands a link or a file to the desktop's default handler ("open").
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool Open(const std::string& target) = 0;
};

} // namespace trawl
