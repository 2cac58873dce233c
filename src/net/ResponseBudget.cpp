#include "net/ResponseBudget.h"

#include <algorithm>

namespace trawl {

namespace {
constexpr std::size_t kFirstStep = std::size_t{64} << 10;
} // namespace

bool ResponseBudget::TryDraw(std::size_t bytes)
{
    std::size_t drawn = m_drawn.load(std::memory_order_relaxed);
    do {
        if (bytes > m_limit - std::min(drawn, m_limit)) {
            return false;
        }
    } while (!m_drawn.compare_exchange_weak(drawn, drawn + bytes, std::memory_order_relaxed));
    NotePeak(drawn + bytes);
    return true;
}

void ResponseBudget::Draw(std::size_t bytes)
{
    NotePeak(m_drawn.fetch_add(bytes, std::memory_order_relaxed) + bytes);
}

void ResponseBudget::NotePeak(std::size_t now)
{
    std::size_t peak = m_peak.load(std::memory_order_relaxed);
    while (now > peak && !m_peak.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
    }
}

void ResponseBudget::Release(std::size_t bytes)
{
    m_drawn.fetch_sub(bytes, std::memory_order_relaxed);
}

ResponseBudget& ProcessResponseBudget()
{
    static ResponseBudget budget;
    return budget;
}

bool ResponseLease::Cover(std::size_t bytes)
{
    if (m_budget == nullptr || bytes <= m_held) {
        return true;
    }
    if (m_held == 0 && bytes <= kFirstStep) {
        m_budget->Draw(kFirstStep);
        m_held = kFirstStep;
        return true;
    }
    // Double what is held (at least the first step), but never ask for more than the response needs
    // when that is all the budget has left.
    const std::size_t step = std::max({kFirstStep, m_held, bytes - m_held});
    if (m_budget->TryDraw(step)) {
        m_held += step;
        return true;
    }
    const std::size_t need = bytes - m_held;
    if (need < step && m_budget->TryDraw(need)) {
        m_held += need;
        return true;
    }
    return false;
}

} // namespace trawl
