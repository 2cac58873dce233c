#include "net/Connector.h"
#include "net/NameResolver.h"

#include "support/LoopbackNameServer.h"

#include <arpa/inet.h>
#include <chrono>
#include <gmock/gmock.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace trawl {
namespace {

using namespace std::chrono_literals;
using ::testing::Each;
using ::testing::ElementsAre;

std::uint32_t Ipv4(const char* dotted)
{
    in_addr address{};
    ::inet_pton(AF_INET, dotted, &address);
    return address.s_addr;
}

long MsSince(std::chrono::steady_clock::time_point start)
{
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

// A look-up on virtual time: each step takes the time it is given, and the look-up ends after
// `stepsToEnd` steps (never when negative).
class VirtualLookup final : public PendingLookup {
public:
    VirtualLookup(std::int64_t& now, int stepsToEnd) : m_now(now), m_stepsToEnd(stepsToEnd) {}
    bool Step(int ms) override
    {
        longestStep = std::max(longestStep, ms);
        m_now += ms;
        ++steps;
        if (onStep) {
            onStep(m_now);
        }
        return m_stepsToEnd >= 0 && steps >= m_stepsToEnd;
    }
    LookupAnswer answer() const override { return {LookupEnd::Found, {Ipv4("10.1.2.3")}}; }

    int steps = 0;
    int longestStep = 0;
    std::function<void(std::int64_t)> onStep;

private:
    std::int64_t& m_now;
    int m_stepsToEnd;
};

TEST(WaitForLookup, EndsAtTheBoundAtAStopWithinASliceOrWithTheAnswer)
{
    std::int64_t now = 1000;
    const MillisecondClock clock = [&now] { return now; };
    std::atomic<int> stop{0};

    // A name server that never answers: given up exactly at the bound, in slices that look at the flag.
    VirtualLookup silent(now, -1);
    EXPECT_EQ(WaitForLookup(silent, clock, 5500, &stop).end, LookupEnd::TimedOut);
    EXPECT_EQ(now, 1000 + 5500);
    EXPECT_EQ(silent.longestStep, kStopSliceMs);

    // Raised in the middle of a look-up: it ends before the next slice.
    now = 0;
    VirtualLookup stopped(now, -1);
    stopped.onStep = [&stop](std::int64_t at) {
        if (at >= 1234) {
            stop.store(1);
        }
    };
    EXPECT_EQ(WaitForLookup(stopped, clock, 5500, &stop).end, LookupEnd::Stopped);
    EXPECT_LE(now, 1234 + kStopSliceMs);
    // Raised before: no step at all.
    VirtualLookup never(now, 1);
    EXPECT_EQ(WaitForLookup(never, clock, 5500, &stop).end, LookupEnd::Stopped);
    EXPECT_EQ(never.steps, 0);

    // An answer in time is the answer; a bound of nothing is already over.
    stop.store(0);
    now = 0;
    VirtualLookup answered(now, 3);
    const LookupAnswer found = WaitForLookup(answered, clock, 5500, nullptr);
    EXPECT_EQ(found.end, LookupEnd::Found);
    EXPECT_THAT(found.addresses, ElementsAre(Ipv4("10.1.2.3")));
    EXPECT_EQ(WaitForLookup(answered, clock, 0, nullptr).end, LookupEnd::TimedOut);
}

// Answers as told and counts the look-ups.
class ScriptedResolver final : public NameResolver {
public:
    LookupAnswer Resolve(const std::string& host, int, const std::atomic<int>*) override
    {
        asked.push_back(host);
        return next;
    }
    std::vector<std::string> asked;
    LookupAnswer next{LookupEnd::Found, {1}};
};

TEST(CachingResolver, AsksOncePerHostAndForgetsFailuresSoonerThanAnswers)
{
    std::int64_t now = 0;
    auto inner = std::make_unique<ScriptedResolver>();
    ScriptedResolver& scripted = *inner;
    CachingResolver cache(std::move(inner), [&now] { return now; }, 1000, 100);

    EXPECT_EQ(cache.Resolve("Boston.Craigslist.org", 5500, nullptr).addresses, std::vector<std::uint32_t>{1});
    scripted.next = {LookupEnd::Found, {2}};
    EXPECT_EQ(cache.Resolve("boston.craigslist.org", 5500, nullptr).addresses, std::vector<std::uint32_t>{1});
    now = 1000; // the answer is old now: asked again
    EXPECT_EQ(cache.Resolve("boston.craigslist.org", 5500, nullptr).addresses, std::vector<std::uint32_t>{2});

    // A dead name server costs one bound, then the failure is kept for a while.
    scripted.next = {LookupEnd::TimedOut, {}};
    EXPECT_EQ(cache.Resolve("www.kijiji.ca", 5500, nullptr).end, LookupEnd::TimedOut);
    EXPECT_EQ(cache.Resolve("www.kijiji.ca", 5500, nullptr).end, LookupEnd::TimedOut);
    now += 100;
    scripted.next = {LookupEnd::Found, {3}};
    EXPECT_EQ(cache.Resolve("www.kijiji.ca", 5500, nullptr).end, LookupEnd::Found);

    // A look-up the user stopped says nothing about the host.
    scripted.next = {LookupEnd::Stopped, {}};
    EXPECT_EQ(cache.Resolve("toronto.kijiji.ca", 5500, nullptr).end, LookupEnd::Stopped);
    scripted.next = {LookupEnd::Found, {4}};
    EXPECT_EQ(cache.Resolve("toronto.kijiji.ca", 5500, nullptr).end, LookupEnd::Found);

    EXPECT_THAT(scripted.asked, ElementsAre("Boston.Craigslist.org", "boston.craigslist.org", "www.kijiji.ca",
                                            "www.kijiji.ca", "toronto.kijiji.ca", "toronto.kijiji.ca"));
}

TEST(AresResolver, ADeadNameServerFreesTheCallerAtTheBoundAndAtAStop)
{
    test::LoopbackNameServer dead;
    ASSERT_GT(dead.port(), 0);
    AresResolver resolver(dead.address());

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(resolver.Resolve("sites.test", 400, nullptr).end, LookupEnd::TimedOut);
    EXPECT_GE(MsSince(start), 390);
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_GE(dead.queries(), 1);
    EXPECT_THAT(dead.names(), Each(std::string("sites.test")));

    std::atomic<int> stop{0};
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop.store(1);
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(resolver.Resolve("sites.test", 5500, &stop).end, LookupEnd::Stopped);
    stopper.join();
    EXPECT_LT(MsSince(start), 1500);

    // An address is its own answer: nobody is asked.
    const int asked = dead.queries();
    const LookupAnswer numeric = resolver.Resolve("127.0.0.7", 5500, nullptr);
    EXPECT_EQ(numeric.end, LookupEnd::Found);
    EXPECT_THAT(numeric.addresses, ElementsAre(Ipv4("127.0.0.7")));
    EXPECT_EQ(dead.queries(), asked);
}

TEST(SocketConnector, ConnectsThroughANameTheGivenNameServerAnswers)
{
    // A listener on 127.0.0.1 and a name server that says "sites.test" is there.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    test::LoopbackNameServer names("127.0.0.1");

    SocketConnector connector({{"*", 80, "sites.test", ntohs(address.sin_port)}},
                              std::make_unique<CachingResolver>(std::make_unique<AresResolver>(names.address())));
    for (int i = 0; i < 3; ++i) {
        const int fd = connector.Connect("boston.craigslist.org", 80, 5500, nullptr);
        EXPECT_GE(fd, 0);
        ::close(fd);
    }
    // The name was asked for once for the three connections (c-ares asks once per A query).
    EXPECT_THAT(names.names(), ElementsAre("sites.test"));
    // An unknown host of the name server's: no connection, nothing hangs.
    test::LoopbackNameServer dead;
    SocketConnector nowhere({}, std::make_unique<AresResolver>(dead.address()));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(nowhere.Connect("boston.craigslist.org", 80, 300, nullptr), 0);
    EXPECT_LT(MsSince(start), 2000);
    ::close(listener);
}

TEST(NameServerSetting, TakesAddressesWithPortsAndRefusesTheRest)
{
    EXPECT_TRUE(CheckNameServers("127.0.0.1:5353").ok());
    EXPECT_TRUE(CheckNameServers("127.0.0.1:5353,127.0.0.2").ok());
    const Status bad = CheckNameServers("not a server");
    EXPECT_FALSE(bad.ok());
    EXPECT_EQ(bad.message(),
              "TRAWLKIT_NAME_SERVERS: \"not a server\" is not a list of ADDR:PORT entries separated by commas.");
}

} // namespace
} // namespace trawl
