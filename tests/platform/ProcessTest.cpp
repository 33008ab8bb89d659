#include "platform/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/FileDescriptor.h"

namespace platform {
namespace {

const std::string kChild = MAVRIX_TEST_CHILD;

std::string ReadToEnd(const FileDescriptor& fd) {
    std::string all;
    char buffer[4096];
    for (;;) {
        const auto n = fd.Read(buffer, sizeof buffer);
        if (!n || *n == 0) return all;
        all.append(buffer, *n);
    }
}

Pipe MakePipe() {
    auto pipe = CreatePipe();
    if (!pipe) ADD_FAILURE() << pipe.error().Message();
    return pipe ? std::move(*pipe) : Pipe{};
}

struct Finished {
    std::string output;
    int exitCode;
};

// Runs the child with its standard output on a pipe (and the given other streams), reads
// the output to the end and waits for it.
Finished RunChild(const std::vector<std::string>& arguments, ChildStreams streams = {}) {
    Pipe out = MakePipe();
    streams.output = out.writeEnd.Get();
    auto process = Process::Spawn(arguments, streams);
    EXPECT_TRUE(process) << process.error().Message();
    if (!process) return {};
    out.writeEnd.Close();
    Finished finished{ReadToEnd(out.readEnd), -1};
    finished.exitCode = process->Wait().value_or(-1);
    return finished;
}

TEST(Process, ReportsOutputAndExitCode) {
    const Finished finished = RunChild({kChild, "write", "hello child", "3"});
    EXPECT_EQ(finished.output, "hello child");
    EXPECT_EQ(finished.exitCode, 3);
}

TEST(Process, SearchesPathOnlyForNamesWithoutSlash) {
    EXPECT_EQ(RunChild({"sh", "-c", "echo from-path; exit 5"}).exitCode, 5);

    // A relative name with a slash is taken from the current folder, not from PATH.
    auto process = Process::Spawn({"./sh"}, {});
    ASSERT_FALSE(process);
    EXPECT_EQ(process.error().code, ENOENT);
}

TEST(Process, StillActiveUntilKilledThenSignalCode) {
    auto process = Process::Spawn({kChild, "silent", "60000", "0"}, {});
    ASSERT_TRUE(process);
    EXPECT_EQ(process->ExitCode().value_or(-1), kStillActive);
    ASSERT_TRUE(process->Kill());
    EXPECT_EQ(process->Wait().value_or(-1), 128 + SIGKILL);
    EXPECT_EQ(process->ExitCode().value_or(-1), 128 + SIGKILL);  // kept after reaping
    EXPECT_TRUE(process->Kill());                                // no signal to a reaped id
}

TEST(Process, ProgramsThatCannotStartAreErrors) {
    const std::filesystem::path folder = testing::TempDir();
    const std::filesystem::path plainFile = folder / "mavrix-not-executable";
    std::ofstream(plainFile) << "#!/bin/sh\nexit 0\n";
    std::filesystem::permissions(plainFile, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

    struct Case { std::vector<std::string> arguments; int error; };
    const Case cases[] = {
        {{"/nonexistent/mavrix-program", "x"}, ENOENT},
        {{"mavrix-no-such-program-anywhere"}, ENOENT},
        {{""}, ENOENT},
        {{}, ENOENT},
        {{plainFile.string()}, EACCES},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "<none>" : c.arguments[0]);
        auto process = Process::Spawn(c.arguments, {});
        ASSERT_FALSE(process);
        EXPECT_EQ(process.error().code, c.error);
    }
    std::filesystem::remove(plainFile);
}

TEST(Process, ChildSeesOnlyItsStandardDescriptors) {
    // One descriptor of ours without close-on-exec, as a careless library might leave it.
    const int careless = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(careless, 3);
    Pipe input = MakePipe();

    const Finished finished = RunChild({kChild, "list-fds"}, {input.readEnd.Get(), -1, -1});
    ::close(careless);
    EXPECT_EQ(finished.output, "0\n1\n2\n");
    EXPECT_EQ(finished.exitCode, 0);
}

TEST(Process, PipesAreCloseOnExec) {
    Pipe pipe = MakePipe();
    EXPECT_TRUE(::fcntl(pipe.readEnd.Get(), F_GETFD) & FD_CLOEXEC);
    EXPECT_TRUE(::fcntl(pipe.writeEnd.Get(), F_GETFD) & FD_CLOEXEC);
}

TEST(Process, InputReachesTheChildAndMissingStreamsAreDevNull) {
    Pipe input = MakePipe();
    ASSERT_TRUE(input.writeEnd.WriteAll("through stdin"));
    input.writeEnd.Close();
    EXPECT_EQ(RunChild({kChild, "copy-stdin"}, {input.readEnd.Get(), -1, -1}).output, "through stdin");

    // No input stream: the child reads the end at once. No error stream: writing there works.
    const Finished fromNull = RunChild({kChild, "copy-stdin"});
    EXPECT_EQ(fromNull.output, "");
    EXPECT_EQ(fromNull.exitCode, 0);
    const Finished flood = RunChild({kChild, "flood-stderr", "1000000", "done"});
    EXPECT_EQ(flood.output, "done");
    EXPECT_EQ(flood.exitCode, 0);
}

// A parent started with closed standard streams gets its pipes at 0, 1 or 2; setting up the
// child's streams in turn must not overwrite one source before it is copied.
TEST(Process, StreamsFromLowDescriptorsStayApart) {
    const int savedStdin = ::dup(0);
    ASSERT_GE(savedStdin, 0);
    Pipe out = MakePipe();
    ASSERT_EQ(::dup2(out.writeEnd.Get(), 0), 0);  // the output pipe's write end now sits at 0
    out.writeEnd.Close();
    Pipe input = MakePipe();

    auto process = Process::Spawn({kChild, "write", "kept apart", "0"}, {input.readEnd.Get(), 0, -1});
    ::dup2(savedStdin, 0);
    ::close(savedStdin);
    ASSERT_TRUE(process);
    EXPECT_EQ(ReadToEnd(out.readEnd), "kept apart");
    EXPECT_EQ(process->Wait().value_or(-1), 0);
}

}  // namespace
}  // namespace platform
