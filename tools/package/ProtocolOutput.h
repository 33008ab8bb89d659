#pragma once
// The package's and the uninstaller's report on standard output: "Key=value" lines that the
// installer reads in chunks. Each line goes out in a single write, so that no reader ever
// sees a part of one of our lines without the rest.
#include <string_view>

namespace Package {

class ProtocolOutput {
public:
    explicit ProtocolOutput(int fd = 1) : fd_(fd) {}

    void Line(std::string_view key, std::string_view value);
    // "Progress=" with two decimals, only when the hundredth changes; 0 and 1 always go out.
    void Progress(double fraction);
    // "Error=" with the message, then "State=Fail".
    void Fail(std::string_view message);

private:
    int fd_;
    int lastHundredth_ = -1;
};

}  // namespace Package
