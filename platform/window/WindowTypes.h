#pragma once
// The vocabulary of the window layer: window handles, messages and their parameters, and
// the message, style, hit-test and key numbers. Numbers are those of the Win32 window
// manager, so code written against that model reads the same here.
#include <compare>
#include <cstdint>
#include <functional>

namespace platform::ui {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

// Names one native window. Handles are never reused, so a handle of a destroyed window
// stays invalid (IsWindow is false) instead of naming a newer window.
struct WindowHandle {
    std::uint32_t value = 0;
    explicit operator bool() const { return value != 0; }
    friend bool operator==(WindowHandle, WindowHandle) = default;
};

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(Point, Point) = default;
};

struct Size {
    int cx = 0;
    int cy = 0;
    friend bool operator==(Size, Size) = default;
};

// left/top inclusive, right/bottom exclusive.
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool Empty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

Rect UnionRect(const Rect& a, const Rect& b);
Rect IntersectRect(const Rect& a, const Rect& b);

// One message as the loop takes it. `time` is the layer's tick count when it was queued;
// `pt` the cursor position in screen coordinates at that time.
struct Message {
    WindowHandle hwnd;
    unsigned message = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    std::int64_t time = 0;
    Point pt;
    // For key-down messages: the character the key produced (0 for none). TranslateMessage
    // turns it into a character message.
    char32_t character = 0;
};

// The window procedure. Unhandled messages go to DefWindowProc.
using WindowProc = std::function<LResult(WindowHandle, unsigned, WParam, LParam)>;

// Packing helpers for the two 16-bit halves of an LParam (signed, as coordinates are).
constexpr LParam MakeLParam(int low, int high) {
    return static_cast<LParam>(static_cast<std::uint32_t>((static_cast<std::uint32_t>(low) & 0xFFFFu) |
                                                          ((static_cast<std::uint32_t>(high) & 0xFFFFu) << 16)));
}
constexpr int LowWord(std::uintptr_t v) { return static_cast<int>(v & 0xFFFFu); }
constexpr int HighWord(std::uintptr_t v) { return static_cast<int>((v >> 16) & 0xFFFFu); }
constexpr int LowSigned(std::intptr_t v) { return static_cast<std::int16_t>(v & 0xFFFF); }
constexpr int HighSigned(std::intptr_t v) { return static_cast<std::int16_t>((v >> 16) & 0xFFFF); }
constexpr Point PointFromLParam(LParam v) { return Point{LowSigned(v), HighSigned(v)}; }

