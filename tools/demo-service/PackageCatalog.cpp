#include "tools/demo-service/PackageCatalog.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/SystemProbes.h"

namespace DemoService {
namespace {

namespace fs = std::filesystem;

platform::Expected<std::string, std::string> FileMd5(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return platform::MakeUnexpected("cannot read " + path.string());
    platform::Md5 md5;
    std::vector<char> buffer(1 << 16);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        md5.Update(buffer.data(), static_cast<size_t>(in.gcount()));
    }
    if (!in.eof()) return platform::MakeUnexpected("cannot read " + path.string());
    return md5.FinishHex();
}

}  // namespace

platform::Expected<PackageCatalog, std::string> PackageCatalog::Scan(const std::string& root, const std::string& chosen) {
    PackageCatalog catalog;
    std::error_code error;
    fs::file_time_type newest = fs::file_time_type::min();
    for (const auto& item : fs::directory_iterator(root, error)) {
        const std::string name = item.path().filename().string();
        if (!item.is_regular_file(error) || name.starts_with(".") || name.ends_with(".part")) continue;
        auto md5 = FileMd5(item.path());
        if (!md5) return platform::MakeUnexpected(md5.error());
        const auto modified = item.last_write_time(error);
        const bool isChosen = chosen.empty() ? modified > newest : name == chosen;
        if (isChosen) {
            newest = modified;
            catalog.current_ = catalog.packages_.size();
        }
        catalog.packages_.push_back({name, item.path().string(), *md5, static_cast<uint64_t>(item.file_size(error))});
    }
    if (error) return platform::MakeUnexpected("cannot read the folder " + root + ": " + error.message());
    if (catalog.packages_.empty()) return platform::MakeUnexpected("no package in " + root);
    if (!chosen.empty() && catalog.packages_[catalog.current_].name != chosen) {
        return platform::MakeUnexpected("no package named " + chosen + " in " + root);
    }
    return catalog;
}

const ServedPackage* PackageCatalog::Find(const std::string& md5, const std::string& name) const {
    for (const auto& package : packages_) {
        if (package.md5 == md5 && package.name == name) return &package;
    }
    return nullptr;
}

}  // namespace DemoService
