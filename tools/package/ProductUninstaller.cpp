#include "tools/package/ProductUninstaller.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "platform/Text.h"
#include "platform/UserRegistry.h"
#include "tools/package/InstallManifest.h"
#include "tools/package/ShortcutEntries.h"
#include "tools/package/SwitchLine.h"

namespace Package {
namespace {

namespace fs = std::filesystem;

constexpr wchar_t kRecordKey[] = L"Software\\VarnoSoft\\Mavrix";
constexpr char kSettingsFileName[] = "set.ini";

// Removes one file or link; one that is gone already counts as removed.
bool RemoveFile(const std::string& path, std::string& firstError) {
    if (::unlink(path.c_str()) == 0 || errno == ENOENT) return true;
    if (firstError.empty()) firstError = "cannot remove " + path + ": " + platform::SystemError::FromErrno().Message();
    return false;
}

bool IsUninstallerFile(const std::string& name) {
    return name == kUninstallerName || name == kUninstallerEntryName || name == kManifestName;
}

// Deepest first, so that a folder is tried after everything below it.
std::vector<std::string> DeepestFirst(std::vector<std::string> folders) {
    std::stable_sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
        return std::count(a.begin(), a.end(), '/') > std::count(b.begin(), b.end(), '/');
    });
    return folders;
}

// The installer's records name this folder: they go with the product.
void RemoveInstallRecords(const std::string& folder, std::string& firstError) {
    RemoveFile(folder + "/" + kSettingsFileName, firstError);
    const auto recorded = platform::UserRegistry::ReadString(kRecordKey, L"InstallPath");
    if (!recorded) return;
    const auto canonical = platform::CanonicalPath(*recorded);
    if (canonical && platform::WideToUtf8(*canonical) == folder) {
        RemoveFile(platform::WideToUtf8(platform::UserRegistry::KeyFile(kRecordKey)), firstError);
    }
}

}  // namespace

std::string ReadUninstallFolder(const std::vector<std::string>& arguments, const std::string& ownPath) {
    const SwitchLine line = SwitchLine::Parse(arguments, "_?=");
    if (line.tail && !line.tail->empty()) return *line.tail;
    return fs::path(ownPath).parent_path().string();
}

int UninstallProduct(const std::string& requested, ProtocolOutput& out) {
    out.Line("Encode", "UTF8");
    out.Progress(0.0);
    std::error_code error;
    const std::string folder = fs::canonical(requested, error).string();
    if (error) {
        out.Fail("no Mavrix installation in " + requested + " (" + error.message() + ")");
        return 1;
    }
    const auto manifest = InstallManifest::Load(folder);
    if (!manifest) {
        out.Fail(manifest.error());
        return 1;
    }

    // Pass 1: entries, files and folders, with progress by item.
    const double total = static_cast<double>(manifest->Entries().size() + manifest->Files().size() +
                                             manifest->Folders().size() + 1);
    double done = 0;
    std::string firstError;
    for (const auto& entry : manifest->Entries()) {
        if (!RemoveShortcut(entry, folder) && firstError.empty()) firstError = "cannot remove the entry " + entry;
        out.Progress(++done / total);
    }
    for (const auto& file : manifest->Files()) {
        if (!IsUninstallerFile(file)) RemoveFile(folder + "/" + file, firstError);
        out.Progress(++done / total);
    }
    for (const auto& name : DeepestFirst(manifest->Folders())) {
        ::rmdir((folder + "/" + name).c_str());  // a folder the user still uses stays
        out.Progress(++done / total);
    }

    // Pass 2: the records, then the uninstaller's own files, which are kept while anything
    // listed is left so that another run can finish the job.
    RemoveInstallRecords(folder, firstError);
    if (!firstError.empty()) {
        out.Fail(firstError);
        return 1;
    }
    for (const char* own : {kUninstallerName, kUninstallerEntryName, kManifestName}) {
        RemoveFile(folder + "/" + own, firstError);
    }
    ::rmdir(folder.c_str());
    if (!firstError.empty()) {
        out.Fail(firstError);
        return 1;
    }
    out.Progress(1.0);
    out.Line("State", "Success");
    return 0;
}

}  // namespace Package
