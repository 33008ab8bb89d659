// The message queue across threads, and modal loops: posting from workers while a dialog
// runs, results carried by close messages, and quit messages passing through nested loops.
#include <atomic>
#include <map>
#include <thread>

#include "tests/platform/window/HeadlessWindowTest.h"

namespace platform::ui::testing {
namespace {

using MessageQueueTest = HeadlessWindowTest;

constexpr unsigned kWork = WM_USER + 1000;
constexpr unsigned kWorkerDone = WM_USER + 1;

TEST_F(MessageQueueTest, PostsFromEightThreadsAllArriveInPerThreadOrderDuringAModalLoop) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 2000;
    Recorder& ownerRec = NewRecorder();
    Recorder& dialogRec = NewRecorder();
    const WindowHandle owner = MakeWindow(ownerRec);
    const WindowHandle dialog = MakeWindow(dialogRec, 150, 150, 200, 100, owner);

    // Per window and thread: the sequence numbers in arrival order.
    std::map<std::pair<std::uint32_t, WParam>, std::vector<LParam>> arrived;
    int done = 0;
    bool ownerEnabledDuringLoop = true;
    const auto hook = [&](WindowHandle w, unsigned m, WParam wp, LParam lp) -> std::optional<LResult> {
        if (m == kWork) {
            arrived[{w.value, wp}].push_back(lp);
            ownerEnabledDuringLoop = ownerEnabledDuringLoop && IsWindowEnabled(owner);
            return 0;
        }
        if (m == kWorkerDone && ++done == kThreads) PostMessage(dialog, WM_CLOSE, 42, 0);
        return std::nullopt;
    };
    ownerRec.hook = hook;
    dialogRec.hook = hook;

    std::atomic<bool> go{false};
    std::vector<std::thread> workers;
    for (int t = 0; t < kThreads; ++t) {
        workers.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            // Even threads report to the main window, odd ones to the dialog.
            const WindowHandle target = t % 2 ? dialog : owner;
            for (int i = 0; i < kPerThread; ++i) EXPECT_TRUE(PostMessage(target, kWork, t, i));
            EXPECT_TRUE(PostMessage(dialog, kWorkerDone, t, 0));
        });
    }
    go = true;
    const WParam result = RunModalLoop(dialog);
    for (auto& worker : workers) worker.join();

    EXPECT_EQ(result, 42u);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_FALSE(ownerEnabledDuringLoop);
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
    ASSERT_EQ(arrived.size(), static_cast<size_t>(kThreads));
    for (const auto& [key, sequence] : arrived) {
        SCOPED_TRACE(::testing::Message() << "thread " << key.second);
        EXPECT_EQ(key.first, (key.second % 2 ? dialog : owner).value);
        ASSERT_EQ(sequence.size(), static_cast<size_t>(kPerThread));
        for (int i = 0; i < kPerThread; ++i) ASSERT_EQ(sequence[i], i);
    }
}

TEST_F(MessageQueueTest, CloseMessagePostedBeforeTheLoopGivesItsResult) {
    Recorder& ownerRec = NewRecorder();
    Recorder& dialogRec = NewRecorder();
    const WindowHandle owner = MakeWindow(ownerRec);
    const WindowHandle dialog = MakeWindow(dialogRec, 150, 150, 200, 100, owner);
    ASSERT_TRUE(PostMessage(dialog, WM_CLOSE, 7, 0));
    EXPECT_EQ(RunModalLoop(dialog), 7u);
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(IsWindowEnabled(owner));
    EXPECT_EQ(GetActiveWindow(), owner);
    // The owner came back before the dialog went: it was enabled at the dialog's WM_DESTROY.
    const auto enables = ownerRec.Of(WM_ENABLE);
    ASSERT_EQ(enables.size(), 2u);
    EXPECT_EQ(enables[1].wParam, 1u);
}

TEST_F(MessageQueueTest, ClosingWithoutAPostedCloseGivesZero) {
    Recorder& rec = NewRecorder();
    const WindowHandle dialog = MakeWindow(rec);
    rec.hook = [&](WindowHandle w, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m == WM_USER) SendMessage(w, WM_SYSCOMMAND, SC_CLOSE, 0);
        return std::nullopt;
    };
    PostMessage(dialog, WM_USER, 0, 0);
    EXPECT_EQ(RunModalLoop(dialog), 0u);
    EXPECT_FALSE(IsWindow(dialog));
}

TEST_F(MessageQueueTest, PreTranslationCanTakeMessagesBeforeDispatch) {
    Recorder& rec = NewRecorder();
    const WindowHandle dialog = MakeWindow(rec);
    PostMessage(dialog, WM_USER + 5, 0, 0);
    headless::KeyDown(VK_ESCAPE, 0x1B);
    int taken = 0;
    const WParam result = RunModalLoop(dialog, [&](Message& m) {
        if (m.message == WM_KEYDOWN && m.wParam == VK_ESCAPE) {
            ++taken;
            PostMessage(m.hwnd, WM_CLOSE, 1, 0);
            return true;
        }
        return false;
    });
    EXPECT_EQ(result, 1u);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(rec.Of(WM_USER + 5).size(), 1u);
    EXPECT_TRUE(rec.Of(WM_KEYDOWN).empty());
    EXPECT_TRUE(rec.Of(WM_CHAR).empty());  // a taken key is not translated
}

