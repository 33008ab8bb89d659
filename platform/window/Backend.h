#pragma once
// Internal: what the window manager asks of a backend. The manager owns the behaviour
// (messages, order, activation, timers, capture); a backend shows windows and reports
// native events back through WindowManager's On... calls.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/window/NativeEdit.h"
#include "platform/window/WindowSystem.h"

namespace platform::ui::detail {

struct WindowState;

// A backend's own data for one window.
class NativeWindow {
public:
    virtual ~NativeWindow() = default;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual BackendKind Kind() const = 0;

    // Any thread.
    virtual std::int64_t Now() const = 0;
    virtual void Wake() = 0;

    // Window thread. Returns after native events were handled, a Wake, or the deadline.
    virtual void Wait(std::optional<std::int64_t> deadline) = 0;
    // Handles pending native events without waiting.
    virtual void Poll() = 0;

    virtual Rect MonitorArea(const Rect& near) = 0;
    virtual Rect WorkArea(const Rect& near) = 0;
    virtual bool Composited() = 0;

    // Null when the native window cannot be made.
    virtual std::unique_ptr<NativeWindow> Create(WindowState& window) = 0;
    virtual void Destroy(WindowState& window) = 0;
    virtual void Show(WindowState& window, bool show, bool activate) = 0;
    virtual void ApplyBounds(WindowState& window) = 0;
    virtual void ApplyMinimized(WindowState& window) = 0;
    virtual void ApplyMaximized(WindowState& window) = 0;
    virtual void Activate(WindowState& window) = 0;
    virtual void ApplyStyle(WindowState& window) = 0;
    virtual void ApplyTitle(WindowState& window) = 0;
    virtual bool ApplyIcon(WindowState& window, std::span<const unsigned char> bytes) = 0;
    virtual void ApplyRegion(WindowState& window) = 0;
    virtual void Present(WindowState& window, const Rect& area) = 0;
    virtual void ApplyCursor(WindowState* window, CursorShape shape) = 0;
    // Hands a pressed pointer to the desktop, which moves or resizes the window until the
    // button is released. edge is HTCAPTION for a move or a HT sizing code.
    virtual void BeginDrag(WindowState& window, LResult edge, Size minSize, Size maxSize) = 0;

    virtual std::unique_ptr<NativeEdit> CreateEdit(WindowState& parent, const Rect& rect, NativeEdit::Events events) = 0;
    virtual std::optional<std::wstring> PickFolder(WindowState* owner, std::wstring_view title,
                                                   std::wstring_view initialFolder) = 0;
    virtual bool OpenAddress(std::wstring_view address) = 0;
    virtual void FatalErrorBox(std::wstring_view text, std::wstring_view caption) = 0;
};

std::unique_ptr<Backend> MakeGtkBackend(std::string& error);
std::unique_ptr<Backend> MakeHeadlessBackend();

}  // namespace platform::ui::detail
