#pragma once
// Internal: decodes image bytes (PNG, ICO, ...) with gdk-pixbuf, which needs no display.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include <span>

namespace platform::ui::detail {

// A new reference, or null when the bytes are not an image.
GdkPixbuf* DecodePixbuf(std::span<const unsigned char> bytes);

}  // namespace platform::ui::detail
