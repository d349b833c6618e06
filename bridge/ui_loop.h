// The program's main loop, in place of the browser framework's message loop: tasks posted from
// any thread run one after another on the thread that runs the loop (the main thread). Page
// commands, caption buttons and the close command all run here, in the order they arrived.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class CUiLoop {
public:
    using Task = std::function<void()>;

    // Queues a task; ignored once the loop has quit.
    void Post(Task task);
    // Runs tasks until Quit. Tasks still queued at that moment are dropped.
    void Run();
    // A nested loop, as a modal dialog runs one: runs tasks until done() holds (asked before
    // each wait and after each task) or the loop quits. False when it quit. Whoever makes done()
    // true from another thread posts a task (an empty one will do) to wake the loop.
    bool RunUntil(const std::function<bool()>& done);
    // True on the thread inside Run, and on any thread while no Run is active.
    bool IsLoopThread() const;
    // Ends Run after the task that is running. Any thread.
    void Quit();
    bool HasQuit() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_bQuit = false;
    std::thread::id m_runner;  // the thread inside Run; none while no Run is active
};
