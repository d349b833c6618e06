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
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_runner = std::this_thread::get_id();
    }
    RunUntil([] { return false; });
    std::lock_guard<std::mutex> lock(m_mutex);
    m_tasks.clear();
    m_runner = std::thread::id();
}

bool CUiLoop::RunUntil(const std::function<bool()>& done) {
    for (;;) {
        if (done()) return true;
        Task task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return m_bQuit || !m_tasks.empty(); });
            if (m_bQuit) return false;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

bool CUiLoop::IsLoopThread() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_runner == std::thread::id() || m_runner == std::this_thread::get_id();
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
