#pragma once
// The window layer: native top-level windows driven by window procedures, one message
// queue for the window thread, timers, painting into a back buffer, and modal loops.
// Two backends behave alike: GTK 3 for real desktops and an in-memory one for tests
// (see Headless.h). Everything here runs on the window thread (the thread that called
// InitializeWindowSystem) except where a function says otherwise.
//
// A window has no non-client area of its own: its client area is the whole window, and a
// title bar, when WS_CAPTION asks for one, is drawn by the desktop outside it.
#include <cairo.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/Expected.h"
#include "platform/window/WindowRegion.h"
#include "platform/window/WindowTypes.h"

namespace platform::ui {

enum class BackendKind { Gtk, Headless };

struct WindowSystemError {
    std::string message;
};

// Starts the layer on the calling thread, which becomes the window thread. The GTK backend
// needs a display and fails without one; nothing falls back to the other backend.
Status<WindowSystemError> InitializeWindowSystem(BackendKind kind);
// Chooses the backend from MAVRIX_WINDOW_BACKEND ("gtk" or "headless"; unset means "gtk").
// Any other value is an error.
Status<WindowSystemError> InitializeWindowSystemFromEnvironment();
// Destroys the remaining windows, drops queued messages and stops the backend.
void ShutdownWindowSystem();
bool IsWindowSystemInitialized();
BackendKind ActiveBackend();
bool IsWindowThread();

// The layer's millisecond clock: monotonic on the desktop, virtual in the headless backend
// (see Headless.h). Any thread.
std::int64_t GetTickCount();

// --- Windows -------------------------------------------------------------------------

// Sends, in order: WM_GETMINMAXINFO, WM_NCCREATE, WM_CREATE, WM_SIZE, WM_MOVE, and then the
// messages of ShowWindow(SW_SHOW) when the style has WS_VISIBLE. A window whose WM_NCCREATE
// answers 0 or whose WM_CREATE answers -1 is destroyed and the result is an empty handle.
// CW_USEDEFAULT positions cascade over the work area; a default size is 3/4 of it.
WindowHandle CreateNativeWindow(const CreateParams& params, WindowProc proc);
// Destroys owned windows first, then deactivates and releases capture, kills the timers,
// and sends WM_DESTROY and WM_NCDESTROY. The handle is invalid afterwards.
bool DestroyWindow(WindowHandle window);
// Any thread.
bool IsWindow(WindowHandle window);
// Replaces the window procedure and returns the previous one, so a companion object can
// watch a window's messages and pass them on.
WindowProc SetWindowProc(WindowHandle window, WindowProc proc);
LResult DefWindowProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam);

// SW_* commands. Returns whether the window was visible before.
bool ShowWindow(WindowHandle window, int command);
bool IsWindowVisible(WindowHandle window);
bool IsMinimized(WindowHandle window);
bool IsMaximized(WindowHandle window);
// Position of the client area on the screen, and its size. Sends WM_SIZE / WM_MOVE for
// what changed. On desktops that place windows themselves the position is a request.
bool MoveWindow(WindowHandle window, int x, int y, int width, int height);
bool SetWindowPosition(WindowHandle window, int x, int y);
bool SetWindowSize(WindowHandle window, int width, int height);
Rect GetWindowRect(WindowHandle window);  // screen coordinates
Rect GetClientRect(WindowHandle window);  // (0, 0, width, height)
Point ClientToScreen(WindowHandle window, Point p);
Point ScreenToClient(WindowHandle window, Point p);
// The work area (the screen less panels) of the monitor showing most of the window; of the
// primary monitor for an empty handle.
Rect GetWorkArea(WindowHandle window);
Size GetScreenSize();
WindowHandle GetOwner(WindowHandle window);
std::uint32_t GetWindowStyle(WindowHandle window);
std::uint32_t GetWindowExStyle(WindowHandle window);
// Applies the bits the layer honours (WS_CAPTION: desktop title bar; WS_EX_TOPMOST).
bool SetWindowStyle(WindowHandle window, std::uint32_t style);
bool SetWindowTitle(WindowHandle window, std::wstring_view title);
// The window icon from PNG or ICO bytes. False when the bytes are not an image.
bool SetWindowIcon(WindowHandle window, std::span<const unsigned char> imageBytes);
// Limits what is shown of the window (and where it takes input) to the region; an empty
// optional restores the full rectangle.
bool SetWindowRegion(WindowHandle window, std::optional<WindowRegion> region);
const WindowRegion* GetWindowRegion(WindowHandle window);