// Messages.
inline constexpr unsigned WM_NULL = 0x0000;
inline constexpr unsigned WM_CREATE = 0x0001;         // lParam: const CreateParams*; -1 refuses
inline constexpr unsigned WM_DESTROY = 0x0002;
inline constexpr unsigned WM_MOVE = 0x0003;           // lParam: client origin (screen)
inline constexpr unsigned WM_SIZE = 0x0005;           // wParam: SIZE_*, lParam: width, height
inline constexpr unsigned WM_ACTIVATE = 0x0006;       // wParam: WA_*, lParam: the other window's value
inline constexpr unsigned WM_SETFOCUS = 0x0007;
inline constexpr unsigned WM_KILLFOCUS = 0x0008;
inline constexpr unsigned WM_ENABLE = 0x000A;
inline constexpr unsigned WM_PAINT = 0x000F;
inline constexpr unsigned WM_CLOSE = 0x0010;          // DefWindowProc destroys the window
inline constexpr unsigned WM_QUIT = 0x0012;
inline constexpr unsigned WM_ERASEBKGND = 0x0014;     // wParam: cairo_t* of the paint
inline constexpr unsigned WM_SHOWWINDOW = 0x0018;
inline constexpr unsigned WM_SETCURSOR = 0x0020;      // lParam: hit code, mouse message
inline constexpr unsigned WM_MOUSEACTIVATE = 0x0021;  // result: MA_*
inline constexpr unsigned WM_GETMINMAXINFO = 0x0024;  // lParam: MinMaxInfo*
inline constexpr unsigned WM_CONTEXTMENU = 0x007B;    // lParam: screen point
inline constexpr unsigned WM_NCCREATE = 0x0081;       // result 0 refuses
inline constexpr unsigned WM_NCDESTROY = 0x0082;      // the last message of a window
inline constexpr unsigned WM_NCHITTEST = 0x0084;      // lParam: screen point; result: HT*
inline constexpr unsigned WM_NCACTIVATE = 0x0086;
inline constexpr unsigned WM_NCMOUSEMOVE = 0x00A0;    // wParam: hit code, lParam: screen point
inline constexpr unsigned WM_NCLBUTTONDOWN = 0x00A1;
inline constexpr unsigned WM_NCLBUTTONUP = 0x00A2;
inline constexpr unsigned WM_NCLBUTTONDBLCLK = 0x00A3;
inline constexpr unsigned WM_NCRBUTTONDOWN = 0x00A4;
inline constexpr unsigned WM_NCRBUTTONUP = 0x00A5;
inline constexpr unsigned WM_NCRBUTTONDBLCLK = 0x00A6;
inline constexpr unsigned WM_KEYDOWN = 0x0100;        // wParam: VK_*, lParam: repeat count 1
inline constexpr unsigned WM_KEYUP = 0x0101;
inline constexpr unsigned WM_CHAR = 0x0102;           // wParam: the character (a code point)
inline constexpr unsigned WM_SYSKEYDOWN = 0x0104;     // a key pressed with Alt held
inline constexpr unsigned WM_SYSKEYUP = 0x0105;
inline constexpr unsigned WM_SYSCHAR = 0x0106;
inline constexpr unsigned WM_SYSCOMMAND = 0x0112;     // wParam: SC_*
inline constexpr unsigned WM_TIMER = 0x0113;          // wParam: timer id
inline constexpr unsigned WM_MOUSEMOVE = 0x0200;      // wParam: MK_*, lParam: client point
inline constexpr unsigned WM_LBUTTONDOWN = 0x0201;
inline constexpr unsigned WM_LBUTTONUP = 0x0202;
inline constexpr unsigned WM_LBUTTONDBLCLK = 0x0203;  // only for windows with CS_DBLCLKS
inline constexpr unsigned WM_RBUTTONDOWN = 0x0204;
inline constexpr unsigned WM_RBUTTONUP = 0x0205;      // DefWindowProc sends WM_CONTEXTMENU
inline constexpr unsigned WM_RBUTTONDBLCLK = 0x0206;
inline constexpr unsigned WM_MOUSEWHEEL = 0x020A;     // wParam: MK_* | delta << 16, lParam: screen point
inline constexpr unsigned WM_CAPTURECHANGED = 0x0215; // lParam: the window gaining capture
inline constexpr unsigned WM_MOUSEHOVER = 0x02A1;     // lParam: client point
inline constexpr unsigned WM_MOUSELEAVE = 0x02A3;
inline constexpr unsigned WM_USER = 0x0400;
inline constexpr unsigned WM_APP = 0x8000;

// WM_SIZE kinds.
inline constexpr WParam SIZE_RESTORED = 0;
inline constexpr WParam SIZE_MINIMIZED = 1;
inline constexpr WParam SIZE_MAXIMIZED = 2;

// WM_ACTIVATE states.
inline constexpr WParam WA_INACTIVE = 0;
inline constexpr WParam WA_ACTIVE = 1;
inline constexpr WParam WA_CLICKACTIVE = 2;

// WM_MOUSEACTIVATE answers.
inline constexpr LResult MA_ACTIVATE = 1;
inline constexpr LResult MA_ACTIVATEANDEAT = 2;
inline constexpr LResult MA_NOACTIVATE = 3;
inline constexpr LResult MA_NOACTIVATEANDEAT = 4;

// System commands.
inline constexpr WParam SC_MINIMIZE = 0xF020;
inline constexpr WParam SC_MAXIMIZE = 0xF030;
inline constexpr WParam SC_CLOSE = 0xF060;
inline constexpr WParam SC_RESTORE = 0xF120;

// Hit-test codes.
inline constexpr LResult HTERROR = -2;
inline constexpr LResult HTTRANSPARENT = -1;
inline constexpr LResult HTNOWHERE = 0;
inline constexpr LResult HTCLIENT = 1;
inline constexpr LResult HTCAPTION = 2;
inline constexpr LResult HTLEFT = 10;
inline constexpr LResult HTRIGHT = 11;
inline constexpr LResult HTTOP = 12;
inline constexpr LResult HTTOPLEFT = 13;
inline constexpr LResult HTTOPRIGHT = 14;
inline constexpr LResult HTBOTTOM = 15;
inline constexpr LResult HTBOTTOMLEFT = 16;
inline constexpr LResult HTBOTTOMRIGHT = 17;

// Mouse key state in mouse messages.
inline constexpr WParam MK_LBUTTON = 0x0001;
inline constexpr WParam MK_RBUTTON = 0x0002;
inline constexpr WParam MK_SHIFT = 0x0004;
inline constexpr WParam MK_CONTROL = 0x0008;

