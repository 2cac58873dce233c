#pragma once

#include "app/Clock.h"
#include "app/Status.h"

#include <atomic>
#include <optional>
#include <string>

namespace trawl {

// What tells one version of a file from the next: a save replaces the file (a new inode) or, by
// another program, rewrites it (a new size or modification time).
struct FileStamp {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file at `path` (a link is followed); none when there is no such file.
std::optional<FileStamp> StampOf(const std::string& path);

// An advisory lock on one file that two runs of the program take before they read it to write it
// back, so the second reads what the first saved instead of losing it. The lock is on the file
// itself (the target of a link); as a save replaces the file, a lock taken on a file that has since
// been replaced is let go and taken again on the new one. The system drops the lock when its holder
// ends in any way, so a killed run leaves nothing behind. Held until Release or the destructor.
class FileLock {
public:
    FileLock() = default;
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    // Takes the lock on the file at `path`, trying again every 100 ms of `clock` for up to `waitMs`
    // (0: one try) while `stop` is 0. A failure says why: held by another run, stopped, or the file
    // could not be opened.
    Status Acquire(const std::string& path, Clock& clock, int waitMs, const std::atomic<int>& stop);
    bool held() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
};

} // namespace trawl
