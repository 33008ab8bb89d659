#include "src/utils/ChildProcess.h"

#include <vector>

#include "platform/CommandLine.h"
#include "platform/Text.h"

namespace Utils {

Exception::Exception(std::wstring_view message) : message_(platform::WideToAnsi(message)) {}

AnonymousPipe::AnonymousPipe() {
    auto pipe = platform::CreatePipe();
    if (!pipe) throw Exception();
    pipe_ = std::move(*pipe);
}

void AnonymousPipe::Close() {
    pipe_.writeEnd.Close();
    pipe_.readEnd.Close();
}

// A pipe that cannot be made throws; the members made before it close their ends.
ChildProcess::ChildProcess() = default;

void ChildProcess::Launch(std::wstring_view commandLine) {
    commandLine_ = commandLine;
    std::vector<std::string> arguments;
    for (const std::wstring& argument : platform::SplitCommandLine(commandLine)) {
        arguments.push_back(platform::WideToAnsi(argument));
    }
    // Only one child is launched per object; a second launch would have no pipe ends to give.
    if (arguments.empty() || process_ || inputPipe_.ReadEnd() < 0 || outputPipe_.WriteEnd() < 0) throw Exception();

    const platform::ChildStreams streams{inputPipe_.ReadEnd(), outputPipe_.WriteEnd(), -1};
    auto process = platform::Process::Spawn(arguments, streams);
    if (!process) throw Exception();
    process_ = std::move(*process);

    // From now on only the child holds the write end, so the output reports its end when
    // the child has gone.
    outputPipe_.CloseWriteEnd();
    inputPipe_.CloseReadEnd();
}

std::string ChildProcess::ReadOutput() {
    if (!process_) return {};  // our own write end is still open: a read would never end
    std::string chunk(kReadChunk, '\0');
    const auto count = outputPipe_.ReadDescriptor().Read(chunk.data(), chunk.size());
    chunk.resize(count ? *count : 0);
    return chunk;
}

int ChildProcess::GetExitCode() {
    if (!process_) return -1;
    return process_->ExitCode().value_or(-1);
}

int ChildProcess::Wait() {
    if (!process_) return -1;
    return process_->Wait().value_or(-1);
}

void ChildProcess::Close() {
    process_.reset();
    outputPipe_.Close();
    inputPipe_.Close();
}

}  // namespace Utils
