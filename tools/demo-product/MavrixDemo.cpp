// The demo product, "Mavrix.exe": shows that it is the installed Mavrix and which version.
// With a display it opens a small window; without one it prints a line.
#include <gtk/gtk.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

std::string InstallFolder() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return "?";
    std::string folder(path, static_cast<size_t>(length));
    return folder.substr(0, folder.rfind('/'));
}

void ShowWindow(const std::string& text) {
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), "Mavrix " MAVRIX_DEMO_VERSION);
    gtk_window_set_default_size(GTK_WINDOW(window), 360, 140);
    GtkWidget* label = gtk_label_new(text.c_str());
    gtk_label_set_selectable(GTK_LABEL(label), TRUE);
    gtk_container_add(GTK_CONTAINER(window), label);
    g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string text = "Mavrix " MAVRIX_DEMO_VERSION " is installed in " + InstallFolder();
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
    if (gtk_init_check(&argc, &argv)) ShowWindow(text);
    return 0;
}
