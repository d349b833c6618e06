// The program's main loop, in place of the browser framework's message loop: tasks posted from
// any thread run one after another on the thread that runs the loop (the main thread). Page
// commands, caption buttons and the close command all run here, in the order they arrived.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class CUiLoop {
public:
    using Task = std::function<void()>;

    // Queues a task; ignored once the loop has quit.
    void Post(Task task);
    // Runs tasks until Quit. Tasks still queued at that moment are dropped.
    void Run();
    // Ends Run after the task that is running. Any thread.
    void Quit();
    bool HasQuit() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_bQuit = false;
};
