#include "app/InstanceLock.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace trawl {

namespace {

int FlockRetrying(int fd, int operation)
{
    int rc;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    return rc;
}

} // namespace

InstanceLock::InstanceLock(const std::string& path)
{
    // O_NOFOLLOW: in a shared folder such as /tmp another user's symlink must not redirect us.
    m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (m_fd < 0) {
        return;
    }
    if (FlockRetrying(m_fd, LOCK_EX | LOCK_NB) != 0) {
        m_alreadyRunning = errno == EWOULDBLOCK;
    }
    // Shared from now on, so that every copy that runs keeps the probe of the next one failing. A
    // copy probing at this very moment holds the lock exclusively for an instant; wait for it.
    if (FlockRetrying(m_fd, LOCK_SH) != 0) {
        Release();
    }
}

InstanceLock::~InstanceLock()
{
    Release();
}

void InstanceLock::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd); // closing the only descriptor drops the lock
        m_fd = -1;
    }
}

std::string DefaultInstanceLockPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        std::string folder = runtime;
        if (folder.back() != '/') {
            folder.push_back('/');
        }
        return folder + "trawlkit.lock";
    }
    return "/tmp/trawlkit-" + std::to_string(::getuid()) + ".lock";
}

bool PassesInstanceRule(bool alreadyRunning, int searchFileCount, const Settings& settings, Prompts& prompts)
{
    if (!MustEndAsSecondCopy(alreadyRunning, searchFileCount, settings.AllowMultipleInstances)) {
        return true;
    }
    prompts.Show(PromptKind::Information, kAlreadyRunningCaption, kAlreadyRunningText);
    return false;
}

} // namespace trawl
