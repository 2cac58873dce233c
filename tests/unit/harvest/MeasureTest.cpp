// Throughput of the search run against the loopback sample sites, on the real clock. Not part of the
// suite (a disabled test); run it with --gtest_also_run_disabled_tests --gtest_filter='Measure*'.

#include "app/Clock.h"
#include "app/RunFlags.h"
#include "app/Settings.h"
#include "app/StatusView.h"
#include "harvest/DeepScan.h"
#include "harvest/SearchScheduler.h"
#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"
#include "refdata/ReferenceTables.h"
#include "results/ResultStore.h"
#include "sitesim/SampleSites.h"
#include "support/Doubles.h"

#include <chrono>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace trawl {
namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST(Measure, DISABLED_jobs_per_second_against_the_sample_server)
{
    ReferenceTables tables;
    tables.CLCityTable = {{"US", "US", "United States", "SF bay area", "sfbay.craigslist.org"},
                          {"US", "US", "United States", "boston", "boston.craigslist.org"}};
    tables.CLSectionTable = {{"sss", "bik", "bicycles"}, {"sss", "fur", "furniture"}};
    for (int latency : {0, 50}) {
        for (int threads : {1, 12}) {
            sitesim::SampleSiteServer server;
            ASSERT_TRUE(server.Start().ok());
            sitesim::Knobs knobs;
            knobs.latencyMs = latency;
            server.SetGlobalKnobs(knobs);
            sitesim::ServeSampleSites(server, {});
            SocketConnector connector({{"*", 80, "127.0.0.1", server.port()}});
            NullStatusView view;
            test::RecordingPrompts prompts;
            ByteCounter counter(&view);
            HttpClient client(HttpOptions{"Measure/1.0"}, connector, counter);
            ResultStore store(25000, view, prompts);
            SystemClock clock;
            RunFlags flags;
            HarvestContext context{client, store, view, prompts, clock, flags, tables};
            SearchScheduler scheduler(context, nullptr);
            Settings settings;
            settings.MaxThreads = threads;
            const int termsPerPair = threads == 1 ? 10 : 60;
            std::string terms;
            for (int t = 0; t < termsPerPair; ++t) {
                terms += (t ? "," : "") + std::string("term") + std::to_string(t);
            }
            const int jobs = 4 * termsPerPair;
            flags.SearchRunning.store(1);
            const double cpu0 = CpuSeconds();
            const auto wall0 = std::chrono::steady_clock::now();
            ASSERT_TRUE(
                scheduler.Start(settings, {"m", terms, "sfbay.craigslist.org,boston.craigslist.org", "bik,fur"}));
            ASSERT_TRUE(scheduler.WaitFinished(std::chrono::minutes(5)));
            const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
            const double cpu = CpuSeconds() - cpu0;
            ASSERT_EQ(server.RequestCount(), static_cast<std::size_t>(jobs));
            std::printf("latency %2d ms, MaxThreads %2d: %3d jobs in %6.2f s = %6.1f jobs/s, CPU %.2f ms/job "
                        "(process, server included), %d records\n",
                        latency, threads, jobs, wall, jobs / wall, 1000.0 * cpu / jobs, store.Count());
        }
    }
}

} // namespace
} // namespace trawl