// Window styles that the layer honours.
inline constexpr std::uint32_t WS_OVERLAPPED = 0x00000000;
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_VISIBLE = 0x10000000;
inline constexpr std::uint32_t WS_CLIPSIBLINGS = 0x04000000;  // accepted; siblings never overlap here
inline constexpr std::uint32_t WS_CLIPCHILDREN = 0x02000000;  // accepted; native children always clip
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;       // the desktop draws a title bar
inline constexpr std::uint32_t WS_SYSMENU = 0x00080000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;   // caption double-click maximizes
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;
inline constexpr std::uint32_t WS_EX_TRANSPARENT = 0x00000020;  // with WS_EX_LAYERED: no mouse input
inline constexpr std::uint32_t WS_EX_TOOLWINDOW = 0x00000080;  // kept off the task bar
inline constexpr std::uint32_t WS_EX_LAYERED = 0x00080000;     // per-pixel alpha; needs compositing
inline constexpr std::uint32_t WS_EX_NOACTIVATE = 0x08000000;  // never activated by clicks or showing

// Class style: double clicks arrive as WM_LBUTTONDBLCLK instead of a second button down.
inline constexpr std::uint32_t CS_DBLCLKS = 0x0008;

inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_MAXIMIZE = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// Virtual key codes (letters and digits are their upper-case ASCII codes).
inline constexpr unsigned VK_BACK = 0x08;
inline constexpr unsigned VK_TAB = 0x09;
inline constexpr unsigned VK_RETURN = 0x0D;
inline constexpr unsigned VK_SHIFT = 0x10;
inline constexpr unsigned VK_CONTROL = 0x11;
inline constexpr unsigned VK_MENU = 0x12;  // Alt
inline constexpr unsigned VK_ESCAPE = 0x1B;
inline constexpr unsigned VK_SPACE = 0x20;
inline constexpr unsigned VK_PRIOR = 0x21;
inline constexpr unsigned VK_NEXT = 0x22;
inline constexpr unsigned VK_END = 0x23;
inline constexpr unsigned VK_HOME = 0x24;
inline constexpr unsigned VK_LEFT = 0x25;
inline constexpr unsigned VK_UP = 0x26;
inline constexpr unsigned VK_RIGHT = 0x27;
inline constexpr unsigned VK_DOWN = 0x28;
inline constexpr unsigned VK_INSERT = 0x2D;
inline constexpr unsigned VK_DELETE = 0x2E;
inline constexpr unsigned VK_F1 = 0x70;  // F1..F12 follow in order
inline constexpr unsigned VK_F10 = 0x79;

// Mouse tracking requests (TrackMouseEvent).
inline constexpr unsigned TME_HOVER = 0x1;
inline constexpr unsigned TME_LEAVE = 0x2;
inline constexpr unsigned TME_CANCEL = 0x80000000u;
inline constexpr unsigned HOVER_DEFAULT = 0xFFFFFFFFu;  // 400 ms

// Timer intervals are clamped to this range, in milliseconds.
inline constexpr std::int64_t USER_TIMER_MINIMUM = 10;
inline constexpr std::int64_t USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Answer of WM_GETMINMAXINFO: the maximized position and size, and the tracking limits.
struct MinMaxInfo {
    Point maxSize;
    Point maxPosition;
    Point minTrackSize;
    Point maxTrackSize;
};

// What CreateNativeWindow needs. WM_CREATE carries a pointer to it.
struct CreateParams {
    const wchar_t* className = L"";   // names the window for style sheets and tests
    const wchar_t* title = L"";
    std::uint32_t style = WS_OVERLAPPED;
    std::uint32_t exStyle = 0;
    std::uint32_t classStyle = 0;      // CS_DBLCLKS
    int x = CW_USEDEFAULT;            // screen position of the client area
    int y = CW_USEDEFAULT;
    int width = CW_USEDEFAULT;
    int height = CW_USEDEFAULT;
    WindowHandle owner;               // stays above its owner; placed relative to it
    void* userData = nullptr;         // for the caller; read back through WM_CREATE
};

enum class CursorShape { Arrow, Hand, Text, Wait, SizeAll, SizeWE, SizeNS, SizeNWSE, SizeNESW };

}  // namespace platform::ui

template <>
struct std::hash<platform::ui::WindowHandle> {
    std::size_t operator()(platform::ui::WindowHandle h) const noexcept { return h.value; }
};
