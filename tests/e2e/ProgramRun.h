#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace trawl::test {

struct ProgramResult {
    int status = -1; // exit status; 128 + signal number when a signal ended it
    std::string out;
    std::string err;
};

// Runs the built trawlkit in `folder` (its current folder) with `arguments` and these environment
// variables on top of the test's own; standard input is /dev/null, the output streams are captured.
// With `stdoutClosedPipe` standard output is a pipe whose reader has gone. `whileRunning` is called
// with the program's process id once it has started, before it is waited for.
ProgramResult RunTrawlkit(const std::vector<std::string>& arguments, const std::map<std::string, std::string>& env,
                          const std::string& folder, bool stdoutClosedPipe = false,
                          const std::function<void(int pid)>& whileRunning = {});

} // namespace trawl::test
