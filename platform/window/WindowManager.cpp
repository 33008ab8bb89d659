#include "platform/window/WindowManager.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <vector>

namespace platform::ui::detail {
namespace {

std::atomic<WindowManager*> g_instance{nullptr};

constexpr std::int64_t kDoubleClickMs = 500;
constexpr int kDoubleClickSlop = 2;  // pixels either way
constexpr int kHoverSlop = 2;
constexpr std::int64_t kDefaultHoverMs = 400;

LParam PackPoint(Point p) { return MakeLParam(p.x, p.y); }
Point Origin(const Rect& r) { return Point{r.left, r.top}; }
Rect ClientRectOf(const WindowState& w) { return Rect{0, 0, w.rect.Width(), w.rect.Height()}; }

unsigned ButtonMessage(MouseAction action, int button, bool doubleClick, bool client) {
    const bool left = button != 3;
    if (client) {
        if (action == MouseAction::Release) return left ? WM_LBUTTONUP : WM_RBUTTONUP;
        if (doubleClick) return left ? WM_LBUTTONDBLCLK : WM_RBUTTONDBLCLK;
        return left ? WM_LBUTTONDOWN : WM_RBUTTONDOWN;
    }
    if (action == MouseAction::Release) return left ? WM_NCLBUTTONUP : WM_NCRBUTTONUP;
    if (doubleClick) return left ? WM_NCLBUTTONDBLCLK : WM_NCRBUTTONDBLCLK;
    return left ? WM_NCLBUTTONDOWN : WM_NCRBUTTONDOWN;
}

}  // namespace

WindowManager::WindowManager(std::unique_ptr<Backend> backend)
    : backend_(std::move(backend)), thread_(std::this_thread::get_id()) {}

WindowManager::~WindowManager() { DestroyAll(); }

WindowManager* WindowManager::Instance() { return g_instance.load(std::memory_order_acquire); }
void WindowManager::SetInstance(WindowManager* manager) { g_instance.store(manager, std::memory_order_release); }

WindowState* WindowManager::Find(WindowHandle window) {
    if (!window) return nullptr;
    auto it = windows_.find(window.value);
    return it == windows_.end() ? nullptr : it->second.get();
}

bool WindowManager::IsLive(WindowHandle window) {
    if (!window) return false;
    std::lock_guard lock(mutex_);
    return live_.count(window.value) != 0;
}

Message WindowManager::MakeMessage(WindowHandle window, unsigned message, WParam wParam, LParam lParam) const {
    Message m;
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = backend_->Now();
    m.pt = cursorPos_;
    return m;
}

// --- Creation and destruction ----------------------------------------------------------

WindowHandle WindowManager::Create(const CreateParams& params, WindowProc proc) {
    if (!OnWindowThread() || !proc) return {};
    const WindowHandle handle{++lastHandle_};
    auto state = std::make_unique<WindowState>();
    state->handle = handle;
    state->className = params.className ? params.className : L"";
    state->title = params.title ? params.title : L"";
    state->style = params.style & ~WS_VISIBLE;
    state->exStyle = params.exStyle;
    state->classStyle = params.classStyle;
    state->owner = Find(params.owner) ? params.owner : WindowHandle{};
    state->proc = std::make_shared<WindowProc>(std::move(proc));

    // Placement: defaults cascade over the work area of the owner's monitor.
    const WindowState* owner = Find(state->owner);
    const Rect work = backend_->WorkArea(owner ? owner->rect : Rect{});
    const int width = params.width == CW_USEDEFAULT ? work.Width() * 3 / 4 : std::max(params.width, 0);
    const int height = params.height == CW_USEDEFAULT ? work.Height() * 3 / 4 : std::max(params.height, 0);
    int x = params.x;
    int y = params.y;
    if (x == CW_USEDEFAULT) {
        const int step = 26 * (cascade_++ % 8);
        x = work.left + step;
        y = work.top + step;
    } else if (y == CW_USEDEFAULT) {
        y = work.top;
    }
    state->rect = Rect{x, y, x + width, y + height};
    state->restoreRect = state->rect;
    ResizeBackBuffer(*state);

    WindowState& w = *state;
    windows_[handle.value] = std::move(state);
    w.native = backend_->Create(w);
    if (!w.native) {
        windows_.erase(handle.value);
        return {};
    }
    {
        std::lock_guard lock(mutex_);
        live_.insert(handle.value);
    }

    QueryMinMax(handle);
    CreateParams effective = params;
    effective.owner = w.owner;
    const LParam createParam = reinterpret_cast<LParam>(&effective);
    if (Send(handle, WM_NCCREATE, 0, createParam) == 0 || Send(handle, WM_CREATE, 0, createParam) == -1) {
        Destroy(handle);
        return {};
    }
    WindowState* created = Find(handle);
    if (!created) return {};
    const Rect rect = created->rect;
    Send(handle, WM_SIZE, SIZE_RESTORED, MakeLParam(rect.Width(), rect.Height()));
    Send(handle, WM_MOVE, 0, PackPoint(Origin(rect)));
    if (params.style & WS_VISIBLE) Show(handle, SW_SHOW);
    return IsLive(handle) ? handle : WindowHandle{};
}

bool WindowManager::Destroy(WindowHandle handle) {
    if (!OnWindowThread()) return false;
    WindowState* w = Find(handle);
    if (!w || w->destroying) return false;
    w->destroying = true;

    // Pass 1: owned windows go first.
    std::vector<WindowHandle> owned;
    for (const auto& [id, state] : windows_) {
        if (state->owner == handle && !state->destroying) owned.push_back(state->handle);
    }
    std::sort(owned.begin(), owned.end(), [](WindowHandle a, WindowHandle b) { return a.value < b.value; });
    for (WindowHandle h : owned) Destroy(h);

    // Pass 2: hide, and hand activation and capture on.
    w = Find(handle);
    if (w->visible) {
        w->visible = false;
        backend_->Show(*w, false, false);
    }
    if (capture_ == handle) ReleaseCapture();
    if (active_ == handle) ActivateAfterLoss(handle);
    if (pointerWindow_ == handle) pointerWindow_ = {};
    CancelTracking(handle);
    std::erase_if(timers_, [&](const auto& entry) { return entry.first.first == handle.value; });

    // Pass 3: the last messages, then the handle dies with the native window.
    Send(handle, WM_DESTROY, 0, 0);
    Send(handle, WM_NCDESTROY, 0, 0);
    w = Find(handle);
    backend_->Destroy(*w);
    {
        std::lock_guard lock(mutex_);
        live_.erase(handle.value);
    }
    if (focus_ == handle) focus_ = {};
    if (active_ == handle) active_ = {};
    if (lastClick_.window == handle) lastClick_ = {};
    windows_.erase(handle.value);
    return true;
}

void WindowManager::DestroyAll() {
    while (!windows_.empty()) {
        std::uint32_t first = windows_.begin()->first;
        for (const auto& [id, state] : windows_) first = std::min(first, id);
        if (!Destroy(WindowHandle{first})) windows_.erase(first);
    }
    std::lock_guard lock(mutex_);
    queue_.clear();
    quit_.reset();
    live_.clear();
}

WindowProc WindowManager::SetProc(WindowHandle window, WindowProc proc) {
    WindowState* w = Find(window);
    if (!w || !proc) return {};
    WindowProc previous = *w->proc;
    w->proc = std::make_shared<WindowProc>(std::move(proc));
    return previous;
}

// --- Default processing ----------------------------------------------------------------

LResult WindowManager::DefProc(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    WindowState* w = Find(window);
    if (!w) return 0;
    switch (message) {
    case WM_NCCREATE:
    case WM_NCACTIVATE:
        return 1;
    case WM_CLOSE:
        Destroy(window);
        return 0;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_SETCURSOR: {
        const LResult hit = LowSigned(lParam);
        CursorShape shape = CursorShape::Arrow;
        if (hit == HTLEFT || hit == HTRIGHT) shape = CursorShape::SizeWE;
        else if (hit == HTTOP || hit == HTBOTTOM) shape = CursorShape::SizeNS;
        else if (hit == HTTOPLEFT || hit == HTBOTTOMRIGHT) shape = CursorShape::SizeNWSE;
        else if (hit == HTTOPRIGHT || hit == HTBOTTOMLEFT) shape = CursorShape::SizeNESW;
        SetCursor(shape);
        return 1;
    }
    case WM_PAINT:
        Validate(window);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE: Send(window, WM_CLOSE, 0, 0); break;
        case SC_MINIMIZE: Show(window, SW_MINIMIZE); break;
        case SC_MAXIMIZE: Show(window, SW_MAXIMIZE); break;
        case SC_RESTORE: Show(window, SW_RESTORE); break;
        default: break;
        }
        return 0;
    case WM_NCLBUTTONDOWN: {
        const auto hit = static_cast<LResult>(wParam);
        if (w->maximized) return 0;
        // The desktop takes the pointer until release, so the button-up never comes here.
        buttons_ &= ~MK_LBUTTON;
        if (hit == HTCAPTION) {
            backend_->BeginDrag(*w, HTCAPTION, Size{}, Size{});
        } else if (hit >= HTLEFT && hit <= HTBOTTOMRIGHT) {
            const MinMaxInfo mmi = QueryMinMax(window);
            if ((w = Find(window))) {
                backend_->BeginDrag(*w, hit, Size{mmi.minTrackSize.x, mmi.minTrackSize.y},
                                    Size{mmi.maxTrackSize.x, mmi.maxTrackSize.y});
            }
        }
        return 0;
    }
    case WM_NCLBUTTONDBLCLK:
        if (static_cast<LResult>(wParam) == HTCAPTION && (w->style & WS_MAXIMIZEBOX))
            Send(window, WM_SYSCOMMAND, w->maximized ? SC_RESTORE : SC_MAXIMIZE, 0);
        return 0;
    case WM_RBUTTONUP:
        Send(window, WM_CONTEXTMENU, window.value, PackPoint(cursorPos_));
        return 0;
    case WM_SYSKEYDOWN:
        if (wParam == VK_F1 + 3) Send(window, WM_SYSCOMMAND, SC_CLOSE, 0);  // Alt+F4
        return 0;
    default:
        return 0;
    }
}

