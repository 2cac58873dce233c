// Starts a program for a test and reports how it ended, what it cost and how much memory it took.
//
// Usage: launcher REPORT_FD LIMIT_MS PROGRAM [ARGUMENTS...]
//
// The program runs as this process's child: a child made straight from the test by fork starts with
// a copy of the test's pages, which the kernel counts into the child's peak memory, so a test holding
// a large page would seem to see the program use it. This process has just been exec'd and is small.
// On REPORT_FD it writes "pid N\n" once the program has started, then
// "end WSTATUS MAXRSS_KIB USER_US SYSTEM_US WALL_US TIMED_OUT\n". A program still running after
// LIMIT_MS is killed (TIMED_OUT 1). Built without sanitizers so that it stays small.

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long long NowUs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000000 + now.tv_nsec / 1000;
}

void Report(int fd, const char* text, int length)
{
    while (length > 0) {
        const ssize_t written = write(fd, text, static_cast<size_t>(length));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text += written;
        length -= static_cast<int>(written);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s REPORT_FD LIMIT_MS PROGRAM [ARGUMENTS...]\n", argv[0]);
        return 125;
    }
    const int reportFd = std::atoi(argv[1]);
    const long long limitUs = std::atoll(argv[2]) * 1000;
    // Gone with the test: a test killed by its time-out leaves nothing running.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    fcntl(reportFd, F_SETFD, FD_CLOEXEC);

    const long long started = NowUs();
    const pid_t child = fork();
    if (child == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        execv(argv[3], argv + 3);
        _exit(127);
    }
    if (child < 0) {
        return 126;
    }
    char line[200];
    Report(reportFd, line, std::snprintf(line, sizeof(line), "pid %d\n", static_cast<int>(child)));

    int status = 0;
    rusage usage{};
    bool timedOut = false;
    for (;;) {
        const pid_t done = wait4(child, &status, WNOHANG, &usage);
        if (done == child) {
            break;
        }
        if (done < 0 && errno != EINTR) {
            return 126;
        }
        if (!timedOut && NowUs() - started > limitUs) {
            timedOut = true;
            kill(child, SIGKILL);
        }
        const timespec nap{0, 2 * 1000 * 1000};
        nanosleep(&nap, nullptr);
    }
    const long long wall = NowUs() - started;
    const long long user = static_cast<long long>(usage.ru_utime.tv_sec) * 1000000 + usage.ru_utime.tv_usec;
    const long long system = static_cast<long long>(usage.ru_stime.tv_sec) * 1000000 + usage.ru_stime.tv_usec;
    Report(reportFd, line,
           std::snprintf(line, sizeof(line), "end %d %ld %lld %lld %lld %d\n", status, usage.ru_maxrss, user, system,
                         wall, timedOut ? 1 : 0));
    return 0;
}
