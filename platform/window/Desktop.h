#pragma once
// Desktop services a window needs besides drawing: the folder picker, opening an address
// with the desktop's handler, starting a program on its own, and the last-resort error box.
// Window thread; the headless backend answers them without a desktop (see Headless.h).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/window/WindowTypes.h"

namespace platform::ui {

// Lets the user choose a folder; empty when cancelled. Modal to owner.
std::optional<std::wstring> PickFolder(WindowHandle owner, std::wstring_view title, std::wstring_view initialFolder);

// Opens an address (a web page, a file URI) with the desktop's default handler.
bool OpenAddress(std::wstring_view address);

// Starts program with arguments in workingFolder (empty: the current one), detached: it
// outlives this process and is never waited for. Any thread.
bool StartProgramDetached(std::wstring_view program, const std::vector<std::wstring>& arguments,
                          std::wstring_view workingFolder);

// Shows a modal error box and returns when it is dismissed. Also written to standard error,
// so the text survives without a desktop.
void ShowFatalErrorBox(std::wstring_view text, std::wstring_view caption);

}  // namespace platform::ui
