// Window life cycle, input routing, painting and timers on the headless backend.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/window/Desktop.h"
#include "platform/window/NativeEdit.h"
#include "tests/platform/window/HeadlessWindowTest.h"

namespace platform::ui::testing {
namespace {

using WindowMessagesTest = HeadlessWindowTest;

LResult PaintSolid(WindowHandle window, double r, double g, double b) {
    PaintStruct ps;
    cairo_t* cr = BeginPaint(window, ps);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_paint(cr);
    EndPaint(window, ps);
    return 0;
}

TEST_F(WindowMessagesTest, CreateShowPaintCloseDestroyArriveInOrder) {
    Recorder& rec = NewRecorder();
    rec.hook = [](WindowHandle w, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m == WM_PAINT) return PaintSolid(w, 1, 0, 0);
        return std::nullopt;
    };
    const WindowHandle w = MakeWindow(rec);
    ASSERT_TRUE(w);
    EXPECT_EQ(rec.Messages(), (std::vector<unsigned>{WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE,
                                                     WM_SHOWWINDOW, WM_NCACTIVATE, WM_ACTIVATE, WM_SETFOCUS}));
    EXPECT_EQ(GetActiveWindow(), w);
    EXPECT_EQ(GetFocus(), w);
    EXPECT_EQ(rec.Of(WM_SIZE)[0].lParam, MakeLParam(300, 200));
    EXPECT_EQ(rec.Of(WM_MOVE)[0].lParam, MakeLParam(100, 100));

    rec.log.clear();
    PumpPending();
    EXPECT_EQ(rec.Messages(), (std::vector<unsigned>{WM_PAINT, WM_ERASEBKGND}));
    EXPECT_EQ(headless::PixelAt(w, Point{150, 100}), 0xFFFF0000u);

    rec.log.clear();
    ASSERT_TRUE(PostMessage(w, WM_CLOSE, 0, 0));
    PumpPending();
    EXPECT_EQ(rec.Messages(), (std::vector<unsigned>{WM_CLOSE, WM_NCACTIVATE, WM_ACTIVATE, WM_KILLFOCUS, WM_DESTROY,
                                                     WM_NCDESTROY}));
    EXPECT_FALSE(IsWindow(w));
    EXPECT_FALSE(GetActiveWindow());
    EXPECT_FALSE(PostMessage(w, WM_USER, 0, 0));
}

TEST_F(WindowMessagesTest, RefusedCreationLeavesNoWindow) {
    struct Case {
        unsigned message;
        LResult answer;
    };
    for (const Case c : {Case{WM_NCCREATE, 0}, Case{WM_CREATE, -1}}) {
        SCOPED_TRACE(c.message);
        Recorder& rec = NewRecorder();
        rec.hook = [&](WindowHandle, unsigned m, WParam, LParam) -> std::optional<LResult> {
            if (m == c.message) return c.answer;
            return std::nullopt;
        };
        EXPECT_FALSE(MakeWindow(rec));
        const auto messages = rec.Messages();
        ASSERT_GE(messages.size(), 2u);
        EXPECT_EQ(messages[messages.size() - 2], WM_DESTROY);
        EXPECT_EQ(messages.back(), WM_NCDESTROY);
        EXPECT_TRUE(rec.Of(WM_SHOWWINDOW).empty());
    }
}

TEST_F(WindowMessagesTest, DestroyingOwnerDestroysOwnedWindowsFirstAndProcedureMayDestroyItself) {
    Recorder& ownerRec = NewRecorder();
    Recorder& ownedRec = NewRecorder();
    std::vector<WindowHandle> destroyed;
    const auto note = [&](WindowHandle w, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m == WM_NCDESTROY) destroyed.push_back(w);
        if (m == WM_USER) {
            DestroyWindow(w);  // from inside its own procedure
            return 5;
        }
        return std::nullopt;
    };
    ownerRec.hook = note;
    ownedRec.hook = note;
    const WindowHandle owner = MakeWindow(ownerRec);
    const WindowHandle owned = MakeWindow(ownedRec, 150, 150, 100, 100, owner);
    EXPECT_EQ(GetOwner(owned), owner);
    EXPECT_EQ(SendMessage(owner, WM_USER, 0, 0), 5);
    EXPECT_EQ(destroyed, (std::vector<WindowHandle>{owned, owner}));
    EXPECT_FALSE(IsWindow(owned));
    EXPECT_FALSE(IsWindow(owner));
}

