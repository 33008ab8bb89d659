#pragma once
// Bytes linked into the executable at build time (cmake's mavrix_add_resource), looked up
// by type and id as the installer looks up its module resources.
#include <cstddef>
#include <span>
#include <string_view>

namespace platform {

// Called by the generated registrars during static initialisation; returns true.
bool RegisterResource(std::string_view type, int id, const unsigned char* data, size_t size);

// The resource's bytes, or an empty span when none is linked in.
std::span<const unsigned char> FindResource(std::string_view type, int id);

}  // namespace platform
