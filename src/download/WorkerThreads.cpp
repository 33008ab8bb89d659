#include "src/download/WorkerThreads.h"

#include "platform/ThreadName.h"

namespace Download {

std::vector<std::unique_ptr<Utils::Thread>> WorkerThreads::TakeAll() {
    std::lock_guard lock(mutex_);
    return std::move(threads_);
}

void WorkerThreads::Retire() {
    const auto self = static_cast<uint32_t>(platform::CurrentThreadId());
    std::unique_ptr<Utils::Thread> parked;
    for (auto& thread : TakeAll()) {
        if (thread->threadId() == self) {
            parked = std::move(thread);
        } else {
            thread->Wait();
        }
    }
    if (parked) {
        std::lock_guard lock(mutex_);
        threads_.push_back(std::move(parked));
    }
}

bool WorkerThreads::Launch(const std::wstring& name, std::function<void()> work) {
    std::lock_guard lock(mutex_);
    if (stopping_) return false;
    auto thread = std::make_unique<Utils::Thread>(nullptr, name, [work = std::move(work)](void*) -> uint32_t {
        work();
        return 0;
    });
    if (!thread->Resume()) return false;
    threads_.push_back(std::move(thread));
    return true;
}

void WorkerThreads::Stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    for (auto batch = TakeAll(); !batch.empty(); batch = TakeAll()) {
        for (auto& thread : batch) thread->Wait();
    }
}

}  // namespace Download
