#pragma once

#include "net/HttpGetter.h"
#include "sitesim/SampleWorld.h"

#include <string>
#include <string_view>
#include <vector>

namespace trawl::fuzz {

// Answers list-page requests from the sample world, except the one picked to get the fuzz page (and,
// when sticky, every later request for the same address). Can record the world's answers in order,
// which the seed writer uses to make one seed per request.
class WorldGetter final : public HttpGetter {
public:
    explicit WorldGetter(const sitesim::SampleWorld& world, std::vector<std::string>* record = nullptr)
        : m_world(world), m_record(record)
    {
    }
    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes) override;

    void ReplaceWith(int index, bool sticky, std::string_view page)
    {
        m_replace = true, m_replaceIndex = index, m_sticky = sticky, m_page = page;
    }

private:
    const sitesim::SampleWorld& m_world;
    std::vector<std::string>* m_record;
    bool m_replace = false;
    int m_replaceIndex = 0;
    bool m_sticky = false;
    std::string_view m_page;
    std::string m_replacedKey;
    int m_calls = 0;
};

} // namespace trawl::fuzz
