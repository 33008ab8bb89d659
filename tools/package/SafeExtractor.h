#pragma once
// Extracts a product archive into the current install folder and refuses every entry that
// could write outside it: absolute names, "..", links that point out, hard links and special
// files. It remembers what it created, so that a failed installation can be taken back.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Expected.h"

namespace Package {

class SafeExtractor {
public:
    // Called after each block of file data with the number of file bytes written so far.
    using ProgressFn = std::function<void(uint64_t bytesDone)>;

    // `folder` must exist; the extractor makes it the process's current folder, so that the
    // archive's names are resolved below it and nothing above it is consulted.
    explicit SafeExtractor(std::string folder) : folder_(std::move(folder)) {}

    // Stops at the first refused or unreadable entry; what was written until then stays
    // (see Rollback).
    platform::Status<std::string> Extract(std::string_view archive, const ProgressFn& progress);

    // Removes the files and the folders that Extract created, newest first.
    void Rollback();

    // Names relative to the folder, in the order they were made.
    const std::vector<std::string>& CreatedFiles() const { return files_; }
    const std::vector<std::string>& CreatedFolders() const { return folders_; }

private:
    void NoteMissingFolders(const std::string& name, bool isFolder);

    std::string folder_;
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
};

}  // namespace Package
