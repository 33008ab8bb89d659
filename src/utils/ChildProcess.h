#pragma once
// A hidden child program whose standard output the owner reads, and the exception that
// process and pipe failures throw. Used by the one worker thread that launched the child.
#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "platform/FileDescriptor.h"
#include "platform/Process.h"

namespace Utils {

// The failure of a pipe or a launch. The message is narrow, in the locale's character set.
class Exception : public std::exception {
public:
    explicit Exception(std::wstring_view message = {});
    const char* what() const noexcept override { return message_.c_str(); }

private:
    std::string message_;
};

// One anonymous pipe. Neither end is inherited by children: a child gets only the end that
// is handed to it as a standard stream.
class AnonymousPipe {
public:
    AnonymousPipe();  // throws Exception (empty message) when the pipe cannot be made

    int ReadEnd() const { return pipe_.readEnd.Get(); }  // -1 once closed
    int WriteEnd() const { return pipe_.writeEnd.Get(); }
    void CloseReadEnd() { pipe_.readEnd.Close(); }
    void CloseWriteEnd() { pipe_.writeEnd.Close(); }
    void Close();

    const platform::FileDescriptor& ReadDescriptor() const { return pipe_.readEnd; }

private:
    platform::Pipe pipe_;
};

class ChildProcess {
public:
    static constexpr int kStillActive = platform::kStillActive;  // 259
    static constexpr size_t kReadChunk = 1024;

    ChildProcess();  // makes the output and input pipes; throws Exception
    ~ChildProcess() { Close(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Splits the command line by the Windows quoting rules (its first token names the
    // program), converts the arguments to the locale's character set and starts the program
    // with the installer's environment and folder. Any length is accepted. The child's
    // standard output is our output pipe, its standard input our input pipe (never written,
    // kept open while it runs) and its standard error /dev/null, so a child that writes much
    // there never stalls. Throws Exception (empty message) when the program cannot be started.
    void Launch(std::wstring_view commandLine);

    // Blocks until the child writes or its end of the pipe closes (when it and everything that
    // inherited its output have exited); at most kReadChunk bytes as written. Empty at the end,
    // on failure and before a launch.
    std::string ReadOutput();

    // kStillActive while the child runs, then its exit status (128 + N after signal N);
    // -1 before a launch or when the query fails.
    int GetExitCode();
    // Waits without a time limit; the exit code as GetExitCode gives it afterwards.
    int Wait();
    // Lets go of the child (a running one keeps running) and closes every pipe end still open.
    void Close();

    const std::wstring& CommandLine() const { return commandLine_; }

private:
    std::wstring commandLine_;
    AnonymousPipe outputPipe_;
    AnonymousPipe inputPipe_;
    std::optional<platform::Process> process_;
};

}  // namespace Utils
