#include "src/utils/MessagePump.h"

#include <optional>

namespace Utils {

bool PumpMessagesFor100ms(platform::ui::WindowHandle window) {
    namespace ui = platform::ui;
    const std::int64_t start = ui::GetTickCount();
    std::optional<int> quit;
    bool timeUp = false;
    ui::Message message;
    for (;;) {
        if (window && !ui::IsWindow(window)) break;
        const int got = ui::GetMessage(message);
        if (got < 0) break;
        if (got == 0) {
            quit = static_cast<int>(message.wParam);
            break;
        }
        ui::TranslateMessage(message);
        ui::DispatchMessage(message);
        if (ui::GetTickCount() - start > 100) {
            timeUp = true;
            break;
        }
    }
    if (quit) ui::PostQuitMessage(*quit);
    return timeUp;
}

}  // namespace Utils
