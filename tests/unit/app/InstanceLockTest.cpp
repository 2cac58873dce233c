#include "app/InstanceLock.h"

#include "support/Doubles.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trawl {
namespace {

using test::RecordingPrompts;
using test::TempDir;

TEST(InstanceLock, EveryRunningCopyKeepsTheNextOneSeeingIt)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.lock");
    auto first = std::make_unique<InstanceLock>(path);
    EXPECT_TRUE(first->held());
    EXPECT_FALSE(first->alreadyRunning());

    auto second = std::make_unique<InstanceLock>(path);
    EXPECT_TRUE(second->alreadyRunning());
    EXPECT_TRUE(second->held());

    // The first copy ends; the second still runs, so a third one sees it.
    first.reset();
    EXPECT_TRUE(InstanceLock(path).alreadyRunning());

    second->Release();
    EXPECT_FALSE(second->held());
    EXPECT_FALSE(InstanceLock(path).alreadyRunning());
}

TEST(InstanceLock, UnusableLockFileCountsAsAlone)
{
    TempDir dir;
    InstanceLock lock(dir.File("no/such/folder/trawlkit.lock"));
    EXPECT_FALSE(lock.held());
    EXPECT_FALSE(lock.alreadyRunning());

    // A symlink planted where the lock should be is not followed.
    test::WriteFile(dir.File("target"), "keep");
    ASSERT_EQ(::symlink(dir.File("target").c_str(), dir.File("link.lock").c_str()), 0);
    InstanceLock viaLink(dir.File("link.lock"));
    EXPECT_FALSE(viaLink.held());
}

// Another process holds the lock, then dies by SIGKILL: the lock goes with it.
TEST(InstanceLock, LockOfAKilledProcessIsFree)
{
    TempDir dir;
    const std::string path = dir.File("trawlkit.lock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        InstanceLock lock(path);
        const char state = lock.held() ? 'h' : 'n';
        [[maybe_unused]] const auto written = ::write(ready[1], &state, 1);
        while (true) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(state, 'h');

    EXPECT_TRUE(InstanceLock(path).alreadyRunning());

    ASSERT_EQ(::kill(child, SIGKILL), 0);
    int wstatus = 0;
    ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
    EXPECT_TRUE(WIFSIGNALED(wstatus));
    EXPECT_FALSE(InstanceLock(path).alreadyRunning());
}

TEST(InstanceRule, OnlyASecondCopyWithoutFilesAndWithoutPermissionEnds)
{
    EXPECT_TRUE(MustEndAsSecondCopy(true, 0, 0));
    EXPECT_FALSE(MustEndAsSecondCopy(false, 0, 0));
    EXPECT_FALSE(MustEndAsSecondCopy(true, 1, 0));
    EXPECT_FALSE(MustEndAsSecondCopy(true, 0, 1));
    EXPECT_FALSE(MustEndAsSecondCopy(true, 0, -2)); // any non-zero flag allows

    Settings settings = Settings::Defaults();
    settings.AllowMultipleInstances = 0;
    RecordingPrompts prompts;
    EXPECT_TRUE(PassesInstanceRule(true, 2, settings, prompts));
    EXPECT_EQ(prompts.Count(), 0u);
    EXPECT_FALSE(PassesInstanceRule(true, 0, settings, prompts));
    const auto shown = prompts.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, PromptKind::Information);
    EXPECT_EQ(shown[0].caption, "Already Running");
    EXPECT_EQ(shown[0].text, "Another copy of Trawlkit was already running. If you want to allow multiple copies to "
                             "run at once, please edit the settings to reflect your wishes.");
}

TEST(InstanceLock, DefaultPathIsPerUser)
{
    const std::string path = DefaultInstanceLockPath();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        EXPECT_EQ(path.rfind(runtime, 0), 0u);
        EXPECT_EQ(path.substr(path.size() - 14), "/trawlkit.lock");
    } else {
        EXPECT_EQ(path, "/tmp/trawlkit-" + std::to_string(::getuid()) + ".lock");
    }
}

} // namespace
} // namespace trawl
