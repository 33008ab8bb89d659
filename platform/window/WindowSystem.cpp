#include "platform/window/WindowSystem.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Text.h"
#include "platform/window/Desktop.h"
#include "platform/window/WindowManager.h"

namespace platform::ui {
namespace {

using detail::WindowManager;

WindowManager* Manager() { return WindowManager::Instance(); }

// The manager when called on the window thread, else null: window state is not shared.
WindowManager* Local() {
    WindowManager* m = Manager();
    return m && m->OnWindowThread() ? m : nullptr;
}

}  // namespace

Status<WindowSystemError> InitializeWindowSystem(BackendKind kind) {
    if (Manager()) return MakeUnexpected(WindowSystemError{"the window system is already running"});
    std::unique_ptr<detail::Backend> backend;
    if (kind == BackendKind::Headless) {
        backend = detail::MakeHeadlessBackend();
    } else {
        std::string error;
        backend = detail::MakeGtkBackend(error);
        if (!backend) return MakeUnexpected(WindowSystemError{error});
    }
    WindowManager::SetInstance(new WindowManager(std::move(backend)));
    return {};
}

Status<WindowSystemError> InitializeWindowSystemFromEnvironment() {
    const char* value = std::getenv("MAVRIX_WINDOW_BACKEND");
    if (!value || std::strcmp(value, "gtk") == 0) return InitializeWindowSystem(BackendKind::Gtk);
    if (std::strcmp(value, "headless") == 0) return InitializeWindowSystem(BackendKind::Headless);
    return MakeUnexpected(WindowSystemError{std::string("MAVRIX_WINDOW_BACKEND must be \"gtk\" or \"headless\", not \"") +
                                            value + "\""});
}

void ShutdownWindowSystem() {
    WindowManager* m = Local();
    if (!m) return;
    m->DestroyAll();
    WindowManager::SetInstance(nullptr);
    delete m;
}

bool IsWindowSystemInitialized() { return Manager() != nullptr; }
BackendKind ActiveBackend() { return Manager() ? Manager()->backend().Kind() : BackendKind::Headless; }
bool IsWindowThread() { return Local() != nullptr; }
std::int64_t GetTickCount() { return Manager() ? Manager()->backend().Now() : 0; }

WindowHandle CreateNativeWindow(const CreateParams& params, WindowProc proc) {
    WindowManager* m = Local();
    return m ? m->Create(params, std::move(proc)) : WindowHandle{};
}
bool DestroyWindow(WindowHandle window) { WindowManager* m = Local(); return m && m->Destroy(window); }
bool IsWindow(WindowHandle window) { WindowManager* m = Manager(); return m && m->IsLive(window); }
WindowProc SetWindowProc(WindowHandle window, WindowProc proc) {
    WindowManager* m = Local();
    return m ? m->SetProc(window, std::move(proc)) : WindowProc{};
}
LResult DefWindowProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    WindowManager* m = Local();
    return m ? m->DefProc(window, message, wParam, lParam) : 0;
}

bool ShowWindow(WindowHandle window, int command) { WindowManager* m = Local(); return m && m->Show(window, command); }
bool IsWindowVisible(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w && w->visible;
}
bool IsMinimized(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w && w->minimized;
}
bool IsMaximized(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w && w->maximized;
}
bool MoveWindow(WindowHandle window, int x, int y, int width, int height) {
    WindowManager* m = Local();
    return m && m->SetBounds(window, Rect{x, y, x + width, y + height});
}
bool SetWindowPosition(WindowHandle window, int x, int y) {
    const Rect r = GetWindowRect(window);
    return MoveWindow(window, x, y, r.Width(), r.Height());
}
bool SetWindowSize(WindowHandle window, int width, int height) {
    const Rect r = GetWindowRect(window);
    return MoveWindow(window, r.left, r.top, width, height);
}
Rect GetWindowRect(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w ? w->rect : Rect{};
}
Rect GetClientRect(WindowHandle window) {
    const Rect r = GetWindowRect(window);
    return Rect{0, 0, r.Width(), r.Height()};
}
Point ClientToScreen(WindowHandle window, Point p) {
    const Rect r = GetWindowRect(window);
    return Point{p.x + r.left, p.y + r.top};
}
Point ScreenToClient(WindowHandle window, Point p) {
    const Rect r = GetWindowRect(window);
    return Point{p.x - r.left, p.y - r.top};
}
Rect GetWorkArea(WindowHandle window) { WindowManager* m = Local(); return m ? m->WorkAreaOf(window) : Rect{}; }
Size GetScreenSize() {
    WindowManager* m = Local();
    if (!m) return Size{};
    const Rect r = m->backend().MonitorArea(Rect{});
    return Size{r.Width(), r.Height()};
}
WindowHandle GetOwner(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w ? w->owner : WindowHandle{};
}
std::uint32_t GetWindowStyle(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w ? (w->style | (w->visible ? WS_VISIBLE : 0)) : 0;
}
std::uint32_t GetWindowExStyle(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w ? w->exStyle : 0;
}
bool SetWindowStyle(WindowHandle window, std::uint32_t style) {
    WindowManager* m = Local();
    return m && m->SetStyle(window, style);
}
bool SetWindowTitle(WindowHandle window, std::wstring_view title) {
    WindowManager* m = Local();
    auto* w = m ? m->Find(window) : nullptr;
    if (!w) return false;
    w->title = title;
    m->backend().ApplyTitle(*w);
    return true;
}
bool SetWindowIcon(WindowHandle window, std::span<const unsigned char> imageBytes) {
    WindowManager* m = Local();
    auto* w = m ? m->Find(window) : nullptr;
    return w && m->backend().ApplyIcon(*w, imageBytes);
}
bool SetWindowRegion(WindowHandle window, std::optional<WindowRegion> region) {
    WindowManager* m = Local();
    auto* w = m ? m->Find(window) : nullptr;
    if (!w) return false;
    w->region = std::move(region);
    m->backend().ApplyRegion(*w);
    return true;
}
const WindowRegion* GetWindowRegion(WindowHandle window) {
    WindowManager* m = Local();
    auto* w = m ? m->Find(window) : nullptr;
    return w && w->region ? &*w->region : nullptr;
}

