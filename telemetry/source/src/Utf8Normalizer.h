#pragma once
// Every text entering an event goes through here: valid UTF-8 stays as it is, anything
// else is taken to be in the system's code page and converted.
#include <string>

namespace varno::telemetry {

std::string NormalizeUtf8(const std::string& text);
// The same with an explicit code page (0: the system's).
std::string NormalizeUtf8(const std::string& text, unsigned codePage);

}  // namespace varno::telemetry
