#pragma once
// The one exception of the tracker: every rejected record, value or setting throws it, and
// TelemetryTrackerWrapper swallows it before it can reach the installer.
#include <stdexcept>
#include <string>
#include <string_view>

namespace varno::telemetry {

class VnException : public std::exception {
public:
    VnException(std::string unit, std::string function, int line, std::string message)
        : unit_(std::move(unit)), function_(std::move(function)), line_(line), message_(std::move(message)) {}

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& unit() const { return unit_; }
    const std::string& function() const { return function_; }
    int line() const { return line_; }
    int code() const { return code_; }
    int subCode() const { return subCode_; }

private:
    std::string unit_;
    std::string function_;
    int line_;
    int code_ = -1;
    int subCode_ = -1;
    std::string message_;
};

// "NativeUserTracker" for ".../NativeUserTracker.cpp": the unit named in exceptions.
inline std::string SourceUnit(std::string_view file) {
    const auto slash = file.find_last_of('/');
    if (slash != std::string_view::npos) file.remove_prefix(slash + 1);
    return std::string(file.substr(0, file.find('.')));
}

}  // namespace varno::telemetry

// Throws a VnException naming this source file, the given operation and this line.
#define VN_THROW(function, message) \
    throw ::varno::telemetry::VnException(::varno::telemetry::SourceUnit(__FILE__), (function), __LINE__, (message))
