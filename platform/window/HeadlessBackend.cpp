// The headless backend: windows that exist only in memory, a virtual clock, and the test
// hooks of Headless.h that stand in for the user and the desktop.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "platform/Text.h"
#include "platform/window/Headless.h"
#include "platform/window/Pixbuf.h"
#include "platform/window/WindowManager.h"

namespace platform::ui::detail {
namespace {

class HeadlessWindow : public NativeWindow {};

class HeadlessEdit : public NativeEdit {
public:
    HeadlessEdit(const Rect& rect, Events events) : rect_(rect), events_(std::move(events)) {}

    void SetRect(const Rect& rect) override { rect_ = rect; }
    void SetText(std::wstring_view text) override { Replace(std::wstring(text)); }
    std::wstring Text() const override { return text_; }
    void SetFont(std::wstring_view, int, bool) override {}
    void SetColors(std::uint32_t, std::uint32_t) override {}
    void SetAlignment(Align) override {}
    void SetPassword(bool on, wchar_t) override { password_ = on; }
    void SetMaxChars(int maxChars) override {
        maxChars_ = std::max(maxChars, 0);
        Replace(text_);
    }
    void SetReadOnly(bool readOnly) override { readOnly_ = readOnly; }
    void SetVisible(bool visible) override {
        visible_ = visible;
        if (!visible) Blur();
    }
    void Focus() override { focused_ = visible_; }
    void SelectAll() override {}

    void Type(std::wstring_view text) {
        if (!readOnly_) Replace(text_ + std::wstring(text));
    }
    void Return() {
        if (events_.returnPressed) events_.returnPressed();
    }
    void Blur() {
        if (!focused_) return;
        focused_ = false;
        if (events_.focusLost) events_.focusLost();
    }
    bool password() const { return password_; }
    bool focused() const { return focused_; }
    Rect rect() const { return rect_; }

private:
    // Like the desktop's field: the limit cuts, and an unchanged text raises no event.
    void Replace(std::wstring text) {
        if (maxChars_ > 0 && text.size() > static_cast<size_t>(maxChars_)) text.resize(static_cast<size_t>(maxChars_));
        if (text == text_) return;
        text_ = std::move(text);
        if (events_.textChanged) events_.textChanged();
    }

    Rect rect_;
    Events events_;
    std::wstring text_;
    int maxChars_ = 0;
    bool password_ = false;
    bool readOnly_ = false;
    bool visible_ = true;
    bool focused_ = false;
};

class HeadlessBackend : public Backend {
public:
    BackendKind Kind() const override { return BackendKind::Headless; }

    std::int64_t Now() const override { return now_.load(std::memory_order_acquire); }
    std::int64_t Advance(std::int64_t ms) { return now_.fetch_add(std::max<std::int64_t>(ms, 0)) + std::max<std::int64_t>(ms, 0); }

    void Wake() override {
        {
            std::lock_guard lock(mutex_);
            woken_ = true;
        }
        wake_.notify_one();
    }

    void Wait(std::optional<std::int64_t> deadline) override {
        std::unique_lock lock(mutex_);
        if (!woken_ && deadline) {
            // Idle with a deadline ahead: time jumps there instead of passing.
            std::int64_t now = now_.load();
            while (now < *deadline && !now_.compare_exchange_weak(now, *deadline)) {}
            return;
        }
        wake_.wait(lock, [&] { return woken_; });
        woken_ = false;
    }
    void Poll() override {}

    Rect MonitorArea(const Rect&) override { return monitor_; }
    Rect WorkArea(const Rect&) override { return workArea_; }
    bool Composited() override { return composited_; }

    std::unique_ptr<NativeWindow> Create(WindowState& window) override {
        if ((window.exStyle & WS_EX_LAYERED) && !composited_) return nullptr;
        return std::make_unique<HeadlessWindow>();
    }
    void Destroy(WindowState& window) override {
        if (drag_.window == window.handle) drag_ = Drag{};
    }
    void Show(WindowState&, bool, bool) override {}
    void ApplyBounds(WindowState&) override {}
    void ApplyMinimized(WindowState&) override {}
    void ApplyMaximized(WindowState&) override {}
    void Activate(WindowState&) override {}
    void ApplyStyle(WindowState&) override {}
    void ApplyTitle(WindowState&) override {}
    bool ApplyIcon(WindowState&, std::span<const unsigned char> bytes) override {
        GdkPixbuf* pixbuf = DecodePixbuf(bytes);
        if (!pixbuf) return false;
        g_object_unref(pixbuf);
        return true;
    }
    void ApplyRegion(WindowState&) override {}
    void Present(WindowState&, const Rect&) override {}
    void ApplyCursor(WindowState*, CursorShape) override {}

