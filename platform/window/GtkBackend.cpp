// The GTK 3 backend: one GtkWindow per window, painted from the back buffer, with its input
// and configure events turned into the manager's native events. Works on X11 and Wayland;
// where the desktop decides placement (Wayland), positions are requests it may ignore.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <map>

#include "platform/Text.h"
#include "platform/window/Pixbuf.h"
#include "platform/window/WindowManager.h"

namespace platform::ui::detail {
namespace {

std::string Utf8(std::wstring_view text) { return WideToUtf8(text); }

class GtkNative : public NativeWindow {
public:
    explicit GtkNative(WindowHandle handle) : handle(handle) {}
    ~GtkNative() override {
        if (window) gtk_widget_destroy(window);
    }
    WindowHandle handle;
    GtkWidget* window = nullptr;
    GtkWidget* fixed = nullptr;  // holds native children (edits) over the painted surface
};

GtkNative* NativeOf(WindowState& w) { return static_cast<GtkNative*>(w.native.get()); }

WindowManager* Manager() { return WindowManager::Instance(); }

WindowHandle HandleOf(gpointer data) { return WindowHandle{static_cast<std::uint32_t>(GPOINTER_TO_UINT(data))}; }

// True when the event belongs to the top-level surface itself, not a child such as an edit.
bool OnSurface(GtkWidget* widget, GdkWindow* eventWindow) { return eventWindow == gtk_widget_get_window(widget); }

WParam KeyFlags(guint state) {
    WParam flags = 0;
    if (state & GDK_SHIFT_MASK) flags |= MK_SHIFT;
    if (state & GDK_CONTROL_MASK) flags |= MK_CONTROL;
    return flags;
}

unsigned VirtualKey(guint keyval) {
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 'A' + (keyval - GDK_KEY_A);
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return '0' + (keyval - GDK_KEY_0);
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return VK_F1 + (keyval - GDK_KEY_F1);
    switch (keyval) {
    case GDK_KEY_Return: case GDK_KEY_KP_Enter: return VK_RETURN;
    case GDK_KEY_Escape: return VK_ESCAPE;
    case GDK_KEY_Tab: case GDK_KEY_ISO_Left_Tab: return VK_TAB;
    case GDK_KEY_BackSpace: return VK_BACK;
    case GDK_KEY_Delete: return VK_DELETE;
    case GDK_KEY_Insert: return VK_INSERT;
    case GDK_KEY_Home: return VK_HOME;
    case GDK_KEY_End: return VK_END;
    case GDK_KEY_Page_Up: return VK_PRIOR;
    case GDK_KEY_Page_Down: return VK_NEXT;
    case GDK_KEY_Left: return VK_LEFT;
    case GDK_KEY_Up: return VK_UP;
    case GDK_KEY_Right: return VK_RIGHT;
    case GDK_KEY_Down: return VK_DOWN;
    case GDK_KEY_space: return VK_SPACE;
    case GDK_KEY_Shift_L: case GDK_KEY_Shift_R: return VK_SHIFT;
    case GDK_KEY_Control_L: case GDK_KEY_Control_R: return VK_CONTROL;
    case GDK_KEY_Alt_L: case GDK_KEY_Alt_R: return VK_MENU;
    default: return 0;
    }
}

class GtkEdit : public NativeEdit {
public:
    GtkEdit(GtkWidget* fixed, const Rect& rect, Events events) : events_(std::move(events)) {
        entry_ = gtk_entry_new();
        g_object_add_weak_pointer(G_OBJECT(entry_), reinterpret_cast<gpointer*>(&entry_));
        gtk_entry_set_has_frame(GTK_ENTRY(entry_), FALSE);
        css_ = gtk_css_provider_new();
        gtk_style_context_add_provider(gtk_widget_get_style_context(entry_), GTK_STYLE_PROVIDER(css_),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        ApplyCss();
        g_signal_connect(entry_, "changed", G_CALLBACK(+[](GtkEditable*, gpointer self) {
                             auto* edit = static_cast<GtkEdit*>(self);
                             if (edit->events_.textChanged) edit->events_.textChanged();
                         }), this);
        g_signal_connect(entry_, "activate", G_CALLBACK(+[](GtkEntry*, gpointer self) {
                             auto* edit = static_cast<GtkEdit*>(self);
                             if (edit->events_.returnPressed) edit->events_.returnPressed();
                         }), this);
        g_signal_connect(entry_, "focus-out-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, gpointer self) -> gboolean {
                             auto* edit = static_cast<GtkEdit*>(self);
                             if (edit->events_.focusLost) edit->events_.focusLost();
                             return FALSE;
                         }), this);
        gtk_fixed_put(GTK_FIXED(fixed), entry_, rect.left, rect.top);
        SetRect(rect);
        gtk_widget_show(entry_);
    }
    ~GtkEdit() override {
        if (entry_) {
            g_signal_handlers_disconnect_by_data(entry_, this);
            g_object_remove_weak_pointer(G_OBJECT(entry_), reinterpret_cast<gpointer*>(&entry_));
            gtk_widget_destroy(entry_);
        }
        g_object_unref(css_);
    }

