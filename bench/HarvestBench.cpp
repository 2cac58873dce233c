// Search throughput against the loopback sample sites (HarvestSetup.h), in plain HTTP and over TLS.
//
//   bench_harvest [benchmark flags]               the search run, in jobs per second
//   bench_harvest --serve=SECONDS --urls=PATH     serve the same sample sites for SECONDS and write the
//                                                 same 240 requests to PATH as curl arguments, one line
//                                                 each, for an `xargs -P 12 curl` comparison

#include "BenchSupport.h"
#include "HarvestSetup.h"
#include "app/Clock.h"
#include "app/RunFlags.h"
#include "app/Settings.h"
#include "app/StatusView.h"
#include "harvest/FeedAddress.h"
#include "harvest/SearchScheduler.h"
#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"
#include "refdata/ReferenceTables.h"
#include "results/ResultStore.h"
#include "sitesim/SampleSites.h"
#include "sitesim/TestCertificates.h"
#include "sitesim/TlsFront.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace trawl::bench {
namespace {

// The sample sites' CA, trusted by this process: SSL_CERT_FILE is read when the first TLS exchange
// is made, so main() calls this before any benchmark runs.
const sitesim::CertificateAuthority& TrustedAuthority()
{
    static const sitesim::CertificateAuthority authority;
    return authority;
}

void TrustSampleSites()
{
    const std::string path = BenchFile("bench-ca.pem");
    std::ofstream(path) << TrustedAuthority().CertificatePem();
    ::setenv("SSL_CERT_FILE", path.c_str(), 1);
}

// Arg 0: plain HTTP; 1: the same sites over TLS (the cities written with https://).
void BM_SearchRun(benchmark::State& state)
{
    const bool tls = state.range(0) != 0;
    ReferenceTables tables = HarvestTables();
    std::string cities = kHarvestCities;
    if (tls) {
        cities = "https://sfbay.craigslist.org,https://boston.craigslist.org";
        for (CLCity& city : tables.CLCityTable) {
            city.CityURL.insert(0, "https://");
        }
    }
    const int jobs = kHarvestJobs;
    double jobsPerSecond = 0;
    long handshakes = 0;
    long resumed = 0;
    for (auto _ : state) {
        sitesim::SampleSiteServer server;
        StartHarvestServer(server);
        sitesim::TlsFront front;
        if (tls && !front.Start(server.port(), TrustedAuthority().Issue(sitesim::SampleSiteNames())).ok()) {
            state.SkipWithError("the TLS front did not start");
            break;
        }
        SocketConnector connector({{"*", 80, "127.0.0.1", server.port()}, {"*", 443, "127.0.0.1", front.port()}});
        NullStatusView view;
        SilentPrompts prompts;
        ByteCounter counter(&view);
        HttpClient client(HttpOptions{"Bench/1.0"}, connector, counter);
        ResultStore store(25000, view, prompts);
        SystemClock clock;
        RunFlags flags;
        HarvestContext context{client, store, view, prompts, clock, flags, tables};
        SearchScheduler scheduler(context, nullptr);
        Settings settings;
        settings.MaxThreads = kWorkers;
        flags.SearchRunning.store(1);
        const auto start = std::chrono::steady_clock::now();
        scheduler.Start(settings, {"bench", HarvestTerms(), cities, kHarvestSections});
        if (!scheduler.WaitFinished(std::chrono::minutes(5)) ||
            server.RequestCount() != static_cast<std::size_t>(jobs)) {
            state.SkipWithError("the run did not make every request");
            break;
        }
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
        jobsPerSecond = jobs / seconds;
        handshakes = front.Handshakes();
        resumed = front.ResumedHandshakes();
    }
    state.counters["jobs_per_s"] = jobsPerSecond;
    state.counters["bound_jobs_per_s"] = kWorkers * 1000.0 / kLatencyMs;
    state.counters["handshakes"] = static_cast<double>(handshakes);
    state.counters["resumed"] = static_cast<double>(resumed);
}

BENCHMARK(BM_SearchRun)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int Serve(int seconds, const std::string& urlsPath)
{
    sitesim::SampleSiteServer server;
    StartHarvestServer(server);
    Settings settings;
    std::ofstream out(urlsPath + ".part");
    for (const std::string city : {"sfbay.craigslist.org", "boston.craigslist.org"}) {
        for (const std::string section : {"bik", "fur"}) {
            for (int t = 0; t < kTermsPerPair; ++t) {
                const FeedRequest request = BuildFeedRequest("term" + std::to_string(t), city, section, settings);
                out << "-H 'Host: " << request.host << "' 'http://127.0.0.1:" << server.port() << request.path << "'\n";
            }
        }
    }
    out.close();
    std::rename((urlsPath + ".part").c_str(), urlsPath.c_str()); // the script waits for the whole list
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::printf("%zu\n", server.RequestCount());
    return 0;
}

} // namespace
} // namespace trawl::bench

int main(int argc, char** argv)
{
    int serveSeconds = 0;
    std::string urls;
    for (int k = 1; k < argc; ++k) {
        const std::string_view arg = argv[k];
        if (arg.starts_with("--serve=")) {
            serveSeconds = std::atoi(argv[k] + 8);
        } else if (arg.starts_with("--urls=")) {
            urls = std::string(arg.substr(7));
        }
    }
    if (serveSeconds > 0 && !urls.empty()) {
        return trawl::bench::Serve(serveSeconds, urls);
    }
    trawl::bench::TrustSampleSites();
    return trawl::bench::RunBenchmarks(argc, argv);
}