TEST_F(WindowMessagesTest, DefaultPositionCascadesOverTheWorkArea) {
    headless::SetScreen(Rect{0, 0, 1000, 800}, Rect{0, 30, 1000, 800});
    Recorder& rec = NewRecorder();
    CreateParams params;
    params.style = WS_POPUP;
    const WindowHandle first = CreateNativeWindow(params, rec.Proc());
    const WindowHandle second = CreateNativeWindow(params, rec.Proc());
    EXPECT_EQ(GetWindowRect(first), (Rect{0, 30, 750, 30 + 577}));
    EXPECT_EQ(GetWindowRect(second).left, 26);
    EXPECT_EQ(GetWindowRect(second).top, 56);
    EXPECT_FALSE(IsWindowVisible(first));
    EXPECT_EQ(GetWorkArea(first), (Rect{0, 30, 1000, 800}));
    EXPECT_EQ(GetScreenSize(), (Size{1000, 800}));
}

TEST_F(WindowMessagesTest, ClickArrivesAtClientCoordinatesAfterHitTestAndCursor) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    PumpPending();
    rec.log.clear();
    headless::Click(w, Point{40, 30});
    PumpPending();
    EXPECT_EQ(rec.Messages({WM_NCHITTEST, WM_SETCURSOR, WM_LBUTTONDOWN, WM_LBUTTONUP}),
              (std::vector<unsigned>{WM_NCHITTEST, WM_SETCURSOR, WM_LBUTTONDOWN, WM_NCHITTEST, WM_SETCURSOR,
                                     WM_LBUTTONUP}));
    EXPECT_EQ(rec.Of(WM_NCHITTEST)[0].lParam, MakeLParam(140, 130));  // screen
    EXPECT_EQ(rec.Of(WM_LBUTTONDOWN)[0].lParam, MakeLParam(40, 30));  // client
    EXPECT_EQ(rec.Of(WM_LBUTTONDOWN)[0].wParam, MK_LBUTTON);
    EXPECT_EQ(rec.Of(WM_LBUTTONUP)[0].wParam, 0u);
    EXPECT_EQ(GetCursorPos(), (Point{140, 130}));
}

TEST_F(WindowMessagesTest, DoubleClicksNeedTheClassStyleAndQuickNearbyPresses) {
    struct Case {
        const char* name;
        std::uint32_t classStyle;
        std::int64_t pause;
        Point second;
        bool doubleClick;
    };
    const Case cases[] = {
        {"quick, same place", CS_DBLCLKS, 100, {20, 20}, true},
        {"without the class style", 0, 100, {20, 20}, false},
        {"too slow", CS_DBLCLKS, 501, {20, 20}, false},
        {"too far", CS_DBLCLKS, 100, {23, 20}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder& rec = NewRecorder();
        const WindowHandle w = MakeWindow(rec, 100, 100, 300, 200, {}, c.classStyle);
        headless::Click(w, Point{20, 20});
        PumpPending();
        headless::AdvanceTime(c.pause);
        headless::Click(w, c.second);
        PumpPending();
        EXPECT_EQ(rec.Of(WM_LBUTTONDBLCLK).size(), c.doubleClick ? 1u : 0u);
        EXPECT_EQ(rec.Of(WM_LBUTTONDOWN).size(), c.doubleClick ? 1u : 2u);
        DestroyWindow(w);
    }
}

TEST_F(WindowMessagesTest, RightButtonReleaseAsksForContextMenuAtScreenPoint) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    headless::Click(w, Point{5, 6}, 3);
    PumpPending();
    EXPECT_EQ(rec.Messages({WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}),
              (std::vector<unsigned>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}));
    EXPECT_EQ(rec.Of(WM_CONTEXTMENU)[0].lParam, MakeLParam(105, 106));
}

TEST_F(WindowMessagesTest, WheelCarriesDeltaAndScreenPoint) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    headless::Wheel(w, Point{10, 20}, -120);
    PumpPending();
    ASSERT_EQ(rec.Of(WM_MOUSEWHEEL).size(), 1u);
    EXPECT_EQ(static_cast<std::int16_t>(HighWord(rec.Of(WM_MOUSEWHEEL)[0].wParam)), -120);
    EXPECT_EQ(rec.Of(WM_MOUSEWHEEL)[0].lParam, MakeLParam(110, 120));
}

