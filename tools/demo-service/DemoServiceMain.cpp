// mavrix-demo-service: serves a folder of packages on 127.0.0.1 the way the installer expects
// its download service to behave, until Ctrl-C.
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <thread>

#include "tools/demo-service/DemoServer.h"

namespace {

constexpr char kUsage[] =
    "usage: mavrix-demo-service --root <folder> [--port N] [--host 127.0.0.1] [--package FILE]\n"
    "  --port     0 (the default) picks a free port\n"
    "  --package  the package that /software/243 leads to (default: the newest file in the folder)\n";

struct Options {
    std::string root;
    std::string host = "127.0.0.1";
    std::string package;
    int port = 0;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string_view name = argv[i];
        const std::string value = argv[i + 1];
        if (name == "--root") options.root = value;
        else if (name == "--host") options.host = value;
        else if (name == "--package") options.package = value;
        else if (name == "--port") {
            char* end = nullptr;
            const long port = std::strtol(value.c_str(), &end, 10);
            if (*end != '\0' || port < 0 || port > 65535) return false;
            options.port = static_cast<int>(port);
        } else return false;
    }
    return argc % 2 == 1 && !options.root.empty();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    auto catalog = DemoService::PackageCatalog::Scan(options.root, options.package);
    if (!catalog) {
        std::fprintf(stderr, "mavrix-demo-service: %s\n", catalog.error().c_str());
        return 1;
    }
    // The signals are taken by one waiting thread, so that stopping happens outside a
    // signal handler; every thread started later inherits the blocked mask.
    sigset_t signals;
    sigemptyset(&signals);
    for (int signal : {SIGINT, SIGTERM, SIGUSR1}) sigaddset(&signals, signal);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    DemoService::DemoServer server(*catalog, stdout);
    const auto port = server.Bind(options.host, options.port);
    if (!port) {
        std::fprintf(stderr, "mavrix-demo-service: %s\n", port.error().c_str());
        return 1;
    }
    const std::string authority = (options.host.find(':') != std::string::npos ? "[" + options.host + "]" : options.host) +
                                  ":" + std::to_string(*port);
    std::printf("Serving http://%s%s\n", authority.c_str(), DemoService::kProductPath);
    for (const auto& package : catalog->All()) {
        std::printf("  %s/%s/%s (%llu bytes)%s\n", authority.c_str(), package.md5.c_str(), package.name.c_str(),
                    static_cast<unsigned long long>(package.size),
                    &package == &catalog->Current() ? " <- /software/243" : "");
    }
    std::fflush(stdout);

    std::thread waiter([&] {
        int received = 0;
        sigwait(&signals, &received);
        if (received != SIGUSR1) std::printf("Stopping (%s)\n", received == SIGINT ? "SIGINT" : "SIGTERM");
        std::fflush(stdout);
        server.Stop();
    });
    server.Run();
    // Wakes the waiter when the server ended by itself.
    pthread_kill(waiter.native_handle(), SIGUSR1);
    waiter.join();
    return 0;
}