// --- Visibility, placement and state -----------------------------------------------------

void WindowManager::ShowPlain(WindowHandle window, bool activate) {
    WindowState* w = Find(window);
    if (!w) return;
    if (w->exStyle & WS_EX_NOACTIVATE) activate = false;
    if (!w->visible) {
        Send(window, WM_SHOWWINDOW, 1, 0);
        if (!(w = Find(window))) return;
        w->visible = true;
        backend_->Show(*w, true, activate);
        Invalidate(window, nullptr, true);
    }
    if (activate) Activate(window);
}

bool WindowManager::Show(WindowHandle window, int command) {
    WindowState* w = Find(window);
    if (!w || w->destroying) return false;
    const bool wasVisible = w->visible;
    switch (command) {
    case SW_HIDE:
        if (!wasVisible) return false;
        Send(window, WM_SHOWWINDOW, 0, 0);
        if ((w = Find(window))) {
            w->visible = false;
            backend_->Show(*w, false, false);
        }
        if (capture_ == window) ReleaseCapture();
        if (active_ == window) ActivateAfterLoss(window);
        break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
        Minimize(window);
        ShowPlain(window, false);
        break;
    case SW_MAXIMIZE:
        Maximize(window);
        ShowPlain(window, true);
        break;
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWNOACTIVATE:
        if (w->minimized || w->maximized) Restore(window);
        ShowPlain(window, command != SW_SHOWNOACTIVATE);
        break;
    case SW_SHOW:
        ShowPlain(window, true);
        break;
    case SW_SHOWNA:
        ShowPlain(window, false);
        break;
    default:
        break;
    }
    return wasVisible;
}

