#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace trawl::test {

struct ProgramResult {
    int status = -1; // exit status; 128 + signal number when a signal ended it
    std::string out;
    std::string err;
    long long wallMs = -1; // from its start until it had ended
    long long cpuMs = -1;  // user and system time together
    long peakKb = -1;      // its peak resident memory (the kernel's ru_maxrss), KiB
    bool timedOut = false; // it was still running at the time limit and was killed
};

// A run that outlives this is killed: a hung program fails its test rather than the whole suite.
inline constexpr std::chrono::milliseconds kDefaultRunLimit{100000};

// Runs the built trawlkit in `folder` (its current folder) with `arguments` and these environment
// variables on top of the test's own, less any display (so it runs without a window unless `env`
// names one); standard input is /dev/null, the output streams are captured.
// With `stdoutClosedPipe` standard output is a pipe whose reader has gone. `whileRunning` is called
// with the program's process id once it has started, before it is waited for. The program is started
// by a small launcher (Launcher.cpp), so that its peak memory is its own and not the test's; a run
// that outlives `limit` is killed (timedOut).
ProgramResult RunTrawlkit(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env,
                          const std::string& folder, bool stdoutClosedPipe = false,
                          const std::function<void(int pid)>& whileRunning = {},
                          std::chrono::milliseconds limit = kDefaultRunLimit);

// "status 1, 812 ms, 0.3 s CPU, peak 9.1 MiB": one line for a test's log.
std::string Describe(const ProgramResult& result);

} // namespace trawl::test
