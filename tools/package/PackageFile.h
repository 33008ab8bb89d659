#pragma once
// The layout of a package program: the package stub's own bytes, then the product archive,
// then a short text of facts about the product, then a fixed-size trailer that locates both
// and carries their SHA-256, so that a damaged package is refused before anything is extracted.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Expected.h"

namespace Package {

// Facts about the product that the package reports and needs before extracting.
struct PackageInfo {
    std::string name;      // "Mavrix"
    std::string version;   // three numbers, "1.0.0"
    std::string exeName;   // the product's main program, relative to the install folder
    uint64_t bytes = 0;    // sum of the archive's file sizes, the measure of progress

    std::string ToText() const;
    static std::optional<PackageInfo> FromText(std::string_view text);
};

// True for "N.N.N" with decimal numbers.
bool IsThreePartVersion(std::string_view version);

// Appends the info text and the trailer to `fd`, whose bytes from `archiveOffset` to its end
// are the product archive.
platform::Status<std::string> FinishPackage(int fd, uint64_t archiveOffset, const PackageInfo& info);

// Wraps ready archive bytes into a package: the stub's bytes, then the archive, info and
// trailer. Used by tests that need packages with hand-made archives.
platform::Status<std::string> WritePackage(const std::string& stubPath, std::string_view archive,
                                           const PackageInfo& info, const std::string& outputPath);

// A package file mapped read-only, its checksum verified.
class PackageView {
public:
    static platform::Expected<PackageView, std::string> Open(const std::string& path);

    PackageView(PackageView&& other) noexcept;
    PackageView& operator=(PackageView&&) = delete;
    PackageView(const PackageView&) = delete;
    ~PackageView();

    std::string_view Archive() const { return archive_; }
    const PackageInfo& Info() const { return info_; }

private:
    PackageView(void* map, size_t size) : map_(map), size_(size) {}

    void* map_ = nullptr;
    size_t size_ = 0;
    std::string_view archive_;
    PackageInfo info_;
};

}  // namespace Package
