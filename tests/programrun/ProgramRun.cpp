#include "programrun/ProgramRun.h"

#include "support/Doubles.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace trawl::test {

namespace {

// The launcher's report arrives on this descriptor of the launcher.
constexpr int kReportFd = 3;

// Reads from `fd` until a line feed or the end; the line without its end ("" at the end).
std::string ReadLine(int fd)
{
    std::string line;
    char c = 0;
    for (;;) {
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0 || c == '\n') {
            return line;
        }
        line.push_back(c);
    }
}

int StatusOf(int wstatus)
{
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

} // namespace

ProgramResult RunTrawlkit(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env,
                          const std::string& folder, bool stdoutClosedPipe,
                          const std::function<void(int pid)>& whileRunning, std::chrono::milliseconds limit)
{
    int deadPipe[2] = {-1, -1};
    if (stdoutClosedPipe && ::pipe(deadPipe) == 0) {
        ::close(deadPipe[0]);
    }
    int report[2] = {-1, -1};
    if (::pipe2(report, O_CLOEXEC) != 0) {
        return {};
    }
    TempDir streams;
    const std::string outPath = streams.File("stdout");
    const std::string errPath = streams.File("stderr");
    std::vector<std::string> argv{TRAWLKIT_LAUNCHER, std::to_string(kReportFd), std::to_string(limit.count()),
                                  TRAWLKIT_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (std::string& a : argv) {
        raw.push_back(a.data());
    }
    raw.push_back(nullptr);
    // The environment is made here: between fork and exec a multi-threaded process may only make
    // async-signal-safe calls, which setenv is not.
    // Without a display of its own (given in `env`), the program runs without a window whatever
    // desktop the test runs on.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        const bool display = name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "QT_QPA_PLATFORM";
        if (!env.contains(name) && !display) {
            environment.push_back(entry);
        }
    }
    for (const auto& [name, value] : env) {
        environment.push_back(name + "=" + value);
    }
    std::vector<char*> rawEnvironment;
    for (std::string& e : environment) {
        rawEnvironment.push_back(e.data());
    }
    rawEnvironment.push_back(nullptr);

    const pid_t launcher = ::fork();
    if (launcher == 0) {
        const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        // Moved out of the way first, so that none of the dup2 calls below overwrites it.
        const int reportWrite = ::fcntl(report[1], F_DUPFD_CLOEXEC, 10);
        ::dup2(in, 0);
        ::dup2(deadPipe[1] >= 0 ? deadPipe[1] : out, 1);
        ::dup2(err, 2);
        ::dup2(reportWrite, kReportFd); // dup2 leaves the copy open across exec
        ::execve(raw[0], raw.data(), rawEnvironment.data());
        ::_exit(127);
    }
    ::close(report[1]);
    if (deadPipe[1] >= 0) {
        ::close(deadPipe[1]);
    }
    ProgramResult result;
    if (launcher > 0) {
        const std::string started = ReadLine(report[0]);
        int pid = 0;
        if (std::sscanf(started.c_str(), "pid %d", &pid) == 1 && whileRunning) {
            whileRunning(pid);
        }
        const std::string ended = ReadLine(report[0]);
        int wstatus = 0;
        long peakKb = 0;
        long long userUs = 0;
        long long systemUs = 0;
        long long wallUs = 0;
        int timedOut = 0;
        if (std::sscanf(ended.c_str(), "end %d %ld %lld %lld %lld %d", &wstatus, &peakKb, &userUs, &systemUs, &wallUs,
                        &timedOut) == 6) {
            result.status = StatusOf(wstatus);
            result.peakKb = peakKb;
            result.cpuMs = (userUs + systemUs) / 1000;
            result.wallMs = wallUs / 1000;
            result.timedOut = timedOut != 0;
        }
        int launcherStatus = 0;
        while (::waitpid(launcher, &launcherStatus, 0) < 0 && errno == EINTR) {
        }
        if (ended.empty()) {
            result.status = StatusOf(launcherStatus); // the launcher itself failed
        }
    }
    ::close(report[0]);
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

std::string Describe(const ProgramResult& result)
{
    std::ostringstream text;
    text.precision(1);
    text << std::fixed << "status " << result.status << (result.timedOut ? " (killed at its time limit)" : "") << ", "
         << result.wallMs << " ms, " << static_cast<double>(result.cpuMs) / 1000.0 << " s CPU, peak "
         << static_cast<double>(result.peakKb) / 1024.0 << " MiB";
    return text.str();
}

} // namespace trawl::test