TEST_F(WindowMessagesTest, CaptureRoutesMouseInputToTheCapturingWindow) {
    Recorder& a = NewRecorder();
    Recorder& b = NewRecorder();
    const WindowHandle wa = MakeWindow(a, 100, 100, 300, 200);
    const WindowHandle wb = MakeWindow(b, 500, 100, 300, 200);
    PumpPending();
    a.log.clear();
    b.log.clear();

    EXPECT_FALSE(SetCapture(wa));
    headless::MouseMove(wb, Point{10, 10});
    headless::MouseUp(wb, Point{12, 10});
    PumpPending();
    EXPECT_TRUE(b.log.empty());
    ASSERT_EQ(a.Of(WM_MOUSEMOVE).size(), 1u);
    EXPECT_EQ(a.Of(WM_MOUSEMOVE)[0].lParam, MakeLParam(410, 10));  // wa's client coordinates
    ASSERT_EQ(a.Of(WM_LBUTTONUP).size(), 1u);
    EXPECT_EQ(a.Of(WM_LBUTTONUP)[0].lParam, MakeLParam(412, 10));
    EXPECT_TRUE(a.Of(WM_NCHITTEST).empty());  // a captured pointer is not hit-tested

    EXPECT_EQ(SetCapture(wb), wa);
    ASSERT_EQ(a.Of(WM_CAPTURECHANGED).size(), 1u);
    EXPECT_EQ(a.Of(WM_CAPTURECHANGED)[0].lParam, static_cast<LParam>(wb.value));
    EXPECT_TRUE(ReleaseCapture());
    EXPECT_EQ(b.Of(WM_CAPTURECHANGED).size(), 1u);
    EXPECT_FALSE(GetCapture());

    a.log.clear();
    headless::MouseMove(wb, Point{10, 10});
    PumpPending();
    EXPECT_TRUE(a.Of(WM_MOUSEMOVE).empty());
    ASSERT_EQ(b.Of(WM_MOUSEMOVE).size(), 1u);
    EXPECT_EQ(b.Of(WM_MOUSEMOVE)[0].lParam, MakeLParam(10, 10));
}

TEST_F(WindowMessagesTest, CaptionDragIsDoneByTheDesktopAndMovesTheWindow) {
    Recorder& rec = NewRecorder();
    rec.hook = [](WindowHandle w, unsigned m, WParam, LParam lp) -> std::optional<LResult> {
        if (m == WM_NCHITTEST) {
            const Point p = ScreenToClient(w, PointFromLParam(lp));
            if (p.x >= 290 && p.y >= 190) return HTBOTTOMRIGHT;
            return p.y < 30 ? HTCAPTION : HTCLIENT;
        }
        if (m == WM_GETMINMAXINFO) {
            reinterpret_cast<MinMaxInfo*>(lp)->minTrackSize = Point{200, 150};
            return 0;
        }
        return std::nullopt;
    };
    const WindowHandle w = MakeWindow(rec);
    PumpPending();
    rec.log.clear();

    headless::MouseDown(w, Point{50, 10});
    PumpPending();
    EXPECT_EQ(rec.Of(WM_NCLBUTTONDOWN).size(), 1u);
    EXPECT_TRUE(rec.Of(WM_LBUTTONDOWN).empty());
    ASSERT_TRUE(headless::DesktopDragActive());
    headless::MouseMove(w, Point{90, 35});
    headless::MouseUp(w, Point{90, 35});
    EXPECT_FALSE(headless::DesktopDragActive());
    PumpPending();
    EXPECT_EQ(GetWindowRect(w), (Rect{140, 125, 440, 325}));
    ASSERT_FALSE(rec.Of(WM_MOVE).empty());
    EXPECT_EQ(rec.Of(WM_MOVE).back().lParam, MakeLParam(140, 125));
    EXPECT_TRUE(rec.Of(WM_LBUTTONUP).empty());
    EXPECT_TRUE(rec.Of(WM_NCLBUTTONUP).empty());

    // A border press resizes, no smaller than the tracking minimum.
    headless::MouseDown(w, Point{295, 195});
    PumpPending();
    headless::MouseMove(w, Point{95, 95});
    headless::MouseUp(w, Point{95, 95});
    EXPECT_EQ(GetWindowRect(w), (Rect{140, 125, 340, 275}));
    EXPECT_EQ(rec.Of(WM_SIZE).back().lParam, MakeLParam(200, 150));
}

