// The built program against a Craigslist that moved to HTTPS: plain HTTP answers every request with
// a 301 to the https address, and the pages themselves come only over TLS from a certificate of a CA
// made for the test.

#include "app/AtomicFile.h"
#include "programrun/E2EFixture.h"
#include "sitesim/TestCertificates.h"
#include "sitesim/TlsFront.h"

#include <gmock/gmock.h>

namespace trawl::test {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

class HttpsRun : public E2EFixture {
protected:
    void SetUp() override
    {
        E2EFixture::SetUp();
        WriteLists();
        WriteSettings();
        ASSERT_TRUE(authority.ok());
        WriteFile(trust.File("ca.pem"), authority.CertificatePem());
        world.sites.httpsHosts.insert(kClCity);
        sitesim::ServeDemoWorld(secure, world);
        ASSERT_TRUE(secure.Start().ok());
        ASSERT_TRUE(front.Start(secure.port(), authority.Issue(sitesim::SampleSiteNames())).ok());
        server.AddRoute(kClCity, "*", [](const sitesim::SimRequest& request) {
            return sitesim::SimResponse::MovedPermanently("https://" + request.host + request.path);
        });
    }
    std::map<std::string, std::string> TlsEnv() const
    {
        auto env = Env();
        env["TRAWLKIT_CONNECT_TO"] =
            "*:80:127.0.0.1:" + std::to_string(server.port()) + ",*:443:127.0.0.1:" + std::to_string(front.port());
        env["SSL_CERT_FILE"] = trust.File("ca.pem");
        return env;
    }

    TempDir trust;
    sitesim::CertificateAuthority authority;
    sitesim::SampleSiteServer secure; // the pages behind TLS
    sitesim::TlsFront front;
};

TEST_F(HttpsRun, a_site_that_moved_is_followed_to_https_then_searched_and_deep_scanned_over_tls)
{
    const std::string path = WriteBikesSearch();
    const ProgramResult run = RunTrawlkit({"-deep", "bikes.trawl"}, TlsEnv(), work.path());
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    // Plain HTTP was asked for the two feeds only, and sent them on; everything else came over TLS.
    int plainCl = 0;
    for (const auto& request : server.Requests()) {
        if (request.host == kClCity) {
            ++plainCl;
            EXPECT_THAT(request.path, StartsWith("/search/bik?query="));
        }
    }
    EXPECT_EQ(plainCl, 2);
    int secureCl = 0;
    int secureAds = 0;
    for (const auto& request : secure.Requests()) {
        secureCl += request.host == kClCity ? 1 : 0;
        secureAds += request.path.starts_with("/ad/") ? 1 : 0;
    }
    EXPECT_EQ(front.Handshakes(), secureCl);

    // The Craigslist ads keep their https links, each deep-scanned once over TLS.
    int clRecords = 0;
    for (const std::string& line : SplitCrLf(ReadFile(path))) {
        if (line.find(",\"https://sfbay.craigslist.org/ad/") != std::string::npos) {
            ++clRecords;
            EXPECT_THAT(line, Not(HasSubstr("<!--RSS-->")));
            EXPECT_THAT(line, Not(HasSubstr(",\"\"")));
        }
    }
    std::set<std::string> clLinks = LinksOf(kClCity, "/search/bik?query=bike&format=rss");
    clLinks.merge(LinksOf(kClCity, "/search/bik?query=red+wagon&format=rss"));
    EXPECT_EQ(clRecords, static_cast<int>(clLinks.size()));
    EXPECT_GT(clRecords, 0);
    EXPECT_EQ(secureAds, clRecords);
    EXPECT_EQ(secureCl, 2 + clRecords);
}

} // namespace
} // namespace trawl::test
