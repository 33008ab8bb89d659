#pragma once
// A native single-line text field placed over a rectangle of a window: what a skinned edit
// control shows while the user types into it. Input methods, clipboard and selection come
// with it. Lives on the window thread; the owner destroys it before the window.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/window/WindowTypes.h"

namespace platform::ui {

class NativeEdit {
public:
    enum class Align { Left, Center, Right };
    struct Events {
        std::function<void()> textChanged;  // after every change, typed or set
        std::function<void()> returnPressed;
        std::function<void()> focusLost;
    };

    // Null when the window does not exist.
    static std::unique_ptr<NativeEdit> Create(WindowHandle parent, const Rect& rect, Events events);
    virtual ~NativeEdit() = default;

    virtual void SetRect(const Rect& rect) = 0;  // client coordinates of the parent
    virtual void SetText(std::wstring_view text) = 0;
    virtual std::wstring Text() const = 0;
    // family: a font family name; pixelSize: absolute size in pixels.
    virtual void SetFont(std::wstring_view family, int pixelSize, bool bold) = 0;
    // 0xAARRGGBB colours.
    virtual void SetColors(std::uint32_t text, std::uint32_t background) = 0;
    virtual void SetAlignment(Align align) = 0;
    // Shows every character as mask while on.
    virtual void SetPassword(bool on, wchar_t mask) = 0;
    // 0 means no limit; longer text is cut.
    virtual void SetMaxChars(int maxChars) = 0;
    virtual void SetReadOnly(bool readOnly) = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void Focus() = 0;
    virtual void SelectAll() = 0;
};

}  // namespace platform::ui
