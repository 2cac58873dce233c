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

} // namespace
} // namespace trawl
