#pragma once

#include "results/ResultStore.h"
#include "support/Doubles.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace trawl::test {

// A store with its seams and a scratch folder, for the writers and the scope choice.
struct OutputFixture : ::testing::Test {
    RecordingStatusView view;
    RecordingPrompts prompts;
    TempDir dir;
    ResultStore store{5000, view, prompts};

    // isNew: the record was added by a search during this run.
    void Add(std::string date, std::string title, std::string city, std::string section, std::string uri,
             std::string fullText, bool isNew = false)
    {
        store.Lock().AppendLoaded(ResultRecord{std::move(date), std::move(title), std::move(city), std::move(section),
                                               std::move(uri), std::move(fullText), isNew ? "Yes" : ""});
    }
    // `count` plain records, every `newEvery`-th one new (0: none).
    void AddMany(int count, int newEvery = 0)
    {
        for (int n = 1; n <= count; ++n) {
            Add("2024-01-01", "t" + std::to_string(n), "C", "S", "http://x.craigslist.org/" + std::to_string(n), "",
                newEvery > 0 && n % newEvery == 0);
        }
    }
    void Select(const std::vector<int>& records)
    {
        auto& flags = store.Selection();
        std::fill(flags.begin(), flags.end(), 0);
        for (int n : records) {
            flags[static_cast<std::size_t>(n - 1)] = 1;
        }
    }
};

} // namespace trawl::test
