#include "harvest/RetryCountdown.h"

#include "app/Clock.h"
#include "harvest/SearchJobs.h"
#include "net/HttpGetter.h"

namespace trawl {

bool RetryCountdown(StatusView& view, SlotKind kind, int slot, Clock& clock, const std::atomic<int>& stop,
                    const std::string& who)
{
    for (int countdown = 25 + clock.RandomUpTo(10); countdown >= 1; --countdown) {
        view.SetSlotText(kind, slot, ConnectProblemText(who, countdown));
        view.SetSlotLight(kind, slot, Light::Red);
        for (int slice = 0; slice < 10; ++slice) {
            if (stop.load() != 0 || clock.WaitFor(100, stop)) {
                return false;
            }
        }
    }
    return true;
}

std::string FailedWho(const HttpGetter& http, const std::string& host, const std::string& who)
{
    std::string reason = http.ConnectFailure(host);
    return reason.empty() ? who : reason;
}

} // namespace trawl
