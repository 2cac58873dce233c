#include "WorldGetter.h"

#include "sitesim/ListPages.h"

namespace trawl::fuzz {

std::string WorldGetter::HttpGet(const std::string& host, const std::string& path, int, int)
{
    const int index = m_calls++;
    if (m_replace && (index == m_replaceIndex || (m_sticky && host + path == m_replacedKey))) {
        m_replacedKey = host + path;
        return std::string(m_page);
    }
    std::string answer;
    if (const auto response = sitesim::ListPageResponse(m_world, host, path)) {
        answer = response->Bytes();
    }
    if (m_record != nullptr) {
        m_record->push_back(answer);
    }
    return answer;
}

} // namespace trawl::fuzz
