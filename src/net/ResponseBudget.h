#pragma once

#include <atomic>
#include <cstddef>

namespace trawl {

// Memory that responses being received may hold at once, shared by every exchange of the process.
// Twelve search workers, twelve deep-scan workers, the update check and a list download could each
// grow a response to its own cap; together they draw from this one budget instead, and an exchange
// that cannot draw more ends with what it has (a response cut short, which callers already handle).
//
// Bytes are drawn while a response grows and given back when the exchange returns it; the caller
// then parses it and lets it go, so the budget bounds what is on its way in. Every response gets its
// first 64 KiB even from a spent budget, so that an ordinary page never comes back empty because
// others are hoarding: the bound is the limit plus 64 KiB for each exchange under way.
class ResponseBudget {
public:
    static constexpr std::size_t kDefaultBytes = std::size_t{256} << 20;

    explicit ResponseBudget(std::size_t bytes = kDefaultBytes) : m_limit(bytes) {}
    ResponseBudget(const ResponseBudget&) = delete;
    ResponseBudget& operator=(const ResponseBudget&) = delete;

    // Takes `bytes` if that many are left; false, and nothing taken, otherwise.
    bool TryDraw(std::size_t bytes);
    // Takes `bytes` whatever is left.
    void Draw(std::size_t bytes);
    void Release(std::size_t bytes);

    std::size_t limit() const { return m_limit; }
    std::size_t drawn() const { return m_drawn.load(std::memory_order_relaxed); }
    // The most ever drawn at once (for measurements).
    std::size_t peak() const { return m_peak.load(std::memory_order_relaxed); }

private:
    void NotePeak(std::size_t now);

    const std::size_t m_limit;
    std::atomic<std::size_t> m_drawn{0};
    std::atomic<std::size_t> m_peak{0};
};

// The process's budget, which every client draws from unless it is given another.
ResponseBudget& ProcessResponseBudget();

// Bytes drawn for one response, given back when it goes out of scope.
class ResponseLease {
public:
    explicit ResponseLease(ResponseBudget* budget) : m_budget(budget) {}
    ~ResponseLease()
    {
        if (m_budget != nullptr) {
            m_budget->Release(m_held);
        }
    }
    ResponseLease(const ResponseLease&) = delete;
    ResponseLease& operator=(const ResponseLease&) = delete;

    // Makes sure `bytes` in all are held, drawing in growing steps so that a long response costs
    // few draws; false when the budget cannot give them (what is held stays held). The first step
    // is always given.
    bool Cover(std::size_t bytes);
    std::size_t held() const { return m_held; }

private:
    ResponseBudget* m_budget;
    std::size_t m_held = 0;
};

} // namespace trawl
