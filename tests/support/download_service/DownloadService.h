#pragma once
// A download service on 127.0.0.1 for the download tests: serves one generated file behind
// the product address (which redirects to "/<md5>/<file name>") with full, resumed and
// ranged GETs, and misbehaves when a test asks it to. It listens on its own thread; every
// member function may be called from any thread.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace testsupport {

// What the service gets wrong. The defaults serve correctly.
struct ServiceFaults {
    int headStatus = 0;             // answer HEAD with this status instead of the file's headers
    int getStatus = 0;              // answer a faulty GET with this status and no body
    bool noContentLength = false;   // HEAD and GET leave the length out
    int64_t dropAfter = -1;         // a faulty GET closes the connection after this many bytes
    int64_t stallAfter = -1;        // a faulty GET sends this many bytes, then nothing
    bool trickle = false;           // a faulty GET sends one byte every 1.5 seconds
    bool ignoreRange = false;       // a faulty ranged GET gets 200 and the whole file
    int64_t excessBytes = 0;        // a faulty GET gets this many bytes beyond what it asked for
    bool wrongBytes = false;        // a faulty GET gets the complement of every byte of the file
    bool redirectLoop = false;      // the product address redirects back to itself forever
    // Which GETs are faulty: the first faultyGets of those whose range starts from faultFrom
    // to faultTo (every such GET when faultyGets is negative).
    int faultyGets = -1;
    int64_t faultFrom = 0;
    int64_t faultTo = INT64_MAX;
};

struct ServiceOptions {
    int64_t size = 2 * 1048576;
    std::string fileName = "package.exe";
    std::string md5Folder;         // folder of the final address; empty: the content's MD5
    bool upperCaseMd5 = false;     // that MD5 in capitals
    int redirects = 2;             // hops from the product address to the final address (1 or 2)
    std::string certificateFile;   // PEM files; when both are set the service speaks HTTPS
    std::string keyFile;
};

struct ServedRequest {
    std::string method;
    std::string path;
    std::string range;  // the Range header as sent, empty when none
};

class DownloadService {
public:
    explicit DownloadService(ServiceOptions options);
    explicit DownloadService(int64_t size) : DownloadService(WithSize(size)) {}
    static ServiceOptions WithSize(int64_t size) {
        ServiceOptions options;
        options.size = size;
        return options;
    }
    ~DownloadService();
    DownloadService(const DownloadService&) = delete;
    DownloadService& operator=(const DownloadService&) = delete;

    std::string ProductUrl() const;  // "<scheme>://127.0.0.1:<port>/software/243"
    std::string FileUrl() const;     // the final address the product address redirects to
    // The content's MD5 in lower case; empty when the options gave the address's folder.
    const std::string& Md5() const { return md5_; }
    int64_t Size() const { return options_.size; }

    void SetFaults(const ServiceFaults& faults);
    // GETs of the file take these faults one by one (faultyGets and faultFrom are not
    // looked at), and are served correctly once the list is used up.
    void SetFaultSequence(std::vector<ServiceFaults> sequence);
    std::vector<ServedRequest> Requests() const;
    size_t CountRequests(const std::string& method) const;

    // The content is a fixed pseudo-random byte sequence, so misplaced bytes show.
    static void FillContent(int64_t offset, char* out, size_t count);
    static std::string Content(int64_t offset, size_t count);
    // True when the file at path holds exactly the service's content.
    bool FileMatches(const std::string& path) const;

private:
    void HandleProduct(const httplib::Request& request, httplib::Response& response);
    void HandleLoop(const httplib::Request& request, httplib::Response& response);
    void HandleFile(const httplib::Request& request, httplib::Response& response);
    void Record(const httplib::Request& request);
    // The faults for the next GET of the file that starts at `first`; none: serve it right.
    std::optional<ServiceFaults> FaultsForGet(int64_t first);
    // Waits up to the given time; false when the service is stopping.
    bool Pause(std::chrono::milliseconds duration);

    ServiceOptions options_;
    std::string md5_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::thread listener_;

    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    ServiceFaults faults_;
    int faultyGetsServed_ = 0;
    std::vector<ServiceFaults> sequence_;
    size_t sequenceServed_ = 0;
    std::vector<ServedRequest> requests_;
};

}  // namespace testsupport
