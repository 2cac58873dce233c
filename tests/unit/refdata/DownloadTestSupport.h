#pragma once

#include "net/HttpGetter.h"
#include "refdata/ListDownload.h"
#include "sitesim/SampleWorld.h"

#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace trawl::downloadtest {

// Records everything a run shows.
class RecordingObserver : public DownloadObserver {
public:
    struct LogCall {
        std::string text;
        bool refreshNow;
    };
    void AddLogText(const std::string& text, bool refreshNow) override;
    void SetButton(const std::string& text, bool enabled) override;
    void SetCancelEnabled(bool enabled) override;
    void SetAnimationSite(int site) override;
    void SetDownloadResult(int result) override;

    std::string Log() const;
    std::vector<LogCall> logCalls;
    std::vector<std::pair<std::string, bool>> buttons;
    std::vector<bool> cancelStates;
    std::vector<int> animationSites;
    std::vector<int> results;
};

struct GetCall {
    std::string host;
    std::string path;
    int followRedirect;
    int countBytes;
};

// Answers from the sample world's list pages; scripted answers for a host and path are used first,
// one per call, and `fixed` answers replace the world's page for good.
class WorldGetter : public HttpGetter {
public:
    explicit WorldGetter(sitesim::SampleWorld world = sitesim::MakeSampleWorld()) : m_world(std::move(world)) {}
    std::string HttpGet(const std::string& host, const std::string& path, int followRedirect, int countBytes) override;

    void Script(const std::string& host, const std::string& path, std::vector<std::string> answers);
    void Fix(const std::string& host, const std::string& path, std::string answer);
    std::vector<GetCall> calls;
    int CallsTo(const std::string& host, const std::string& path) const;

private:
    sitesim::SampleWorld m_world;
    std::map<std::string, std::deque<std::string>> m_scripted;
    std::map<std::string, std::string> m_fixed;
};

// A response of exactly `size` bytes that holds `marker`.
std::string PaddedResponse(const std::string& marker, std::size_t size);

// The expected files and log of a download from the sample world.
extern const char* const kExpectedCLSections;
extern const char* const kExpectedCLStates;
extern const char* const kExpectedCLCities;
extern const char* const kExpectedKJSections;
extern const char* const kExpectedKJCities;
std::string ExpectedSampleLog();

} // namespace trawl::downloadtest
