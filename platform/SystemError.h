#pragma once
// An operating-system error number with its text: what a failed platform call returns.
#include <cerrno>
#include <string>

namespace platform {

struct SystemError {
    int code = 0;  // errno value

    std::string Message() const;
    static SystemError FromErrno() { return SystemError{errno}; }
};

}  // namespace platform
