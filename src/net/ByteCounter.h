#pragma once

#include <atomic>
#include <cstdint>

namespace trawl {

class StatusView;

// The running total of response bytes fetched by counting calls, shared by every worker thread.
// Each addition shows the total it produced, so the display never goes backwards for long.
class ByteCounter {
public:
    explicit ByteCounter(StatusView* view = nullptr) : m_view(view) {}
    ByteCounter(const ByteCounter&) = delete;
    ByteCounter& operator=(const ByteCounter&) = delete;

    // Adds `bytes`, shows the new total and returns it.
    std::int64_t Add(std::int64_t bytes);
    std::int64_t Total() const { return m_total.load(); }

private:
    std::atomic<std::int64_t> m_total{0};
    StatusView* m_view;
};

} // namespace trawl