// A disabled window takes no mouse or keyboard input; a click on it activates its visible
// owned window instead (a modal dialog). Sends WM_ENABLE. Returns the previous state.
bool EnableWindow(WindowHandle window, bool enable);
bool IsWindowEnabled(WindowHandle window);

// Activation: WM_NCACTIVATE, WM_ACTIVATE and WM_KILLFOCUS to the window losing it, then
// WM_NCACTIVATE, WM_ACTIVATE and WM_SETFOCUS to the one gaining it. Keyboard focus follows
// the active window. Each returns the previous window.
WindowHandle SetActiveWindow(WindowHandle window);
WindowHandle GetActiveWindow();
WindowHandle SetFocus(WindowHandle window);
WindowHandle GetFocus();
bool SetForegroundWindow(WindowHandle window);
WindowHandle GetForegroundWindow();

// Capture: all mouse input goes to the window, in its client coordinates, until released.
// The window losing capture gets WM_CAPTURECHANGED.
WindowHandle SetCapture(WindowHandle window);
bool ReleaseCapture();
WindowHandle GetCapture();

// The pointer shape over the window the pointer is in (usually called from WM_SETCURSOR).
void SetCursor(CursorShape shape);
CursorShape GetCursor();
Point GetCursorPos();

// Requests WM_MOUSEHOVER after the pointer rests for hoverMs (HOVER_DEFAULT: 400 ms) and/or
// WM_MOUSELEAVE when it leaves the window. Each fires once per request.
bool TrackMouseEvent(WindowHandle window, unsigned flags, unsigned hoverMs = HOVER_DEFAULT);

// --- Messages ------------------------------------------------------------------------

// Queues a message. Any thread. An empty handle posts a message for the loop itself (it is
// taken by GetMessage but dispatched to no window). False when the window does not exist or
// the layer is not running; the caller keeps ownership of anything the message points to.
bool PostMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam);
// WM_QUIT is taken once the queue holds no other posted messages or input. Any thread.
void PostQuitMessage(int exitCode);
// Calls the window procedure at once. Window thread only; elsewhere it returns 0.
LResult SendMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam);

// Takes the next message, waiting for one: posted messages and input in arrival order,
// then WM_QUIT, then WM_PAINT for a window with an invalid area, then due timers.
// Returns 1, 0 for WM_QUIT, -1 off the window thread or when the layer is not running.
int GetMessage(Message& message);
// Like GetMessage without waiting. With remove false the message stays queued.
bool PeekMessage(Message& message, bool remove);
// Turns a key-down with a character into WM_CHAR (WM_SYSCHAR with Alt), queued next.
bool TranslateMessage(const Message& message);
LResult DispatchMessage(const Message& message);

// The modal loop of a dialog: shows the window, disables its owner and delivers messages
// while the window exists. A WM_CLOSE taken for the window records its wParam as the result
// and re-enables and focuses the owner. preTranslate may take a message (return true) so it
// is not dispatched. A quit message ends the loop and is posted again for the outer loop.
// Returns the recorded result, 0 when none was taken.
using PreTranslate = std::function<bool(Message&)>;
WParam RunModalLoop(WindowHandle window, const PreTranslate& preTranslate = {});

// --- Timers --------------------------------------------------------------------------

// WM_TIMER with wParam = id every interval ms; the interval is clamped to
// [USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM]. Setting an existing (window, id) restarts it.
bool SetTimer(WindowHandle window, WParam id, std::int64_t intervalMs);
bool KillTimer(WindowHandle window, WParam id);

// --- Painting ------------------------------------------------------------------------

// Each window has a back buffer, an ARGB32 image of its client size. Invalid areas collect
// into one rectangle; WM_PAINT comes when no other message is waiting.
bool InvalidateRect(WindowHandle window, const Rect* rect, bool erase);
bool ValidateWindow(WindowHandle window);
// Paints the invalid area now, if any.
bool UpdateWindow(WindowHandle window);

struct PaintStruct {
    cairo_t* cr = nullptr;  // on the back buffer, clipped to rcPaint
    Rect rcPaint;
    bool erase = false;
};
// In WM_PAINT: returns a context on the back buffer and validates the window; sends
// WM_ERASEBKGND first when an invalidation asked for erasing. EndPaint shows the result.
cairo_t* BeginPaint(WindowHandle window, PaintStruct& paint);
void EndPaint(WindowHandle window, PaintStruct& paint);

// Whether windows with per-pixel transparency (WS_EX_LAYERED) can be shown: false where the
// screen is not composited, and creating such a window then fails.
bool IsCompositingAvailable();

}  // namespace platform::ui
