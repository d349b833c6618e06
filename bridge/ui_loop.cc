#include "bridge/ui_loop.h"

void CUiLoop::Post(Task task) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_bQuit) return;
        m_tasks.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void CUiLoop::Run() {
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bQuit || !m_tasks.empty(); });
            if (m_bQuit) {
                m_tasks.clear();
                return;
            }
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

void CUiLoop::Quit() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bQuit = true;
    }
    m_wake.notify_all();
}

bool CUiLoop::HasQuit() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bQuit;
}
