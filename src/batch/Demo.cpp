#include "batch/Demo.h"

#include "app/AtomicFile.h"
#include "app/Clock.h"
#include "app/StatusView.h"
#include "batch/BatchProgram.h"
#include "batch/Console.h"
#include "net/Connector.h"
#include "refdata/ReferenceTables.h"
#include "results/ResultStore.h"
#include "sitesim/DemoSites.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

namespace trawl {

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

bool MakeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(folder.c_str(), 0700);
    struct stat info {};
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Join(const std::vector<std::string>& keys)
{
    std::string joined;
    for (const std::string& key : keys) {
        joined += (joined.empty() ? "" : ",") + key;
    }
    return joined;
}

// The first `count` keys of the rows that pass `preferred`, then of those that pass `acceptable`,
// then of any rows.
template <typename Row, typename Preferred, typename Acceptable, typename Key>
std::string FirstKeys(const std::vector<Row>& rows, std::size_t count, Preferred preferred, Acceptable acceptable,
                      Key key)
{
    std::vector<std::string> keys;
    const auto take = [&](auto wanted) {
        for (const Row& row : rows) {
            if (keys.size() < count && wanted(row) && std::find(keys.begin(), keys.end(), key(row)) == keys.end()) {
                keys.push_back(key(row));
            }
        }
    };
    take(preferred);
    take(acceptable);
    take([](const Row&) { return true; });
    return Join(keys);
}

} // namespace

std::string DemoProgramFolder()
{
    std::string base = Env("XDG_CACHE_HOME");
    if (base.empty() || base.front() != '/') {
        const std::string home = Env("HOME");
        base = !home.empty() && home.front() == '/' ? home + "/.cache" : std::string();
    }
    if (!base.empty() && MakeFolders(base + "/trawlkit-demo")) {
        return base + "/trawlkit-demo/";
    }
    char pattern[] = "/tmp/trawlkit-demo-XXXXXX";
    const char* made = ::mkdtemp(pattern);
    return made == nullptr ? std::string() : std::string(made) + "/";
}

SearchDefinition DemoSearchDefinition(const ReferenceTables& tables)
{
    SearchDefinition search;
    search.Name = kDemoSearchName;
    search.Terms = "bike,table";
    const auto always = [](const auto&) { return true; };
    search.CLCityKeys = FirstKeys(
        tables.CLCityTable, 2, [](const CLCity& c) { return c.CityName != "Default"; }, always,
        [](const CLCity& c) { return c.CityURL; });
    // Sections of the for-sale group suit the terms; a group's own row stands for all of it.
    search.CLSectionKeys = FirstKeys(
        tables.CLSectionTable, 2,
        [](const CLSection& s) { return s.MasterSectionCode == "sss" && s.SectionCode != s.MasterSectionCode; },
        [](const CLSection& s) { return s.SectionCode != s.MasterSectionCode; },
        [](const CLSection& s) { return s.SectionCode; });
    // One Canadian city (a search feed) and one elsewhere (a result page), so both Kijiji layouts show.
    const auto canadian = [](const KJCity& c) { return c.URL.find(".kijiji.ca") != std::string::npos; };
    const auto url = [](const KJCity& c) { return c.URL; };
    const std::string first = FirstKeys(tables.KJCityTable, 1, canadian, always, url);
    const std::string second = FirstKeys(
        tables.KJCityTable, 1, [&](const KJCity& c) { return !canadian(c); }, always, url);
    search.KJCityKeys = first == second ? first : first + "," + second;
    search.KJSectionKeys = FirstKeys(
        tables.KJSectionTable, 2, [](const KJSection& s) { return s.SectionName != s.MasterSectionName; }, always,
        [](const KJSection& s) { return KJSectionKey(s); });
    return search;
}

DemoSearchFile EnsureDemoSearch(const std::string& folder, const ReferenceTables& tables)
{
    DemoSearchFile search;
    search.path = folder + kDemoSearchName + std::string(kSearchFileExtension);
    if (FileExists(search.path)) {
        return search;
    }
    // An empty store: the file gets the search's header and no records.
    class Silent final : public Prompts {
    public:
        PromptAnswer Show(PromptKind, const std::string&, const std::string&) override { return PromptAnswer::Ok; }
    } prompts;
    NullStatusView view;
    ResultStore empty(1, view, prompts);
    search.status = SaveSearch(search.path, DemoSearchDefinition(tables), empty);
    search.written = search.status.ok();
    return search;
}

Status DemoSites::Start(const LocalDate& today, const std::string& folder)
{
    sitesim::DemoWorldOptions world;
    // Ads dated from today, so that a later run keeps them rather than discarding them as old.
    world.sites.newest = today;
    sitesim::MoveCraigslistToHttps(world);
    sitesim::ServeDemoWorld(m_server, world);
    if (!m_authority.ok()) {
        return Status::Failure("no certificate authority could be made for the sample sites");
    }
    const std::string trust = folder + "demo-ca.pem";
    if (const Status written = WriteFileAtomically(trust, m_authority.CertificatePem()); !written) {
        return written;
    }
    ::setenv("SSL_CERT_FILE", trust.c_str(), 1);
    if (const Status started = m_server.Start(); !started) {
        return started;
    }
    const std::vector<std::string> names(world.sites.httpsHosts.begin(), world.sites.httpsHosts.end());
    return m_front.Start(m_server.port(),
                         m_authority.Issue(names, -3600, sitesim::CertificateAuthority::kAuthorityValidSeconds));
}

std::vector<ConnectToRule> DemoSites::ConnectRules() const
{
    return {ConnectToRule{"*", 80, "127.0.0.1", port()}, ConnectToRule{"*", 443, "127.0.0.1", tlsPort()}};
}

int RunDemo(BatchOptions options, Console& console, const std::atomic<int>& interrupted)
{
    const std::string folder = DemoProgramFolder();
    if (folder.empty()) {
        console.Err("Error: no folder for the demo could be made.");
        return kExitFailed;
    }
    SystemClock clock;
    DemoSites sites;
    if (const Status started = sites.Start(clock.Today(), folder); !started) {
        console.Err("Error: the sample sites could not be started: " + started.message());
        return kExitFailed;
    }
    SocketConnector connector(sites.ConnectRules());
    console.Out("Trawlkit demo: sample sites on 127.0.0.1:" + std::to_string(sites.port()) + " (HTTPS on " +
                std::to_string(sites.tlsPort()) + "), program folder " + folder);

    if (!options.Batch()) {
        options.deep = options.csv = options.html = true;
    }
    BatchProgram program{options, folder, connector, console, clock, interrupted, {}};
    program.beforeSearches = [&](const ReferenceTables& tables, BatchOptions& run) {
        if (!run.searches.empty()) {
            return;
        }
        const DemoSearchFile search = EnsureDemoSearch(folder, tables);
        if (!search.status) {
            console.Err("Error: the demo search could not be written: " + search.status.message());
        } else if (search.written) {
            console.Out("Demo search written to '" + search.path + "'.");
        }
        run.searches.push_back(search.path);
    };
    const int status = RunBatchProgram(program);
    console.Out(status == kExitOk
                    ? "Demo finished. Everything it wrote is in " + folder
                    : "Demo ended with exit status " + std::to_string(status) + ". Its folder: " + folder);
    return status;
}

} // namespace trawl