void WindowManager::ResizeBackBuffer(WindowState& w) {
    const int width = std::max(w.rect.Width(), 1);
    const int height = std::max(w.rect.Height(), 1);
    SurfacePtr buffer(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (w.backBuffer) {
        cairo_t* cr = cairo_create(buffer.get());
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, w.backBuffer.get(), 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
    }
    w.backBuffer = std::move(buffer);
}

void WindowManager::ApplyRect(WindowHandle window, const Rect& rect, bool fromNative, bool forceSize) {
    WindowState* w = Find(window);
    if (!w) return;
    const Rect old = w->rect;
    w->rect = rect;
    const bool resized = old.Width() != rect.Width() || old.Height() != rect.Height();
    const bool moved = old.left != rect.left || old.top != rect.top;
    if (resized) {
        ResizeBackBuffer(*w);
        w->invalid = ClientRectOf(*w);
        w->erase = true;
    }
    if (!fromNative && (resized || moved)) backend_->ApplyBounds(*w);
    if (resized || forceSize) {
        const WParam kind = w->minimized ? SIZE_MINIMIZED : w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
        Send(window, WM_SIZE, kind, MakeLParam(rect.Width(), rect.Height()));
    }
    if (moved) Send(window, WM_MOVE, 0, PackPoint(Origin(rect)));
}

bool WindowManager::SetBounds(WindowHandle window, const Rect& rect) {
    if (!Find(window)) return false;
    ApplyRect(window, Rect{rect.left, rect.top, rect.left + std::max(rect.Width(), 0),
                           rect.top + std::max(rect.Height(), 0)},
              false);
    return true;
}

Rect WindowManager::WorkAreaOf(WindowHandle window) {
    const WindowState* w = Find(window);
    return backend_->WorkArea(w ? w->rect : Rect{});
}

MinMaxInfo WindowManager::QueryMinMax(WindowHandle window) {
    WindowState* w = Find(window);
    MinMaxInfo mmi;
    if (!w) return mmi;
    const Rect monitor = backend_->MonitorArea(w->rect);
    const Rect work = backend_->WorkArea(w->rect);
    mmi.maxSize = Point{work.Width(), work.Height()};
    mmi.maxPosition = Point{work.left - monitor.left, work.top - monitor.top};
    mmi.minTrackSize = Point{1, 1};
    mmi.maxTrackSize = Point{monitor.Width(), monitor.Height()};
    Send(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&mmi));
    return mmi;
}

