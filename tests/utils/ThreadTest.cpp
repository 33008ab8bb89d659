#include "src/utils/Thread.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/ThreadName.h"
#include "support/TempFolder.h"

namespace {

std::string CurrentThreadName() {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

TEST(Thread, RunsOnlyAfterResumeWithItsParameterAndName) {
    std::atomic<bool> ran{false};
    int parameter = 7;
    std::string seenName;
    uint32_t seenId = 0;
    Utils::Thread thread(&parameter, L"ABDEF", [&](void* p) -> uint32_t {
        EXPECT_EQ(*static_cast<int*>(p), 7);
        seenName = CurrentThreadName();
        seenId = static_cast<uint32_t>(platform::CurrentThreadId());
        ran = true;
        return 0;
    });
    const uint32_t id = thread.threadId();
    EXPECT_NE(id, static_cast<uint32_t>(-1));
    usleep(20000);
    EXPECT_FALSE(ran);  // created suspended
    ASSERT_TRUE(thread.Resume());
    EXPECT_FALSE(thread.Resume());
    thread.Wait();
    EXPECT_TRUE(ran);
    EXPECT_EQ(seenName, "ABDEF");
    EXPECT_EQ(seenId, id);
    EXPECT_EQ(thread.threadId(), static_cast<uint32_t>(-1));
    thread.Wait();  // a second wait returns at once
}

TEST(Thread, EmptyNameIsTFollowedByTheId) {
    std::string seenName;
    Utils::Thread thread(nullptr, L"", [&](void*) -> uint32_t {
        seenName = CurrentThreadName();
        return 0;
    });
    const uint32_t id = thread.threadId();
    thread.Resume();
    thread.Wait();
    EXPECT_EQ(seenName, "t" + std::to_string(id));
}

TEST(Thread, NeverResumedThreadEndsWithoutRunning) {
    bool ran = false;
    {
        Utils::Thread thread(nullptr, L"idle", [&](void*) -> uint32_t {
            ran = true;
            return 0;
        });
    }
    EXPECT_FALSE(ran);
}

TEST(Thread, LogsBeginAndEndAroundTheWork) {
    testsupport::TempFolder folder;
    const auto file = folder / "log.txt";
    FILE* sink = std::fopen(file.c_str(), "w");
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(sink), STDERR_FILENO);
    {
        Utils::Thread thread(nullptr, L"logger", [](void*) -> uint32_t {
            std::fputs("WORK\n", stderr);
            return 0;
        });
        thread.Resume();
    }
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::fclose(sink);
    const std::string log = testsupport::ReadFile(file);
    const size_t begin = log.find("THREAD BEGIN"), work = log.find("WORK"), end = log.find("THREAD END");
    ASSERT_NE(begin, std::string::npos) << log;
    ASSERT_NE(end, std::string::npos) << log;
    EXPECT_LT(begin, work);
    EXPECT_LT(work, end);
}

}  // namespace