    void BeginDrag(WindowState& window, LResult edge, Size minSize, Size maxSize) override {
        drag_ = Drag{window.handle, edge, WindowManager::Instance()->cursorPos(), window.rect, minSize, maxSize};
    }

    std::unique_ptr<NativeEdit> CreateEdit(WindowState&, const Rect& rect, NativeEdit::Events events) override {
        return std::make_unique<HeadlessEdit>(rect, std::move(events));
    }
    std::optional<std::wstring> PickFolder(WindowState*, std::wstring_view, std::wstring_view) override {
        return folderAnswer_;
    }
    bool OpenAddress(std::wstring_view address) override {
        opened_.emplace_back(address);
        return true;
    }
    void FatalErrorBox(std::wstring_view text, std::wstring_view) override { errorBoxes_.emplace_back(text); }

    // The desktop's half of a move or resize: the window follows the pointer.
    bool DragTo(WindowManager& manager, Point screen) {
        if (!drag_.window) return false;
        const int dx = screen.x - drag_.start.x;
        const int dy = screen.y - drag_.start.y;
        Rect r = drag_.rect;
        const LResult e = drag_.edge;
        if (e == HTCAPTION) {
            r = Rect{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
        } else {
            const auto clampW = [&](int w) { return std::clamp(w, std::max(drag_.min.cx, 1), std::max(drag_.max.cx, 1)); };
            const auto clampH = [&](int h) { return std::clamp(h, std::max(drag_.min.cy, 1), std::max(drag_.max.cy, 1)); };
            if (e == HTLEFT || e == HTTOPLEFT || e == HTBOTTOMLEFT) r.left = r.right - clampW(r.Width() - dx);
            if (e == HTRIGHT || e == HTTOPRIGHT || e == HTBOTTOMRIGHT) r.right = r.left + clampW(r.Width() + dx);
            if (e == HTTOP || e == HTTOPLEFT || e == HTTOPRIGHT) r.top = r.bottom - clampH(r.Height() - dy);
            if (e == HTBOTTOM || e == HTBOTTOMLEFT || e == HTBOTTOMRIGHT) r.bottom = r.top + clampH(r.Height() + dy);
        }
        manager.OnNativeBounds(drag_.window, r);
        return true;
    }
    bool EndDrag() {
        const bool was = static_cast<bool>(drag_.window);
        drag_ = Drag{};
        return was;
    }
    bool Dragging() const { return static_cast<bool>(drag_.window); }

    Rect monitor_{0, 0, 1920, 1080};
    Rect workArea_{0, 0, 1920, 1040};
    bool composited_ = true;
    std::optional<std::wstring> folderAnswer_;
    std::vector<std::wstring> opened_;
    std::vector<std::wstring> errorBoxes_;

private:
    struct Drag {
        WindowHandle window;
        LResult edge = HTCAPTION;
        Point start;
        Rect rect;
        Size min;
        Size max;
    };

    std::atomic<std::int64_t> now_{10000};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    Drag drag_;
};

}  // namespace

std::unique_ptr<Backend> MakeHeadlessBackend() { return std::make_unique<HeadlessBackend>(); }

}  // namespace platform::ui::detail

namespace platform::ui::headless {
namespace {

using detail::HeadlessBackend;
using detail::MouseAction;
using detail::RawMouse;
using detail::WindowManager;

WindowManager* Manager() {
    WindowManager* m = WindowManager::Instance();
    return m && m->OnWindowThread() && m->backend().Kind() == BackendKind::Headless ? m : nullptr;
}
HeadlessBackend* Backend() {
    WindowManager* m = Manager();
    return m ? static_cast<HeadlessBackend*>(&m->backend()) : nullptr;
}

void Mouse(WindowHandle window, MouseAction action, Point client, int button, WParam keyFlags, int delta) {
    WindowManager* m = Manager();
    if (!m || !m->Find(window)) return;
    HeadlessBackend* b = Backend();
    const Rect r = m->Find(window)->rect;
    if (b->Dragging()) {
        // The desktop holds the pointer until the button comes up.
        if (action == MouseAction::Move) b->DragTo(*m, Point{r.left + client.x, r.top + client.y});
        if (action == MouseAction::Release) b->EndDrag();
        return;
    }
    m->OnMouse(RawMouse{window, action, button, client, keyFlags, delta});
}

}  // namespace

void SetScreen(const Rect& monitor, const Rect& workArea) {
    if (HeadlessBackend* b = Backend()) {
        b->monitor_ = monitor;
        b->workArea_ = workArea;
    }
}
void SetComposited(bool composited) {
    if (HeadlessBackend* b = Backend()) b->composited_ = composited;
}
std::int64_t AdvanceTime(std::int64_t ms) {
    HeadlessBackend* b = Backend();
    return b ? b->Advance(ms) : 0;
}

void MouseMove(WindowHandle window, Point client, WParam keyFlags) { Mouse(window, MouseAction::Move, client, 1, keyFlags, 0); }
void MouseDown(WindowHandle window, Point client, int button) { Mouse(window, MouseAction::Press, client, button, 0, 0); }
void MouseUp(WindowHandle window, Point client, int button) { Mouse(window, MouseAction::Release, client, button, 0, 0); }
void Click(WindowHandle window, Point client, int button) {
    MouseDown(window, client, button);
    MouseUp(window, client, button);
}
void Wheel(WindowHandle window, Point client, int delta) { Mouse(window, MouseAction::Wheel, client, 1, 0, delta); }
void MouseLeave(WindowHandle window) { Mouse(window, MouseAction::Leave, Point{}, 1, 0, 0); }
bool DesktopDragActive() {
    HeadlessBackend* b = Backend();
    return b && b->Dragging();
}

void KeyDown(unsigned vk, char32_t character, bool alt) {
    if (WindowManager* m = Manager()) m->OnKey(detail::RawKey{true, vk, character, alt});
}
void KeyUp(unsigned vk, bool alt) {
    if (WindowManager* m = Manager()) m->OnKey(detail::RawKey{false, vk, 0, alt});
}

void DesktopDeactivates() {
    WindowManager* m = Manager();
    if (m && m->active()) m->OnNativeActivation(m->active(), false);
}
void DesktopRequestsClose(WindowHandle window) {
    if (WindowManager* m = Manager()) m->OnNativeCloseRequest(window);
}

cairo_surface_t* BackBuffer(WindowHandle window) {
    WindowManager* m = Manager();
    auto* w = m ? m->Find(window) : nullptr;
    return w ? w->backBuffer.get() : nullptr;
}

std::uint32_t PixelAt(WindowHandle window, Point client) {
    cairo_surface_t* s = BackBuffer(window);
    if (!s) return 0;
    cairo_surface_flush(s);
    if (client.x < 0 || client.y < 0 || client.x >= cairo_image_surface_get_width(s) ||
        client.y >= cairo_image_surface_get_height(s))
        return 0;
    const unsigned char* row = cairo_image_surface_get_data(s) + client.y * cairo_image_surface_get_stride(s);
    return reinterpret_cast<const std::uint32_t*>(row)[client.x];
}

bool SaveBackBufferPng(WindowHandle window, const std::string& path) {
    cairo_surface_t* s = BackBuffer(window);
    return s && cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
}

bool IsShownAt(WindowHandle window, Point client) {
    WindowManager* m = Manager();
    auto* w = m ? m->Find(window) : nullptr;
    if (!w || !w->visible || w->minimized) return false;
    if (!Rect{0, 0, w->rect.Width(), w->rect.Height()}.Contains(client)) return false;
    return !w->region || w->region->Contains(client);
}

void SetFolderPickerAnswer(std::optional<std::wstring> answer) {
    if (HeadlessBackend* b = Backend()) b->folderAnswer_ = std::move(answer);
}
std::vector<std::wstring> OpenedAddresses() {
    HeadlessBackend* b = Backend();
    return b ? b->opened_ : std::vector<std::wstring>{};
}
std::vector<std::wstring> ErrorBoxes() {
    HeadlessBackend* b = Backend();
    return b ? b->errorBoxes_ : std::vector<std::wstring>{};
}

namespace {
detail::HeadlessEdit* AsHeadless(NativeEdit& edit) { return Backend() ? static_cast<detail::HeadlessEdit*>(&edit) : nullptr; }
const detail::HeadlessEdit* AsHeadless(const NativeEdit& edit) {
    return Backend() ? static_cast<const detail::HeadlessEdit*>(&edit) : nullptr;
}
}  // namespace

void TypeIntoEdit(NativeEdit& edit, std::wstring_view text) {
    if (auto* e = AsHeadless(edit)) e->Type(text);
}
void PressReturnInEdit(NativeEdit& edit) {
    if (auto* e = AsHeadless(edit)) e->Return();
}
void LeaveEdit(NativeEdit& edit) {
    if (auto* e = AsHeadless(edit)) e->Blur();
}
bool EditIsPassword(const NativeEdit& edit) {
    const auto* e = AsHeadless(edit);
    return e && e->password();
}
bool EditHasFocus(const NativeEdit& edit) {
    const auto* e = AsHeadless(edit);
    return e && e->focused();
}
Rect EditRect(const NativeEdit& edit) {
    const auto* e = AsHeadless(edit);
    return e ? e->rect() : Rect{};
}

}  // namespace platform::ui::headless
