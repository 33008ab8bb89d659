#include "src/utils/Thread.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/Text.h"
#include "platform/ThreadName.h"
#include "src/core/DebugLog.h"

namespace Utils {

// State shared by the owner and the new thread: the start gate and the thread's id.
struct Thread::State {
    std::mutex mutex;
    std::condition_variable changed;
    bool idKnown = false;
    bool resumed = false;
    bool cancelled = false;
    uint32_t id = 0;
    std::thread thread;
    Function function;
    void* parameter = nullptr;
    std::string debuggerName;

    static void CallBack(State& self) {
        {
            std::unique_lock lock(self.mutex);
            self.id = static_cast<uint32_t>(platform::CurrentThreadId());
            self.idKnown = true;
            self.changed.notify_all();
            self.changed.wait(lock, [&] { return self.resumed || self.cancelled; });
            if (self.cancelled) return;
        }
        platform::SetCurrentThreadName(self.debuggerName.empty() ? "t" + std::to_string(self.id) : self.debuggerName);
        DebugLog(L"THREAD BEGIN\r\n");
        self.function(self.parameter);
        DebugLog(L"THREAD END\r\n");
    }
};

Thread::Thread(void* parameter, std::wstring name, Function function)
    : state_(std::make_unique<State>()), name_(std::move(name)) {
    state_->function = std::move(function);
    state_->parameter = parameter;
    state_->debuggerName = platform::WideToAnsi(name_);
    try {
        state_->thread = std::thread(&State::CallBack, std::ref(*state_));
    } catch (const std::system_error&) {
        return;  // no thread: Resume reports it
    }
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->idKnown; });
    threadId_ = state_->id;
}

Thread::~Thread() { Wait(); }

bool Thread::Resume() {
    if (!state_->thread.joinable()) return false;
    std::lock_guard lock(state_->mutex);
    if (state_->resumed) return false;
    state_->resumed = true;
    state_->changed.notify_all();
    return true;
}

void Thread::Wait() {
    if (!state_->thread.joinable()) return;
    {
        std::lock_guard lock(state_->mutex);
        if (!state_->resumed) state_->cancelled = true;  // would otherwise wait forever
        state_->changed.notify_all();
    }
    state_->thread.join();
    threadId_ = static_cast<uint32_t>(-1);
}

}  // namespace Utils