void WindowManager::Minimize(WindowHandle window) {
    WindowState* w = Find(window);
    if (!w || w->minimized) return;
    w->minimized = true;
    backend_->ApplyMinimized(*w);
    Send(window, WM_SIZE, SIZE_MINIMIZED, 0);
    if (active_ == window) ActivateAfterLoss(window);
}

void WindowManager::Maximize(WindowHandle window) {
    WindowState* w = Find(window);
    if (!w || (w->maximized && !w->minimized)) return;
    if (w->minimized) {
        w->minimized = false;
        backend_->ApplyMinimized(*w);
    }
    if (!w->maximized) w->restoreRect = w->rect;
    const MinMaxInfo mmi = QueryMinMax(window);
    if (!(w = Find(window))) return;
    const Rect monitor = backend_->MonitorArea(w->rect);
    const int left = monitor.left + mmi.maxPosition.x;
    const int top = monitor.top + mmi.maxPosition.y;
    w->maximized = true;
    backend_->ApplyMaximized(*w);
    ApplyRect(window, Rect{left, top, left + mmi.maxSize.x, top + mmi.maxSize.y}, false, true);
}

void WindowManager::Restore(WindowHandle window) {
    WindowState* w = Find(window);
    if (!w) return;
    if (w->minimized) {
        w->minimized = false;
        backend_->ApplyMinimized(*w);
        Send(window, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
             MakeLParam(w->rect.Width(), w->rect.Height()));
        return;
    }
    if (!w->maximized) return;
    w->maximized = false;
    backend_->ApplyMaximized(*w);
    ApplyRect(window, w->restoreRect, false, true);
}

bool WindowManager::SetStyle(WindowHandle window, std::uint32_t style) {
    WindowState* w = Find(window);
    if (!w) return false;
    w->style = style & ~WS_VISIBLE;
    backend_->ApplyStyle(*w);
    return true;
}

bool WindowManager::Enable(WindowHandle window, bool enable) {
    WindowState* w = Find(window);
    if (!w) return false;
    const bool previous = w->enabled;
    if (previous == enable) return previous;
    w->enabled = enable;
    if (!enable && capture_ == window) ReleaseCapture();
    Send(window, WM_ENABLE, enable ? 1 : 0, 0);
    return previous;
}

// --- Activation, focus, capture, cursor ---------------------------------------------------

WindowHandle WindowManager::Activate(WindowHandle window, WParam how, bool native) {
    const WindowHandle previous = active_;
    if (window == previous) return previous;
    if (window) {
        const WindowState* w = Find(window);
        if (!w || w->destroying) return previous;
    }
    // The new state is set first so that procedures asking during the messages see it.
    active_ = window;
    if (Find(previous)) {
        Send(previous, WM_NCACTIVATE, 0, 0);
        Send(previous, WM_ACTIVATE, WA_INACTIVE, static_cast<LParam>(window.value));
        if (focus_ == previous) {
            focus_ = {};
            Send(previous, WM_KILLFOCUS, window.value, 0);
        }
    }
    if (window && active_ == window && Find(window)) {
        Send(window, WM_NCACTIVATE, 1, 0);
        Send(window, WM_ACTIVATE, how, static_cast<LParam>(previous.value));
        if (active_ == window && Find(window)) {
            const WindowHandle lost = focus_;
            focus_ = window;
            Send(window, WM_SETFOCUS, lost.value, 0);
        }
        if (native && Find(window)) backend_->Activate(*Find(window));
    }
    return previous;
}

void WindowManager::ActivateAfterLoss(WindowHandle lost) {
    const WindowState* w = Find(lost);
    const WindowState* owner = w ? Find(w->owner) : nullptr;
    if (owner && owner->visible && owner->enabled && !owner->destroying && !owner->minimized) {
        Activate(owner->handle);
    } else {
        Activate(WindowHandle{});
    }
}

WindowHandle WindowManager::SetFocus(WindowHandle window) {
    const WindowHandle previous = focus_;
    if (window == focus_) return previous;
    if (!window) {
        focus_ = {};
        if (Find(previous)) Send(previous, WM_KILLFOCUS, 0, 0);
        return previous;
    }
    if (!Find(window)) return previous;
    if (window != active_) {
        Activate(window);
    } else {
        focus_ = window;
        Send(window, WM_SETFOCUS, previous.value, 0);
    }
    return previous;
}

WindowHandle WindowManager::SetCapture(WindowHandle window) {
    const WindowHandle previous = capture_;
    if (!Find(window)) return previous;
    capture_ = window;
    if (previous && previous != window && Find(previous))
        Send(previous, WM_CAPTURECHANGED, 0, static_cast<LParam>(window.value));
    return previous;
}

