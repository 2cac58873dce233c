#include "batch/Interrupt.h"

#include <csignal>

namespace trawl {

namespace {

// A signal handler can reach nothing but a lock-free atomic of static storage.
std::atomic<int> g_interrupted{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void OnInterrupt(int)
{
    g_interrupted.store(1);
}

void Install(int signal, void (*handler)(int), bool once)
{
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = once ? SA_RESETHAND : 0;
    ::sigaction(signal, &action, nullptr);
}

} // namespace

InterruptGuard::InterruptGuard()
{
    g_interrupted.store(0);
    Install(SIGINT, OnInterrupt, true);
    Install(SIGTERM, OnInterrupt, true);
}

InterruptGuard::~InterruptGuard()
{
    Install(SIGINT, SIG_DFL, false);
    Install(SIGTERM, SIG_DFL, false);
}

const std::atomic<int>& InterruptGuard::flag() const
{
    return g_interrupted;
}

} // namespace trawl