    void SetRect(const Rect& rect) override {
        if (!entry_) return;
        GtkWidget* fixed = gtk_widget_get_parent(entry_);
        if (fixed) gtk_fixed_move(GTK_FIXED(fixed), entry_, rect.left, rect.top);
        gtk_widget_set_size_request(entry_, std::max(rect.Width(), 1), std::max(rect.Height(), 1));
    }
    void SetText(std::wstring_view text) override {
        if (entry_) gtk_entry_set_text(GTK_ENTRY(entry_), Utf8(text).c_str());
    }
    std::wstring Text() const override { return entry_ ? Utf8ToWide(gtk_entry_get_text(GTK_ENTRY(entry_))) : L""; }
    void SetFont(std::wstring_view family, int pixelSize, bool bold) override {
        family_ = Utf8(family);
        pixelSize_ = pixelSize;
        bold_ = bold;
        ApplyCss();
    }
    void SetColors(std::uint32_t text, std::uint32_t background) override {
        text_ = text;
        background_ = background;
        ApplyCss();
    }
    void SetAlignment(Align align) override {
        if (entry_) gtk_entry_set_alignment(GTK_ENTRY(entry_), align == Align::Left ? 0.0f : align == Align::Center ? 0.5f : 1.0f);
    }
    void SetPassword(bool on, wchar_t mask) override {
        if (!entry_) return;
        gtk_entry_set_visibility(GTK_ENTRY(entry_), !on);
        if (on && mask) gtk_entry_set_invisible_char(GTK_ENTRY(entry_), static_cast<gunichar>(mask));
    }
    void SetMaxChars(int maxChars) override {
        if (entry_) gtk_entry_set_max_length(GTK_ENTRY(entry_), std::max(maxChars, 0));
    }
    void SetReadOnly(bool readOnly) override {
        if (entry_) gtk_editable_set_editable(GTK_EDITABLE(entry_), !readOnly);
    }
    void SetVisible(bool visible) override {
        if (entry_) gtk_widget_set_visible(entry_, visible);
    }
    void Focus() override {
        if (entry_) gtk_widget_grab_focus(entry_);
    }
    void SelectAll() override {
        if (entry_) gtk_editable_select_region(GTK_EDITABLE(entry_), 0, -1);
    }

private:
    static std::string Rgba(std::uint32_t argb) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "rgba(%u,%u,%u,%.3f)", (argb >> 16) & 0xFF, (argb >> 8) & 0xFF,
                      argb & 0xFF, ((argb >> 24) & 0xFF) / 255.0);
        return buffer;
    }
    void ApplyCss() {
        std::string css = "entry { padding: 0 2px; min-height: 0; border: none; box-shadow: none; border-radius: 0;";
        if (!family_.empty()) css += " font-family: \"" + family_ + "\";";
        if (pixelSize_ > 0) css += " font-size: " + std::to_string(pixelSize_) + "px;";
        css += bold_ ? " font-weight: bold;" : " font-weight: normal;";
        css += " color: " + Rgba(text_) + "; background: " + Rgba(background_) + "; }";
        gtk_css_provider_load_from_data(css_, css.c_str(), -1, nullptr);
    }

    GtkWidget* entry_ = nullptr;
    GtkCssProvider* css_ = nullptr;
    Events events_;
    std::string family_;
    int pixelSize_ = 0;
    bool bold_ = false;
    std::uint32_t text_ = 0xFF000000;
    std::uint32_t background_ = 0xFFFFFFFF;
};

