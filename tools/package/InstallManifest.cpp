#include "tools/package/InstallManifest.h"

#include <algorithm>

#include "platform/FileIo.h"
#include "tools/package/EntryNames.h"

namespace Package {
namespace {

constexpr std::string_view kHeader = "# Mavrix install manifest 1";

void AddOnce(std::vector<std::string>& list, std::string_view item) {
    if (std::find(list.begin(), list.end(), item) == list.end()) list.emplace_back(item);
}

std::string ManifestPath(const std::string& folder) { return folder + "/" + kManifestName; }

}  // namespace

void InstallManifest::AddFile(std::string_view relative) { AddOnce(files_, relative); }
void InstallManifest::AddFolder(std::string_view relative) { AddOnce(folders_, relative); }
void InstallManifest::AddEntry(std::string_view fullPath) { AddOnce(entries_, fullPath); }

void InstallManifest::Merge(const InstallManifest& earlier) {
    for (const auto& file : earlier.files_) AddFile(file);
    for (const auto& folder : earlier.folders_) AddFolder(folder);
    for (const auto& entry : earlier.entries_) AddEntry(entry);
}

std::string InstallManifest::ToText() const {
    std::string text(kHeader);
    text += '\n';
    for (const auto& folder : folders_) text += "D " + folder + "\n";
    for (const auto& file : files_) text += "F " + file + "\n";
    for (const auto& entry : entries_) text += "E " + entry + "\n";
    return text;
}

InstallManifest InstallManifest::FromText(std::string_view text) {
    InstallManifest manifest;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (line.size() < 3 || line[1] != ' ') continue;
        const std::string_view value = line.substr(2);
        if (line[0] == 'E') {
            if (value.front() == '/' && value.find("/../") == std::string_view::npos && value.ends_with(".desktop")) {
                manifest.AddEntry(value);
            }
            continue;
        }
        const auto name = NormaliseEntryName(value);
        if (!name) continue;
        if (line[0] == 'F') manifest.AddFile(*name);
        else if (line[0] == 'D') manifest.AddFolder(*name);
    }
    return manifest;
}

platform::Status<std::string> InstallManifest::Save(const std::string& folder) const {
    const auto written = platform::WriteFileAtomically(ManifestPath(folder), ToText());
    if (!written) return platform::MakeUnexpected("cannot write the install manifest: " + written.error().Message());
    return {};
}

platform::Expected<InstallManifest, std::string> InstallManifest::Load(const std::string& folder) {
    const auto text = platform::ReadWholeFile(ManifestPath(folder));
    if (!text) return platform::MakeUnexpected("no Mavrix installation in " + folder + " (" + text.error().Message() + ")");
    return FromText(*text);
}

}  // namespace Package