bool WindowManager::ReleaseCapture() {
    const WindowHandle previous = capture_;
    capture_ = {};
    if (Find(previous)) Send(previous, WM_CAPTURECHANGED, 0, 0);
    return true;
}

void WindowManager::SetCursor(CursorShape shape) {
    cursor_ = shape;
    WindowState* w = Find(capture_ ? capture_ : pointerWindow_);
    backend_->ApplyCursor(w, shape);
}

bool WindowManager::TrackMouse(WindowHandle window, unsigned flags, unsigned hoverMs) {
    const WindowState* w = Find(window);
    if (!w) return false;
    if (flags & TME_CANCEL) {
        if (tracking_.window == window) tracking_.flags &= ~(flags & (TME_HOVER | TME_LEAVE));
        return true;
    }
    if (tracking_.window != window) {
        tracking_ = Tracking{};
        tracking_.window = window;
    }
    if (flags & TME_LEAVE) {
        tracking_.flags |= TME_LEAVE;
        // A pointer that is already elsewhere has left: say so at once.
        if (pointerWindow_ != window && capture_ != window) {
            tracking_.flags &= ~TME_LEAVE;
            Post(window, WM_MOUSELEAVE, 0, 0);
        }
    }
    if (flags & TME_HOVER) {
        tracking_.flags |= TME_HOVER;
        tracking_.hoverMs = hoverMs == HOVER_DEFAULT ? kDefaultHoverMs : hoverMs;
        tracking_.hoverDue = backend_->Now() + tracking_.hoverMs;
        tracking_.anchor = Point{cursorPos_.x - w->rect.left, cursorPos_.y - w->rect.top};
    }
    return true;
}

std::optional<Message> WindowManager::LeaveMessage(WindowHandle window) {
    if (!window || tracking_.window != window) return std::nullopt;
    const bool leave = tracking_.flags & TME_LEAVE;
    tracking_ = Tracking{};  // leaving ends hover tracking too
    if (!leave || !Find(window)) return std::nullopt;
    return MakeMessage(window, WM_MOUSELEAVE, 0, 0);
}

void WindowManager::CancelTracking(WindowHandle window) {
    if (tracking_.window == window) tracking_ = Tracking{};
}

// --- Native events -------------------------------------------------------------------

void WindowManager::PushInput(QueueEntry entry) {
    entry.message.time = backend_->Now();
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(entry));
    }
    backend_->Wake();
}

void WindowManager::OnMouse(const RawMouse& input) {
    QueueEntry entry;
    entry.kind = QueueEntry::Kind::Mouse;
    entry.mouse = input;
    PushInput(std::move(entry));
}

void WindowManager::OnKey(const RawKey& input) {
    QueueEntry entry;
    entry.kind = QueueEntry::Kind::Key;
    entry.key = input;
    PushInput(std::move(entry));
}

void WindowManager::OnNativeBounds(WindowHandle window, const Rect& rect) {
    const WindowState* w = Find(window);
    if (w && !w->destroying && w->rect != rect) ApplyRect(window, rect, true);
}

void WindowManager::OnNativeActivation(WindowHandle window, bool active) {
    const WindowState* w = Find(window);
    if (!w || w->destroying) return;
    // Activation between our own windows is decided here; the desktop only tells us when
    // the application as a whole gains or loses it.
    if (active && !active_ && w->visible && w->enabled) Activate(window, WA_ACTIVE, false);
    else if (!active && active_ == window) Activate(WindowHandle{}, WA_INACTIVE, false);
}

