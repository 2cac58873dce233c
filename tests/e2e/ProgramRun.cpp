#include "ProgramRun.h"

#include "support/Doubles.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace trawl::test {

ProgramResult RunTrawlkit(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env,
                          const std::string& folder, bool stdoutClosedPipe,
                          const std::function<void(int pid)>& whileRunning)
{
    int deadPipe[2] = {-1, -1};
    if (stdoutClosedPipe && ::pipe(deadPipe) == 0) {
        ::close(deadPipe[0]);
    }
    TempDir streams;
    const std::string outPath = streams.File("stdout");
    const std::string errPath = streams.File("stderr");
    std::vector<std::string> argv{TRAWLKIT_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> raw;
    for (std::string& a : argv) {
        raw.push_back(a.data());
    }
    raw.push_back(nullptr);
    // The environment is made here: between fork and exec a multi-threaded process may only make
    // async-signal-safe calls, which setenv is not.
    std::vector<std::string> environment;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (!env.contains(entry.substr(0, entry.find('=')))) {
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

    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::chdir(folder.c_str()) != 0) {
            ::_exit(126);
        }
        ::dup2(in, 0);
        ::dup2(deadPipe[1] >= 0 ? deadPipe[1] : out, 1);
        ::dup2(err, 2);
        ::execve(raw[0], raw.data(), rawEnvironment.data());
        ::_exit(127);
    }
    if (deadPipe[1] >= 0) {
        ::close(deadPipe[1]);
    }
    if (child > 0 && whileRunning) {
        whileRunning(child);
    }
    ProgramResult result;
    int wstatus = 0;
    if (child > 0 && ::waitpid(child, &wstatus, 0) == child) {
        result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
    }
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    return result;
}

} // namespace trawl::test
