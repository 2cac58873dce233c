// A person at the keyboard: the built program in a real X server, a search started from the keys,
// its results saved through the save dialog, and the window closed with the quit keys.

#include "app/AtomicFile.h"
#include "programrun/E2EFixture.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace trawl::test {
namespace {

using namespace std::chrono_literals;

// An X server of our own on a free display, for as long as the object lives.
class XvfbServer {
public:
    XvfbServer()
    {
        int pipe[2];
        if (::pipe2(pipe, O_CLOEXEC) != 0) {
            return;
        }
        const std::string fd = std::to_string(pipe[1]);
        std::vector<std::string> args{"Xvfb", "-displayfd", fd, "-screen", "0", "1024x768x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipe[1], pipe[1]); // keeps it open across exec
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawnp(&m_pid, "Xvfb", &actions, nullptr, argv.data(), environ) != 0) {
            m_pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe[1]);
        std::string number;
        char c = 0;
        while (::read(pipe[0], &c, 1) == 1 && c != '\n') {
            number.push_back(c);
        }
        ::close(pipe[0]);
        if (!number.empty()) {
            m_display = ":" + number;
        }
    }
    ~XvfbServer()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// Runs xdotool on the display; its standard output (trimmed).
std::string Xdo(const std::string& display, const std::string& arguments)
{
    const std::string command = "DISPLAY=" + display + " timeout 20 xdotool " + arguments + " 2>/dev/null";
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            out += buffer;
        }
        ::pclose(pipe);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) {
        out.pop_back();
    }
    return out;
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s)
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

class KeyboardSearch : public E2EFixture {};

TEST_F(KeyboardSearch, a_search_started_and_saved_from_the_keyboard)
{
    XvfbServer x;
    ASSERT_FALSE(x.display().empty()) << "Xvfb did not start";
    WriteLists();
    WriteSettings({"StartMenu: done", "CurrentSearchName: bikes"});
    WriteBikesSearch();
    // One Craigslist city and section, two Kijiji cities and one section, two terms: six feeds.
    constexpr std::size_t kFeeds = 6;
    auto env = Env();
    env["DISPLAY"] = x.display();
    env["XDG_RUNTIME_DIR"] = home.path();

    std::string window;
    const ProgramResult run = RunTrawlkit(
        {}, env, work.path(), false,
        [&](int) {
            window = Xdo(x.display(), "search --sync --onlyvisible --name 'Trawlkit v2.08' | head -n 1");
            ASSERT_FALSE(window.empty()) << "no window came up";
            Xdo(x.display(), "windowfocus --sync " + window);
            // From the search-name box: Load, Save, the tabs, the list, Clear, Filter, Output CSV,
            // View HTML, Deep Scan, and the Go! of the results page.
            Xdo(x.display(), "key --delay 40 Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab");
            const std::size_t before = server.RequestCount();
            // The first press may come while the search file is still loading, which Go! waits out.
            ASSERT_TRUE(WaitFor([&] {
                if (server.RequestCount() > before) {
                    return true;
                }
                Xdo(x.display(), "key space");
                return WaitFor([&] { return server.RequestCount() > before; }, 1500ms);
            }));
            ASSERT_TRUE(
                WaitFor([&] { return server.RequestCount() >= before + kFeeds && server.ActiveConnections() == 0; }));
            // Back from Go! to Save over controls a search never disables: Deep Scan, View HTML,
            // Output CSV, Filter, Clear, the list and the tabs.
            Xdo(x.display(), "key --delay 40 shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab "
                             "shift+Tab space");
            const std::string dialog =
                Xdo(x.display(), "search --sync --onlyvisible --name 'Please select a search file' | head -n 1");
            ASSERT_FALSE(dialog.empty()) << "no save dialog";
            Xdo(x.display(), "windowfocus --sync " + dialog);
            Xdo(x.display(), "key --delay 40 ctrl+a");
            Xdo(x.display(), "type --delay 40 keyboard");
            Xdo(x.display(), "key Return");
            // A new file: the dialog asks before it creates one (a box of the dialog's title in its
            // place), and Yes is its default.
            ASSERT_TRUE(WaitFor([&] {
                const std::string shown =
                    Xdo(x.display(), "search --onlyvisible --name 'Please select a search file' | head -n 1");
                return !shown.empty() && shown != dialog;
            }));
            Xdo(x.display(), "key Return");
            ASSERT_TRUE(WaitFor([&] { return FileExists(home.File("keyboard.trawl")); }));
            Xdo(x.display(), "windowfocus --sync " + window);
            Xdo(x.display(), "key ctrl+q");
        },
        60s);
    EXPECT_FALSE(run.timedOut) << Describe(run) << "\n" << run.err;
    EXPECT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = SplitCrLf(ReadFile(home.File("keyboard.trawl")));
    ASSERT_GT(lines.size(), 6u);
    EXPECT_EQ(lines[0], "keyboard");
    EXPECT_EQ(lines[3], "bike,red wagon");
    EXPECT_NE(ReadFile(home.File("trawlkit.ini")).find("CurrentSearchName: keyboard\r\n"), std::string::npos);
}

} // namespace
} // namespace trawl::test
