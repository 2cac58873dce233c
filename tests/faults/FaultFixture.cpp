#include "FaultFixture.h"

#include "results/Dates.h"
#include "results/Escaping.h"
#include "sitesim/SampleSites.h"

#include <arpa/inet.h>
#include <iostream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace trawl::test {

std::string ClFeedPath(const std::string& term)
{
    return "/search/bik?query=" + term + "&format=rss";
}

std::string KjCanadaFeedPath(const std::string& term)
{
    return "/f-SearchAdRss?catId=644&Keyword=" + term;
}

std::string KjStatesPagePath(const std::string& term)
{
    return "/bikes/?q=" + term + "&catId=644";
}

ClosedPort::ClosedPort()
{
    // Bound but never listening: a connection to it is answered with a reset, that is refused.
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        m_port = ntohs(address.sin_port);
    }
}

ClosedPort::~ClosedPort()
{
    Release();
}

void ClosedPort::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

void FaultRun::SetUp()
{
    E2EFixture::SetUp();
    WriteLists();
    WriteSettings();
}

std::string FaultRun::WriteSeededSearch(int seededRecords)
{
    const std::string date = FormatStoredDate(today.year, today.month, today.day);
    seeded.clear();
    for (int i = 1; i <= seededRecords; ++i) {
        const std::string n = std::to_string(i);
        seeded.push_back("\"" + date + "\",\"" + EscapeField("Kept \"ad\" " + n) + "\",\"SF bay area\",\"bicycles\"," +
                         "\"http://sfbay.craigslist.org/ad/kept/" + n + ".html\",\"" +
                         EscapeField("Could not find a valid email address.<br /><br />\r\nThe text of kept ad " + n +
                                     ", read by an earlier deep scan.") +
                         "\"");
    }
    std::vector<std::string> lines{"bikes",     kClCity, "bik", "bike", std::string(kKjCanada) + "," + kKjStates,
                                   "644\\bikes"};
    lines.insert(lines.end(), seeded.begin(), seeded.end());
    const std::string path = home.File("bikes.trawl");
    WriteFile(path, CrLfLines(lines));
    return path;
}

void FaultRun::ExpectSeededKept(const std::string& path) const
{
    const std::vector<std::string> lines = RecordLines(path);
    for (const std::string& line : seeded) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << "lost or doubled: " << line;
    }
}

std::vector<std::string> FaultRun::RecordLines(const std::string& path)
{
    std::vector<std::string> lines = SplitCrLf(ReadFile(path));
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(6, lines.size())));
    return lines;
}

std::vector<std::string> FaultRun::LinksIn(const std::string& path)
{
    std::vector<std::string> links;
    for (const std::string& line : RecordLines(path)) {
        links.push_back(ReadRecordField(line, 5));
    }
    return links;
}

std::string FaultRun::FullTextOf(const std::string& path, const std::string& link)
{
    for (const std::string& line : RecordLines(path)) {
        if (ReadRecordField(line, 5) == link) {
            return ReadRecordField(line, 6);
        }
    }
    return {};
}

void FaultRun::Misbehave(const std::string& host, const std::string& path, const sitesim::Knobs& knobs)
{
    server.AddRoute(
        host, path,
        [options = world.sites](const sitesim::SimRequest& request) {
            return sitesim::SampleSitePage(request, options);
        },
        knobs);
}

std::string FaultRun::ResponseOf(const std::string& host, const std::string& path) const
{
    return sitesim::SampleSitePage(sitesim::SimRequest{host, path, {}}, world.sites).Bytes();
}

int FaultRun::RequestsFor(const std::string& host, const std::string& path) const
{
    int n = 0;
    for (const sitesim::SimRequest& request : server.Requests()) {
        n += request.host == host && request.path == path ? 1 : 0;
    }
    return n;
}

ProgramResult FaultRun::RunLogged(const std::vector<std::string>& arguments)
{
    return RunLogged(arguments, Env());
}

ProgramResult FaultRun::RunLogged(const std::vector<std::string>& arguments,
                                  const std::map<std::string, std::string>& env,
                                  const std::function<void(int pid)>& whileRunning)
{
    ProgramResult run = RunTrawlkit(arguments, env, work.path(), false, whileRunning);
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::cout << "[ program  ] " << (test != nullptr ? test->name() : "") << ": " << Describe(run) << std::endl;
    return run;
}

void FaultRun::ExpectBounded(const ProgramResult& run, std::chrono::milliseconds wall, long peakMiB)
{
    EXPECT_FALSE(run.timedOut) << Describe(run);
    EXPECT_GE(run.wallMs, 0);
    EXPECT_LE(run.wallMs, wall.count() * kSlowdown) << Describe(run);
    EXPECT_GT(run.peakKb, 0);
    EXPECT_LE(run.peakKb, peakMiB * 1024 * kMemoryScale) << Describe(run);
}

} // namespace trawl::test