void WindowManager::OnNativeCloseRequest(WindowHandle window) {
    if (Find(window)) Send(window, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void WindowManager::OnNativeMinimized(WindowHandle window, bool minimized) {
    WindowState* w = Find(window);
    if (!w || w->minimized == minimized) return;
    w->minimized = minimized;
    if (minimized) {
        Send(window, WM_SIZE, SIZE_MINIMIZED, 0);
    } else {
        Send(window, WM_SIZE, w->maximized ? SIZE_MAXIMIZED : SIZE_RESTORED,
             MakeLParam(w->rect.Width(), w->rect.Height()));
    }
}

// --- The queue -----------------------------------------------------------------------

bool WindowManager::Post(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    QueueEntry entry;
    entry.message.hwnd = window;
    entry.message.message = message;
    entry.message.wParam = wParam;
    entry.message.lParam = lParam;
    entry.message.time = backend_->Now();
    {
        std::lock_guard lock(mutex_);
        if (window && live_.count(window.value) == 0) return false;
        queue_.push_back(std::move(entry));
    }
    backend_->Wake();
    return true;
}

void WindowManager::PostQuit(int exitCode) {
    {
        std::lock_guard lock(mutex_);
        quit_ = exitCode;
    }
    backend_->Wake();
}

void WindowManager::PushFront(const Message& message) {
    QueueEntry entry;
    entry.message = message;
    std::lock_guard lock(mutex_);
    queue_.push_front(std::move(entry));
}

LResult WindowManager::Send(WindowHandle window, unsigned message, WParam wParam, LParam lParam) {
    if (!OnWindowThread()) return 0;
    const WindowState* w = Find(window);
    if (!w) return 0;
    const std::shared_ptr<WindowProc> proc = w->proc;
    return (*proc)(window, message, wParam, lParam);
}

int WindowManager::Get(Message& message) {
    if (!OnWindowThread()) return -1;
    while (!TakeNext(message, true)) backend_->Wait(NextDeadline());
    return message.message == WM_QUIT ? 0 : 1;
}

bool WindowManager::Peek(Message& message, bool remove) {
    if (!OnWindowThread()) return false;
    backend_->Poll();
    return TakeNext(message, remove);
}

bool WindowManager::TakeNext(Message& message, bool remove) {
    if (auto queued = TakeQueued(remove)) {
        message = *queued;
        return true;
    }
    {
        std::lock_guard lock(mutex_);
        if (quit_) {
            message = MakeMessage({}, WM_QUIT, static_cast<WParam>(*quit_), 0);
            if (remove) quit_.reset();
            return true;
        }
    }
    if (auto paint = TakePaint()) {
        message = *paint;
        return true;
    }
    if (auto timer = TakeTimer(remove)) {
        message = *timer;
        return true;
    }
    return false;
}

std::optional<Message> WindowManager::TakeQueued(bool remove) {
    for (;;) {
        QueueEntry entry;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) return std::nullopt;
            entry = std::move(queue_.front());
            queue_.pop_front();
        }
        // Input becomes a message only now, as the window under the pointer and its hit
        // test are what they are when the message is taken.
        std::optional<Message> message;
        switch (entry.kind) {
        case QueueEntry::Kind::Posted: message = entry.message; break;
        case QueueEntry::Kind::Mouse: message = ConvertMouse(entry.mouse, entry.message.time); break;
        case QueueEntry::Kind::Key: message = ConvertKey(entry.key, entry.message.time); break;
        }
        if (!message) continue;
        if (!remove) PushFront(*message);
        return message;
    }
}

