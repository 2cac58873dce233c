#include "app/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trawl {

namespace {

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

// The file a path names once its symbolic links are followed, so that writing a linked search file
// replaces the link's target and keeps the link. A link that points nowhere names the file it would
// point to. A link to anything but a regular file (a device, a folder, a pipe) is not written through:
// the link itself is replaced, as is a loop of links.
std::string FollowLinks(const std::string& given)
{
    std::string path = given;
    for (int step = 0;; ++step) {
        struct stat info {};
        if (::lstat(path.c_str(), &info) != 0) {
            return path; // nothing there yet: the file is made where the links lead
        }
        if (!S_ISLNK(info.st_mode)) {
            return S_ISREG(info.st_mode) ? path : given;
        }
        if (step == 40) {
            return given;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            return given;
        }
        target.resize(static_cast<std::size_t>(length));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
}

// Temporary files of a writer that was killed or lost its power stay behind, up to the size of the
// file each; on a nearly full disk they take the room the next save needs. Ours are named
// ".NAME.tmp-" and six characters from mkstemp, and a live writer holds a lock on its own; one that
// nobody holds and that has not changed for a minute is removed. Nothing else is touched.
void RemoveStaleTemporaries(const std::string& folder, const std::string& name)
{
    const std::string prefix = "." + name + ".tmp-";
    DIR* directory = ::opendir(folder.empty() ? "." : folder.c_str());
    if (directory == nullptr) {
        return;
    }
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(directory)) {
        const std::string_view entryName = entry->d_name;
        if (entryName.size() != prefix.size() + 6 || entryName.substr(0, prefix.size()) != prefix) {
            continue;
        }
        const std::string path = folder + std::string(entryName);
        const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        struct stat info {};
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == ::geteuid() &&
            now - info.st_mtime >= 60 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());
        }
        ::close(fd);
    }
    ::closedir(directory);
}

} // namespace

AtomicFileWriter::AtomicFileWriter(std::string path)
    : m_path(FollowLinks(path)),
      m_buffer(static_cast<char*>(::operator new[](kBufferSize, std::align_val_t{kAlignment})))
{
    const auto slash = m_path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : m_path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
    RemoveStaleTemporaries(folder, name);
    m_tempPath = folder + "." + name + ".tmp-XXXXXX";
    m_fd = ::mkstemp(m_tempPath.data());
    if (m_fd < 0) {
        Fail("create", errno);
        m_tempPath.clear();
        return;
    }
    ::flock(m_fd, LOCK_EX | LOCK_NB); // says "in use" to the clean-up of other writers of this file
}

AtomicFileWriter::~AtomicFileWriter()
{
    if (m_fd >= 0) {
        ::close(m_fd);
    }
    if (!m_committed && !m_tempPath.empty()) {
        ::unlink(m_tempPath.c_str());
    }
    ::operator delete[](m_buffer, std::align_val_t{kAlignment});
}

void AtomicFileWriter::Fail(const char* what, int error)
{
    if (m_error == 0) {
        m_error = error == 0 ? EIO : error;
        m_failedStep = what;
    }
}

void AtomicFileWriter::Write(std::string_view bytes)
{
    while (!bytes.empty()) {
        // An empty view may carry no buffer at all, and memcpy must not see a null pointer: the loop
        // never copies from one.
        const std::size_t piece = std::min(bytes.size(), kBufferSize - m_used);
        std::memcpy(m_buffer + m_used, bytes.data(), piece);
        m_used += piece;
        bytes.remove_prefix(piece);
        if (m_used == kBufferSize) {
            FlushFullBuffer();
        }
    }
}

void AtomicFileWriter::FlushFullBuffer()
{
    // A file that fills the buffer is a large one: its full buffers bypass the page cache. The kernel
    // then neither clears and fills a page-cache page for every 4 KB nor writes them all back at
    // the fsync, which for a gigabyte was most of the time of a save. Where the file system cannot,
    // the buffers are written as usual.
    if (!m_directTried && m_fd >= 0) {
        m_directTried = true;
        const int flags = ::fcntl(m_fd, F_GETFL);
        m_direct = flags >= 0 && ::fcntl(m_fd, F_SETFL, flags | O_DIRECT) == 0;
    }
    Flush();
}

void AtomicFileWriter::Flush()
{
    WriteAll(m_buffer, m_used);
    m_used = 0;
}

void AtomicFileWriter::LeaveDirectMode()
{
    if (m_direct) {
        m_direct = false;
        const int flags = ::fcntl(m_fd, F_GETFL);
        if (flags >= 0) {
            ::fcntl(m_fd, F_SETFL, flags & ~O_DIRECT);
        }
    }
}

void AtomicFileWriter::WriteAll(const char* data, std::size_t size)
{
    if (m_error != 0 || m_fd < 0) {
        return;
    }
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(m_fd, data + done, size - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno == EINVAL && m_direct) {
            LeaveDirectMode(); // the file system wants other sizes or alignments: write as usual
            continue;
        }
        if (m_direct && n > 0 && static_cast<std::size_t>(n) < size - done) {
            LeaveDirectMode(); // the rest no longer starts on a block boundary
        }
        if (n <= 0) {
            Fail("write", n < 0 ? errno : ENOSPC);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

Status AtomicFileWriter::Commit()
{
    if (m_fd >= 0) {
        LeaveDirectMode(); // the last piece is seldom a whole number of blocks
    }
    Flush();
    if (m_error == 0 && ::fsync(m_fd) != 0) {
        Fail("write", errno);
    }
    if (m_fd >= 0) {
        // Keep the permissions of the file we replace, else the usual ones for a new file.
        struct stat old {};
        const mode_t mode = ::stat(m_path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
        ::fchmod(m_fd, mode);
        if (::close(m_fd) != 0) {
            Fail("write", errno);
        }
        m_fd = -1;
    }
    if (m_error == 0 && ::rename(m_tempPath.c_str(), m_path.c_str()) != 0) {
        Fail("replace", errno);
    }
    if (m_error != 0) {
        return Status::Failure("Could not " + m_failedStep + " the file '" + m_path + "': " + std::strerror(m_error) +
                               ". The previous version of the file, if any, was kept.");
    }
    m_committed = true;
    // Make the rename itself durable.
    const int dir = ::open(FolderOf(m_path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return Status::Ok();
}

Status WriteFileAtomically(const std::string& path, std::string_view content)
{
    AtomicFileWriter writer(path);
    writer.Write(content);
    return writer.Commit();
}

bool ReadWholeFile(const std::string& path, std::string& content)
{
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
        content.reserve(static_cast<std::size_t>(info.st_size));
    }
    char chunk[1 << 16];
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        content.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace trawl
