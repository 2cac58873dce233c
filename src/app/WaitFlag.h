#pragma once

#include <atomic>

namespace trawl {

// Flags that threads wait on (stop requests, "a slot was freed") are plain atomics, so any code may
// set them; a waiter then sees the change within kUnsignalledFlagLatencyMs. Setting a flag through
// RaiseFlag also wakes every thread waiting on it at once.
inline constexpr int kUnsignalledFlagLatencyMs = 10;

// Stores `value` into `flag` and wakes the threads in WaitOnFlag for it.
void RaiseFlag(std::atomic<int>& flag, int value = 1);

// Waits up to `ms` milliseconds while `flag` holds 0; returns true when it holds anything else.
bool WaitOnFlag(const std::atomic<int>& flag, int ms);

} // namespace trawl