TEST_F(WindowMessagesTest, CaptionDoubleClickMaximizesOnlyWithMaximizeBox) {
    headless::SetScreen(Rect{0, 0, 1000, 800}, Rect{0, 0, 1000, 760});
    for (const bool box : {true, false}) {
        SCOPED_TRACE(box);
        Recorder& rec = NewRecorder();
        rec.hook = [](WindowHandle, unsigned m, WParam, LParam) -> std::optional<LResult> {
            if (m == WM_NCHITTEST) return HTCAPTION;
            return std::nullopt;
        };
        const WindowHandle w = MakeWindow(rec);
        SetWindowStyle(w, WS_POPUP | (box ? WS_MAXIMIZEBOX : 0));
        // The first press starts a desktop move; releasing it there ends the move.
        headless::MouseDown(w, Point{10, 10});
        PumpPending();
        headless::MouseUp(w, Point{10, 10});
        headless::MouseDown(w, Point{10, 10});
        PumpPending();
        headless::MouseUp(w, Point{10, 10});
        EXPECT_EQ(rec.Of(WM_NCLBUTTONDBLCLK).size(), 1u);
        EXPECT_EQ(IsMaximized(w), box);
        if (box) {
            EXPECT_EQ(GetWindowRect(w), (Rect{0, 0, 1000, 760}));
            EXPECT_EQ(rec.Of(WM_SIZE).back().wParam, SIZE_MAXIMIZED);
            ShowWindow(w, SW_RESTORE);
            EXPECT_EQ(GetWindowRect(w), (Rect{100, 100, 400, 300}));
            EXPECT_EQ(rec.Of(WM_SIZE).back().wParam, SIZE_RESTORED);
        }
        DestroyWindow(w);
    }
}

TEST_F(WindowMessagesTest, KeysGoToTheFocusWindowAndTranslateIntoCharacters) {
    Recorder& a = NewRecorder();
    Recorder& b = NewRecorder();
    const WindowHandle wa = MakeWindow(a);
    const WindowHandle wb = MakeWindow(b, 500, 100);
    ASSERT_EQ(GetFocus(), wb);
    SetFocus(wa);
    PumpPending();
    a.log.clear();
    b.log.clear();
    headless::KeyDown('A', U'a');
    headless::KeyUp('A');
    headless::KeyDown('X', U'x', true);
    PumpPending();
    EXPECT_TRUE(b.log.empty());
    EXPECT_EQ(a.Messages(), (std::vector<unsigned>{WM_KEYDOWN, WM_CHAR, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSCHAR}));
    EXPECT_EQ(a.Of(WM_CHAR)[0].wParam, static_cast<WParam>(U'a'));
    EXPECT_EQ(a.Of(WM_KEYDOWN)[0].wParam, static_cast<WParam>('A'));

    EnableWindow(wa, false);
    a.log.clear();
    headless::KeyDown('B', U'b');
    headless::Click(wa, Point{5, 5});
    PumpPending();
    EXPECT_EQ(a.Messages({WM_KEYDOWN, WM_CHAR, WM_LBUTTONDOWN, WM_NCHITTEST}), std::vector<unsigned>{});
}

TEST_F(WindowMessagesTest, HoverAndLeaveTrackingFireOncePerRequest) {
    Recorder& a = NewRecorder();
    Recorder& b = NewRecorder();
    const WindowHandle wa = MakeWindow(a);
    const WindowHandle wb = MakeWindow(b, 500, 100);
    headless::MouseMove(wa, Point{30, 40});
    PumpPending();
    ASSERT_TRUE(TrackMouseEvent(wa, TME_HOVER | TME_LEAVE, 300));
    Message m;
    // Idle waiting lets the virtual clock run to the hover deadline.
    const std::int64_t start = GetTickCount();
    while (a.Of(WM_MOUSEHOVER).empty()) {
        ASSERT_EQ(GetMessage(m), 1);
        DispatchMessage(m);
    }
    EXPECT_EQ(GetTickCount() - start, 300);
    EXPECT_EQ(a.Of(WM_MOUSEHOVER)[0].lParam, MakeLParam(30, 40));
    EXPECT_TRUE(a.Of(WM_MOUSELEAVE).empty());

    headless::MouseMove(wb, Point{1, 1});
    headless::MouseMove(wa, Point{2, 2});
    headless::MouseMove(wb, Point{1, 1});
    PumpPending();
    EXPECT_EQ(a.Of(WM_MOUSELEAVE).size(), 1u);
    EXPECT_TRUE(b.Of(WM_MOUSELEAVE).empty());

    // Asking while the pointer is elsewhere answers at once.
    TrackMouseEvent(wa, TME_LEAVE);
    PumpPending();
    EXPECT_EQ(a.Of(WM_MOUSELEAVE).size(), 2u);
}

