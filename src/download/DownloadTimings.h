#pragma once
// The waits and limits of the downloaders, passed in so that tests can shorten them or
// record them instead of sleeping. The defaults are the real ones.
#include <chrono>
#include <cstdint>
#include <ctime>
#include <functional>
#include <thread>

namespace Download {

struct DownloadTimings {
    // Every pause between attempts and between segment starts goes through this.
    std::function<void(std::chrono::milliseconds)> sleep = [](std::chrono::milliseconds d) {
        std::this_thread::sleep_for(d);
    };
    // Calendar time in whole seconds: progress is reported at most once per second of it.
    std::function<int64_t()> nowSeconds = [] { return static_cast<int64_t>(std::time(nullptr)); };
    // A transfer slower than lowSpeedLimit bytes per second for lowSpeedTime fails with 28.
    long lowSpeedLimit = 1;
    std::chrono::seconds lowSpeedTime{5};
    std::chrono::seconds connectTimeout{60};
};

}  // namespace Download
