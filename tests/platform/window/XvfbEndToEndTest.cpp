// The GTK backend on a real X server: a private Xvfb display, a painted window, clicks and a
// caption drag driven by xdotool, and a screenshot of the screen taken with import.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <pango/pangocairo.h>

#include <cstdlib>
#include <iostream>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window/WindowSystem.h"

extern char** environ;

// Read by LeakSanitizer in the sanitizer build: fontconfig keeps its caches for the life of
// the process on purpose.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace platform::ui::testing {
namespace {

std::optional<std::string> FindProgram(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return std::nullopt;
}

pid_t Spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
}

// A private X server on a display number it picks itself (-displayfd), stopped at the end.
class Xvfb {
public:
    bool Start() {
        int fds[2];
        if (pipe(fds) != 0) return false;
        pid_ = fork();
        if (pid_ == 0) {
            // The server must not outlive a test that crashes or is killed.
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            dup2(fds[1], 3);
            const int devnull = open("/dev/null", O_RDWR);
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
            execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "800x600x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (pid_ > 0 && poll(&p, 1, 10000) > 0) {
            char c;
            if (read(fds[0], &c, 1) != 1 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (number.empty()) return false;
        display_ = ":" + number;
        return true;
    }
    ~Xvfb() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

constexpr int kCaption = 40;

class XvfbEndToEndTest : public ::testing::Test {
protected:
    // One server for the whole process: GTK keeps its display connection until the end.
    static void SetUpTestSuite() {
        if (!FindProgram("Xvfb")) return;
        xvfb_ = new Xvfb;
        if (!xvfb_->Start()) {
            delete xvfb_;
            xvfb_ = nullptr;
        }
    }
    static void TearDownTestSuite() {
        delete xvfb_;
        xvfb_ = nullptr;
    }

    void SetUp() override {
        if (!FindProgram("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (scripts/install-deps installs it)";
        for (const char* tool : {"xdotool", "import"})
            ASSERT_TRUE(FindProgram(tool)) << tool << " is missing; scripts/install-deps installs it";
        ASSERT_TRUE(xvfb_) << "Xvfb did not report a display";
        setenv("DISPLAY", xvfb_->display().c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        setenv("NO_AT_BRIDGE", "1", 1);
        setenv("GTK_THEME", "Adwaita", 1);
        ASSERT_TRUE(InitializeWindowSystem(BackendKind::Gtk).ok());

        CreateParams params;
        params.className = L"MavrixTestWindow";
        params.title = L"Mavrix";
        params.style = WS_POPUP | WS_VISIBLE;
        params.x = 100;
        params.y = 80;
        params.width = 400;
        params.height = 300;
        window_ = CreateNativeWindow(params, [this](WindowHandle w, unsigned m, WParam wp, LParam lp) {
            return Procedure(w, m, wp, lp);
        });
        ASSERT_TRUE(window_);
        ASSERT_TRUE(PumpUntil([&] { return painted_ > 0; }, 5000)) << "the window was never painted";
        PumpFor(300);  // let the server map and show it
    }
    void TearDown() override {
        if (IsWindowSystemInitialized()) ShutdownWindowSystem();
    }

    LResult Procedure(WindowHandle w, unsigned m, WParam wp, LParam lp) {
        switch (m) {
        case WM_NCHITTEST:
            return ScreenToClient(w, PointFromLParam(lp)).y < kCaption ? HTCAPTION : HTCLIENT;
        case WM_PAINT:
            Paint(w);
            ++painted_;
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            buttons_.push_back({m, PointFromLParam(lp)});
            return 0;
        default:
            return DefWindowProc(w, m, wp, lp);
        }
    }

    static void Paint(WindowHandle w) {
        PaintStruct ps;
        cairo_t* cr = BeginPaint(w, ps);
        const Rect client = GetClientRect(w);
        cairo_set_source_rgb(cr, 237 / 255.0, 240 / 255.0, 244 / 255.0);  // body
        cairo_paint(cr);
        cairo_set_source_rgb(cr, 0, 59 / 255.0, 118 / 255.0);  // caption band
        cairo_rectangle(cr, 0, 0, client.Width(), kCaption);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 217 / 255.0, 26 / 255.0, 26 / 255.0);  // a red square as a landmark
        cairo_rectangle(cr, 20, 60, 60, 60);
        cairo_fill(cr);
        PangoLayout* layout = pango_cairo_create_layout(cr);
        PangoFontDescription* font = pango_font_description_from_string("WenQuanYi Micro Hei 16px");
        pango_layout_set_font_description(layout, font);
        pango_layout_set_text(layout, "Mavrix 安装程序", -1);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_move_to(cr, 12, 8);
        pango_cairo_show_layout(cr, layout);
        pango_font_description_free(font);
        g_object_unref(layout);
        EndPaint(w, ps);
    }

    // Runs the message loop until done() holds or timeoutMs pass; a timer keeps it ticking.
    bool PumpUntil(const std::function<bool()>& done, std::int64_t timeoutMs) {
        const std::int64_t deadline = GetTickCount() + timeoutMs;
        SetTimer(window_, 99, 20);
        Message m;
        while (!done() && GetTickCount() < deadline) {
            if (GetMessage(m) <= 0) break;
            TranslateMessage(m);
            DispatchMessage(m);
        }
        KillTimer(window_, 99);
        return done();
    }
    void PumpFor(std::int64_t ms) {
        PumpUntil([] { return false; }, ms);
    }
    // Runs a tool while the window keeps handling its messages; true when it exited with 0.
    bool RunTool(const std::vector<std::string>& args) {
        const pid_t pid = Spawn(args);
        if (pid < 0) return false;
        int status = -1;
        bool reaped = false;
        const bool exited = PumpUntil([&] { return reaped || (reaped = waitpid(pid, &status, WNOHANG) == pid); }, 20000);
        if (!exited) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
        }
        return exited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    static std::uint32_t ScreenPixel(cairo_surface_t* shot, int x, int y) {
        const unsigned char* row = cairo_image_surface_get_data(shot) + y * cairo_image_surface_get_stride(shot);
        return reinterpret_cast<const std::uint32_t*>(row)[x] & 0xFFFFFF;
    }

    struct Button {
        unsigned message;
        Point at;
    };
    static inline Xvfb* xvfb_ = nullptr;
    WindowHandle window_;
    int painted_ = 0;
    std::vector<Button> buttons_;
};

TEST_F(XvfbEndToEndTest, ClickArrivesAsButtonMessagesAtClientCoordinates) {
    const Rect r = GetWindowRect(window_);
    EXPECT_EQ(r, (Rect{100, 80, 500, 380}));
    const Point screen{r.left + 150, r.top + 170};
    ASSERT_TRUE(RunTool({"xdotool", "mousemove", std::to_string(screen.x), std::to_string(screen.y), "click", "1"}));
    ASSERT_TRUE(PumpUntil([&] { return buttons_.size() >= 2; }, 3000));
    ASSERT_EQ(buttons_.size(), 2u);
    EXPECT_EQ(buttons_[0].message, WM_LBUTTONDOWN);
    EXPECT_EQ(buttons_[1].message, WM_LBUTTONUP);
    EXPECT_EQ(buttons_[0].at, (Point{150, 170}));
    EXPECT_EQ(buttons_[1].at, (Point{150, 170}));
    EXPECT_EQ(GetActiveWindow(), window_);
}

TEST_F(XvfbEndToEndTest, CaptionDragMovesTheWindowAndTheScreenShowsItsPainting) {
    const Rect before = GetWindowRect(window_);
    const int x = before.left + 200;
    const int y = before.top + 15;
    ASSERT_TRUE(RunTool({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "mousedown", "1", "sleep", "0.4",
                         "mousemove", std::to_string(x + 30), std::to_string(y + 20), "sleep", "0.2", "mousemove",
                         std::to_string(x + 70), std::to_string(y + 40), "sleep", "0.2", "mousemove",
                         std::to_string(x + 100), std::to_string(y + 60), "sleep", "0.4", "mouseup", "1"}));
    const Rect expected{before.left + 100, before.top + 60, before.right + 100, before.bottom + 60};
    EXPECT_TRUE(PumpUntil([&] { return GetWindowRect(window_) == expected; }, 3000))
        << "window at " << GetWindowRect(window_).left << "," << GetWindowRect(window_).top;
    EXPECT_TRUE(buttons_.empty()) << "a caption press must not reach the client as a button";
    PumpFor(300);

    const std::string shot = (std::filesystem::current_path() / "xvfb-window.png").string();
    std::filesystem::remove(shot);
    ASSERT_TRUE(RunTool({"import", "-display", xvfb_->display(), "-window", "root", shot}));
    std::cout << "screenshot: " << shot << std::endl;
    cairo_surface_t* image = cairo_image_surface_create_from_png(shot.c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(image), 800);
    const Rect now = GetWindowRect(window_);
    // The painting shows where the window now is, and nothing is left where it was.
    EXPECT_EQ(ScreenPixel(image, now.left + 300, now.top + 30), 0x003B76u);  // caption band
    EXPECT_EQ(ScreenPixel(image, now.left + 50, now.top + 90), 0xD91A1Au);   // red square
    EXPECT_EQ(ScreenPixel(image, now.left + 300, now.top + 250), 0xEDF0F4u); // body
    EXPECT_NE(ScreenPixel(image, before.left + 5, before.top + 5), 0x003B76u);
    cairo_surface_destroy(image);
}

}  // namespace
}  // namespace platform::ui::testing
