#pragma once

#include "net/ByteCounter.h"
#include "net/Connector.h"
#include "net/HttpClient.h"
#include "sitesim/SampleSiteServer.h"
#include "support/Doubles.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>

namespace trawl::nettest {

// A sample-site server on loopback and a client whose every host leads to it, with short waits so
// failures show in a fraction of a second.
class ClientAgainstServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.Start().ok());
        connector =
            std::make_unique<SocketConnector>(std::vector<ConnectToRule>{{"*", 80, "127.0.0.1", server.port()}});
    }

    static HttpOptions ShortWaits(std::string userAgent = "TestAgent/1.0")
    {
        HttpOptions options;
        options.userAgent = std::move(userAgent);
        options.waitMs = 300;
        options.exchangeDeadlineMs = 5000;
        return options;
    }

    HttpClient MakeClient(HttpOptions options = ShortWaits()) { return HttpClient(options, *connector, counter); }

    static long MsSince(std::chrono::steady_clock::time_point start)
    {
        return static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    }

    sitesim::SampleSiteServer server;
    std::unique_ptr<SocketConnector> connector;
    test::RecordingStatusView view;
    ByteCounter counter{&view};
};

// A port on 127.0.0.1 where nothing listens.
int ClosedPort();

} // namespace trawl::nettest
