// A stand-in for a package or an uninstaller in the pipeline tests: it plays the script
// named by MAVRIX_SCRIPT and records its arguments in the file named by MAVRIX_SCRIPT_ARGS.
// Script lines:
//   out <text>     writes the text and a line feed in one write (\r, \n, \\ and \xHH escapes)
//   raw <text>     writes the text alone
//   sleep <ms>     pauses
//   flood <bytes>  writes that many bytes of "noise=..." lines
//   exit <code>    ends with the code
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

namespace {

void WriteAll(const std::string& text) {
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = write(STDOUT_FILENO, data, left);
        if (n <= 0) std::exit(3);
        data += n;
        left -= static_cast<size_t>(n);
    }
}

std::string Unescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'r') out += '\r';
        else if (c == 'n') out += '\n';
        else if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else out += c;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (const char* argsFile = std::getenv("MAVRIX_SCRIPT_ARGS")) {
        std::ofstream out(argsFile, std::ios::binary);
        for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
    }
    const char* scriptFile = std::getenv("MAVRIX_SCRIPT");
    if (!scriptFile) return 0;
    std::ifstream script(scriptFile);
    for (std::string line; std::getline(script, line);) {
        const size_t space = line.find(' ');
        const std::string verb = line.substr(0, space);
        const std::string argument = space == std::string::npos ? "" : line.substr(space + 1);
        if (verb == "out") WriteAll(Unescape(argument) + "\n");
        else if (verb == "raw") WriteAll(Unescape(argument));
        else if (verb == "sleep") std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(argument)));
        else if (verb == "flood") {
            const std::string noise = "noise=" + std::string(90, 'x') + "\n";
            for (long written = 0; written < std::stol(argument); written += static_cast<long>(noise.size())) {
                WriteAll(noise);
            }
        } else if (verb == "exit") return std::stoi(argument);
    }
    return 0;
}
