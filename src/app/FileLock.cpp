#include "app/FileLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trawl {

namespace {

constexpr int kRetryMs = 100;

FileStamp StampOfStat(const struct stat& info)
{
    return FileStamp{static_cast<unsigned long long>(info.st_dev), static_cast<unsigned long long>(info.st_ino),
                     static_cast<long long>(info.st_size),
                     static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

} // namespace

std::optional<FileStamp> StampOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return std::nullopt;
    }
    return StampOfStat(info);
}

FileLock::~FileLock()
{
    Release();
}

void FileLock::Release()
{
    if (m_fd >= 0) {
        ::close(m_fd); // lets go of the lock
        m_fd = -1;
    }
}

Status FileLock::Acquire(const std::string& path, Clock& clock, int waitMs, const std::atomic<int>& stop)
{
    Release();
    for (int waited = 0;;) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            return Status::Failure("'" + path + "' could not be opened: " + std::strerror(errno) + ".");
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // A save may have put a new file in its place between the open and the lock.
            struct stat held {};
            struct stat now {};
            if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_dev == now.st_dev &&
                held.st_ino == now.st_ino) {
                m_fd = fd;
                return Status::Ok();
            }
            ::close(fd);
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error != EWOULDBLOCK && error != EINTR) {
            return Status::Failure("'" + path + "' could not be locked: " + std::strerror(error) + ".");
        }
        if (waited >= waitMs) {
            return Status::Failure("'" + path + "' is in use by another run of Trawlkit.");
        }
        if (clock.WaitFor(kRetryMs, stop)) {
            return Status::Failure("Stopped while waiting for '" + path + "'.");
        }
        waited += kRetryMs;
    }
}

} // namespace trawl
