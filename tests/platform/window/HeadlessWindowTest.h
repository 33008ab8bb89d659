#pragma once
// A fixture running the headless window backend, and a window procedure that records every
// message before an optional hook or default processing answers it.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/window/Headless.h"
#include "platform/window/WindowSystem.h"

namespace platform::ui::testing {

struct Recorder {
    struct Entry {
        WindowHandle window;
        unsigned message;
        WParam wParam;
        LParam lParam;
    };
    std::vector<Entry> log;
    std::function<std::optional<LResult>(WindowHandle, unsigned, WParam, LParam)> hook;

    WindowProc Proc() {
        return [this](WindowHandle w, unsigned m, WParam wp, LParam lp) -> LResult {
            log.push_back(Entry{w, m, wp, lp});
            if (hook) {
                if (auto answer = hook(w, m, wp, lp)) return *answer;
            }
            return DefWindowProc(w, m, wp, lp);
        };
    }
    // The messages received, in order, keeping only those listed (all when empty).
    std::vector<unsigned> Messages(std::initializer_list<unsigned> only = {}) const {
        std::vector<unsigned> out;
        for (const auto& e : log) {
            if (only.size() == 0 || std::find(only.begin(), only.end(), e.message) != only.end())
                out.push_back(e.message);
        }
        return out;
    }
    std::vector<Entry> Of(unsigned message) const {
        std::vector<Entry> out;
        for (const auto& e : log) {
            if (e.message == message) out.push_back(e);
        }
        return out;
    }
};

class HeadlessWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(InitializeWindowSystem(BackendKind::Headless).ok()); }
    // Windows still open get their last messages at shutdown: the recorders outlive that,
    // and hooks (which may point into a finished test body) are dropped first.
    void TearDown() override {
        for (Recorder& r : recorders_) r.hook = nullptr;
        ShutdownWindowSystem();
    }

    Recorder& NewRecorder() { return recorders_.emplace_back(); }

    static WindowHandle MakeWindow(Recorder& recorder, int x = 100, int y = 100, int width = 300, int height = 200,
                                   WindowHandle owner = {}, std::uint32_t classStyle = 0) {
        CreateParams params;
        params.className = L"TestWindow";
        params.style = WS_POPUP | WS_VISIBLE;
        params.classStyle = classStyle;
        params.x = x;
        params.y = y;
        params.width = width;
        params.height = height;
        params.owner = owner;
        return CreateNativeWindow(params, recorder.Proc());
    }

    std::deque<Recorder> recorders_;

    // Handles what is queued now, without waiting or letting time pass.
    static void PumpPending() {
        Message m;
        while (PeekMessage(m, true)) {
            TranslateMessage(m);
            DispatchMessage(m);
        }
    }
};

}  // namespace platform::ui::testing
