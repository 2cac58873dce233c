// The list download's page readers: a run against the sample world in which one request (picked by
// the first byte) is answered with the fuzz bytes, once or on every retry.
#include "FuzzSupport.h"
#include "WorldGetter.h"

#include "refdata/ListDownload.h"
#include "support/Doubles.h"

using namespace trawl;
using namespace trawl::test;


namespace {

class QuietObserver final : public DownloadObserver {
public:
    void AddLogText(const std::string&, bool) override {}
    void SetButton(const std::string&, bool) override {}
    void SetCancelEnabled(bool) override {}
    void SetAnimationSite(int) override {}
    void SetDownloadResult(int result) override { results.push_back(result); }
    std::vector<int> results;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const sitesim::SampleWorld world = sitesim::MakeSampleWorld();
    static TempDir dir;
    const auto [selector, page] = fuzz::TakeSelector(fuzz::AsText(data, size));

    fuzz::WorldGetter getter(world);
    getter.ReplaceWith(selector & 0x7f, (selector & 0x80) != 0, page);
    FakeClock clock;
    QuietObserver observer;
    const ListDownloadOutcome outcome = RunListDownload(getter, clock, dir.path(), observer);
    fuzz::Check(outcome.DownloadResult == kDownloadFinished || outcome.DownloadResult == kDownloadAborted,
                "the run ended without a result", page);
    fuzz::Check(observer.results.size() == 1 && observer.results[0] == outcome.DownloadResult,
                "the result was not shown exactly once", page);
    return 0;
}