class GtkBackend : public Backend {
public:
    BackendKind Kind() const override { return BackendKind::Gtk; }
    std::int64_t Now() const override { return g_get_monotonic_time() / 1000; }
    void Wake() override { g_main_context_wakeup(nullptr); }

    void Wait(std::optional<std::int64_t> deadline) override {
        GSource* timeout = nullptr;
        if (deadline) {
            const std::int64_t ms = std::max<std::int64_t>(*deadline - Now(), 0);
            timeout = g_timeout_source_new(static_cast<guint>(std::min<std::int64_t>(ms, G_MAXUINT)));
            g_source_set_callback(timeout, [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr, nullptr);
            g_source_attach(timeout, nullptr);
        }
        g_main_context_iteration(nullptr, TRUE);
        if (timeout) {
            g_source_destroy(timeout);
            g_source_unref(timeout);
        }
    }
    void Poll() override {
        for (int i = 0; i < 64 && g_main_context_iteration(nullptr, FALSE); ++i) {}
    }

    Rect MonitorArea(const Rect& near) override { return Geometry(near, false); }
    Rect WorkArea(const Rect& near) override { return Geometry(near, true); }
    bool Composited() override { return gdk_screen_is_composited(gdk_screen_get_default()); }

    std::unique_ptr<NativeWindow> Create(WindowState& w) override {
        if ((w.exStyle & WS_EX_LAYERED) && !Composited()) return nullptr;
        auto native = std::make_unique<GtkNative>(w.handle);
        GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        native->window = window;
        gtk_widget_set_name(window, Utf8(w.className).c_str());
        gtk_window_set_title(GTK_WINDOW(window), Utf8(w.title).c_str());
        gtk_widget_set_app_paintable(window, TRUE);
        if (w.exStyle & WS_EX_LAYERED) {
            gtk_widget_set_visual(window, gdk_screen_get_rgba_visual(gdk_screen_get_default()));
            gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_UTILITY);
        }
        if (w.exStyle & (WS_EX_TOOLWINDOW | WS_EX_LAYERED)) {
            gtk_window_set_skip_taskbar_hint(GTK_WINDOW(window), TRUE);
            gtk_window_set_skip_pager_hint(GTK_WINDOW(window), TRUE);
        }
        if (w.exStyle & WS_EX_NOACTIVATE) gtk_window_set_accept_focus(GTK_WINDOW(window), FALSE);
        if (WindowState* owner = Manager()->Find(w.owner))
            gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(NativeOf(*owner)->window));
        ApplyStyleTo(GTK_WINDOW(window), w);
        gtk_window_set_default_size(GTK_WINDOW(window), std::max(w.rect.Width(), 1), std::max(w.rect.Height(), 1));
        gtk_window_move(GTK_WINDOW(window), w.rect.left, w.rect.top);

