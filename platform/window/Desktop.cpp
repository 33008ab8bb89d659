#include "platform/window/Desktop.h"

#include <glib.h>

#include <cstdio>
#include <memory>

#include "platform/Text.h"

namespace platform::ui {

bool StartProgramDetached(std::wstring_view program, const std::vector<std::wstring>& arguments,
                          std::wstring_view workingFolder) {
    std::vector<std::string> storage;
    storage.push_back(WideToUtf8(program));
    for (const auto& argument : arguments) storage.push_back(WideToUtf8(argument));
    std::vector<gchar*> argv;
    for (auto& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);
    const std::string folder = WideToUtf8(workingFolder);
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program through an intermediate
    // child, so it is adopted by init and never becomes our zombie.
    GError* error = nullptr;
    const bool ok = g_spawn_async(folder.empty() ? nullptr : folder.c_str(), argv.data(), nullptr,
                                  GSpawnFlags(G_SPAWN_STDIN_FROM_DEV_NULL), nullptr, nullptr, nullptr, &error);
    if (error) g_error_free(error);
    return ok;
}

}  // namespace platform::ui
