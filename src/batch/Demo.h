#pragma once

#include "app/Clock.h"
#include "app/Status.h"
#include "batch/BatchOptions.h"
#include "net/ConnectTo.h"
#include "results/SearchFile.h"
#include "sitesim/SampleSiteServer.h"
#include "sitesim/TestCertificates.h"
#include "sitesim/TlsFront.h"

#include <atomic>
#include <string>
#include <vector>

namespace trawl {

class Console;
struct ReferenceTables;

// The demo's program folder: $XDG_CACHE_HOME/trawlkit-demo, else ~/.cache/trawlkit-demo (kept between
// runs, so a second demo finds its lists and its search), else a new folder under /tmp. Created when
// missing; ends in "/". "" when no folder could be made.
std::string DemoProgramFolder();

// A search over the first few cities and sections of both sites' lists, for the terms "bike,table".
SearchDefinition DemoSearchDefinition(const ReferenceTables& tables);
inline constexpr const char* kDemoSearchName = "demo";

// The demo search file in `folder` (demo.trawl), written from the lists when it is missing.
struct DemoSearchFile {
    std::string path;
    bool written = false;         // it was missing and has been written now
    Status status = Status::Ok(); // a failed write
};
DemoSearchFile EnsureDemoSearch(const std::string& folder, const ReferenceTables& tables);

// The sample sites as the demo serves them: every page the program reads, ads dated from today, on a
// loopback port; Craigslist is on HTTPS as the real site is, its cities asked over TLS on a second
// port with a certificate from a CA made at start. The process trusts that CA alone (SSL_CERT_FILE,
// set by Start to a file in the demo's folder), so Start comes before any exchange.
class DemoSites {
public:
    Status Start(const LocalDate& today, const std::string& folder);
    // Every host's port 80 to the plain port, 443 to the TLS one.
    std::vector<ConnectToRule> ConnectRules() const;
    int port() const { return m_server.port(); }
    int tlsPort() const { return m_front.port(); }

private:
    sitesim::SampleSiteServer m_server;
    sitesim::CertificateAuthority m_authority;
    sitesim::TlsFront m_front;
};

// `trawlkit --demo [options] [SEARCH...]`: the sample sites on loopback inside the process, every
// host pointed at them, the demo folder as program folder; without batch options the demo search is
// run with -deep -csv -html. Returns the batch run's exit status.
int RunDemo(BatchOptions options, Console& console, const std::atomic<int>& interrupted);

} // namespace trawl
