// A search save interrupted at any point (the process killed, the disk full) leaves the old file or the
// new one whole, never a mixture or a stump. The save runs in a forked child so it can be killed.
#include "SearchFileTestSupport.h"

#include "app/AtomicFile.h"

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <random>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trawl {
namespace {

using test::Definition;
using test::Fill;
using test::Record;
using SearchFileCrash = test::SearchFileFixture;

constexpr int kLargeCount = 200000;

std::vector<ResultRecord> ManyRecords(int count, const std::string& tag)
{
    std::vector<ResultRecord> records;
    records.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        records.push_back(Record("2024-03-01", tag + " bike " + std::to_string(i),
                                 "http://v.example/" + tag + "/" + std::to_string(i) + ".html",
                                 "text \"" + std::to_string(i * 7) + "\"\r\nsecond line"));
    }
    return records;
}

// Bytes of every file in `folder` other than `keep`, by name.
std::vector<std::string> OtherEntries(const std::string& folder, const std::string& keep)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename() != keep) {
            names.push_back(entry.path().string());
        }
    }
    return names;
}

std::uintmax_t LargestOtherFile(const std::string& folder, const std::string& keep)
{
    std::uintmax_t largest = 0;
    std::error_code ignored;
    for (const std::string& name : OtherEntries(folder, keep)) {
        largest = std::max(largest, std::filesystem::file_size(name, ignored));
    }
    return largest;
}

TEST_F(SearchFileCrash, killed_at_any_point_leaves_the_old_or_the_new_file_whole)
{
    ResultStore oldStore(kLargeCount, view, prompts);
    Fill(oldStore, ManyRecords(500, "old"));
    ResultStore newStore(kLargeCount, view, prompts);
    Fill(newStore, ManyRecords(kLargeCount, "new"));

    // The bytes each outcome must have, from saves nobody interrupts.
    const std::string reference = dir.File("reference.trawl");
    ASSERT_TRUE(SaveSearch(reference, Definition(), oldStore).ok());
    const std::string oldBytes = test::ReadFile(reference);
    ASSERT_TRUE(SaveSearch(reference, Definition(), newStore).ok());
    const std::string newBytes = test::ReadFile(reference);
    ASSERT_GT(newBytes.size(), std::size_t{10} << 20);

    const std::string folder = dir.File("saves");
    std::filesystem::create_directory(folder);
    const std::string path = folder + "/s.trawl";
    std::mt19937 random(20240315);
    int sawOld = 0;
    int sawNew = 0;
    // Kill points spread over the whole save: before anything is written, as the temporary file grows,
    // and once it is complete (syncing and renaming); the last round is not interrupted at all.
    const double fractions[] = {0.0, 0.05, 0.2, 0.35, 0.5, 0.65, 0.8, 0.95, 1.0, 1.0, 2.0};
    for (double fraction : fractions) {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
        ASSERT_TRUE(WriteFileAtomically(path, oldBytes).ok());
        const std::uintmax_t threshold =
            fraction > 1.0 ? UINTMAX_MAX
                           : std::min<std::uintmax_t>(
                                 static_cast<std::uintmax_t>(fraction * static_cast<double>(newBytes.size())) +
                                     random() % 4096,
                                 newBytes.size());

        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const Status status = SaveSearch(path, Definition(), newStore);
            ::_exit(status.ok() ? 0 : 1);
        }
        // Kill the child once its temporary file has reached the threshold (or it has finished).
        int wstatus = 0;
        pid_t done = 0;
        while ((done = ::waitpid(child, &wstatus, WNOHANG)) == 0) {
            if (fraction == 0.0 || LargestOtherFile(folder, "s.trawl") >= threshold) {
                ::kill(child, SIGKILL);
                done = ::waitpid(child, &wstatus, 0);
                break;
            }
            ::sched_yield();
        }
        ASSERT_EQ(done, child);

        const std::string now = test::ReadFile(path);
        if (now == oldBytes) {
            ++sawOld;
        } else {
            ASSERT_EQ(now.size(), newBytes.size()) << "killed at " << fraction << " of the save";
            ASSERT_TRUE(now == newBytes) << "killed at " << fraction << " of the save";
            ++sawNew;
        }
        // Whatever the kill left behind, the next save replaces the file and can be loaded.
        ASSERT_TRUE(SaveSearch(path, Definition(), oldStore).ok());
        EXPECT_EQ(test::ReadFile(path), oldBytes);
    }
    // The kills did land part way (they kept the old file), and the save left alone completed.
    EXPECT_GE(sawOld, 3);
    EXPECT_GE(sawNew, 1);
    EXPECT_EQ(sawOld + sawNew, static_cast<int>(std::size(fractions)));
}

// The disk fills up (a file-size limit in a child, SIGXFSZ ignored, stands in for it) at points all over
// a large save: each time the save says so, names the file, and the old file is left as it was.
TEST_F(SearchFileCrash, full_disk_anywhere_in_a_large_save_keeps_the_old_file)
{
    const std::string path = dir.File("s.trawl");
    ResultStore oldStore(kLargeCount, view, prompts);
    Fill(oldStore, ManyRecords(50, "old"));
    ASSERT_TRUE(SaveSearch(path, Definition(), oldStore).ok());
    const std::string oldBytes = test::ReadFile(path);
    ResultStore newStore(kLargeCount, view, prompts);
    Fill(newStore, ManyRecords(kLargeCount, "new"));

    for (rlim_t limit : {rlim_t{1}, rlim_t{4096}, rlim_t{65537}, rlim_t{1} << 20, rlim_t{9} << 20}) {
        int pipeFds[2];
        ASSERT_EQ(::pipe(pipeFds), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(pipeFds[0]);
            ::signal(SIGXFSZ, SIG_IGN);
            rlimit small{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &small);
            newStore.SetUnsavedResults(true);
            const Status status = SaveSearch(path, Definition(), newStore);
            const std::string report = std::string(status.ok() ? "OK" : "FAIL") +
                                       (newStore.UnsavedResults() ? " unsaved " : " saved ") + status.message();
            [[maybe_unused]] const auto written = ::write(pipeFds[1], report.data(), report.size());
            ::_exit(0);
        }
        ::close(pipeFds[1]);
        std::string report;
        char buffer[1024];
        ssize_t n = 0;
        while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0) {
            report.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(pipeFds[0]);
        int wstatus = 0;
        ASSERT_EQ(::waitpid(child, &wstatus, 0), child);
        ASSERT_TRUE(WIFEXITED(wstatus)) << "limit " << limit;

        EXPECT_EQ(report.rfind("FAIL unsaved ", 0), 0u) << "limit " << limit << ": " << report;
        EXPECT_NE(report.find(path), std::string::npos) << report;
        EXPECT_NE(report.find("File too large"), std::string::npos) << report;
        EXPECT_EQ(test::ReadFile(path), oldBytes) << "limit " << limit;
        EXPECT_TRUE(OtherEntries(dir.path(), "s.trawl").empty()) << "limit " << limit;
    }
}

} // namespace
} // namespace trawl
