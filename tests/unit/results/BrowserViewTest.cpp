#include "results/BrowserView.h"

#include "OutputTestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

namespace trawl {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct BrowserView : test::OutputFixture {
    test::RecordingShell shell;

    BrowserView()
    {
        Add("2024-03-01", "Red bike", "Austin", "bicycles", "http://austin.craigslist.org/bik/1.html", "");
        Add("2024-03-02", "Sofa", "Montreal", "furniture", "http://montreal.kijiji.ca/2", "");
    }
};

TEST_F(BrowserView, WithoutConfirmationOpensAtOnce)
{
    EXPECT_TRUE(ViewAdInBrowser(store, 2, ViewSource::ResultList, false, prompts, shell));
    EXPECT_THAT(shell.Opened(), ElementsAre("http://montreal.kijiji.ca/2"));
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST_F(BrowserView, ResultListQuestionShowsTheLinkQuickFilterOneDoesNot)
{
    prompts.QueueAnswer(PromptAnswer::Yes);
    prompts.QueueAnswer(PromptAnswer::Yes);
    EXPECT_TRUE(ViewAdInBrowser(store, 1, ViewSource::ResultList, true, prompts, shell));
    EXPECT_TRUE(ViewAdInBrowser(store, 1, ViewSource::QuickFilter, true, prompts, shell));
    ASSERT_EQ(prompts.Count(), 2u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Question);
    EXPECT_EQ(prompts.Shown()[0].caption, "View it?");
    EXPECT_EQ(prompts.Shown()[0].text,
              "View this Austin ad in your browser?\r\n\r\nRed bike\r\n\r\nhttp://austin.craigslist.org/bik/1.html");
    EXPECT_EQ(prompts.Shown()[1].text, "View this Austin ad in your browser?\r\n\r\nRed bike");
    EXPECT_THAT(shell.Opened(),
                ElementsAre("http://austin.craigslist.org/bik/1.html", "http://austin.craigslist.org/bik/1.html"));
}

TEST_F(BrowserView, AnythingButYesOpensNothing)
{
    prompts.QueueAnswer(PromptAnswer::No);
    prompts.QueueAnswer(PromptAnswer::Cancel);
    prompts.QueueAnswer(PromptAnswer::Ok);
    for (int k = 0; k < 3; ++k) {
        EXPECT_FALSE(ViewAdInBrowser(store, 1, ViewSource::ResultList, true, prompts, shell));
    }
    EXPECT_THAT(shell.Opened(), IsEmpty());
}

TEST_F(BrowserView, NoSuchRecordDoesNothing)
{
    for (int record : {0, -1, 3}) {
        EXPECT_FALSE(ViewAdInBrowser(store, record, ViewSource::ResultList, true, prompts, shell));
    }
    EXPECT_EQ(prompts.Count(), 0u);
    EXPECT_THAT(shell.Opened(), IsEmpty());
}

TEST_F(BrowserView, QuestionIsAskedWithTheStoreUnlocked)
{
    // While the box is open a worker must still be able to add a result.
    prompts.responder = [&](const test::ShownPrompt&) {
        std::thread worker([&] {
            store.AddIfNew("http://x.craigslist.org/9",
                           ResultRecord{"2024-03-03", "Lamp", "C", "S", "http://x.craigslist.org/9", "", ""});
        });
        worker.join();
        return PromptAnswer::Yes;
    };
    EXPECT_TRUE(ViewAdInBrowser(store, 1, ViewSource::ResultList, true, prompts, shell));
    EXPECT_EQ(store.Count(), 3);
}

TEST_F(BrowserView, OpenWithShellHandsTheTargetOver)
{
    EXPECT_TRUE(OpenWithShell("/tmp/page.html", shell));
    shell.result = false;
    EXPECT_FALSE(OpenWithShell("/tmp/other.csv", shell));
    EXPECT_THAT(shell.Opened(), ElementsAre("/tmp/page.html", "/tmp/other.csv"));
}

} // namespace
} // namespace trawl
