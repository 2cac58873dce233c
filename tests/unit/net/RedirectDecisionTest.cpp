// The one-redirect rule as a pure decision on a response.
#include "net/HttpClient.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using Action = RedirectStep::Action;

TEST(DecideRedirect, follows_only_a_302_with_a_host_and_a_path)
{
    const RedirectStep follow =
        DecideRedirect("HTTP/1.0 302 Found\r\nServer: x\r\nLocation: http://b.test/p/q?x=1&y=/z\r\n\r\nbody");
    EXPECT_EQ(follow.action, Action::Follow);
    EXPECT_EQ(follow.host, "b.test");
    EXPECT_EQ(follow.path, "/p/q?x=1&y=/z");

    // The mark is searched anywhere in the response, not only in the status line.
    EXPECT_EQ(DecideRedirect("HTTP/1.0 200 OK\r\n\r\n302 Found\r\nLocation: http://c/d\r\n").action, Action::Follow);
    // A Location that the response never ends is taken to the end of the response.
    const RedirectStep unended = DecideRedirect("HTTP/1.0 302 Found\r\nLocation: http://e/f");
    EXPECT_EQ(unended.action, Action::Follow);
    EXPECT_EQ(unended.path, "/f");

    for (const char* keep : {"", "HTTP/1.0 200 OK\r\nLocation: http://b.test/x\r\n\r\n", "HTTP/1.0 302 found\r\n"}) {
        EXPECT_EQ(DecideRedirect(keep).action, Action::Keep) << keep;
    }
    for (const char* drop : {"HTTP/1.0 302 Found\r\n\r\n", "HTTP/1.0 302 Found\r\nLocation: http://b.test\r\n",
                             "HTTP/1.0 302 Found\r\nLocation: http:///x\r\n"}) {
        const RedirectStep step = DecideRedirect(drop);
        EXPECT_EQ(step.action, Action::Drop) << drop;
        EXPECT_TRUE(step.host.empty() && step.path.empty()) << drop;
    }
}

TEST(DecideRedirect, https_locations_switch_to_tls_and_a_site_that_moved_to_https_is_followed)
{
    const RedirectStep secure = DecideRedirect("HTTP/1.0 302 Found\r\nLocation: https://b.test/p?q=1\r\n\r\n");
    EXPECT_EQ(secure.action, Action::Follow);
    EXPECT_EQ(secure.host, "https://b.test");
    EXPECT_EQ(secure.path, "/p?q=1");
    // The first Location line decides.
    EXPECT_EQ(DecideRedirect("HTTP/1.0 302 Found\r\nLocation: http://a/x\r\nLocation: https://b/y\r\n").host, "a");

    for (const char* status : {"301 Moved Permanently", "307 Temporary Redirect", "308 Permanent Redirect"}) {
        const std::string moved =
            std::string("HTTP/1.1 ") + status + "\r\nLocation: https://Sfbay.craigslist.org/s?x\r\n\r\n";
        const RedirectStep step = DecideRedirect(moved, "sfbay.craigslist.org");
        EXPECT_EQ(step.action, Action::Follow) << status;
        EXPECT_EQ(step.host, "https://Sfbay.craigslist.org") << status;
        EXPECT_EQ(step.path, "/s?x") << status;
        // Elsewhere, or back to plain HTTP, it is an answer like any other page.
        EXPECT_EQ(DecideRedirect(moved, "other.craigslist.org").action, Action::Keep) << status;
        EXPECT_EQ(DecideRedirect(std::string("HTTP/1.1 ") + status + "\r\nLocation: http://sfbay.craigslist.org/s\r\n",
                                 "sfbay.craigslist.org")
                      .action,
                  Action::Keep)
            << status;
    }
    EXPECT_EQ(DecideRedirect("HTTP/1.1 303 See Other\r\nLocation: https://a.test/x\r\n", "a.test").action,
              Action::Keep);
}

} // namespace
} // namespace trawl
