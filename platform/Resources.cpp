#include "platform/Resources.h"

#include <map>
#include <string>
#include <utility>

namespace platform {
namespace {

using ResourceTable = std::map<std::pair<std::string, int>, std::span<const unsigned char>>;

// A function-local table, so registrars in any translation unit find it constructed.
ResourceTable& Table() {
    static ResourceTable table;
    return table;
}

}  // namespace

bool RegisterResource(std::string_view type, int id, const unsigned char* data, size_t size) {
    Table()[{std::string(type), id}] = std::span<const unsigned char>(data, size);
    return true;
}

std::span<const unsigned char> FindResource(std::string_view type, int id) {
    auto it = Table().find({std::string(type), id});
    return it == Table().end() ? std::span<const unsigned char>() : it->second;
}

}  // namespace platform
