#include "app/Startup.h"

#include <deque>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace trawl {
namespace {

// Hooks that log their calls and answer from scripts.
struct Script {
    std::deque<bool> listsComplete;
    std::deque<int> setupResults;
    bool instanceOk = true;
    std::vector<std::string> log;

    StartupHooks Hooks()
    {
        StartupHooks hooks;
        hooks.loadLists = [this] {
            log.push_back("lists");
            const bool complete = listsComplete.empty() ? true : listsComplete.front();
            if (!listsComplete.empty()) {
                listsComplete.pop_front();
            }
            return complete;
        };
        hooks.loadSettings = [this] { log.push_back("settings"); };
        hooks.instanceCheck = [this] {
            log.push_back("instance");
            return instanceOk;
        };
        hooks.runSetup = [this] {
            log.push_back("setup");
            const int result = setupResults.front();
            setupResults.pop_front();
            return result;
        };
        hooks.offerStartMenu = [this] { log.push_back("startmenu"); };
        hooks.allocateStore = [this] { log.push_back("store"); };
        return hooks;
    }
};

using Log = std::vector<std::string>;

TEST(StartupSequence, CompleteListsGoStraightToTheWindow)
{
    Script script;
    StartupSequence sequence(script.Hooks());
    EXPECT_EQ(sequence.Run(), StartupOutcome::Ready);
    EXPECT_EQ(script.log, (Log{"lists", "settings", "instance", "startmenu", "store"}));
    EXPECT_EQ(sequence.passes(), 1);
}

TEST(StartupSequence, SuccessfulSetupReadsAgainWithoutTheInstanceStep)
{
    Script script;
    script.listsComplete = {false, false, true};
    script.setupResults = {1, 1};
    StartupSequence sequence(script.Hooks());
    EXPECT_EQ(sequence.Run(), StartupOutcome::Ready);
    EXPECT_EQ(script.log, (Log{"lists", "settings", "instance", "setup", "lists", "settings", "setup", "lists",
                               "settings", "startmenu", "store"}));
    EXPECT_EQ(sequence.passes(), 3);
}

TEST(StartupSequence, UnsuccessfulSetupEndsWithoutWindow)
{
    for (const int result : {0, -1, 2}) {
        Script script;
        script.listsComplete = {false, false};
        script.setupResults = {1, result};
        StartupSequence sequence(script.Hooks());
        EXPECT_EQ(sequence.Run(), StartupOutcome::SetupEnded) << result;
        EXPECT_EQ(script.log, (Log{"lists", "settings", "instance", "setup", "lists", "settings", "setup"}));
    }
}

TEST(StartupSequence, SecondCopyEndsBeforeTheSetup)
{
    Script script;
    script.listsComplete = {false};
    script.instanceOk = false;
    StartupSequence sequence(script.Hooks());
    EXPECT_EQ(sequence.Run(), StartupOutcome::SecondCopy);
    EXPECT_EQ(script.log, (Log{"lists", "settings", "instance"}));
}

TEST(StartupSequence, MissingHooksAreSkipped)
{
    StartupSequence sequence(StartupHooks{});
    EXPECT_EQ(sequence.Run(), StartupOutcome::Ready);
    StartupHooks onlyLists;
    onlyLists.loadLists = [] { return false; };
    EXPECT_EQ(StartupSequence(onlyLists).Run(), StartupOutcome::SetupEnded);
}

} // namespace
} // namespace trawl
