#include "batch/AlertCommand.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace trawl {

namespace {

// The process's environment with `added` in place of any variables of the same names.
std::vector<std::string> EnvironmentWith(const std::vector<std::string>& added)
{
    std::vector<std::string> entries;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string_view text(*entry);
        bool replaced = false;
        for (const std::string& mine : added) {
            const std::string_view name(mine.data(), mine.find('=') + 1);
            replaced = replaced || text.starts_with(name);
        }
        if (!replaced) {
            entries.emplace_back(text);
        }
    }
    entries.insert(entries.end(), added.begin(), added.end());
    return entries;
}

} // namespace

Status RunAlertCommand(const std::string& program, const std::string& searchName, std::int64_t newCount,
                       const std::string& csvPath)
{
    const std::string said = "the alert command '" + program + "'";
    if (program.empty()) {
        return Status::Failure(said + " names no program");
    }
    std::vector<std::string> environment =
        EnvironmentWith({std::string(kAlertSearchVariable) + "=" + searchName,
                         std::string(kAlertCountVariable) + "=" + std::to_string(newCount),
                         std::string(kAlertCsvVariable) + "=" + csvPath});
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    std::string name = program;
    char* argv[] = {name.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t child = 0;
    const int spawned = ::posix_spawnp(&child, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return Status::Failure(said + " could not be started (" + std::strerror(spawned) + ")");
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return Status::Failure(said + " could not be waited for (" + std::strerror(errno) + ")");
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return Status::Ok();
    }
    if (WIFSIGNALED(status)) {
        return Status::Failure(said + " was ended by signal " + std::to_string(WTERMSIG(status)));
    }
    return Status::Failure(said + " failed with exit status " + std::to_string(WEXITSTATUS(status)));
}

} // namespace trawl