TEST_F(MessageQueueTest, QuitInsideANestedLoopEndsItAndIsPostedAgainForTheOuterLoop) {
    Recorder& mainRec = NewRecorder();
    Recorder& dialogRec = NewRecorder();
    const WindowHandle mainWindow = MakeWindow(mainRec);
    WindowHandle dialog;
    std::vector<std::string> steps;
    dialogRec.hook = [&](WindowHandle, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m == WM_USER + 2) {
            steps.push_back("dialog work");
            PostQuitMessage(9);
            PostMessage(mainWindow, WM_USER + 3, 0, 0);  // queued before the quit is taken
        }
        return std::nullopt;
    };
    mainRec.hook = [&](WindowHandle, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m == WM_USER + 1) {
            dialog = MakeWindow(dialogRec, 150, 150, 100, 100, mainWindow);
            PostMessage(dialog, WM_USER + 2, 0, 0);
            steps.push_back("inner result " + std::to_string(RunModalLoop(dialog)));
            steps.push_back(IsWindowEnabled(mainWindow) ? "main enabled" : "main disabled");
        }
        if (m == WM_USER + 3) steps.push_back("main work");
        return std::nullopt;
    };
    PostMessage(mainWindow, WM_USER + 1, 0, 0);
    // Should the quit get lost, this ends the outer loop with a result the test rejects.
    SetTimer(mainWindow, 1, 60000);
    mainRec.hook = [previous = mainRec.hook](WindowHandle w, unsigned m, WParam wp, LParam lp) -> std::optional<LResult> {
        if (m == WM_TIMER) PostMessage(w, WM_CLOSE, 99, 0);
        return previous(w, m, wp, lp);
    };
    EXPECT_EQ(RunModalLoop(mainWindow), 0u);
    EXPECT_EQ(steps, (std::vector<std::string>{"dialog work", "main work", "inner result 0", "main enabled"}));
    EXPECT_TRUE(IsWindow(dialog));  // a quit ends loops, it does not close windows
    EXPECT_TRUE(IsWindow(mainWindow));
    Message m;
    ASSERT_TRUE(PeekMessage(m, true));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 9u);
}

TEST_F(MessageQueueTest, GetMessageWaitsForAPostFromAnotherThread) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    PumpPending();
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostMessage(w, WM_USER + 9, 1, 2);
    });
    Message m;
    ASSERT_EQ(GetMessage(m), 1);
    poster.join();
    EXPECT_EQ(m.hwnd, w);
    EXPECT_EQ(m.message, WM_USER + 9);
    EXPECT_EQ(m.wParam, 1u);
    EXPECT_EQ(m.lParam, 2);
}

TEST_F(MessageQueueTest, PostingToADestroyedWindowFailsOnEveryThread) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    PostMessage(w, WM_USER, 0, 0);  // queued before the window goes: dropped, not delivered
    DestroyWindow(w);
    bool postedFromWorker = true;
    bool aliveFromWorker = true;
    std::thread worker([&] {
        postedFromWorker = PostMessage(w, WM_USER, 0, 0);
        aliveFromWorker = IsWindow(w);
    });
    worker.join();
    EXPECT_FALSE(postedFromWorker);
    EXPECT_FALSE(aliveFromWorker);
    EXPECT_TRUE(PostMessage({}, WM_USER + 4, 0, 0));  // a message for the loop itself
    Message m;
    ASSERT_EQ(GetMessage(m), 1);
    EXPECT_EQ(m.message, WM_USER);
    EXPECT_EQ(DispatchMessage(m), 0);
    ASSERT_EQ(GetMessage(m), 1);
    EXPECT_FALSE(m.hwnd);
    EXPECT_EQ(m.message, WM_USER + 4);
    EXPECT_TRUE(rec.Of(WM_USER).empty());
}

TEST_F(MessageQueueTest, SendMessageWorksOnlyOnTheWindowThread) {
    Recorder& rec = NewRecorder();
    rec.hook = [](WindowHandle, unsigned m, WParam wp, LParam) -> std::optional<LResult> {
        if (m == WM_USER) return static_cast<LResult>(wp * 2);
        return std::nullopt;
    };
    const WindowHandle w = MakeWindow(rec);
    EXPECT_EQ(SendMessage(w, WM_USER, 21, 0), 42);
    LResult fromWorker = -1;
    int getFromWorker = 0;
    std::thread worker([&] {
        fromWorker = SendMessage(w, WM_USER, 21, 0);
        Message m;
        getFromWorker = GetMessage(m);
    });
    worker.join();
    EXPECT_EQ(fromWorker, 0);
    EXPECT_EQ(getFromWorker, -1);
}

}  // namespace
}  // namespace platform::ui::testing
