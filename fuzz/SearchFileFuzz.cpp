// The search-file loader on arbitrary file content, then a save and a second load: what was loaded
// survives the round trip (bar the records a save leaves out by design).
#include "FuzzSupport.h"

#include "app/AtomicFile.h"
#include "app/TextUtil.h"
#include "results/ResultStore.h"
#include "results/SearchFile.h"
#include "support/Doubles.h"

#include <string>

using namespace trawl;
using namespace trawl::test;
using trawl::fuzz::Check;

namespace {

constexpr int kCapacity = 64;

std::vector<ResultRecord> Records(ResultStore& store)
{
    std::vector<ResultRecord> records;
    store.ForEach([&](int, const RecordView& view) { records.push_back(view.Copy()); });
    return records;
}

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\r' || c == '\n') {
            c = ' ';
        }
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TempDir dir;
    const auto [selector, content] = fuzz::TakeSelector(fuzz::AsText(data, size));
    const bool discardOld = (selector & 1) != 0;
    const std::string path = dir.File("fuzz.trawl");
    Check(WriteFileAtomically(path, content).ok(), "could not write the input file");

    FakeClock clock;
    clock.SetToday({2024, 3, 15});
    RecordingPrompts prompts;
    RecordingStatusView view;
    ResultStore store(kCapacity, view, prompts);
    const LoadedSearch loaded = LoadSearch(path, true, discardOld, clock, store, prompts);
    Check(loaded.Found, "an existing file was not found");
    Check(store.Count() <= kCapacity, "more records than the store holds");
    const std::vector<ResultRecord> first = Records(store);
    for (const ResultRecord& record : first) {
        Check(!record.Title.empty() && !record.Date.empty() && record.NewMark.empty(), "a loaded record breaks the rules",
              content);
    }

    const std::string copy = dir.File("copy.trawl");
    Check(SaveSearch(copy, loaded.Definition, store).ok(), "saving the loaded search failed");
    ResultStore again(kCapacity, view, prompts);
    const LoadedSearch reloaded = LoadSearch(copy, true, discardOld, clock, again, prompts);

    std::vector<ResultRecord> expected; // what the save keeps
    for (const ResultRecord& record : first) {
        if (!TrimSpaces(record.Title).empty() && record.Date != kExpiredDate) {
            ResultRecord kept = record;
            for (std::string* field : {&kept.Date, &kept.Title, &kept.City, &kept.Section, &kept.URI, &kept.FullText}) {
                *field = fuzz::BreaksAsCrLf(*field);
            }
            expected.push_back(kept);
        }
    }
    std::vector<ResultRecord> second = Records(again);
    if (second != expected) {
        std::string shown = "expected:\n";
        for (const std::vector<ResultRecord>* list : {&expected, &second}) {
            for (const ResultRecord& r : *list) {
                shown += r.Date + "|" + r.Title + "|" + r.City + "|" + r.Section + "|" + r.URI + "|" + r.FullText + "\n";
            }
            shown += "after the round trip:\n";
        }
        fuzz::Fail("records changed on the way through a save", shown);
    }

    const SearchDefinition& before = loaded.Definition;
    if (before.CLCityKeys.empty() || before.CLCityKeys.front() != '"') {
        const SearchDefinition& after = reloaded.Definition;
        Check(after.Name == OneLine(before.Name) && after.CLCityKeys == OneLine(before.CLCityKeys) &&
                  after.CLSectionKeys == OneLine(before.CLSectionKeys) && after.Terms == OneLine(before.Terms) &&
                  after.KJCityKeys == OneLine(before.KJCityKeys) &&
                  after.KJSectionKeys == OneLine(before.KJSectionKeys),
              "the search's header changed on the way through a save", content);
    }
    return 0;
}
