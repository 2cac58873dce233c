#include "app/ProgramDirectory.h"

#include "support/Doubles.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace trawl {
namespace {

TEST(ResolveProgramDirectory, FollowsTheOrderOfPreference)
{
    ProgramFolderInputs in;
    in.executablePath = "/opt/tk/bin/trawlkit";
    in.executableFolderWritable = true;
    in.xdgDataHome = "/home/u/.data";
    in.home = "/home/u";

    in.trawlkitHome = "/srv/tk";
    EXPECT_EQ(ResolveProgramDirectory(in), "/srv/tk/");
    in.trawlkitHome = "rel/tk/";
    EXPECT_EQ(ResolveProgramDirectory(in), "rel/tk/");

    in.trawlkitHome.clear();
    EXPECT_EQ(ResolveProgramDirectory(in), "/opt/tk/bin/");
    in.installedLayout = true; // writable, but installed: the user's data folder
    EXPECT_EQ(ResolveProgramDirectory(in), "/home/u/.data/trawlkit/");
    in.installedLayout = false;

    in.executableFolderWritable = false;
    EXPECT_EQ(ResolveProgramDirectory(in), "/home/u/.data/trawlkit/");
    in.xdgDataHome = "relative/data"; // not absolute: ignored
    EXPECT_EQ(ResolveProgramDirectory(in), "/home/u/.local/share/trawlkit/");
    in.xdgDataHome.clear();
    in.home = "/home/u/";
    EXPECT_EQ(ResolveProgramDirectory(in), "/home/u/.local/share/trawlkit/");

    // Nothing better known: the executable's folder, or the current one.
    in.home.clear();
    EXPECT_EQ(ResolveProgramDirectory(in), "/opt/tk/bin/");
    in.executablePath.clear();
    EXPECT_EQ(ResolveProgramDirectory(in), "./");
}

TEST(IsInstalledLayout, AProgramInBinBesideItsCatalogueEntry)
{
    test::TempDir prefix;
    EXPECT_FALSE(IsInstalledLayout(prefix.File("bin/")));
    ::mkdir(prefix.File("share").c_str(), 0700);
    ::mkdir(prefix.File("share/metainfo").c_str(), 0700);
    test::WriteFile(prefix.File("share/metainfo/com.brackenly.Trawlkit.metainfo.xml"), "<component/>");
    EXPECT_TRUE(IsInstalledLayout(prefix.File("bin/")));
    EXPECT_FALSE(IsInstalledLayout(prefix.File("build/"))); // a build folder beside it is no installed copy
    EXPECT_FALSE(IsInstalledLayout(""));
}

TEST(ProgramDirectory, UsesTheEnvironmentAndEndsInSlash)
{
    test::TempDir dir;
    const char* saved = std::getenv("TRAWLKIT_HOME");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TRAWLKIT_HOME", (dir.path() + "home").c_str(), 1);
    EXPECT_EQ(ProgramDirectory(), dir.path() + "home/");
    ::setenv("TRAWLKIT_HOME", "", 1); // empty counts as unset
    const std::string folder = ProgramDirectory();
    EXPECT_EQ(folder.back(), '/');
    EXPECT_NE(folder, "/");
    struct stat info {};
    EXPECT_EQ(::stat(folder.c_str(), &info), 0);
    if (saved) {
        ::setenv("TRAWLKIT_HOME", savedValue.c_str(), 1);
    } else {
        ::unsetenv("TRAWLKIT_HOME");
    }
    EXPECT_EQ(FolderOfPath(ExecutablePath()).back(), '/');
}

} // namespace
} // namespace trawl
