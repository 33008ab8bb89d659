#pragma once
// The demo download service: the product address "/software/243" redirects to
// "/<md5>/<file name>" of the current package, which is served with its length for HEAD,
// whole, resumed or in ranges. One line per request goes to the log stream.
#include <cstdio>
#include <memory>
#include <string>

#include "platform/Expected.h"
#include "tools/demo-service/PackageCatalog.h"

namespace httplib {
class Server;
}

namespace DemoService {

inline constexpr char kProductPath[] = "/software/243";

class DemoServer {
public:
    DemoServer(PackageCatalog catalog, std::FILE* log);
    ~DemoServer();

    // Binds to a loopback address; port 0 picks a free one. Gives the bound port.
    platform::Expected<int, std::string> Bind(const std::string& host, int port);
    // Serves until Stop; runs on the calling thread.
    void Run();
    // Safe from any thread.
    void Stop();

private:
    void AddRoutes();

    PackageCatalog catalog_;
    std::FILE* log_;
    std::unique_ptr<httplib::Server> server_;
    std::string authority_;  // host:port, for redirects to clients that send no Host
};

// True for the names of this machine's loopback interface.
bool IsLoopbackHost(const std::string& host);

}  // namespace DemoService
