#include "batch/BatchProgram.h"

#include "batch/BatchDownload.h"
#include "batch/Console.h"
#include "net/Connector.h"
#include "refdata/ListFiles.h"
#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace trawl {
namespace {

using ::testing::HasSubstr;

// No site can be reached.
class RefusingConnector final : public Connector {
public:
    int Connect(const std::string&, int, int, const std::atomic<int>*) override
    {
        ++attempts;
        return -1;
    }
    std::atomic<int> attempts{0};
};

struct BatchProgramFixture : ::testing::Test {
    test::TempDir home;
    test::FakeClock clock;
    RefusingConnector connector;
    std::ostringstream out, err;
    Console console{out, err, false};
    std::atomic<int> interrupted{0};

    int Run(BatchOptions options, std::function<void(const ReferenceTables&, BatchOptions&)> before = {})
    {
        BatchProgram program{std::move(options), home.path(),      connector, console, clock,
                             interrupted,        std::move(before)};
        return RunBatchProgram(program);
    }

    void WriteCompleteLists()
    {
        for (ListFile list : kAllListFiles) {
            test::WriteFile(home.File(std::string(ListFileName(list))),
                            std::string(ListFileHeader(list)) + "\r\n\"a\",\"b\",\"c\",\"d\",\"e\",\"f\"\r\n");
        }
    }
};

TEST_F(BatchProgramFixture, lists_that_cannot_be_downloaded_end_the_run_with_status_three)
{
    BatchOptions options;
    options.csv = true;
    options.searches = {"x.trawl"};
    bool searchesReached = false;
    EXPECT_EQ(Run(options, [&](const ReferenceTables&, BatchOptions&) { searchesReached = true; }), kExitListsMissing);
    EXPECT_FALSE(searchesReached);
    EXPECT_GT(connector.attempts.load(), 0);
    // The download's own log reaches standard output; the reason for the status, standard error.
    EXPECT_THAT(out.str(), HasSubstr("Fatal Error: Internet connection problems -- aborting."));
    EXPECT_THAT(err.str(), HasSubstr("are missing or empty and could not be downloaded."));
    // Its retries waited on the clock, not on the wall.
    EXPECT_GT(clock.ElapsedMs(), 4000);
}

TEST_F(BatchProgramFixture, an_interrupt_during_the_download_stops_it_without_another_request)
{
    interrupted.store(1);
    BatchOptions options;
    options.deep = true;
    EXPECT_EQ(Run(options), kExitListsMissing);
    EXPECT_EQ(connector.attempts.load(), 0);
}

TEST_F(BatchProgramFixture, complete_lists_skip_the_download_and_the_settings_file_is_never_written)
{
    WriteCompleteLists();
    test::WriteFile(home.File("trawlkit.ini"), "MaxThreads: 3\r\n");
    BatchOptions options;
    options.csv = true;
    std::size_t cityRows = 0;
    EXPECT_EQ(Run(options, [&](const ReferenceTables& tables, BatchOptions&) { cityRows = tables.CLCityTable.size(); }),
              kExitOk);
    EXPECT_EQ(cityRows, 1u);
    EXPECT_EQ(connector.attempts.load(), 0);
    EXPECT_EQ(test::ReadFile(home.File("trawlkit.ini")), "MaxThreads: 3\r\n");
}

TEST_F(BatchProgramFixture, searches_added_before_the_run_are_run)
{
    WriteCompleteLists();
    BatchOptions options;
    options.csv = true;
    EXPECT_EQ(Run(options, [](const ReferenceTables&, BatchOptions& run) { run.searches.push_back("none.trawl"); }),
              kExitFailed);
    EXPECT_THAT(err.str(), HasSubstr("Error: Error: I could not load the search titled 'none.trawl'"));
}

TEST(ConsoleDownloadLog, whole_lines_go_out_as_they_complete_and_a_last_piece_on_flush)
{
    std::ostringstream out, err;
    Console console(out, err, false);
    ConsoleDownloadLog log(console);
    log.AddLogText("Scanning ", false);
    log.AddLogText("1/9\r\n  Bikes\r\n", true);
    EXPECT_EQ(out.str(), "Scanning 1/9\n  Bikes\n");
    log.AddLogText("\r\nDone", true);
    log.Flush();
    log.Flush();
    EXPECT_EQ(out.str(), "Scanning 1/9\n  Bikes\n\nDone\n");
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace trawl
