#pragma once
// What one installation put on the disk, kept in the install folder as "uninst.manifest" so
// that the uninstaller removes exactly that: files and folders relative to the install
// folder, and desktop or menu entries by their full paths.
#include <string>
#include <string_view>
#include <vector>

#include "platform/Expected.h"

namespace Package {

inline constexpr char kManifestName[] = "uninst.manifest";
inline constexpr char kUninstallerName[] = "uninst.exe";
inline constexpr char kUninstallerEntryName[] = "uninst.ep";

class InstallManifest {
public:
    void AddFile(std::string_view relative);
    void AddFolder(std::string_view relative);
    void AddEntry(std::string_view fullPath);
    // Keeps what an earlier installation into the same folder recorded, so that one
    // uninstall removes both.
    void Merge(const InstallManifest& earlier);

    const std::vector<std::string>& Files() const { return files_; }
    const std::vector<std::string>& Folders() const { return folders_; }
    const std::vector<std::string>& Entries() const { return entries_; }

    std::string ToText() const;
    // Lines that fail the entry-name rules are dropped, so a damaged or edited manifest can
    // never make the uninstaller leave the install folder.
    static InstallManifest FromText(std::string_view text);

    platform::Status<std::string> Save(const std::string& folder) const;
    static platform::Expected<InstallManifest, std::string> Load(const std::string& folder);

private:
    std::vector<std::string> files_;
    std::vector<std::string> folders_;
    std::vector<std::string> entries_;
};

}  // namespace Package
