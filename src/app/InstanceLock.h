#pragma once

#include "app/Prompts.h"
#include "app/Settings.h"

#include <string>

namespace trawl {

// The per-user lock that tells a starting copy whether another one runs. Every running copy holds a
// shared lock on one file; a starting copy first asks for it exclusively, which fails while any copy
// holds it. The system drops the lock when a process ends in any way, a crash included, so a stale
// lock cannot outlive its owner. The file itself stays (removing it would race with a starting copy).
class InstanceLock {
public:
    // Probes and then holds the lock at `path`. When the file cannot be opened at all the copy counts
    // as the only one and holds nothing.
    explicit InstanceLock(const std::string& path);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Another copy held the lock when this one was made.
    bool alreadyRunning() const { return m_alreadyRunning; }
    bool held() const { return m_fd >= 0; }
    // Lets go of the lock now (a copy that ends as the second one).
    void Release();

private:
    int m_fd = -1;
    bool m_alreadyRunning = false;
};

// $XDG_RUNTIME_DIR/trawlkit.lock when that folder is set, else /tmp/trawlkit-<uid>.lock.
std::string DefaultInstanceLockPath();

inline constexpr const char* kAlreadyRunningCaption = "Already Running";
inline constexpr const char* kAlreadyRunningText =
    "Another copy of Trawlkit was already running. If you want to allow multiple copies to run at once, please "
    "edit the settings to reflect your wishes.";

// A second copy ends when another copy runs, no search file was named, and multiple copies are not allowed.
inline bool MustEndAsSecondCopy(bool alreadyRunning, int searchFileCount, int allowMultipleInstances)
{
    return alreadyRunning && searchFileCount == 0 && allowMultipleInstances == 0;
}

// The rule with its message: shows "Already Running" (Information kind) and returns false when this copy
// is to end; true when start-up goes on.
bool PassesInstanceRule(bool alreadyRunning, int searchFileCount, const Settings& settings, Prompts& prompts);

} // namespace trawl