bool EnableWindow(WindowHandle window, bool enable) { WindowManager* m = Local(); return m && m->Enable(window, enable); }
bool IsWindowEnabled(WindowHandle window) {
    WindowManager* m = Local();
    const auto* w = m ? m->Find(window) : nullptr;
    return w && w->enabled;
}
WindowHandle SetActiveWindow(WindowHandle window) { WindowManager* m = Local(); return m ? m->Activate(window) : WindowHandle{}; }
WindowHandle GetActiveWindow() { WindowManager* m = Local(); return m ? m->active() : WindowHandle{}; }
WindowHandle SetFocus(WindowHandle window) { WindowManager* m = Local(); return m ? m->SetFocus(window) : WindowHandle{}; }
WindowHandle GetFocus() { WindowManager* m = Local(); return m ? m->focus() : WindowHandle{}; }
bool SetForegroundWindow(WindowHandle window) {
    WindowManager* m = Local();
    auto* w = m ? m->Find(window) : nullptr;
    if (!w) return false;
    m->Activate(window);
    if ((w = m->Find(window))) m->backend().Activate(*w);
    return true;
}
WindowHandle GetForegroundWindow() { return GetActiveWindow(); }

WindowHandle SetCapture(WindowHandle window) { WindowManager* m = Local(); return m ? m->SetCapture(window) : WindowHandle{}; }
bool ReleaseCapture() { WindowManager* m = Local(); return m && m->ReleaseCapture(); }
WindowHandle GetCapture() { WindowManager* m = Local(); return m ? m->capture() : WindowHandle{}; }
void SetCursor(CursorShape shape) { if (WindowManager* m = Local()) m->SetCursor(shape); }
CursorShape GetCursor() { WindowManager* m = Local(); return m ? m->cursor() : CursorShape::Arrow; }
Point GetCursorPos() { WindowManager* m = Local(); return m ? m->cursorPos() : Point{}; }
bool TrackMouseEvent(WindowHandle window, unsigned flags, unsigned hoverMs) {
    WindowManager* m = Local();
    return m && m->TrackMouse(window, flags, hoverMs);
}

bool PostMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    WindowManager* m = Manager();
    return m && m->Post(window, message, wParam, lParam);
}
void PostQuitMessage(int exitCode) { if (WindowManager* m = Manager()) m->PostQuit(exitCode); }
LResult SendMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    WindowManager* m = Local();
    return m ? m->Send(window, message, wParam, lParam) : 0;
}
int GetMessage(Message& message) { WindowManager* m = Local(); return m ? m->Get(message) : -1; }
bool PeekMessage(Message& message, bool remove) { WindowManager* m = Local(); return m && m->Peek(message, remove); }
bool TranslateMessage(const Message& message) { WindowManager* m = Local(); return m && m->Translate(message); }
LResult DispatchMessage(const Message& message) { WindowManager* m = Local(); return m ? m->Dispatch(message) : 0; }
WParam RunModalLoop(WindowHandle window, const PreTranslate& preTranslate) {
    WindowManager* m = Local();
    return m ? m->RunModal(window, preTranslate) : 0;
}

bool SetTimer(WindowHandle window, WParam id, std::int64_t intervalMs) {
    WindowManager* m = Local();
    return m && m->SetTimer(window, id, intervalMs);
}
bool KillTimer(WindowHandle window, WParam id) { WindowManager* m = Local(); return m && m->KillTimer(window, id); }

bool InvalidateRect(WindowHandle window, const Rect* rect, bool erase) {
    WindowManager* m = Local();
    return m && m->Invalidate(window, rect, erase);
}
bool ValidateWindow(WindowHandle window) { WindowManager* m = Local(); return m && m->Validate(window); }
bool UpdateWindow(WindowHandle window) { WindowManager* m = Local(); return m && m->Update(window); }
cairo_t* BeginPaint(WindowHandle window, PaintStruct& paint) {
    WindowManager* m = Local();
    return m ? m->BeginPaint(window, paint) : nullptr;
}
void EndPaint(WindowHandle window, PaintStruct& paint) { if (WindowManager* m = Local()) m->EndPaint(window, paint); }
bool IsCompositingAvailable() { WindowManager* m = Local(); return m && m->backend().Composited(); }

std::unique_ptr<NativeEdit> NativeEdit::Create(WindowHandle parent, const Rect& rect, Events events) {
    WindowManager* m = Local();
    auto* w = m ? m->Find(parent) : nullptr;
    return w ? m->backend().CreateEdit(*w, rect, std::move(events)) : nullptr;
}

std::optional<std::wstring> PickFolder(WindowHandle owner, std::wstring_view title, std::wstring_view initialFolder) {
    WindowManager* m = Local();
    return m ? m->backend().PickFolder(m->Find(owner), title, initialFolder) : std::nullopt;
}
bool OpenAddress(std::wstring_view address) { WindowManager* m = Local(); return m && m->backend().OpenAddress(address); }
void ShowFatalErrorBox(std::wstring_view text, std::wstring_view caption) {
    std::fprintf(stderr, "%s: %s\n", WideToUtf8(caption).c_str(), WideToUtf8(text).c_str());
    if (WindowManager* m = Local()) m->backend().FatalErrorBox(text, caption);
}

}  // namespace platform::ui
