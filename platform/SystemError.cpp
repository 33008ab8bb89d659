#include "platform/SystemError.h"

#include <cstring>

namespace platform {

std::string SystemError::Message() const {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in our buffer.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? std::string(text) : std::string("error ") + std::to_string(code);
}

}  // namespace platform