TEST_F(WindowMessagesTest, TimersFireWithTheirIdsAndStopWhenKilled) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    PumpPending();
    const std::int64_t start = GetTickCount();
    ASSERT_TRUE(SetTimer(w, 1, 50));
    ASSERT_TRUE(SetTimer(w, 2, 120));
    std::vector<std::pair<WParam, std::int64_t>> fired;
    Message m;
    while (GetTickCount() - start < 300) {
        ASSERT_EQ(GetMessage(m), 1);
        if (m.message == WM_TIMER) fired.emplace_back(m.wParam, GetTickCount() - start);
        DispatchMessage(m);
    }
    EXPECT_EQ(fired, (std::vector<std::pair<WParam, std::int64_t>>{
                         {1, 50}, {1, 100}, {2, 120}, {1, 150}, {1, 200}, {2, 240}, {1, 250}, {1, 300}}));

    EXPECT_TRUE(KillTimer(w, 1));
    EXPECT_FALSE(KillTimer(w, 1));
    fired.clear();
    while (GetTickCount() - start < 600) {
        ASSERT_EQ(GetMessage(m), 1);
        if (m.message == WM_TIMER) fired.emplace_back(m.wParam, GetTickCount() - start);
        DispatchMessage(m);
    }
    EXPECT_EQ(fired, (std::vector<std::pair<WParam, std::int64_t>>{{2, 360}, {2, 480}, {2, 600}}));
    EXPECT_EQ(rec.Of(WM_TIMER).size(), 11u);
}

TEST_F(WindowMessagesTest, TimerIntervalsAreClampedToTheAllowedRange) {
    struct Case {
        std::int64_t requested;
        std::int64_t effective;
    };
    const Case cases[] = {
        {0, 10},
        {-5, 10},
        {10, 10},
        {1000, 1000},
        {2147483647, 2147483647},
        {2147483648, 2147483647},
        {std::numeric_limits<std::int64_t>::max(), 2147483647},
    };
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    PumpPending();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.requested);
        ASSERT_TRUE(SetTimer(w, 7, c.requested));
        headless::AdvanceTime(c.effective - 1);
        Message m;
        EXPECT_FALSE(PeekMessage(m, true));
        headless::AdvanceTime(1);
        ASSERT_TRUE(PeekMessage(m, true));
        EXPECT_EQ(m.message, WM_TIMER);
        EXPECT_EQ(m.wParam, 7u);
        KillTimer(w, 7);
    }
}

TEST_F(WindowMessagesTest, DestroyedWindowsTimersStop) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    const WindowHandle other = MakeWindow(rec, 500, 100);
    PumpPending();
    SetTimer(w, 1, 10);
    SetTimer(other, 1, 1000);
    DestroyWindow(w);
    Message m;
    ASSERT_EQ(GetMessage(m), 1);
    EXPECT_EQ(m.hwnd, other);
    EXPECT_EQ(m.message, WM_TIMER);
}

TEST_F(WindowMessagesTest, PaintCoversTheUnionOfInvalidAreasAndSkipsHiddenWindows) {
    Recorder& rec = NewRecorder();
    std::vector<Rect> painted;
    rec.hook = [&](WindowHandle w, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m != WM_PAINT) return std::nullopt;
        PaintStruct ps;
        cairo_t* cr = BeginPaint(w, ps);
        painted.push_back(ps.rcPaint);
        cairo_set_source_rgb(cr, 0, 0, 1);
        cairo_paint(cr);
        EndPaint(w, ps);
        return 0;
    };
    const WindowHandle w = MakeWindow(rec);
    PumpPending();
    ASSERT_EQ(painted.size(), 1u);
    EXPECT_EQ(painted[0], (Rect{0, 0, 300, 200}));

    // Repaint only part in green, by hand.
    const Rect a{10, 10, 20, 20};
    const Rect b{50, 30, 60, 40};
    InvalidateRect(w, &a, false);
    InvalidateRect(w, &b, false);
    rec.hook = [&](WindowHandle win, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m != WM_PAINT) return std::nullopt;
        PaintStruct ps;
        cairo_t* cr = BeginPaint(win, ps);
        painted.push_back(ps.rcPaint);
        cairo_set_source_rgb(cr, 0, 1, 0);
        cairo_paint(cr);
        EndPaint(win, ps);
        return 0;
    };
    PumpPending();
    ASSERT_EQ(painted.size(), 2u);
    EXPECT_EQ(painted[1], (Rect{10, 10, 60, 40}));
    EXPECT_EQ(headless::PixelAt(w, Point{15, 15}), 0xFF00FF00u);
    EXPECT_EQ(headless::PixelAt(w, Point{100, 100}), 0xFF0000FFu);
    EXPECT_TRUE(rec.Of(WM_ERASEBKGND).size() == 1u);  // only the first paint asked to erase

    ShowWindow(w, SW_HIDE);
    InvalidateRect(w, nullptr, true);
    PumpPending();
    EXPECT_EQ(painted.size(), 2u);
    ShowWindow(w, SW_SHOW);
    PumpPending();
    EXPECT_EQ(painted.size(), 3u);
}

