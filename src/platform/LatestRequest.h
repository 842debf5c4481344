#pragma once

#include <QtGlobal>
#include <atomic>
#include <functional>
#include <memory>

namespace dunmoss {

// "Newest request wins": each request takes a ticket, and an answer counts only while its
// ticket is the newest. Work running elsewhere can ask, from any thread and even after the
// owner is gone, whether its ticket has been superseded, and stop early. Tickets are owned by
// one thread; only supersededCheck is for others.
class LatestRequest {
public:
    using Ticket = quint64;

    // A new request: every earlier ticket is superseded from now on.
    Ticket next() { return m_latest->fetch_add(1, std::memory_order_relaxed) + 1; }
    bool isLatest(Ticket ticket) const {
        return ticket == m_latest->load(std::memory_order_relaxed);
    }
    Ticket latest() const { return m_latest->load(std::memory_order_relaxed); }

    // True once a newer request than `ticket` has been made.
    std::function<bool()> supersededCheck(Ticket ticket) const {
        return [latest = m_latest, ticket] {
            return latest->load(std::memory_order_relaxed) != ticket;
        };
    }

private:
    std::shared_ptr<std::atomic<Ticket>> m_latest = std::make_shared<std::atomic<Ticket>>(0);
};

} // namespace dunmoss
