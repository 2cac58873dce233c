#pragma once

#include "app/StatusView.h"

#include <atomic>
#include <string>

namespace trawl {

class Clock;
class HttpGetter;

// The pause before a failed download is tried again: 25 to 35 seconds, counted down second by second
// on the slot's row with the red light, in 100 ms slices that look at `stop`. False when `stop` was
// seen (the worker is to end), true when the countdown ran out.
bool RetryCountdown(StatusView& view, SlotKind kind, int slot, Clock& clock, const std::atomic<int>& stop,
                    const std::string& who);

// Whom the countdown names after an exchange with `host` failed: the reason, when the site's
// certificate or TLS handshake failed ("certificate not trusted for HOST"), otherwise `who`.
std::string FailedWho(const HttpGetter& http, const std::string& host, const std::string& who);

} // namespace trawl
