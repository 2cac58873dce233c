#include "batch/Console.h"

#include <gtest/gtest.h>
#include <sstream>

namespace trawl {
namespace {

struct Streams {
    std::ostringstream out;
    std::ostringstream err;
};

TEST(ConsolePrompts, message_boxes_become_caption_and_text_on_stderr_with_the_safe_answer)
{
    Streams s;
    Console console(s.out, s.err, false);
    ConsolePrompts prompts(console);
    EXPECT_EQ(prompts.Show(PromptKind::Error, "Error", "You have not set any search terms. Please do that first."),
              PromptAnswer::Ok);
    EXPECT_EQ(prompts.Show(PromptKind::Question, "Really exit?", "Sure?"), PromptAnswer::No);
    EXPECT_EQ(prompts.Show(PromptKind::Confirm, "Warning", "Delete?"), PromptAnswer::No);
    EXPECT_EQ(prompts.Show(PromptKind::ThreeWay, "Select Scope", "Only new?"), PromptAnswer::Cancel);
    EXPECT_EQ(prompts.Show(PromptKind::Warning, "Warning", "w"), PromptAnswer::Ok);
    EXPECT_EQ(prompts.Show(PromptKind::Information, "Info", "i"), PromptAnswer::Ok);
    EXPECT_EQ(prompts.Show(PromptKind::Notice, "No worries", "n"), PromptAnswer::Ok);
    EXPECT_EQ(s.err.str(), "Error: You have not set any search terms. Please do that first.\n"
                           "Really exit?: Sure?\nWarning: Delete?\nSelect Scope: Only new?\nWarning: w\n"
                           "Info: i\nNo worries: n\n");
    EXPECT_EQ(s.out.str(), "");
}

TEST(ConsolePrompts, closing_message_of_a_written_file_goes_to_stdout_alone)
{
    Streams s;
    Console console(s.out, s.err, false);
    ConsolePrompts prompts(console);
    prompts.Show(PromptKind::Notice, "Save complete", "CSV file saved to '/x/a.csv' with 3 records.");
    EXPECT_EQ(s.out.str(), "CSV file saved to '/x/a.csv' with 3 records.\n");
    EXPECT_EQ(s.err.str(), "");
}

TEST(Console, progress_line_is_rewritten_in_place_and_cleared_before_other_text)
{
    Streams s;
    Console console(s.out, s.err, true);
    console.Progress("a: 1 of 4 jobs");
    console.Progress("a: 2 of 4");
    console.Err("Error: boom");
    console.Progress("a: 3 of 4 jobs");
    console.EndProgress();
    console.EndProgress(); // nothing shown: no second line end
    EXPECT_EQ(s.err.str(), "\ra: 1 of 4 jobs"
                           "\ra: 2 of 4"
                           "     \ra: 2 of 4"
                           "\r         \r"
                           "Error: boom\n"
                           "\ra: 3 of 4 jobs\n");
}

TEST(Console, no_progress_line_when_stderr_is_no_terminal)
{
    Streams s;
    Console console(s.out, s.err, false);
    console.Progress("a: 1 of 4 jobs");
    console.EndProgress();
    console.Out("done");
    EXPECT_EQ(s.err.str(), "");
    EXPECT_EQ(s.out.str(), "done\n");
}

} // namespace
} // namespace trawl
