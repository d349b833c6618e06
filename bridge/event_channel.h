// The ordered stream of events from the program to the shell page: scripts for the page, page
// changes, dialogs, status text. Each event gets the next number; a reader asks for everything
// after the last number it has seen, so a reconnecting reader misses nothing that is still kept.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

class CEventChannel {
public:
    using Event = std::pair<uint64_t, std::string>;  // number, JSON text

    // Keeps at most nCapacity events; older ones are dropped.
    explicit CEventChannel(size_t nCapacity = 4096) : m_nCapacity(nCapacity) {}

    // Adds an event and wakes the readers. Returns its number (0 once closed).
    uint64_t Publish(std::string json);
    // Events after nAfter, waiting up to nTimeoutMs for the first one. False once closed.
    bool Wait(uint64_t nAfter, unsigned nTimeoutMs, std::vector<Event>* pEvents);
    uint64_t LastNumber() const;
    // Wakes every reader for good.
    void Close();

private:
    const size_t m_nCapacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Event> m_events;
    uint64_t m_nLast = 0;
    bool m_bClosed = false;
};
