#pragma once
// The threads of a downloader's runs. A run may be restarted from one of its own threads
// (the owner calls Start again from inside the status callback), and a thread can never
// wait for itself: that thread is parked instead and waited for by the next retirement or
// by Stop, by which time its callback has returned and it has ended.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "src/utils/Thread.h"

namespace Download {

class WorkerThreads {
public:
    WorkerThreads() = default;
    ~WorkerThreads() { Stop(); }
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // Waits for every thread launched so far, except the calling one, which is parked.
    void Retire();
    // Starts `work` on a new named thread; false when stopping or no thread could be made.
    bool Launch(const std::wstring& name, std::function<void()> work);
    // Refuses further launches and waits for every thread, including those that threads
    // being waited for launch meanwhile. Not to be called on one of these threads.
    void Stop();

private:
    std::vector<std::unique_ptr<Utils::Thread>> TakeAll();

    std::mutex mutex_;
    bool stopping_ = false;
    std::vector<std::unique_ptr<Utils::Thread>> threads_;
};

}  // namespace Download
