#pragma once
// Runs the tools under test as real child processes and collects what they print.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <optional>
#include <string>
#include <vector>

#include "platform/Process.h"

namespace testsupport {

inline std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    if (start < text.size()) lines.push_back(text.substr(start));
    return lines;
}

// A started tool whose standard output (and standard error, merged) the test reads.
class RunningTool {
public:
    explicit RunningTool(const std::vector<std::string>& arguments) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        auto process = platform::Process::Spawn(arguments, {-1, fds[1], fds[1]});
        ::close(fds[1]);
        read_ = fds[0];
        if (process) process_.emplace(std::move(*process));
    }
    ~RunningTool() {
        if (process_ && process_->ExitCode().value_or(0) == platform::kStillActive) (void)process_->Kill();
        if (process_) (void)process_->Wait();
        if (read_ >= 0) ::close(read_);
    }
    RunningTool(const RunningTool&) = delete;
    RunningTool& operator=(const RunningTool&) = delete;

    bool Started() const { return process_.has_value(); }

    // The next line without its line feed; nullopt at the end of the output.
    std::optional<std::string> ReadLine() {
        while (true) {
            if (const size_t end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            char chunk[4096];
            const ssize_t got = ::read(read_, chunk, sizeof chunk);
            if (got <= 0) return std::nullopt;
            buffer_.append(chunk, static_cast<size_t>(got));
        }
    }

    std::string ReadRest() {
        std::string all = buffer_;
        buffer_.clear();
        char chunk[4096];
        for (ssize_t got; (got = ::read(read_, chunk, sizeof chunk)) > 0;) all.append(chunk, static_cast<size_t>(got));
        return all;
    }

    void Signal(int signal) { ::kill(process_->Id(), signal); }
    int Wait() { return process_->Wait().value_or(-1); }

private:
    std::optional<platform::Process> process_;
    int read_ = -1;
    std::string buffer_;
};

struct ToolResult {
    int exitCode = -1;
    std::string output;
    std::vector<std::string> Lines() const { return SplitLines(output); }
};

inline ToolResult RunTool(const std::vector<std::string>& arguments) {
    RunningTool tool(arguments);
    if (!tool.Started()) return {};
    ToolResult result;
    result.output = tool.ReadRest();
    result.exitCode = tool.Wait();
    return result;
}

}  // namespace testsupport
