#pragma once
// Internal: the state behind the window layer's functions and the one implementation of its
// behaviour, shared by both backends. Backends and the headless test hooks feed native
// events in through the On... calls. Window thread, except the queue (Post, Wake).
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "platform/window/Backend.h"

namespace platform::ui::detail {

struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
using SurfacePtr = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;

struct WindowState {
    WindowHandle handle;
    std::wstring className;
    std::wstring title;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::uint32_t classStyle = 0;
    WindowHandle owner;
    // Shared so a procedure that destroys its own window finishes running safely.
    std::shared_ptr<WindowProc> proc;
    Rect rect;         // client area on the screen
    Rect restoreRect;  // the rectangle to return to from maximized
    bool visible = false;
    bool enabled = true;
    bool minimized = false;
    bool maximized = false;
    bool destroying = false;
    Rect invalid;      // empty when nothing needs painting
    bool erase = false;
    SurfacePtr backBuffer;
    std::optional<WindowRegion> region;
    std::unique_ptr<NativeWindow> native;
};

enum class MouseAction { Move, Press, Release, Wheel, Leave };

// Pointer input as a backend sees it: at a point of one window's client area.
struct RawMouse {
    WindowHandle window;
    MouseAction action = MouseAction::Move;
    int button = 1;           // 1 left, 3 right
    Point client;
    WParam keyFlags = 0;      // MK_SHIFT | MK_CONTROL
    int wheelDelta = 0;       // 120 per notch, positive away from the user
};

struct RawKey {
    bool down = true;
    unsigned vk = 0;
    char32_t character = 0;
    bool alt = false;
};

class WindowManager {
public:
    WindowManager(std::unique_ptr<Backend> backend);
    ~WindowManager();

    static WindowManager* Instance();
    static void SetInstance(WindowManager* manager);

    Backend& backend() { return *backend_; }
    bool OnWindowThread() const { return std::this_thread::get_id() == thread_; }
    WindowState* Find(WindowHandle window);

    // Native events.
    void OnMouse(const RawMouse& input);
    void OnKey(const RawKey& input);
    void OnNativeBounds(WindowHandle window, const Rect& rect);
    void OnNativeActivation(WindowHandle window, bool active);
    void OnNativeCloseRequest(WindowHandle window);
    void OnNativeMinimized(WindowHandle window, bool minimized);

    // The layer's functions (WindowSystem.h).
    WindowHandle Create(const CreateParams& params, WindowProc proc);
    bool Destroy(WindowHandle window);
    bool IsLive(WindowHandle window);
    WindowProc SetProc(WindowHandle window, WindowProc proc);
    LResult DefProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
    bool Show(WindowHandle window, int command);
    bool SetBounds(WindowHandle window, const Rect& rect);
    Rect WorkAreaOf(WindowHandle window);
    bool SetStyle(WindowHandle window, std::uint32_t style);
    bool Enable(WindowHandle window, bool enable);
    WindowHandle Activate(WindowHandle window, WParam how = WA_ACTIVE, bool native = true);
    WindowHandle active() const { return active_; }
    WindowHandle SetFocus(WindowHandle window);
    WindowHandle focus() const { return focus_; }
    WindowHandle SetCapture(WindowHandle window);
    bool ReleaseCapture();
    WindowHandle capture() const { return capture_; }
    void SetCursor(CursorShape shape);
    CursorShape cursor() const { return cursor_; }
    Point cursorPos() const { return cursorPos_; }
    bool TrackMouse(WindowHandle window, unsigned flags, unsigned hoverMs);

    bool Post(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
    void PostQuit(int exitCode);
    LResult Send(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
    int Get(Message& message);
    bool Peek(Message& message, bool remove);
    bool Translate(const Message& message);
    LResult Dispatch(const Message& message);
    WParam RunModal(WindowHandle window, const PreTranslate& preTranslate);

    bool SetTimer(WindowHandle window, WParam id, std::int64_t intervalMs);
    bool KillTimer(WindowHandle window, WParam id);

    bool Invalidate(WindowHandle window, const Rect* rect, bool erase);
    bool Validate(WindowHandle window);
    bool Update(WindowHandle window);
    cairo_t* BeginPaint(WindowHandle window, PaintStruct& paint);
    void EndPaint(WindowHandle window, PaintStruct& paint);

    // Destroys every window; the manager stays usable.
    void DestroyAll();

private:
    struct QueueEntry {
        enum class Kind { Posted, Mouse, Key } kind = Kind::Posted;
        Message message;
        RawMouse mouse;
        RawKey key;
    };
    struct Timer {
        std::int64_t interval = 0;
        std::int64_t due = 0;
        std::uint64_t order = 0;
    };
    struct Tracking {
        WindowHandle window;
        unsigned flags = 0;
        std::int64_t hoverMs = 0;
        std::int64_t hoverDue = 0;
        Point anchor;
    };
    struct LastClick {
        WindowHandle window;
        unsigned message = 0;
        std::int64_t time = 0;
        Point screen;
    };

    bool TakeNext(Message& message, bool remove);
    std::optional<Message> TakeQueued(bool remove);
    std::optional<Message> ConvertMouse(const RawMouse& input, std::int64_t time);
    std::optional<Message> ConvertKey(const RawKey& input, std::int64_t time);
    std::optional<Message> TakePaint();
    std::optional<Message> TakeTimer(bool remove);
    std::optional<std::int64_t> NextDeadline() const;
    void PushInput(QueueEntry entry);
    void PushFront(const Message& message);
    Message MakeMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) const;

    void ShowPlain(WindowHandle window, bool activate);
    void ApplyRect(WindowHandle window, const Rect& rect, bool fromNative, bool forceSize = false);
    void ResizeBackBuffer(WindowState& window);
    void Minimize(WindowHandle window);
    void Maximize(WindowHandle window);
    void Restore(WindowHandle window);
    MinMaxInfo QueryMinMax(WindowHandle window);
    void ActivateAfterLoss(WindowHandle lost);
    std::optional<Message> LeaveMessage(WindowHandle window);
    void CancelTracking(WindowHandle window);

    std::unique_ptr<Backend> backend_;
    const std::thread::id thread_;

    std::mutex mutex_;  // guards queue_, quit_, live_
    std::deque<QueueEntry> queue_;
    std::optional<int> quit_;
    std::unordered_set<std::uint32_t> live_;

    std::unordered_map<std::uint32_t, std::unique_ptr<WindowState>> windows_;
    std::uint32_t lastHandle_ = 0;
    int cascade_ = 0;
    std::map<std::pair<std::uint32_t, WParam>, Timer> timers_;
    std::uint64_t timerOrder_ = 0;
    WindowHandle active_;
    WindowHandle focus_;
    WindowHandle capture_;
    WindowHandle pointerWindow_;
    Point cursorPos_;
    CursorShape cursor_ = CursorShape::Arrow;
    WParam buttons_ = 0;
    Tracking tracking_;
    LastClick lastClick_;
};

}  // namespace platform::ui::detail
