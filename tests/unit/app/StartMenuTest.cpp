#include "app/StartMenu.h"

#include "support/Doubles.h"

#include <gtest/gtest.h>

namespace trawl {
namespace {

using test::ReadFile;
using test::RecordingPrompts;
using test::TempDir;

struct Offer {
    Settings settings = Settings::Defaults();
    RecordingPrompts prompts;
    std::vector<ShortcutRequest> made;
    bool createResult = true;

    void Run(PromptAnswer answer)
    {
        prompts.QueueAnswer(answer);
        OfferStartMenuShortcut(settings, prompts, "/opt/tk/trawlkit", "/opt/tk/", [&](const ShortcutRequest& r) {
            made.push_back(r);
            return createResult;
        });
    }
};

TEST(StartMenuOffer, AnswersSetTheState)
{
    Offer yes;
    yes.createResult = false; // the outcome is not looked at
    yes.Run(PromptAnswer::Yes);
    EXPECT_EQ(yes.settings.StartMenu, "done");
    ASSERT_EQ(yes.made.size(), 1u);
    EXPECT_EQ(yes.made[0].target, "/opt/tk/trawlkit");
    EXPECT_EQ(yes.made[0].workingDirectory, "/opt/tk/");
    EXPECT_EQ(yes.made[0].description, "Run the Brackenly Trawlkit");
    const auto shown = yes.prompts.Shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].kind, PromptKind::ThreeWay);
    EXPECT_EQ(shown[0].caption, "Start Menu?");
    EXPECT_EQ(shown[0].text, "Would you like to add Trawlkit to your start menu? Select 'yes' to do so, 'no' not to, "
                             "or 'cancel' to ask again later.");

    Offer no;
    no.Run(PromptAnswer::No);
    EXPECT_EQ(no.settings.StartMenu, "done");
    EXPECT_TRUE(no.made.empty());

    for (const PromptAnswer later : {PromptAnswer::Cancel, PromptAnswer::Ok}) {
        Offer cancel;
        cancel.settings.StartMenu = "whatever";
        cancel.Run(later);
        EXPECT_EQ(cancel.settings.StartMenu, "later");
        EXPECT_TRUE(cancel.made.empty());
    }
}

TEST(StartMenuOffer, AskedUntilDoneOnly)
{
    Offer done;
    done.settings.StartMenu = "done";
    done.Run(PromptAnswer::Yes);
    EXPECT_EQ(done.prompts.Count(), 0u);
    EXPECT_TRUE(done.made.empty());

    Offer other; // "DONE" would have been lower-cased on load; in memory only "done" counts
    other.settings.StartMenu = "DONE";
    other.Run(PromptAnswer::Cancel);
    EXPECT_EQ(other.prompts.Count(), 1u);
}

TEST(StartMenuShortcut, WritesADesktopEntry)
{
    TempDir dir;
    const std::string folder = dir.File("share/applications/");
    ShortcutRequest request{kShortcutLinkName, "/opt/my tk/trawl$kit\\100%", "/opt/my tk/", kShortcutDescription};
    ASSERT_TRUE(CreateStartMenuShortcut(folder, request));
    const std::string written = ReadFile(folder + "trawlkit.desktop");
    EXPECT_EQ(written, "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=Trawlkit\n"
                       "GenericName=Classified Ad Harvester\n"
                       "Comment=Run the Brackenly Trawlkit\n"
                       "Exec=\"/opt/my tk/trawl\\\\$kit\\\\\\\\100%%\"\n"
                       "Path=/opt/my tk/\n"
                       "Icon=trawlkit\n"
                       "Terminal=false\n"
                       "Categories=Network;\n"
                       "Keywords=classifieds;ads;craigslist;kijiji;search;\n");
    // The package's entry is the same but for Exec and Path: the user's own entry takes its place.
    std::string installed = DesktopEntryText(InstalledShortcut());
    installed.replace(installed.find("Exec=\"trawlkit\"\n"), 16,
                      "Exec=\"/opt/my tk/trawl\\\\$kit\\\\\\\\100%%\"\nPath=/opt/my tk/\n");
    EXPECT_EQ(installed, written);
}

TEST(StartMenuShortcut, RefusesWhatCannotBeWritten)
{
    TempDir dir;
    ShortcutRequest request{kShortcutLinkName, "/opt/tk/trawlkit", "/opt/tk/", kShortcutDescription};
    EXPECT_FALSE(CreateStartMenuShortcut("", request));
    test::WriteFile(dir.File("file"), "x");
    EXPECT_FALSE(CreateStartMenuShortcut(dir.File("file/apps"), request));
    ShortcutRequest broken = request;
    broken.target = "/opt/tk/trawlkit\nExec=evil";
    EXPECT_FALSE(CreateStartMenuShortcut(dir.path(), broken));
    broken = request;
    broken.linkName = "../escape.desktop";
    EXPECT_FALSE(CreateStartMenuShortcut(dir.path(), broken));
}

TEST(StartMenuShortcut, MenuFolderFromTheEnvironment)
{
    EXPECT_EQ(ApplicationsFolder("/x/data", "/home/u"), "/x/data/applications/");
    EXPECT_EQ(ApplicationsFolder("", "/home/u/"), "/home/u/.local/share/applications/");
    EXPECT_EQ(ApplicationsFolder("rel", "/home/u"), "/home/u/.local/share/applications/");
    EXPECT_EQ(ApplicationsFolder("", ""), "");
}

} // namespace
} // namespace trawl