TEST_F(WindowMessagesTest, ProcedureThatDoesNotPaintIsNotAskedAgain) {
    Recorder& rec = NewRecorder();
    rec.hook = [](WindowHandle, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m == WM_PAINT) return 0;  // neither BeginPaint nor default processing
        return std::nullopt;
    };
    MakeWindow(rec);
    PumpPending();
    EXPECT_EQ(rec.Of(WM_PAINT).size(), 1u);
}

TEST_F(WindowMessagesTest, ResizeKeepsContentAndInvalidatesTheWholeWindow) {
    Recorder& rec = NewRecorder();
    rec.hook = [](WindowHandle w, unsigned m, WParam, LParam) -> std::optional<LResult> {
        if (m == WM_PAINT) return PaintSolid(w, 1, 1, 0);
        return std::nullopt;
    };
    const WindowHandle w = MakeWindow(rec);
    PumpPending();
    rec.log.clear();
    ASSERT_TRUE(MoveWindow(w, 10, 20, 400, 250));
    EXPECT_EQ(rec.Messages({WM_SIZE, WM_MOVE}), (std::vector<unsigned>{WM_SIZE, WM_MOVE}));
    EXPECT_EQ(headless::PixelAt(w, Point{50, 50}), 0xFFFFFF00u);
    PumpPending();
    EXPECT_EQ(rec.Of(WM_PAINT).size(), 1u);
    EXPECT_EQ(headless::PixelAt(w, Point{350, 220}), 0xFFFFFF00u);
    EXPECT_EQ(GetClientRect(w), (Rect{0, 0, 400, 250}));
}

TEST_F(WindowMessagesTest, RoundRegionCutsTheCornersOnly) {
    const WindowRegion region = WindowRegion::RoundRect(Rect{0, 0, 100, 50}, 20, 20);
    struct Case {
        Point p;
        bool inside;
    };
    for (const Case c : {Case{{0, 0}, false}, Case{{99, 0}, false}, Case{{0, 49}, false}, Case{{99, 49}, false},
                         Case{{10, 0}, true}, Case{{0, 10}, true}, Case{{50, 25}, true}, Case{{99, 25}, true},
                         Case{{100, 25}, false}, Case{{50, 50}, false}}) {
        SCOPED_TRACE(::testing::Message() << c.p.x << "," << c.p.y);
        EXPECT_EQ(region.Contains(c.p), c.inside);
    }
    EXPECT_EQ(region.Bounds(), (Rect{0, 0, 100, 50}));
    // Left and right ends of each row mirror each other.
    for (int y = 0; y < 50; ++y) EXPECT_EQ(region.Row(y).left, 100 - region.Row(y).right) << y;

    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec, 0, 0, 100, 50);
    ASSERT_TRUE(SetWindowRegion(w, region));
    EXPECT_FALSE(headless::IsShownAt(w, Point{0, 0}));
    EXPECT_TRUE(headless::IsShownAt(w, Point{50, 0}));
    ASSERT_NE(GetWindowRegion(w), nullptr);
    SetWindowRegion(w, std::nullopt);
    EXPECT_TRUE(headless::IsShownAt(w, Point{0, 0}));
}

TEST_F(WindowMessagesTest, DisabledOwnerPassesClicksToItsDialog) {
    Recorder& ownerRec = NewRecorder();
    Recorder& dialogRec = NewRecorder();
    const WindowHandle owner = MakeWindow(ownerRec);
    const WindowHandle dialog = MakeWindow(dialogRec, 150, 150, 100, 80, owner);
    EnableWindow(owner, false);
    SetActiveWindow(owner);  // refused input does not stop programmatic activation
    PumpPending();
    ownerRec.log.clear();
    headless::Click(owner, Point{5, 5});
    PumpPending();
    EXPECT_TRUE(ownerRec.Of(WM_LBUTTONDOWN).empty());
    EXPECT_EQ(GetActiveWindow(), dialog);
}

