#include "app/CommandLine.h"

#include "support/Doubles.h"

#include <gtest/gtest.h>
#include <set>

namespace trawl {
namespace {

using test::RecordingPrompts;
using test::TempDir;
using test::WriteFile;
using Args = std::vector<std::string>;

TEST(SplitCommandLine, SpacesSeparateAndQuotesGroup)
{
    EXPECT_EQ(SplitCommandLine("a  b   c"), (Args{"a", "b", "c"}));
    EXPECT_EQ(SplitCommandLine("  \"my cars.trawl\" -csv "), (Args{"my cars.trawl", "-csv"}));
    EXPECT_EQ(SplitCommandLine("\"\" x"), (Args{"", "x"}));
    // An unclosed quote runs to the end; a closing quote ends the argument.
    EXPECT_EQ(SplitCommandLine("\"open ended"), (Args{"open ended"}));
    EXPECT_EQ(SplitCommandLine("\"ab\"cd"), (Args{"ab", "cd"}));
    // A quote inside an argument is an ordinary character.
    EXPECT_EQ(SplitCommandLine("a\"b c"), (Args{"a\"b", "c"}));
    EXPECT_TRUE(SplitCommandLine("").empty());
    EXPECT_TRUE(SplitCommandLine("    ").empty());
}

TEST(ExamineArguments, OptionWordsInAnyCaseAreRecordedAndHaveNoOtherEffect)
{
    RecordingPrompts prompts;
    const CommandLine line =
        ExamineArguments({"-CSV", "-Html", "-new", "-DEEP", "-DateName", "-Whatever", "-"}, "/nowhere/", prompts);
    EXPECT_TRUE(line.options.csv);
    EXPECT_TRUE(line.options.html);
    EXPECT_TRUE(line.options.newOnly);
    EXPECT_TRUE(line.options.deep);
    EXPECT_TRUE(line.options.dateName);
    EXPECT_EQ(line.unknownOptions, (Args{"Whatever", ""}));
    EXPECT_EQ(line.searchFileCount, 0);
    EXPECT_EQ(prompts.Count(), 0u);
}

TEST(ExamineArguments, SearchFilesAreFoundHereFirstThenInTheProgramFolder)
{
    const std::set<std::string> present = {"here.trawl", "both.trawl", "/prog/both.trawl", "/prog/there.trawl"};
    const FileProbe probe = [&](const std::string& path) { return present.count(path) > 0; };
    RecordingPrompts prompts;
    const CommandLine line =
        ExamineArguments({"here.trawl", "there.trawl", "both.trawl", "-csv", "gone.trawl"}, "/prog/", prompts, probe);
    EXPECT_EQ(line.searchFiles, (Args{"here.trawl", "/prog/there.trawl", "both.trawl"}));
    EXPECT_EQ(line.searchFileCount, 3);
    EXPECT_EQ(prompts.Lines(), (Args{"Error: Error: I could not load the search titled 'gone.trawl' because it does "
                                     "not seem to exist."}));
    ASSERT_EQ(prompts.Count(), 1u);
    EXPECT_EQ(prompts.Shown()[0].kind, PromptKind::Error);
}

TEST(ExamineArguments, RealFilesEachMissingOneReportedOnce)
{
    TempDir dir;
    WriteFile(dir.File("saved.trawl"), "x");
    RecordingPrompts prompts;
    const CommandLine line = ExamineCommandLine(
        "\"" + dir.File("saved.trawl") + "\" saved.trawl missing.trawl \"with space.trawl\"", dir.path(), prompts);
    EXPECT_EQ(line.searchFiles, (Args{dir.File("saved.trawl"), dir.File("saved.trawl")}));
    EXPECT_EQ(line.searchFileCount, 2);
    const auto shown = prompts.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].text, MissingSearchText("missing.trawl"));
    EXPECT_EQ(shown[1].text, MissingSearchText("with space.trawl"));
    // A folder is not a search file.
    RecordingPrompts again;
    EXPECT_EQ(ExamineArguments({dir.path()}, dir.path(), again).searchFileCount, 0);
    EXPECT_EQ(again.Count(), 1u);
}

TEST(ExamineArguments, AtMostOneCharacterIsIgnoredCompletely)
{
    const FileProbe never = [](const std::string&) { return false; };
    RecordingPrompts prompts;
    EXPECT_EQ(ExamineCommandLine(" x ", "/p/", prompts, never).searchFileCount, 0);
    EXPECT_EQ(ExamineCommandLine("", "/p/", prompts, never).searchFileCount, 0);
    EXPECT_EQ(ExamineArguments({"x"}, "/p/", prompts, never).searchFileCount, 0);
    EXPECT_EQ(ExamineArguments({" ", "", "y"}, "/p/", prompts, never).searchFileCount, 0);
    EXPECT_EQ(ExamineArguments({}, "/p/", prompts, never).searchFileCount, 0);
    EXPECT_EQ(prompts.Count(), 0u);
    // Two characters are examined, quoted or not.
    ExamineCommandLine("\"x\"", "/p/", prompts, never);
    ExamineArguments({"x", "y"}, "/p/", prompts, never);
    EXPECT_EQ(prompts.Count(), 3u);
}

TEST(ExamineArguments, ManyFilesAreCountedButAtMost32Kept)
{
    const FileProbe always = [](const std::string&) { return true; };
    RecordingPrompts prompts;
    Args many;
    for (int i = 0; i < 40; ++i) {
        many.push_back("f" + std::to_string(i));
    }
    const CommandLine line = ExamineArguments(many, "/p/", prompts, always);
    EXPECT_EQ(line.searchFileCount, 40);
    ASSERT_EQ(line.searchFiles.size(), 32u);
    EXPECT_EQ(line.searchFiles.back(), "f31");
}

} // namespace
} // namespace trawl
