// PumpMessagesFor100ms on the headless window backend, whose clock moves only when a test
// (or an idle wait for a timer) moves it.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/window/Headless.h"
#include "platform/window/WindowSystem.h"
#include "src/utils/MessagePump.h"

namespace {

namespace ui = platform::ui;

constexpr unsigned kAdvance = ui::WM_USER + 1;  // wParam: milliseconds that the handling takes
constexpr unsigned kDestroy = ui::WM_USER + 2;

class MessagePumpTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(ui::InitializeWindowSystem(ui::BackendKind::Headless).ok());
        ui::CreateParams params;
        params.style = ui::WS_POPUP;
        params.x = params.y = 0;
        params.width = params.height = 10;
        window_ = ui::CreateNativeWindow(params, [this](ui::WindowHandle w, unsigned m, ui::WParam wp, ui::LParam lp) {
            if (m == kAdvance) {
                handled_.push_back(wp);
                ui::headless::AdvanceTime(static_cast<std::int64_t>(wp));
                return ui::LResult{0};
            }
            if (m == kDestroy) {
                ui::DestroyWindow(w);
                return ui::LResult{0};
            }
            return ui::DefWindowProc(w, m, wp, lp);
        });
        ASSERT_TRUE(window_);
    }
    void TearDown() override { ui::ShutdownWindowSystem(); }

    ui::WindowHandle window_;
    std::vector<ui::WParam> handled_;
};

TEST_F(MessagePumpTest, WaitsForAMessageWhenTheQueueIsEmpty) {
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ui::PostMessage(window_, kAdvance, 150, 0);
    });
    EXPECT_TRUE(Utils::PumpMessagesFor100ms(window_));
    poster.join();
    EXPECT_EQ(handled_, std::vector<ui::WParam>{150});
}

TEST_F(MessagePumpTest, StopsAfterTheMessageThatTakesItPast100ms) {
    struct Case {
        std::vector<ui::WParam> costs;
        size_t handled;  // messages handled before the pump returns true
    };
    const Case cases[] = {
        {{50, 51, 10}, 2},
        {{100, 1, 10}, 2},   // exactly 100 ms is not yet "more than"
        {{101, 10}, 1},
        {{0, 0, 0, 101}, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.costs.size());
        handled_.clear();
        for (ui::WParam cost : c.costs) ui::PostMessage(window_, kAdvance, cost, 0);
        EXPECT_TRUE(Utils::PumpMessagesFor100ms(window_));
        EXPECT_EQ(handled_.size(), c.handled);
        ui::Message rest;
        while (ui::PeekMessage(rest, true)) ui::DispatchMessage(rest);
    }
}

TEST_F(MessagePumpTest, QuitEndsThePumpAndIsPostedAgain) {
    ui::PostMessage(window_, kAdvance, 10, 0);
    ui::PostQuitMessage(5);
    EXPECT_FALSE(Utils::PumpMessagesFor100ms(window_));
    EXPECT_EQ(handled_, std::vector<ui::WParam>{10});
    ui::Message m;
    ASSERT_TRUE(ui::PeekMessage(m, true));
    EXPECT_EQ(m.message, ui::WM_QUIT);
    EXPECT_EQ(m.wParam, 5u);
}

TEST_F(MessagePumpTest, ReturnsFalseWhenItsWindowIsDestroyedMeanwhile) {
    ui::PostMessage(window_, kAdvance, 10, 0);
    ui::PostMessage(window_, kDestroy, 0, 0);
    ui::PostMessage({}, ui::WM_USER + 3, 0, 0);  // would keep a pump without a window going
    EXPECT_FALSE(Utils::PumpMessagesFor100ms(window_));
    EXPECT_FALSE(ui::IsWindow(window_));
    ui::Message m;
    ASSERT_TRUE(ui::PeekMessage(m, false));
    EXPECT_EQ(m.message, ui::WM_USER + 3);
    // An already destroyed window returns at once, without taking a message.
    EXPECT_FALSE(Utils::PumpMessagesFor100ms(window_));
    ASSERT_TRUE(ui::PeekMessage(m, false));
}

TEST_F(MessagePumpTest, TimersKeepAPumpWithoutWindowGoingUntilTimeIsUp) {
    ASSERT_TRUE(ui::SetTimer(window_, 1, 30));
    const std::int64_t start = ui::GetTickCount();
    EXPECT_TRUE(Utils::PumpMessagesFor100ms({}));
    EXPECT_EQ(ui::GetTickCount() - start, 120);  // timers at 30, 60, 90, 120
}

}  // namespace
