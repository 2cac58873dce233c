#include "app/ProgramDirectory.h"

#include "app/StartMenu.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace trawl {

namespace {

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/') {
        folder.push_back('/');
    }
    return folder;
}

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

// Creates every missing folder of an absolute path, like mkdir -p; failures surface later, when a
// file in it cannot be written.
void MakeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1)) {
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    }
    ::mkdir(folder.c_str(), 0700);
}

// The per-user data folder, or "" when neither variable gives an absolute path.
std::string UserDataFolder(const ProgramFolderInputs& inputs)
{
    // Relative values are ignored, as the base-directory convention asks.
    if (!inputs.xdgDataHome.empty() && inputs.xdgDataHome.front() == '/') {
        return WithSlash(inputs.xdgDataHome) + "trawlkit/";
    }
    if (!inputs.home.empty() && inputs.home.front() == '/') {
        return WithSlash(inputs.home) + ".local/share/trawlkit/";
    }
    return {};
}

} // namespace

std::string FolderOfPath(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ResolveProgramDirectory(const ProgramFolderInputs& inputs)
{
    if (!inputs.trawlkitHome.empty()) {
        return WithSlash(inputs.trawlkitHome);
    }
    const std::string executableFolder = FolderOfPath(inputs.executablePath);
    if (!executableFolder.empty() && inputs.executableFolderWritable && !inputs.installedLayout) {
        return executableFolder;
    }
    const std::string userFolder = UserDataFolder(inputs);
    if (!userFolder.empty()) {
        return userFolder;
    }
    // Nowhere better to go: the executable's folder (reading works; a failed write is reported),
    // or the current folder when even that is unknown.
    return executableFolder.empty() ? std::string("./") : executableFolder;
}

std::string ExecutablePath()
{
    std::string buffer(4096, '\0');
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        return {};
    }
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

bool IsInstalledLayout(const std::string& executableFolder)
{
    constexpr std::string_view kBin = "/bin/";
    if (!std::string_view(executableFolder).ends_with(kBin)) {
        return false;
    }
    const std::string prefix = executableFolder.substr(0, executableFolder.size() - kBin.size() + 1);
    struct stat info {};
    const std::string entry = prefix + "share/metainfo/" + kApplicationId + ".metainfo.xml";
    return ::stat(entry.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string ProgramDirectory()
{
    ProgramFolderInputs inputs;
    inputs.trawlkitHome = Env("TRAWLKIT_HOME");
    inputs.executablePath = ExecutablePath();
    const std::string executableFolder = FolderOfPath(inputs.executablePath);
    inputs.executableFolderWritable = !executableFolder.empty() && ::access(executableFolder.c_str(), W_OK) == 0;
    inputs.installedLayout = IsInstalledLayout(executableFolder);
    inputs.xdgDataHome = Env("XDG_DATA_HOME");
    inputs.home = Env("HOME");
    const std::string folder = ResolveProgramDirectory(inputs);
    if (folder == UserDataFolder(inputs)) {
        MakeFolders(folder.substr(0, folder.size() - 1));
    }
    return folder;
}

} // namespace trawl
