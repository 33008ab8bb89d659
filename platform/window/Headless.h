#pragma once
// Test hooks of the headless backend: input injected at client coordinates, a virtual clock,
// the screen's size, and the back buffers to read or save. Window thread; every hook does
// nothing (or returns an empty value) unless the headless backend runs.
//
// The clock is virtual: it moves by AdvanceTime, and when the loop waits with a timer (or a
// hover request) pending and nothing else to do, it jumps straight to that deadline. So
// timers fire in order without real sleeping, and a test that waits for a timer never hangs.
#include <cairo.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/NativeEdit.h"
#include "platform/window/WindowTypes.h"

namespace platform::ui::headless {

// Default: a 1920 x 1080 monitor whose work area leaves 40 pixels at the bottom.
void SetScreen(const Rect& monitor, const Rect& workArea);
void SetComposited(bool composited);
std::int64_t AdvanceTime(std::int64_t ms);

// Pointer input at a point of window's client area (which may lie outside it). While the
// desktop moves or resizes a window (after a caption or border press), moves drive that and
// the release ends it, as a window manager does.
void MouseMove(WindowHandle window, Point client, WParam keyFlags = 0);
void MouseDown(WindowHandle window, Point client, int button = 1);
void MouseUp(WindowHandle window, Point client, int button = 1);
void Click(WindowHandle window, Point client, int button = 1);
void Wheel(WindowHandle window, Point client, int delta);
void MouseLeave(WindowHandle window);
bool DesktopDragActive();

// Keys go to the focus window. character: what the key types (0 for none).
void KeyDown(unsigned vk, char32_t character = 0, bool alt = false);
void KeyUp(unsigned vk, bool alt = false);

// The desktop's own actions: another program takes activation; the title bar's close.
void DesktopDeactivates();
void DesktopRequestsClose(WindowHandle window);

cairo_surface_t* BackBuffer(WindowHandle window);
// 0xAARRGGBB, premultiplied; 0 outside the window.
std::uint32_t PixelAt(WindowHandle window, Point client);
bool SaveBackBufferPng(WindowHandle window, const std::string& path);
// Whether the window currently shows on the screen (it may be hidden by its region).
bool IsShownAt(WindowHandle window, Point client);

// Desktop services: what the folder picker answers next; what was opened or shown.
void SetFolderPickerAnswer(std::optional<std::wstring> answer);
std::vector<std::wstring> OpenedAddresses();
std::vector<std::wstring> ErrorBoxes();

// The user's actions in a native edit.
void TypeIntoEdit(NativeEdit& edit, std::wstring_view text);
void PressReturnInEdit(NativeEdit& edit);
void LeaveEdit(NativeEdit& edit);
bool EditIsPassword(const NativeEdit& edit);
bool EditHasFocus(const NativeEdit& edit);
Rect EditRect(const NativeEdit& edit);

}  // namespace platform::ui::headless