std::optional<Message> WindowManager::ConvertMouse(const RawMouse& input, std::int64_t time) {
    const WindowState* source = Find(input.window);
    if (!source) return std::nullopt;
    const Point screen{source->rect.left + input.client.x, source->rect.top + input.client.y};
    cursorPos_ = screen;

    if (input.action == MouseAction::Leave) {
        if (capture_ || pointerWindow_ != input.window) return std::nullopt;
        pointerWindow_ = {};
        return LeaveMessage(input.window);
    }
    const WindowHandle target = capture_ ? capture_ : input.window;
    if (!capture_ && pointerWindow_ != target) {
        // The pointer left another window first: its leave comes before this input.
        const WindowHandle left = pointerWindow_;
        pointerWindow_ = target;
        if (auto leave = LeaveMessage(left)) {
            QueueEntry again;
            again.kind = QueueEntry::Kind::Mouse;
            again.mouse = input;
            again.message.time = time;
            std::lock_guard lock(mutex_);
            queue_.push_front(std::move(again));
            return leave;
        }
    }
    if (input.action == MouseAction::Press) buttons_ |= input.button == 3 ? MK_RBUTTON : MK_LBUTTON;
    if (input.action == MouseAction::Release) buttons_ &= ~(input.button == 3 ? MK_RBUTTON : MK_LBUTTON);

    const WindowState* w = Find(target);
    if (!w) return std::nullopt;
    const Point client{screen.x - w->rect.left, screen.y - w->rect.top};
    const WParam keys = buttons_ | input.keyFlags;

    if (input.action == MouseAction::Wheel) {
        if (!capture_ && !w->enabled) return std::nullopt;
        Message m = MakeMessage(target, WM_MOUSEWHEEL,
                                keys | (static_cast<WParam>(static_cast<std::uint16_t>(input.wheelDelta)) << 16),
                                PackPoint(screen));
        m.time = time;
        return m;
    }

    LResult hit = HTCLIENT;
    const unsigned clientMessage = input.action == MouseAction::Move ? WM_MOUSEMOVE
                                   : ButtonMessage(input.action, input.button, false, true);
    if (!capture_) {
        if (!w->enabled) {
            // A click on a window disabled by its modal dialog brings the dialog forward.
            if (input.action == MouseAction::Press) {
                for (const auto& [id, state] : windows_) {
                    if (state->owner == target && state->visible && state->enabled) {
                        Activate(state->handle);
                        break;
                    }
                }
            }
            return std::nullopt;
        }
        hit = Send(target, WM_NCHITTEST, 0, PackPoint(screen));
        if (hit == HTERROR || hit == HTTRANSPARENT || !Find(target)) return std::nullopt;
        Send(target, WM_SETCURSOR, target.value, MakeLParam(static_cast<int>(hit), static_cast<int>(clientMessage)));
        if (!(w = Find(target))) return std::nullopt;
    }
    const bool inClient = hit == HTCLIENT;

    if (input.action == MouseAction::Press && active_ != target && !(w->exStyle & WS_EX_NOACTIVATE)) {
        const LResult answer = Send(target, WM_MOUSEACTIVATE, target.value,
                                    MakeLParam(static_cast<int>(hit), static_cast<int>(clientMessage)));
        if (answer == MA_ACTIVATE || answer == MA_ACTIVATEANDEAT) Activate(target, WA_CLICKACTIVE);
        if (answer == MA_ACTIVATEANDEAT || answer == MA_NOACTIVATEANDEAT) return std::nullopt;
        if (!(w = Find(target))) return std::nullopt;
    }

    unsigned messageId = 0;
    if (input.action == MouseAction::Move) {
        messageId = inClient ? WM_MOUSEMOVE : WM_NCMOUSEMOVE;
        if ((tracking_.flags & TME_HOVER) && tracking_.window == target &&
            (std::abs(client.x - tracking_.anchor.x) > kHoverSlop || std::abs(client.y - tracking_.anchor.y) > kHoverSlop)) {
            tracking_.anchor = client;
            tracking_.hoverDue = time + tracking_.hoverMs;
        }
    } else {
        bool doubleClick = false;
        if (input.action == MouseAction::Press) {
            const unsigned single = ButtonMessage(input.action, input.button, false, inClient);
            doubleClick = (!inClient || (w->classStyle & CS_DBLCLKS)) && lastClick_.window == target &&
                          lastClick_.message == single && time - lastClick_.time <= kDoubleClickMs &&
                          std::abs(screen.x - lastClick_.screen.x) <= kDoubleClickSlop &&
                          std::abs(screen.y - lastClick_.screen.y) <= kDoubleClickSlop;
            // A double click ends the sequence, so a third press starts a new one.
            lastClick_ = doubleClick ? LastClick{} : LastClick{target, single, time, screen};
        }
        messageId = ButtonMessage(input.action, input.button, doubleClick, inClient);
    }
    Message m = inClient ? MakeMessage(target, messageId, keys, PackPoint(client))
                         : MakeMessage(target, messageId, static_cast<WParam>(hit), PackPoint(screen));
    m.time = time;
    return m;
}

std::optional<Message> WindowManager::ConvertKey(const RawKey& input, std::int64_t time) {
    const WindowHandle target = focus_ ? focus_ : active_;
    const WindowState* w = Find(target);
    if (!w || !w->enabled) return std::nullopt;
    const bool system = input.alt || input.vk == VK_F10;
    const unsigned id = system ? (input.down ? WM_SYSKEYDOWN : WM_SYSKEYUP) : (input.down ? WM_KEYDOWN : WM_KEYUP);
    // Repeat count 1; bit 29 Alt held; bits 30 and 31 set for a release.
    LParam flags = 1;
    if (input.alt) flags |= LParam{1} << 29;
    if (!input.down) flags |= (LParam{1} << 30) | (LParam{1} << 31);
    Message m = MakeMessage(target, id, input.vk, flags);
    m.time = time;
    m.character = input.down ? input.character : 0;
    return m;
}

std::optional<Message> WindowManager::TakePaint() {
    const WindowState* best = nullptr;
    for (const auto& [id, w] : windows_) {
        if (w->visible && !w->minimized && !w->destroying && !w->invalid.Empty() &&
            (!best || id < best->handle.value))
            best = w.get();
    }
    if (!best) return std::nullopt;
    return MakeMessage(best->handle, WM_PAINT, 0, 0);
}

std::optional<Message> WindowManager::TakeTimer(bool remove) {
    const std::int64_t now = backend_->Now();
    if ((tracking_.flags & TME_HOVER) && tracking_.hoverDue <= now && Find(tracking_.window)) {
        const Message m = MakeMessage(tracking_.window, WM_MOUSEHOVER, buttons_, PackPoint(tracking_.anchor));
        if (remove) tracking_.flags &= ~TME_HOVER;
        return m;
    }
    auto best = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.due > now) continue;
        if (best == timers_.end() || it->second.due < best->second.due ||
            (it->second.due == best->second.due && it->second.order < best->second.order))
            best = it;
    }
    if (best == timers_.end()) return std::nullopt;
    const Message m = MakeMessage(WindowHandle{best->first.first}, WM_TIMER, best->first.second, 0);
    if (remove) best->second.due = now + best->second.interval;
    return m;
}

