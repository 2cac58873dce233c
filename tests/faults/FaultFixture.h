#pragma once

// The built program run against sites and files that misbehave. Every run is bounded in time (and,
// in the plain build, in memory), and the records the search file held before the run must all be
// in it afterwards.

#include "programrun/E2EFixture.h"
#include "sitesim/SampleSiteServer.h"

#include <chrono>
#include <string>
#include <vector>

namespace trawl::test {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers slow the program down several times and keep shadow memory of their own (measured:
// a small run peaks at 25 MiB rather than 6, a 64 MiB response at 350 MiB rather than 110).
inline constexpr int kSlowdown = 4;
inline constexpr int kMemoryScale = 4;
#else
inline constexpr int kSlowdown = 1;
inline constexpr int kMemoryScale = 1;
#endif

// Peak memory allowed for a run that holds nothing big: a plain run peaks at about 6 MiB.
inline constexpr long kSmallRunMiB = 32;

// The request paths of the "bike" search in the small world.
std::string ClFeedPath(const std::string& term = "bike");
std::string KjCanadaFeedPath(const std::string& term = "bike");
std::string KjStatesPagePath(const std::string& term = "bike");

// A 127.0.0.1 port on which nothing listens while the object lives: connecting is refused.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;
    int port() const { return m_port; }
    // Gives the port up, so that a server may listen on it.
    void Release();

private:
    int m_fd = -1;
    int m_port = 0;
};

class FaultRun : public E2EFixture {
protected:
    void SetUp() override;

    // `bikes.trawl` in the program folder: the "bike" search over the small world's three cities,
    // holding `seededRecords` records of an earlier run (dated today, deep-scanned, links no site
    // lists). Returns its path; the record lines are kept in `seeded`.
    std::string WriteSeededSearch(int seededRecords = 3);
    // Every seeded record line is in the file, once.
    void ExpectSeededKept(const std::string& path) const;

    // The record lines of a search file, and their links (field 5).
    static std::vector<std::string> RecordLines(const std::string& path);
    static std::vector<std::string> LinksIn(const std::string& path);
    // The full text (field 6) of the record with this link; "" when there is none.
    static std::string FullTextOf(const std::string& path, const std::string& link);

    // Answers one request as the sample sites would, but misbehaving as `knobs` say.
    void Misbehave(const std::string& host, const std::string& path, const sitesim::Knobs& knobs);
    // The whole response the sample sites give for one request (status line to body).
    std::string ResponseOf(const std::string& host, const std::string& path) const;
    // How often the sites were asked for this host and path.
    int RequestsFor(const std::string& host, const std::string& path) const;

    // Runs the program and writes a line about the run to the test's log.
    ProgramResult RunLogged(const std::vector<std::string>& arguments);
    ProgramResult RunLogged(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env,
                            const std::function<void(int pid)>& whileRunning = {});
    // Not killed, done within `wall` and never above `peakMiB` of resident memory (in the sanitizer
    // builds times kSlowdown and kMemoryScale).
    static void ExpectBounded(const ProgramResult& run, std::chrono::milliseconds wall, long peakMiB);

    std::vector<std::string> seeded;
};

} // namespace trawl::test