TEST_F(WindowMessagesTest, ShowWithoutActivationLeavesActiveWindowAlone) {
    Recorder& a = NewRecorder();
    Recorder& b = NewRecorder();
    const WindowHandle wa = MakeWindow(a);
    CreateParams params;
    params.style = WS_POPUP;
    params.x = 10;
    params.y = 10;
    params.width = 50;
    params.height = 50;
    const WindowHandle wb = CreateNativeWindow(params, b.Proc());
    EXPECT_FALSE(ShowWindow(wb, SW_SHOWNOACTIVATE));
    EXPECT_TRUE(IsWindowVisible(wb));
    EXPECT_EQ(GetActiveWindow(), wa);
    EXPECT_TRUE(b.Of(WM_ACTIVATE).empty());
    EXPECT_TRUE(ShowWindow(wb, SW_SHOW));
    EXPECT_EQ(GetActiveWindow(), wb);
    ASSERT_EQ(a.Of(WM_ACTIVATE).size(), 2u);
    EXPECT_EQ(a.Of(WM_ACTIVATE)[1].wParam, WA_INACTIVE);
    headless::DesktopDeactivates();
    EXPECT_FALSE(GetActiveWindow());
    EXPECT_EQ(b.Of(WM_ACTIVATE).back().wParam, WA_INACTIVE);
}

TEST_F(WindowMessagesTest, MinimizeAndTitleBarCloseGoThroughSystemCommands) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    SendMessage(w, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsMinimized(w));
    EXPECT_EQ(rec.Of(WM_SIZE).back().wParam, SIZE_MINIMIZED);
    EXPECT_FALSE(GetActiveWindow());
    SendMessage(w, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsMinimized(w));
    EXPECT_EQ(rec.Of(WM_SIZE).back().wParam, SIZE_RESTORED);
    headless::DesktopRequestsClose(w);
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(rec.Messages({WM_SYSCOMMAND, WM_CLOSE, WM_DESTROY}).back(), WM_DESTROY);
}

TEST_F(WindowMessagesTest, LayeredWindowsNeedACompositedScreen) {
    Recorder& rec = NewRecorder();
    CreateParams params;
    params.style = WS_POPUP;
    params.exStyle = WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_NOACTIVATE;
    params.x = params.y = 0;
    params.width = params.height = 10;
    EXPECT_TRUE(IsCompositingAvailable());
    EXPECT_TRUE(CreateNativeWindow(params, rec.Proc()));
    headless::SetComposited(false);
    EXPECT_FALSE(IsCompositingAvailable());
    EXPECT_FALSE(CreateNativeWindow(params, rec.Proc()));
}

TEST_F(WindowMessagesTest, SubclassedProcedureSeesMessagesAndPassesThemOn) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    std::vector<unsigned> seen;
    WindowProc previous;
    previous = SetWindowProc(w, [&](WindowHandle h, unsigned m, WParam wp, LParam lp) {
        seen.push_back(m);
        return previous(h, m, wp, lp);
    });
    ASSERT_TRUE(previous);
    rec.log.clear();
    MoveWindow(w, 0, 0, 300, 200);
    EXPECT_EQ(seen, (std::vector<unsigned>{WM_MOVE}));
    EXPECT_EQ(rec.Messages(), (std::vector<unsigned>{WM_MOVE}));
    SetWindowProc(w, previous);  // the watcher's state ends with this test body
}

TEST_F(WindowMessagesTest, IconMustBeAnImage) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    // A 1 x 1 PNG made by cairo.
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
    std::vector<unsigned char> png;
    cairo_surface_write_to_png_stream(
        s,
        [](void* closure, const unsigned char* data, unsigned int length) {
            auto* out = static_cast<std::vector<unsigned char>*>(closure);
            out->insert(out->end(), data, data + length);
            return CAIRO_STATUS_SUCCESS;
        },
        &png);
    cairo_surface_destroy(s);
    EXPECT_TRUE(SetWindowIcon(w, png));
    const unsigned char junk[] = {1, 2, 3, 4};
    EXPECT_FALSE(SetWindowIcon(w, junk));
}