        native->fixed = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window), native->fixed);
        gtk_widget_show(native->fixed);

        gtk_widget_add_events(window, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                          GDK_SCROLL_MASK | GDK_SMOOTH_SCROLL_MASK | GDK_KEY_PRESS_MASK |
                                          GDK_KEY_RELEASE_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_FOCUS_CHANGE_MASK |
                                          GDK_STRUCTURE_MASK);
        const gpointer data = GUINT_TO_POINTER(w.handle.value);
        g_signal_connect(window, "draw", G_CALLBACK(OnDraw), data);
        g_signal_connect(window, "motion-notify-event", G_CALLBACK(OnMotion), data);
        g_signal_connect(window, "button-press-event", G_CALLBACK(OnButton), data);
        g_signal_connect(window, "button-release-event", G_CALLBACK(OnButton), data);
        g_signal_connect(window, "scroll-event", G_CALLBACK(OnScroll), data);
        g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), data);
        g_signal_connect(window, "key-release-event", G_CALLBACK(OnKey), data);
        g_signal_connect(window, "leave-notify-event", G_CALLBACK(OnLeave), data);
        g_signal_connect(window, "focus-in-event", G_CALLBACK(OnFocus), data);
        g_signal_connect(window, "focus-out-event", G_CALLBACK(OnFocus), data);
        g_signal_connect(window, "configure-event", G_CALLBACK(OnConfigure), data);
        g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), data);
        g_signal_connect(window, "window-state-event", G_CALLBACK(OnWindowState), data);
        g_signal_connect(window, "realize", G_CALLBACK(OnRealize), data);
        return native;
    }

    void Destroy(WindowState& w) override {
        GtkNative* native = NativeOf(w);
        if (!native->window) return;
        g_signal_handlers_disconnect_matched(native->window, G_SIGNAL_MATCH_DATA, 0, 0, nullptr, nullptr,
                                             GUINT_TO_POINTER(w.handle.value));
        gtk_widget_destroy(native->window);
        native->window = nullptr;
    }

    void Show(WindowState& w, bool show, bool activate) override {
        GtkWidget* window = NativeOf(w)->window;
        if (!show) {
            gtk_widget_hide(window);
            return;
        }
        gtk_window_set_focus_on_map(GTK_WINDOW(window), activate);
        gtk_window_move(GTK_WINDOW(window), w.rect.left, w.rect.top);
        gtk_window_resize(GTK_WINDOW(window), std::max(w.rect.Width(), 1), std::max(w.rect.Height(), 1));
        gtk_widget_show(window);
        if (activate) gtk_window_present(GTK_WINDOW(window));
    }
    void ApplyBounds(WindowState& w) override {
        GtkWindow* window = GTK_WINDOW(NativeOf(w)->window);
        gtk_window_move(window, w.rect.left, w.rect.top);
        gtk_window_resize(window, std::max(w.rect.Width(), 1), std::max(w.rect.Height(), 1));
    }
    void ApplyMinimized(WindowState& w) override {
        GtkWindow* window = GTK_WINDOW(NativeOf(w)->window);
        if (w.minimized) gtk_window_iconify(window);
        else gtk_window_deiconify(window);
    }
    void ApplyMaximized(WindowState& w) override {
        GtkWindow* window = GTK_WINDOW(NativeOf(w)->window);
        if (w.maximized) gtk_window_maximize(window);
        else gtk_window_unmaximize(window);
    }
    void Activate(WindowState& w) override {
        if (w.visible) gtk_window_present(GTK_WINDOW(NativeOf(w)->window));
    }
    void ApplyStyle(WindowState& w) override { ApplyStyleTo(GTK_WINDOW(NativeOf(w)->window), w); }
    void ApplyTitle(WindowState& w) override {
        gtk_window_set_title(GTK_WINDOW(NativeOf(w)->window), Utf8(w.title).c_str());
    }
    bool ApplyIcon(WindowState& w, std::span<const unsigned char> bytes) override {
        GdkPixbuf* pixbuf = DecodePixbuf(bytes);
        if (!pixbuf) return false;
        gtk_window_set_icon(GTK_WINDOW(NativeOf(w)->window), pixbuf);
        g_object_unref(pixbuf);
        return true;
    }
    void ApplyRegion(WindowState& w) override {
        GtkWidget* window = NativeOf(w)->window;
        if (!w.region) {
            gtk_widget_shape_combine_region(window, nullptr);
            return;
        }
        cairo_region_t* region = cairo_region_create();
        for (int y = w.region->Top(); y < w.region->Bottom(); ++y) {
            // Rows with the same span merge into one rectangle.
            const WindowRegion::Span span = w.region->Row(y);
            int end = y + 1;
            while (end < w.region->Bottom() && w.region->Row(end) == span) ++end;
            if (span.right > span.left) {
                const cairo_rectangle_int_t r{span.left, y, span.right - span.left, end - y};
                cairo_region_union_rectangle(region, &r);
            }
            y = end - 1;
        }
        gtk_widget_shape_combine_region(window, region);
        cairo_region_destroy(region);
    }
    void Present(WindowState& w, const Rect& area) override {
        gtk_widget_queue_draw_area(NativeOf(w)->window, area.left, area.top, area.Width(), area.Height());
    }
    void ApplyCursor(WindowState* w, CursorShape shape) override {
        if (!w) return;
        GdkWindow* surface = gtk_widget_get_window(NativeOf(*w)->window);
        if (!surface) return;
        auto it = cursors_.find(shape);
        if (it == cursors_.end()) {
            it = cursors_.emplace(shape, gdk_cursor_new_from_name(gdk_window_get_display(surface), CursorName(shape))).first;
        }
        gdk_window_set_cursor(surface, it->second);
    }
    void BeginDrag(WindowState& w, LResult edge, Size minSize, Size maxSize) override {
        GtkWindow* window = GTK_WINDOW(NativeOf(w)->window);
        if (edge == HTCAPTION) {
            gtk_window_begin_move_drag(window, press_.button, press_.x, press_.y, press_.time);
            return;
        }
        GdkGeometry hints{};
        hints.min_width = std::max(minSize.cx, 1);
        hints.min_height = std::max(minSize.cy, 1);
        hints.max_width = std::max(maxSize.cx, hints.min_width);
        hints.max_height = std::max(maxSize.cy, hints.min_height);
        gtk_window_set_geometry_hints(window, nullptr, &hints, GdkWindowHints(GDK_HINT_MIN_SIZE | GDK_HINT_MAX_SIZE));
        gtk_window_begin_resize_drag(window, Edge(edge), press_.button, press_.x, press_.y, press_.time);
    }

    std::unique_ptr<NativeEdit> CreateEdit(WindowState& parent, const Rect& rect, NativeEdit::Events events) override {
        return std::make_unique<GtkEdit>(NativeOf(parent)->fixed, rect, std::move(events));
    }
    std::optional<std::wstring> PickFolder(WindowState* owner, std::wstring_view title,
                                           std::wstring_view initialFolder) override {
        GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
            Utf8(title).c_str(), owner ? GTK_WINDOW(NativeOf(*owner)->window) : nullptr,
            GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, nullptr, nullptr);
        if (!initialFolder.empty())
            gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), Utf8(initialFolder).c_str());
        std::optional<std::wstring> result;
        if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
            if (gchar* path = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))) {
                result = Utf8ToWide(path);
                g_free(path);
            }
        }
        g_object_unref(chooser);
        return result;
    }
    bool OpenAddress(std::wstring_view address) override {
        GError* error = nullptr;
        const bool ok = g_app_info_launch_default_for_uri(Utf8(address).c_str(), nullptr, &error);
        if (error) g_error_free(error);
        return ok;
    }
    void FatalErrorBox(std::wstring_view text, std::wstring_view caption) override {
        GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_ERROR, GTK_BUTTONS_OK, "%s",
                                                   Utf8(text).c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), Utf8(caption).c_str());
        gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
        gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
    }

    ~GtkBackend() override {
        for (auto& [shape, cursor] : cursors_) g_object_unref(cursor);
    }

