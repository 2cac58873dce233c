#pragma once

// What every benchmark executable shares: the seed and size of the generated store, quiet seams,
// and a main that can also dump the generated text for grep.

#include "app/Clock.h"
#include "app/Prompts.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trawl {
class ResultStore;
}

namespace trawl::bench {

inline constexpr std::uint32_t kSeed = 20240315;
inline constexpr std::string_view kQuery = "bike vintage";

class SilentPrompts : public Prompts {
public:
    PromptAnswer Show(PromptKind, const std::string&, const std::string&) override { return PromptAnswer::Ok; }
};

class FixedClock : public Clock {
public:
    LocalDate Today() override { return {2024, 3, 15}; }
    TimeOfDay Now() override { return {12, 0, 0}; }
    bool WaitFor(int, const std::atomic<int>&) override { return false; }
    void Sleep(int) override {}
    int RandomUpTo(int) override { return 0; }
    std::int64_t MonotonicMs() override { return 0; }
};

// Records per benchmark: TRAWL_BENCH_RECORDS, else a million.
std::size_t RecordCount();
// A file of that name in TRAWL_BENCH_DIR, else in the temporary folder.
std::string BenchFile(const char* name);

// One store of RecordCount() generated records (kSeed) for the whole benchmark program, filled on
// first use (about 1.2 GB at a million records).
ResultStore& BigStore();

// Runs the registered benchmarks; `--dump-text=PATH` instead writes each generated record's Title and
// FullText as one line, the text grep is timed on.
int BenchmarkMain(int argc, char** argv);
// Runs the registered benchmarks with Google Benchmark's own options.
int RunBenchmarks(int argc, char** argv);

// The filter's plain rule, the baseline of the quick filter: every record's title and text lower-cased,
// then each term of `query` looked for; returns how many records have them all.
int CountByLowerCasing(ResultStore& store, std::string_view query);

} // namespace trawl::bench
