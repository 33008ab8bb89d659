// Downloads a 512 MiB package from nginx on 127.0.0.1 with the single-stream and the
// segmented downloader and, in the same run and alternating with them, with "curl -o" and
// "aria2c -x2 -s2". Each client is its own process, so that its CPU time and peak memory
// are its own. Prints throughput, CPU seconds per GiB, peak RSS and the ratios.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "src/download/CCurlDownloader.h"
#include "src/download/CMTCurlDownloader.h"
#include "src/utils/SystemProbes.h"

namespace {

constexpr int64_t kFileSize = 512LL * 1048576;
namespace fs = std::filesystem;

// Child mode: one download with one of our downloaders; exit status 0 on success.
int RunClient(const std::string& kind, const std::string& url, const std::string& path) {
    curl_global_init(CURL_GLOBAL_ALL);
    std::mutex mutex;
    std::condition_variable ended;
    int final = 0;
    auto status = [&](int32_t code, double, const std::wstring&) {
        if (code != DL_CODE_SUCCESS && code != DL_CODE_FAIL && code != DL_CODE_RETRY) return;
        std::lock_guard lock(mutex);
        final = code;
        ended.notify_all();
    };
    const std::wstring wideUrl(url.begin(), url.end());
    const std::wstring widePath(path.begin(), path.end());
    std::unique_ptr<CDownloader> downloader;
    if (kind == "segmented") {
        downloader = std::make_unique<CMTCurlDownloader>(status, wideUrl, widePath);
    } else {
        downloader = std::make_unique<CCurlDownloader>(status, wideUrl, widePath);
    }
    downloader->Start();
    std::unique_lock lock(mutex);
    ended.wait(lock, [&] { return final != 0; });
    lock.unlock();
    downloader.reset();
    curl_global_cleanup();
    return final == DL_CODE_SUCCESS ? 0 : 1;
}

int FreeLoopbackPort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    close(s);
    return ntohs(address.sin_port);
}

bool Accepts(int port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    return ok;
}

pid_t Spawn(const std::vector<std::string>& arguments, bool quiet) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (quiet) {
            freopen("/dev/null", "w", stdout);
            freopen("/dev/null", "w", stderr);
        }
        std::vector<char*> argv;
        for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

struct Sample {
    double seconds = 0;
    double cpuSeconds = 0;
    double peakRssMiB = 0;
    bool ok = false;
};

Sample Measure(const std::vector<std::string>& arguments, const std::string& output) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn(arguments, true);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Sample sample;
    sample.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    sample.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                        usage.ru_stime.tv_usec / 1e6;
    sample.peakRssMiB = usage.ru_maxrss / 1024.0;
    std::error_code error;
    sample.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
                static_cast<int64_t>(fs::file_size(output, error)) == kFileSize;
    fs::remove(output, error);
    return sample;
}

std::string WritePackage(const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path staging = folder / "package.exe";
    std::ofstream file(staging, std::ios::binary);
    std::mt19937_64 random(243);
    std::vector<uint64_t> block(131072);
    for (int64_t written = 0; written < kFileSize; written += block.size() * 8) {
        for (auto& word : block) word = random();
        file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 8));
    }
    file.close();
    const std::string md5 = GetFileMd5(staging.string());
    fs::create_directories(folder / md5);
    fs::rename(staging, folder / md5 / "package.exe");
    return md5;
}

