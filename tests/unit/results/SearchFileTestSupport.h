#pragma once

#include "results/ResultStore.h"
#include "results/SearchFile.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

namespace trawl::test {

inline ResultRecord Record(std::string date, std::string title, std::string uri = "http://x/1.html",
                           std::string fullText = "", std::string newMark = "")
{
    return ResultRecord{std::move(date), std::move(title),    "Vancouver",       "bicycles",
                        std::move(uri),  std::move(fullText), std::move(newMark)};
}

inline SearchDefinition Definition()
{
    return SearchDefinition{"my search",           "vancouver,seattle",      "bik,sss",
                            "red bike, blue bike", "b-vancouver/k0l1700287", "644\\b-bikes"};
}

inline void Fill(ResultStore& store, const std::vector<ResultRecord>& records)
{
    auto locked = store.Lock();
    for (const auto& record : records) {
        ASSERT_TRUE(locked.AppendLoaded(record));
    }
}

inline std::vector<ResultRecord> Records(ResultStore& store)
{
    std::vector<ResultRecord> out;
    store.ForEach([&](int, const RecordView& view) { out.push_back(view.Copy()); });
    return out;
}

struct SearchFileFixture : ::testing::Test {
    RecordingStatusView view;
    RecordingPrompts prompts;
    FakeClock clock;
    TempDir dir;

    LoadedSearch Load(ResultStore& store, const std::string& path, bool discard = false, bool quiet = false)
    {
        return LoadSearch(path, quiet, discard, clock, store, prompts);
    }
};

} // namespace trawl::test
