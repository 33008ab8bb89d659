#include "platform/window/Pixbuf.h"

namespace platform::ui::detail {

GdkPixbuf* DecodePixbuf(std::span<const unsigned char> bytes) {
    if (bytes.empty()) return nullptr;
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new();
    GdkPixbuf* result = nullptr;
    if (gdk_pixbuf_loader_write(loader, bytes.data(), bytes.size(), nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr)) {
        result = gdk_pixbuf_loader_get_pixbuf(loader);
        if (result) g_object_ref(result);
    } else {
        gdk_pixbuf_loader_close(loader, nullptr);
    }
    g_object_unref(loader);
    return result;
}

}  // namespace platform::ui::detail
