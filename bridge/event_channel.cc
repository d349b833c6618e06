#include "bridge/event_channel.h"

#include <chrono>

uint64_t CEventChannel::Publish(std::string json) {
    uint64_t nNumber = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bClosed) return 0;
        nNumber = ++m_nLast;
        m_events.emplace_back(nNumber, std::move(json));
        if (m_events.size() > m_nCapacity) m_events.pop_front();
    }
    m_wake.notify_all();
    return nNumber;
}

bool CEventChannel::Wait(uint64_t nAfter, unsigned nTimeoutMs, std::vector<Event>* pEvents) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                    [&] { return m_bClosed || m_nLast > nAfter; });
    if (m_bClosed) return false;
    for (const Event& event : m_events) {
        if (event.first > nAfter) pEvents->push_back(event);
    }
    return true;
}

uint64_t CEventChannel::LastNumber() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_nLast;
}

void CEventChannel::Close() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosed = true;
    }
    m_wake.notify_all();
}
