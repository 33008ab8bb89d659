// The child program of the process tests. Usage: mavrix_test_child <mode> [arguments]
//   write <text> <code>          writes the text to stdout, exits with the code
//   write-bytes <count>          writes count bytes of a known pattern to stdout
//   silent <milliseconds> <code> writes nothing, exits after the pause with the code
//   flood-stderr <bytes> <text>  writes the bytes to stderr, then the text to stdout; a
//                                stderr that nobody drains stalls it, and after 20 s the
//                                alarm ends it with 128 + SIGALRM instead of a hang
//   list-fds                     writes its open descriptors, one per line
//   echo-args                    writes each later argument followed by a zero byte
//   copy-stdin                   copies stdin to stdout until the end
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n <= 0) std::exit(3);
        data += n;
        size -= static_cast<size_t>(n);
    }
}

void WriteAll(int fd, const std::string& text) { WriteAll(fd, text.data(), text.size()); }

int ListDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return 4;
    std::string out;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.' || std::atoi(entry->d_name) == dirfd(dir)) continue;
        out += entry->d_name;
        out += '\n';
    }
    closedir(dir);
    WriteAll(1, out);
    return 0;
}

int CopyStdin() {
    char buffer[4096];
    ssize_t n;
    while ((n = read(0, buffer, sizeof buffer)) > 0) WriteAll(1, buffer, static_cast<size_t>(n));
    return n == 0 ? 0 : 5;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "write" && argc == 4) {
        WriteAll(1, argv[2]);
        return std::atoi(argv[3]);
    }
    if (mode == "write-bytes" && argc == 3) {
        std::string bytes(std::strtoul(argv[2], nullptr, 10), '\0');
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>('a' + i % 26);
        WriteAll(1, bytes);
        return 0;
    }
    if (mode == "silent" && argc == 4) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(argv[2])));
        return std::atoi(argv[3]);
    }
    if (mode == "flood-stderr" && argc == 4) {
        alarm(20);
        const std::string block(64 * 1024, 'e');
        for (size_t left = std::strtoul(argv[2], nullptr, 10); left > 0;) {
            const size_t size = left < block.size() ? left : block.size();
            WriteAll(2, block.data(), size);
            left -= size;
        }
        WriteAll(1, argv[3]);
        return 0;
    }
    if (mode == "list-fds") return ListDescriptors();
    if (mode == "echo-args") {
        for (int i = 2; i < argc; ++i) WriteAll(1, argv[i], std::strlen(argv[i]) + 1);
        return 0;
    }
    if (mode == "copy-stdin") return CopyStdin();
    std::fprintf(stderr, "mavrix_test_child: unknown mode\n");
    return 2;
}
