#pragma once
// The packages the demo service offers: every regular file in its root folder, known by its
// MD5, and the one that the product address leads to (a chosen one, else the newest).
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Expected.h"

namespace DemoService {

struct ServedPackage {
    std::string name;  // file name, also the last part of its address
    std::string path;
    std::string md5;   // 32 lower-case hexadecimal digits
    uint64_t size = 0;
};

class PackageCatalog {
public:
    // `chosen` names the package for the product address; empty picks the newest file.
    static platform::Expected<PackageCatalog, std::string> Scan(const std::string& root, const std::string& chosen);

    const ServedPackage& Current() const { return packages_[current_]; }
    // The package at "/<md5>/<name>", or null.
    const ServedPackage* Find(const std::string& md5, const std::string& name) const;
    const std::vector<ServedPackage>& All() const { return packages_; }

private:
    std::vector<ServedPackage> packages_;
    size_t current_ = 0;
};

}  // namespace DemoService