TEST_F(WindowMessagesTest, NativeEditReportsChangesReturnAndFocusLoss) {
    Recorder& rec = NewRecorder();
    const WindowHandle w = MakeWindow(rec);
    int changes = 0, returns = 0, losses = 0;
    auto edit = NativeEdit::Create(w, Rect{10, 10, 110, 30},
                                   {[&] { ++changes; }, [&] { ++returns; }, [&] { ++losses; }});
    ASSERT_TRUE(edit);
    edit->SetText(L"C:/Program Files");
    edit->SetText(L"C:/Program Files");  // unchanged: no event
    EXPECT_EQ(changes, 1);
    edit->SetMaxChars(5);
    EXPECT_EQ(edit->Text(), L"C:/Pr");
    EXPECT_EQ(changes, 2);
    headless::TypeIntoEdit(*edit, L"ogram");
    EXPECT_EQ(edit->Text(), L"C:/Pr");
    edit->SetMaxChars(0);
    headless::TypeIntoEdit(*edit, L"中文");
    EXPECT_EQ(edit->Text(), L"C:/Pr中文");
    edit->SetReadOnly(true);
    headless::TypeIntoEdit(*edit, L"x");
    EXPECT_EQ(edit->Text(), L"C:/Pr中文");
    edit->SetPassword(true, L'*');
    EXPECT_TRUE(headless::EditIsPassword(*edit));
    edit->Focus();
    headless::PressReturnInEdit(*edit);
    headless::LeaveEdit(*edit);
    headless::LeaveEdit(*edit);
    EXPECT_EQ(returns, 1);
    EXPECT_EQ(losses, 1);
    edit->SetRect(Rect{0, 0, 50, 20});
    EXPECT_EQ(headless::EditRect(*edit), (Rect{0, 0, 50, 20}));
    EXPECT_FALSE(NativeEdit::Create(WindowHandle{9999}, Rect{}, {}));
}

TEST_F(WindowMessagesTest, DesktopServicesAnswerWithoutADesktop) {
    EXPECT_FALSE(PickFolder({}, L"选择文件夹", L"/tmp"));
    headless::SetFolderPickerAnswer(L"/opt/Mavrix");
    EXPECT_EQ(PickFolder({}, L"选择文件夹", L"/tmp"), std::optional<std::wstring>(L"/opt/Mavrix"));
    EXPECT_TRUE(OpenAddress(L"https://example.invalid/terms"));
    EXPECT_EQ(headless::OpenedAddresses(), std::vector<std::wstring>{L"https://example.invalid/terms"});
    ShowFatalErrorBox(L"加载资源文件失败", L"SkinUI");
    EXPECT_EQ(headless::ErrorBoxes(), std::vector<std::wstring>{L"加载资源文件失败"});
}

TEST(WindowSystemStart, BackendComesFromTheEnvironmentAndNeverFallsBack) {
    struct Case {
        const char* value;
        bool ok;
    };
    // No display: GTK must fail rather than the layer quietly running headless.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const Case c : {Case{"headless", true}, Case{"gtk", false}, Case{"Headless", false}, Case{"", false}}) {
        SCOPED_TRACE(c.value);
        setenv("MAVRIX_WINDOW_BACKEND", c.value, 1);
        const auto status = InitializeWindowSystemFromEnvironment();
        EXPECT_EQ(status.ok(), c.ok);
        if (status.ok()) {
            EXPECT_EQ(ActiveBackend(), BackendKind::Headless);
            EXPECT_FALSE(InitializeWindowSystem(BackendKind::Headless).ok());  // only once
            ShutdownWindowSystem();
        } else {
            EXPECT_FALSE(status.error().message.empty());
            EXPECT_FALSE(IsWindowSystemInitialized());
        }
    }
    unsetenv("MAVRIX_WINDOW_BACKEND");
}

TEST(DetachedProgram, StartsInItsFolderAndOutlivesTheCall) {
    char folder[] = "/tmp/mavrix-detached-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::wstring wfolder(folder, folder + std::strlen(folder));
    ASSERT_TRUE(StartProgramDetached(L"/bin/sh", {L"-c", L"pwd > out.tmp && mv out.tmp out.txt"}, wfolder));
    const std::string out = std::string(folder) + "/out.txt";
    for (int i = 0; i < 200 && access(out.c_str(), F_OK) != 0; ++i) usleep(10000);
    FILE* f = std::fopen(out.c_str(), "r");
    ASSERT_NE(f, nullptr);
    char line[256] = {};
    ASSERT_NE(std::fgets(line, sizeof line, f), nullptr);
    std::fclose(f);
    EXPECT_EQ(std::string(line), std::string(folder) + "\n");
    EXPECT_FALSE(StartProgramDetached(L"/nonexistent/program", {}, L""));
    std::remove(out.c_str());
    rmdir(folder);
}

}  // namespace
}  // namespace platform::ui::testing
