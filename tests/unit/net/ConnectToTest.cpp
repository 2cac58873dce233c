#include "NetTestSupport.h"

#include <cstdlib>
#include <unistd.h>

namespace trawl::nettest {
namespace {

TEST(ConnectToParse, ReadsRulesInOrderWithAnyHostAndLowerCasedNames)
{
    std::vector<ConnectToRule> rules;
    ASSERT_TRUE(ParseConnectTo("Www.Site.Test:80:127.0.0.1:8080, *:80:localhost:9000", rules).ok());
    ASSERT_EQ(rules.size(), 2u);
    EXPECT_EQ(rules[0].host, "www.site.test");
    EXPECT_EQ(rules[0].port, 80);
    EXPECT_EQ(rules[0].address, "127.0.0.1");
    EXPECT_EQ(rules[0].targetPort, 8080);
    EXPECT_EQ(rules[1].host, "*");
    EXPECT_EQ(rules[1].address, "localhost");
    EXPECT_EQ(rules[1].targetPort, 9000);

    ASSERT_TRUE(ParseConnectTo("", rules).ok());
    EXPECT_TRUE(rules.empty());
}

TEST(ConnectToParse, MalformedEntriesSayWhichAndWhyAndLeaveNoRules)
{
    struct Case {
        const char* text;
        const char* mentions;
    };
    const Case cases[] = {
        {"a.test:80:127.0.0.1", "entry 1 \"a.test:80:127.0.0.1\" does not have four parts"},
        {"a.test:80:127.0.0.1:1,b.test:80:x:y", "entry 2 \"b.test:80:x:y\" has PORT2 \"y\""},
        {"a.test:0:127.0.0.1:1", "has PORT \"0\", not a number from 1 to 65535"},
        {"a.test:80:127.0.0.1:65536", "has PORT2 \"65536\""},
        {"a.test:-80:127.0.0.1:1", "has PORT \"-80\""},
        {":80:127.0.0.1:1", "empty HOST"},
        {"a.test:80::1", "empty ADDR"},
        {"a.test:80:127.0.0.1:1,", "entry 2 \"\""},
        {"[::1]:80:127.0.0.1:1", "four parts"},
    };
    for (const auto& c : cases) {
        std::vector<ConnectToRule> rules{{"old", 1, "x", 1}};
        const Status status = ParseConnectTo(c.text, rules);
        EXPECT_FALSE(status.ok()) << c.text;
        EXPECT_NE(status.message().find("TRAWLKIT_CONNECT_TO"), std::string::npos) << status.message();
        EXPECT_NE(status.message().find(c.mentions), std::string::npos) << status.message();
        EXPECT_TRUE(rules.empty()) << c.text;
    }
}

TEST(ConnectToParse, TheProgramsConnectorTakesItsRulesFromTheEnvironment)
{
    std::unique_ptr<SocketConnector> connector;
    ::setenv(kConnectToVariable, "*:80:127.0.0.1:1234", 1);
    EXPECT_TRUE(SocketConnector::FromEnvironment(connector).ok());
    ASSERT_NE(connector, nullptr);
    ASSERT_EQ(connector->rules().size(), 1u);
    EXPECT_EQ(connector->rules()[0].targetPort, 1234);

    ::setenv(kConnectToVariable, "nonsense", 1);
    const Status bad = SocketConnector::FromEnvironment(connector);
    EXPECT_FALSE(bad.ok());
    EXPECT_NE(bad.message().find("\"nonsense\""), std::string::npos);
    EXPECT_EQ(connector, nullptr);

    ::unsetenv(kConnectToVariable);
    EXPECT_TRUE(SocketConnector::FromEnvironment(connector).ok());
    ASSERT_NE(connector, nullptr);
    EXPECT_TRUE(connector->rules().empty());
}

TEST(ConnectToMatch, FirstMatchingRuleWinsAndThePortMustMatch)
{
    std::vector<ConnectToRule> rules;
    ASSERT_TRUE(ParseConnectTo("a.test:8080:h1:1,a.test:80:h2:2,*:80:h3:3,a.test:80:h4:4", rules).ok());
    ASSERT_NE(MatchConnectTo(rules, "A.TEST", 80), nullptr);
    EXPECT_EQ(MatchConnectTo(rules, "A.TEST", 80)->address, "h2");
    EXPECT_EQ(MatchConnectTo(rules, "a.test", 8080)->address, "h1");
    EXPECT_EQ(MatchConnectTo(rules, "b.test", 80)->address, "h3");
    EXPECT_EQ(MatchConnectTo(rules, "b.test", 8080), nullptr);
    EXPECT_EQ(MatchConnectTo(rules, "a.tes", 8080), nullptr);
}

using ConnectToRouting = ClientAgainstServer;

TEST_F(ConnectToRouting, RequestsGoWhereTheFirstMatchingRuleSaysWithTheOriginalHostLine)
{
    server.AddPage("*", "*", "served");
    SocketConnector routed({{"dead.test", 80, "127.0.0.1", ClosedPort()}, {"*", 80, "127.0.0.1", server.port()}});
    HttpClient client(ShortWaits(), routed, counter);
    EXPECT_EQ(client.HttpGet("dead.test", "/", 1, 0), "");
    EXPECT_EQ(client.HttpGet("live.test", "/", 1, 0), sitesim::SimResponse::Page("served").Bytes());
    ASSERT_EQ(server.RequestCount(), 1u);
    EXPECT_EQ(server.Requests()[0].host, "live.test");

    // A request for another port than the rule names is not redirected by it.
    HttpOptions otherPort = ShortWaits();
    otherPort.port = 8080;
    SocketConnector onlyPort80({{"live.test", 8080, "127.0.0.1", ClosedPort()}, {"*", 80, "127.0.0.1", server.port()}});
    HttpClient client8080(otherPort, onlyPort80, counter);
    EXPECT_EQ(client8080.HttpGet("live.test", "/", 1, 0), "");
    EXPECT_EQ(server.RequestCount(), 1u);
}

} // namespace
} // namespace trawl::nettest