private:
    struct Press {
        int button = 1;
        int x = 0;
        int y = 0;
        guint32 time = GDK_CURRENT_TIME;
    };

    static Rect Geometry(const Rect& near, bool work) {
        GdkDisplay* display = gdk_display_get_default();
        GdkMonitor* monitor = nullptr;
        if (!near.Empty()) monitor = gdk_display_get_monitor_at_point(display, near.left + near.Width() / 2, near.top + near.Height() / 2);
        if (!monitor) monitor = gdk_display_get_primary_monitor(display);
        if (!monitor) monitor = gdk_display_get_monitor(display, 0);
        GdkRectangle r{0, 0, 0, 0};
        if (monitor) {
            if (work) gdk_monitor_get_workarea(monitor, &r);
            else gdk_monitor_get_geometry(monitor, &r);
        }
        return Rect{r.x, r.y, r.x + r.width, r.y + r.height};
    }

    static void ApplyStyleTo(GtkWindow* window, const WindowState& w) {
        gtk_window_set_decorated(window, (w.style & WS_CAPTION) == WS_CAPTION);
        gtk_window_set_keep_above(window, (w.exStyle & WS_EX_TOPMOST) != 0);
    }

    static const char* CursorName(CursorShape shape) {
        switch (shape) {
        case CursorShape::Hand: return "pointer";
        case CursorShape::Text: return "text";
        case CursorShape::Wait: return "wait";
        case CursorShape::SizeAll: return "move";
        case CursorShape::SizeWE: return "ew-resize";
        case CursorShape::SizeNS: return "ns-resize";
        case CursorShape::SizeNWSE: return "nwse-resize";
        case CursorShape::SizeNESW: return "nesw-resize";
        case CursorShape::Arrow: break;
        }
        return "default";
    }

    static GdkWindowEdge Edge(LResult hit) {
        switch (hit) {
        case HTLEFT: return GDK_WINDOW_EDGE_WEST;
        case HTRIGHT: return GDK_WINDOW_EDGE_EAST;
        case HTTOP: return GDK_WINDOW_EDGE_NORTH;
        case HTTOPLEFT: return GDK_WINDOW_EDGE_NORTH_WEST;
        case HTTOPRIGHT: return GDK_WINDOW_EDGE_NORTH_EAST;
        case HTBOTTOM: return GDK_WINDOW_EDGE_SOUTH;
        case HTBOTTOMLEFT: return GDK_WINDOW_EDGE_SOUTH_WEST;
        default: return GDK_WINDOW_EDGE_SOUTH_EAST;
        }
    }

    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer data) {
        WindowState* w = Manager() ? Manager()->Find(HandleOf(data)) : nullptr;
        if (w) {
            cairo_save(cr);
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            cairo_set_source_surface(cr, w->backBuffer.get(), 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
        }
        return FALSE;  // native children draw on top
    }

    static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer data) {
        if (!OnSurface(widget, event->window)) return FALSE;
        Manager()->OnMouse(RawMouse{HandleOf(data), MouseAction::Move, 1,
                                    Point{static_cast<int>(event->x), static_cast<int>(event->y)}, KeyFlags(event->state), 0});
        return TRUE;
    }

    static gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer data) {
        // Double clicks are recognised by the manager from single presses, as on every backend.
        if (!OnSurface(widget, event->window) || (event->type != GDK_BUTTON_PRESS && event->type != GDK_BUTTON_RELEASE))
            return FALSE;
        if (event->button != 1 && event->button != 3) return FALSE;
        auto* backend = static_cast<GtkBackend*>(&Manager()->backend());
        const WindowHandle handle = HandleOf(data);
        const bool press = event->type == GDK_BUTTON_PRESS;
        if (press) {
            backend->press_ = Press{static_cast<int>(event->button), static_cast<int>(event->x_root),
                                    static_cast<int>(event->y_root), event->time};
            // A press on the painted surface takes keyboard focus away from a native edit.
            gtk_window_set_focus(GTK_WINDOW(widget), nullptr);
        }
        Manager()->OnMouse(RawMouse{handle, press ? MouseAction::Press : MouseAction::Release,
                                    static_cast<int>(event->button),
                                    Point{static_cast<int>(event->x), static_cast<int>(event->y)}, KeyFlags(event->state), 0});
        return TRUE;
    }

    static gboolean OnScroll(GtkWidget* widget, GdkEventScroll* event, gpointer data) {
        if (!OnSurface(widget, event->window)) return FALSE;
        int delta = 0;
        if (event->direction == GDK_SCROLL_UP) delta = 120;
        else if (event->direction == GDK_SCROLL_DOWN) delta = -120;
        else if (event->direction == GDK_SCROLL_SMOOTH) delta = static_cast<int>(-event->delta_y * 120);
        if (delta == 0) return TRUE;
        Manager()->OnMouse(RawMouse{HandleOf(data), MouseAction::Wheel, 1,
                                    Point{static_cast<int>(event->x), static_cast<int>(event->y)}, KeyFlags(event->state), delta});
        return TRUE;
    }

    static gboolean OnKey(GtkWidget* widget, GdkEventKey* event, gpointer) {
        // Typing into a native edit stays with the edit.
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(widget));
        if (focus && GTK_IS_ENTRY(focus)) return FALSE;
        const bool down = event->type == GDK_KEY_PRESS;
        char32_t character = gdk_keyval_to_unicode(event->keyval);
        if (character == 0x7F || (event->state & GDK_CONTROL_MASK)) character = 0;
        Manager()->OnKey(RawKey{down, VirtualKey(event->keyval), down ? character : 0, (event->state & GDK_MOD1_MASK) != 0});
        return TRUE;
    }

    static gboolean OnLeave(GtkWidget* widget, GdkEventCrossing* event, gpointer data) {
        if (!OnSurface(widget, event->window) || event->detail == GDK_NOTIFY_INFERIOR) return FALSE;
        Manager()->OnMouse(RawMouse{HandleOf(data), MouseAction::Leave, 1, Point{}, 0, 0});
        return FALSE;
    }

    static gboolean OnFocus(GtkWidget*, GdkEventFocus* event, gpointer data) {
        Manager()->OnNativeActivation(HandleOf(data), event->in != 0);
        return FALSE;
    }

    static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer data) {
        // The origin of our own surface is the client area's place on the screen, whatever
        // frame the desktop put around it.
        int x = event->x;
        int y = event->y;
        if (GdkWindow* surface = gtk_widget_get_window(widget)) gdk_window_get_origin(surface, &x, &y);
        Manager()->OnNativeBounds(HandleOf(data), Rect{x, y, x + event->width, y + event->height});
        return FALSE;
    }

    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
        Manager()->OnNativeCloseRequest(HandleOf(data));
        return TRUE;  // the procedure decides
    }

    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
        if (event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)
            Manager()->OnNativeMinimized(HandleOf(data), (event->new_window_state & GDK_WINDOW_STATE_ICONIFIED) != 0);
        return FALSE;
    }

    static void OnRealize(GtkWidget* widget, gpointer data) {
        WindowState* w = Manager()->Find(HandleOf(data));
        if (w && (w->exStyle & WS_EX_LAYERED) && (w->exStyle & WS_EX_TRANSPARENT)) {
            // Mouse-transparent: an empty input shape lets every click through.
            cairo_region_t* empty = cairo_region_create();
            gtk_widget_input_shape_combine_region(widget, empty);
            cairo_region_destroy(empty);
        }
    }

    Press press_;
    std::map<CursorShape, GdkCursor*> cursors_;
};

}  // namespace

std::unique_ptr<Backend> MakeGtkBackend(std::string& error) {
    if (!gtk_init_check(nullptr, nullptr)) {
        error = "GTK could not open a display (is DISPLAY or WAYLAND_DISPLAY set?)";
        return nullptr;
    }
    return std::make_unique<GtkBackend>();
}

}  // namespace platform::ui::detail
