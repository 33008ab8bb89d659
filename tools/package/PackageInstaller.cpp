#include "tools/package/PackageInstaller.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "platform/Paths.h"
#include "platform/Text.h"
#include "tools/package/InstallManifest.h"
#include "tools/package/PackageFile.h"
#include "tools/package/SafeExtractor.h"
#include "tools/package/ShortcutEntries.h"
#include "tools/package/SwitchLine.h"

namespace Package {
namespace {

namespace fs = std::filesystem;

// Share of the progress bar that extraction covers; the rest is the entries and the manifest.
constexpr double kExtractShare = 0.9;

using Result = platform::Status<std::string>;

std::string DefaultFolder(const std::string& productName) {
    return platform::WideToUtf8(platform::JoinPath(platform::ProgramFilesFolder(), platform::Utf8ToWide(productName)));
}

platform::Expected<std::string, std::string> PrepareFolder(const std::string& requested) {
    std::error_code error;
    const fs::path folder = fs::absolute(fs::path(requested), error).lexically_normal();
    if (error) return platform::MakeUnexpected("the install folder " + requested + " is unusable: " + error.message());
    fs::create_directories(folder, error);
    if (error) return platform::MakeUnexpected("cannot create the install folder " + folder.string() + ": " + error.message());
    const fs::path canonical = fs::canonical(folder, error);
    if (error) return platform::MakeUnexpected("cannot open the install folder " + folder.string() + ": " + error.message());
    return canonical.string();
}

// One installation in progress: what it made, so that a failure can take all of it back.
class Installation {
public:
    Installation(const PackageView& package, std::string folder, ProtocolOutput& out)
        : package_(package), folder_(std::move(folder)), extractor_(folder_), out_(out) {}

    Result Run(const InstallRequest& request);
    void Rollback();

private:
    Result Extract();
    Result PlaceUninstaller();
    Result MakeEntries(const InstallRequest& request);
    Result SaveManifest();
    std::string InFolder(const std::string& name) const { return folder_ + "/" + name; }

    const PackageView& package_;
    std::string folder_;
    SafeExtractor extractor_;
    ProtocolOutput& out_;
    std::vector<std::string> extraFiles_;  // made beside the archive's files
    std::vector<std::string> entries_;     // desktop and menu entries, full paths
};

Result Installation::Run(const InstallRequest& request) {
    if (auto extracted = Extract(); !extracted) return extracted;
    if (auto placed = PlaceUninstaller(); !placed) return placed;
    if (auto made = MakeEntries(request); !made) return made;
    return SaveManifest();
}

Result Installation::Extract() {
    const uint64_t total = std::max<uint64_t>(package_.Info().bytes, 1);
    auto extracted = extractor_.Extract(package_.Archive(), [&](uint64_t done) {
        out_.Progress(kExtractShare * static_cast<double>(std::min(done, total)) / static_cast<double>(total));
    });
    if (!extracted) return extracted;
    if (!platform::IsExecutableFile(platform::Utf8ToWide(InFolder(package_.Info().exeName)))) {
        return platform::MakeUnexpected("the package did not produce the program " + package_.Info().exeName);
    }
    return {};
}

Result Installation::PlaceUninstaller() {
    const std::string uninstaller = InFolder(kUninstallerName);
    if (!platform::IsExecutableFile(platform::Utf8ToWide(uninstaller))) {
        return platform::MakeUnexpected(std::string("the package carries no uninstaller"));
    }
    // The entry file is what the installer's records point at and what it copies and runs
    // to remove this version, so it is the uninstaller program itself.
    extraFiles_.push_back(kUninstallerEntryName);
    std::error_code error;
    fs::copy_file(uninstaller, InFolder(kUninstallerEntryName), fs::copy_options::overwrite_existing, error);
    if (error) return platform::MakeUnexpected("cannot write " + InFolder(kUninstallerEntryName) + ": " + error.message());
    return {};
}

Result Installation::MakeEntries(const InstallRequest& request) {
    const ShortcutTarget target{package_.Info().name, package_.Info().version, folder_, InFolder(package_.Info().exeName)};
    for (const auto& [wanted, folder] : {std::pair{request.desktopEntry, DesktopFolder()}, std::pair{request.menuEntry, MenuFolder()}}) {
        if (!wanted) continue;
        auto entry = WriteShortcut(folder, target);
        if (!entry) return platform::MakeUnexpected(entry.error());
        entries_.push_back(*entry);
    }
    out_.Progress(kExtractShare + (1.0 - kExtractShare) / 2);
    return {};
}

Result Installation::SaveManifest() {
    InstallManifest manifest;
    for (const auto& folder : extractor_.CreatedFolders()) manifest.AddFolder(folder);
    for (const auto& file : extractor_.CreatedFiles()) manifest.AddFile(file);
    for (const auto& file : extraFiles_) manifest.AddFile(file);
    for (const auto& entry : entries_) manifest.AddEntry(entry);
    if (auto earlier = InstallManifest::Load(folder_)) manifest.Merge(*earlier);
    return manifest.Save(folder_);
}

void Installation::Rollback() {
    for (const auto& entry : entries_) RemoveShortcut(entry, folder_);
    for (const auto& file : extraFiles_) ::unlink(InFolder(file).c_str());
    extractor_.Rollback();
}

void ReportInstalled(const PackageInfo& info, const std::string& folder, ProtocolOutput& out) {
    out.Line("InstallVersion", info.version);
    out.Line("InstPath", folder);
    out.Line("ExePath", folder + "/" + info.exeName);
    out.Line("UninstExePath", folder + "/" + kUninstallerName);
    out.Line("UninstEp", folder + "/" + kUninstallerEntryName);
    out.Line("StartupStyle", "UserStartup");
}

}  // namespace

InstallRequest ReadInstallRequest(const std::vector<std::string>& arguments) {
    const SwitchLine line = SwitchLine::Parse(arguments, "/D=");
    InstallRequest request;
    if (auto folder = line.Value("-instdir"); folder && !folder->empty()) request.installFolder = *folder;
    else if (line.tail) request.installFolder = *line.tail;
    request.desktopEntry = line.IsTrue("-dsc");
    request.menuEntry = line.IsTrue("-ssc");
    return request;
}

int InstallPackage(const std::string& packagePath, const InstallRequest& request, ProtocolOutput& out) {
    out.Line("Encode", "UTF8");
    out.Progress(0.0);
    const auto package = PackageView::Open(packagePath);
    if (!package) {
        out.Fail(package.error());
        return 1;
    }
    const std::string requested = request.installFolder.empty() ? DefaultFolder(package->Info().name) : request.installFolder;
    const auto folder = PrepareFolder(requested);
    if (!folder) {
        out.Fail(folder.error());
        return 1;
    }
    Installation installation(*package, *folder, out);
    if (auto installed = installation.Run(request); !installed) {
        installation.Rollback();
        out.Fail(installed.error());
        return 1;
    }
    ReportInstalled(package->Info(), *folder, out);
    out.Progress(1.0);
    out.Line("State", "Success");
    return 0;
}

}  // namespace Package