void WriteNginxConfig(const fs::path& prefix, int port, const std::string& md5) {
    std::ofstream conf(prefix / "nginx.conf");
    conf << "worker_processes 1;\n"
         << "pid " << (prefix / "nginx.pid").string() << ";\n"
         << "error_log " << (prefix / "error.log").string() << ";\n"
         << "events { worker_connections 64; }\n"
         << "http {\n"
         << "  access_log off;\n  sendfile on;\n  keepalive_timeout 30;\n"
         << "  client_body_temp_path " << (prefix / "tmp").string() << ";\n"
         << "  proxy_temp_path " << (prefix / "tmp").string() << ";\n"
         << "  fastcgi_temp_path " << (prefix / "tmp").string() << ";\n"
         << "  uwsgi_temp_path " << (prefix / "tmp").string() << ";\n"
         << "  scgi_temp_path " << (prefix / "tmp").string() << ";\n"
         << "  types { application/octet-stream exe; }\n"
         << "  server {\n    listen 127.0.0.1:" << port << ";\n"
         << "    root " << (prefix / "www").string() << ";\n"
         << "    location = /software/243 { return 302 /" << md5 << "/package.exe; }\n"
         << "  }\n}\n";
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::string(argv[1]) == "--client") return RunClient(argv[2], argv[3], argv[4]);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string self = fs::canonical("/proc/self/exe").string();

    // In memory, so that the disk's write-back does not decide the figures.
    char pattern[] = "/dev/shm/mavrix-download-bench-XXXXXX";
    const fs::path prefix = mkdtemp(pattern);
    fs::create_directories(prefix / "tmp");
    fs::create_directories(prefix / "out");
    fs::permissions(prefix, fs::perms::all);
    std::printf("writing the %lld MiB package...\n", static_cast<long long>(kFileSize / 1048576));
    const std::string md5 = WritePackage(prefix / "www");
    fs::permissions(prefix / "www", fs::perms::all, fs::perm_options::add);
    const int port = FreeLoopbackPort();
    WriteNginxConfig(prefix, port, md5);
    const pid_t nginx = Spawn({"nginx", "-p", prefix.string(), "-c", (prefix / "nginx.conf").string(), "-g",
                               "daemon off;"},
                              false);
    for (int i = 0; i < 100 && !Accepts(port); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!Accepts(port)) {
        std::fprintf(stderr, "nginx did not start (see %s/error.log)\n", prefix.c_str());
        kill(nginx, SIGTERM);
        return 1;
    }

    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    const std::string productUrl = base + "/software/243";
    const std::string fileUrl = base + "/" + md5 + "/package.exe";
    // The same file under a folder that is no MD5: the downloaders skip the check, which
    // makes them comparable with the tools, which check nothing.
    fs::create_directories(prefix / "www" / "files");
    fs::create_hard_link(prefix / "www" / md5 / "package.exe", prefix / "www" / "files" / "package.exe");
    const std::string uncheckedUrl = base + "/files/package.exe";
    const std::string out = (prefix / "out" / "package.exe").string();
    struct Client {
        std::string name;
        std::vector<std::string> command;
    };
    const std::vector<Client> clients = {
        {"CCurlDownloader", {self, "--client", "single", productUrl, out}},
        {"CMTCurlDownloader", {self, "--client", "segmented", productUrl, out}},
        {"CCurlDownloader no MD5", {self, "--client", "single", uncheckedUrl, out}},
        {"CMTCurlDownloader no MD5", {self, "--client", "segmented", uncheckedUrl, out}},
        {"curl -o", {"curl", "-s", "-o", out, fileUrl}},
        {"aria2c -x2 -s2", {"aria2c", "-x2", "-s2", "-q", "--allow-overwrite=true", "-d",
                            (prefix / "out").string(), "-o", "package.exe", fileUrl}},
    };
    std::map<std::string, std::vector<Sample>> samples;
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < clients.size(); ++i) {
            const Client& client = clients[(i + round) % clients.size()];
            const Sample sample = Measure(client.command, out);
            std::printf("round %d  %-26s %6.2f s %s\n", round + 1, client.name.c_str(), sample.seconds,
                        sample.ok ? "" : "FAILED");
            samples[client.name].push_back(sample);
        }
    }
    kill(nginx, SIGTERM);
    waitpid(nginx, nullptr, 0);

    std::map<std::string, double> throughput;
    std::printf("\n%-26s %12s %14s %14s\n", "client", "MiB/s (med)", "CPU s/GiB", "peak RSS MiB");
    for (const auto& client : clients) {
        std::vector<double> speeds, cpu;
        double rss = 0;
        for (const auto& s : samples[client.name]) {
            speeds.push_back(kFileSize / 1048576.0 / s.seconds);
            cpu.push_back(s.cpuSeconds / (kFileSize / 1073741824.0));
            rss = std::max(rss, s.peakRssMiB);
        }
        throughput[client.name] = Median(speeds);
        std::printf("%-26s %12.1f %14.3f %14.1f\n", client.name.c_str(), Median(speeds), Median(cpu), rss);
    }
    for (const char* suffix : {"", " no MD5"}) {
        std::printf("\nCCurlDownloader%s / curl -o           throughput: %.3f\n", suffix,
                    throughput[std::string("CCurlDownloader") + suffix] / throughput["curl -o"]);
        std::printf("CMTCurlDownloader%s / aria2c -x2 -s2  throughput: %.3f\n", suffix,
                    throughput[std::string("CMTCurlDownloader") + suffix] / throughput["aria2c -x2 -s2"]);
    }
    fs::remove_all(prefix);
    return 0;
}
