#include "batch/AlertCommand.h"

#include "support/Doubles.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trawl {
namespace {

using test::TempDir;
using ::testing::HasSubstr;

// A program that writes what it was given into `folder`: its environment's three values, its
// arguments and its standard input, then exits with `status`.
std::string WriteRecorder(const TempDir& folder, int status = 0)
{
    const std::string path = folder.File("recorder");
    test::WriteFile(path, "#!/bin/sh\n"
                          "cd \"$(dirname \"$0\")\"\n"
                          "printf '%s' \"$TRAWLKIT_SEARCH\" > search\n"
                          "printf '%s' \"$TRAWLKIT_NEW_COUNT\" > count\n"
                          "cp \"$TRAWLKIT_NEW_CSV\" new.csv\n"
                          "printf '%s' \"$#\" > arguments\n"
                          "cat > input\n"
                          "exit " +
                              std::to_string(status) + "\n");
    ::chmod(path.c_str(), 0700);
    return path;
}

TEST(AlertCommand, gets_the_name_count_and_file_in_its_environment_and_nothing_runs_the_name)
{
    TempDir folder;
    test::WriteFile(folder.File("results.csv"), "\"Date\"\r\n\"one\"\r\n");
    const std::string hostile = "a \"b\" 'c' $(touch pwned) `touch pwned2`; touch pwned3 & \\";
    ASSERT_TRUE(RunAlertCommand(WriteRecorder(folder), hostile, 1, folder.File("results.csv")).ok());
    EXPECT_EQ(test::ReadFile(folder.File("search")), hostile);
    EXPECT_EQ(test::ReadFile(folder.File("count")), "1");
    EXPECT_EQ(test::ReadFile(folder.File("new.csv")), "\"Date\"\r\n\"one\"\r\n");
    EXPECT_EQ(test::ReadFile(folder.File("arguments")), "0");
    EXPECT_EQ(test::ReadFile(folder.File("input")), ""); // standard input is empty, not the run's
    for (const char* made : {"pwned", "pwned2", "pwned3"}) {
        EXPECT_NE(::access(folder.File(made).c_str(), F_OK), 0) << made;
    }
}

TEST(AlertCommand, a_failure_says_what_happened)
{
    TempDir folder;
    EXPECT_EQ(RunAlertCommand(WriteRecorder(folder, 3), "s", 1, "/dev/null").message(),
              "the alert command '" + folder.File("recorder") + "' failed with exit status 3");
    EXPECT_THAT(RunAlertCommand(folder.File("missing"), "s", 1, "/dev/null").message(),
                HasSubstr("could not be started (No such file or directory)"));
    test::WriteFile(folder.File("killed"), "#!/bin/sh\nkill -9 $$\n");
    ::chmod(folder.File("killed").c_str(), 0700);
    EXPECT_THAT(RunAlertCommand(folder.File("killed"), "s", 1, "/dev/null").message(),
                HasSubstr("was ended by signal 9"));
    EXPECT_FALSE(RunAlertCommand("", "s", 1, "/dev/null").ok());
    // A name without a slash is looked up on the PATH, as a shell would, but still run without one.
    EXPECT_TRUE(RunAlertCommand("true", "s", 1, "/dev/null").ok());
}

} // namespace
} // namespace trawl
