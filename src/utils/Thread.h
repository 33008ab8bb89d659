#pragma once
// A named worker thread that starts suspended, so that its owner can store the object
// before the work runs, logs its beginning and end, and is waited for without a limit.
// Created, resumed, waited for and destroyed on the owner's thread only.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace Utils {

class Thread {
public:
    using Function = std::function<uint32_t(void*)>;

    // Creates the thread suspended and names it (`name` in the locale's charset, or "t"
    // followed by the thread id when it is empty).
    Thread(void* parameter, std::wstring name, Function function);
    // Waits for the thread to end, as Wait does.
    ~Thread();

    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Lets the thread run; false when there is no thread or it runs already.
    bool Resume();
    // Waits for the end of the thread; afterwards threadId() is -1. A thread that was
    // never resumed ends without running its function.
    void Wait();

    uint32_t threadId() const { return threadId_; }

private:
    struct State;

    uint32_t threadId_ = static_cast<uint32_t>(-1);
    std::unique_ptr<State> state_;  // outlives the thread: joined before it goes
    std::wstring name_;
};

}  // namespace Utils
