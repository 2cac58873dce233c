#include "net/ByteCounter.h"

#include "app/StatusView.h"

namespace trawl {

std::int64_t ByteCounter::Add(std::int64_t bytes)
{
    const std::int64_t total = m_total.fetch_add(bytes) + bytes;
    if (m_view != nullptr) {
        m_view->SetBytesDownloaded(total);
    }
    return total;
}

} // namespace trawl