std::optional<std::int64_t> WindowManager::NextDeadline() const {
    std::optional<std::int64_t> deadline;
    if (tracking_.flags & TME_HOVER) deadline = tracking_.hoverDue;
    for (const auto& [key, timer] : timers_) {
        if (!deadline || timer.due < *deadline) deadline = timer.due;
    }
    return deadline;
}

bool WindowManager::Translate(const Message& message) {
    if ((message.message != WM_KEYDOWN && message.message != WM_SYSKEYDOWN) || message.character == 0) return false;
    Message character = message;
    character.message = message.message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    character.wParam = message.character;
    character.character = 0;
    PushFront(character);
    return true;
}

LResult WindowManager::Dispatch(const Message& message) {
    if (!Find(message.hwnd)) return 0;
    const LResult result = Send(message.hwnd, message.message, message.wParam, message.lParam);
    // A procedure that does not paint must not be asked again and again.
    if (message.message == WM_PAINT) Validate(message.hwnd);
    return result;
}

WParam WindowManager::RunModal(WindowHandle window, const PreTranslate& preTranslate) {
    const WindowState* w = Find(window);
    if (!w) return 0;
    const WindowHandle owner = w->owner;
    Show(window, SW_SHOWNORMAL);
    if (Find(owner)) Enable(owner, false);

    WParam result = 0;
    std::optional<int> quit;
    Message message;
    while (IsLive(window)) {
        const int got = Get(message);
        if (got < 0) break;
        if (got == 0) {
            quit = static_cast<int>(message.wParam);
            break;
        }
        if (message.hwnd == window && message.message == WM_CLOSE) {
            result = message.wParam;
            // The owner comes back before the dialog goes, so activation returns to it.
            if (Find(owner)) {
                Enable(owner, true);
                SetFocus(owner);
            }
        }
        if (preTranslate && preTranslate(message)) continue;
        Translate(message);
        Dispatch(message);
    }
    if (Find(owner)) {
        Enable(owner, true);
        SetFocus(owner);
    }
    if (quit) PostQuit(*quit);
    return result;
}

// --- Timers --------------------------------------------------------------------------

bool WindowManager::SetTimer(WindowHandle window, WParam id, std::int64_t intervalMs) {
    if (!Find(window)) return false;
    const std::int64_t interval = std::clamp(intervalMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    timers_[{window.value, id}] = Timer{interval, backend_->Now() + interval, ++timerOrder_};
    return true;
}

bool WindowManager::KillTimer(WindowHandle window, WParam id) {
    return timers_.erase({window.value, id}) != 0;
}

// --- Painting ------------------------------------------------------------------------

bool WindowManager::Invalidate(WindowHandle window, const Rect* rect, bool erase) {
    WindowState* w = Find(window);
    if (!w) return false;
    const Rect client = ClientRectOf(*w);
    const Rect area = rect ? IntersectRect(*rect, client) : client;
    if (area.Empty()) return true;
    w->invalid = UnionRect(w->invalid, area);
    w->erase = w->erase || erase;
    return true;
}

bool WindowManager::Validate(WindowHandle window) {
    WindowState* w = Find(window);
    if (!w) return false;
    w->invalid = Rect{};
    w->erase = false;
    return true;
}

bool WindowManager::Update(WindowHandle window) {
    const WindowState* w = Find(window);
    if (!w) return false;
    if (w->visible && !w->invalid.Empty()) {
        Send(window, WM_PAINT, 0, 0);
        Validate(window);
    }
    return true;
}

cairo_t* WindowManager::BeginPaint(WindowHandle window, PaintStruct& paint) {
    WindowState* w = Find(window);
    paint = PaintStruct{};
    if (!w) return nullptr;
    paint.rcPaint = w->invalid;
    const bool erase = w->erase;
    w->invalid = Rect{};
    w->erase = false;
    paint.cr = cairo_create(w->backBuffer.get());
    cairo_rectangle(paint.cr, paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.Width(), paint.rcPaint.Height());
    cairo_clip(paint.cr);
    // As with the erase message's answer: non-zero means the background is done.
    if (erase) paint.erase = Send(window, WM_ERASEBKGND, reinterpret_cast<WParam>(paint.cr), 0) == 0;
    return paint.cr;
}

void WindowManager::EndPaint(WindowHandle window, PaintStruct& paint) {
    if (paint.cr) {
        cairo_destroy(paint.cr);
        paint.cr = nullptr;
    }
    WindowState* w = Find(window);
    if (!w) return;
    cairo_surface_flush(w->backBuffer.get());
    if (w->visible && !paint.rcPaint.Empty()) backend_->Present(*w, paint.rcPaint);
}

}  // namespace platform::ui::detail
