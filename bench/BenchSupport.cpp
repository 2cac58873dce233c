#include "BenchSupport.h"

#include "RecordGenerator.h"
#include "app/StatusView.h"
#include "app/TextUtil.h"
#include "results/QuickFilter.h"
#include "results/ResultStore.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace trawl::bench {

std::size_t RecordCount()
{
    const char* text = std::getenv("TRAWL_BENCH_RECORDS");
    return text != nullptr && std::atoi(text) > 0 ? static_cast<std::size_t>(std::atoi(text)) : 1000000;
}

std::string BenchFile(const char* name)
{
    const char* dir = std::getenv("TRAWL_BENCH_DIR");
    const std::filesystem::path base =
        dir != nullptr ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
    return (base / name).string();
}

namespace {

int DumpText(const std::string& path)
{
    const RecordGenerator generator(kSeed);
    std::ofstream out(path, std::ios::binary);
    ResultRecord record;
    const std::size_t n = RecordCount();
    for (std::size_t i = 0; i < n; ++i) {
        generator.Record(i, record);
        out << record.Title << record.FullText << '\n';
    }
    out.close();
    if (!out) {
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

} // namespace

int BenchmarkMain(int argc, char** argv)
{
    constexpr std::string_view kDump = "--dump-text=";
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg.starts_with(kDump)) {
            return DumpText(std::string(arg.substr(kDump.size())));
        }
    }
    return RunBenchmarks(argc, argv);
}

int RunBenchmarks(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

ResultStore& BigStore()
{
    static NullStatusView view;
    static SilentPrompts prompts;
    static std::unique_ptr<ResultStore> store = [] {
        const std::size_t n = RecordCount();
        auto made = std::make_unique<ResultStore>(static_cast<int>(n), view, prompts);
        FillStore(*made, n, kSeed);
        return made;
    }();
    return *store;
}

int CountByLowerCasing(ResultStore& store, std::string_view query)
{
    const std::vector<std::string> terms = SplitPlain(ToLowerAscii(NormaliseFilter(query)));
    int matches = 0;
    store.ForEach([&](int, const RecordView& view) {
        const std::string text = ToLowerAscii(std::string(view.Title) + std::string(view.FullText));
        bool all = true;
        for (const std::string& term : terms) {
            all = all && text.find(term) != std::string::npos;
        }
        matches += all ? 1 : 0;
    });
    return matches;
}

} // namespace trawl::bench
