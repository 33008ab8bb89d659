#include "src/app/UnattendedInstall.h"

#include <cstdio>

#include "platform/Text.h"
#include "src/core/InstallRecords.h"
#include "src/core/InstallerSettings.h"
#include "src/pipeline/CDownloadInstaller.h"
#include "src/utils/SystemProbes.h"

namespace {

constexpr double kMinimumFreeGiB = 1.0;

void Complain(const std::wstring& reason) {
    std::fprintf(stderr, "mavrix-installer: %s\n", platform::WideToUtf8(reason).c_str());
}

}  // namespace

UnattendedInstall::UnattendedInstall(const std::map<std::wstring, std::wstring>& switches,
                                     IUnattendedObserver* observer)
    : observer_(observer), progress_(Settings().DownloadScale) {
    if (const auto it = switches.find(L"-installdir"); it != switches.end()) requestedFolder_ = it->second;
}

int UnattendedInstall::Run() {
    // The folder: the one asked for, else the default rule (which keeps a recorded folder).
    const InstallRecord previous = ReadInstallRecord();
    const DefaultInstallFolder defaults = GetDefaultInstallFolder(previous.installFolder, previous.uninstallerEntry);
    const std::wstring folder = requestedFolder_.empty() ? defaults.folder : requestedFolder_;
    if (const auto refused = Refusal(folder)) return *refused;

    // An older version is removed first unless its folder's settings say otherwise.
    const std::wstring oldUninstaller =
        ReadIsOverrideOff(previous.installFolder, folder) ? std::wstring() : previous.uninstallerEntry;
    targetFolder_ = folder;

    CDownloadInstaller pipeline(
        [this](int32_t code, double value, const std::wstring& text) { Post(code, value, text); }, L"", L"", L"",
        true, true, true);
    pipeline.SetParams(Settings().DownloadUrl, oldUninstaller, folder, true, true, defaults.consoleUserIsAdmin,
                       defaults.runAsAdmin);
    packagePath_ = pipeline.PackagePath();
    std::printf("Installing Mavrix into %s\n", platform::WideToUtf8(folder).c_str());
    std::fflush(stdout);
    pipeline.Start();

    for (;;) {
        const StatusRecord record = Take();
        if (observer_) observer_->OnStatus(record, packagePath_);
        if (record.code == DL_CODE_FAIL && !retried_) {
            retried_ = true;
            Complain(L"download failed (error " + std::to_wstring(static_cast<long long>(record.value)) +
                     L"), trying once more");
            pipeline.Start();
            continue;
        }
        if (const auto exitCode = Handle(record)) return *exitCode;
    }
}

std::optional<int> UnattendedInstall::Refusal(const std::wstring& folder) {
    if (IsProcessRunning(L"Mavrix_un_asa.exe") != 0 || IsProcessRunning(L"Mavrix.exe") != 0) {
        Complain(L"Mavrix is running; quit it and install again");
        return kRefused;
    }
    if (!CreateDirectoryPath(folder)) {
        Complain(L"the install folder cannot be created: " + folder);
        return kRefused;
    }
    Utils::HardDiskManager disk;
    const double freeGiB = disk.CheckFreeSpace(folder) ? static_cast<double>(disk.freeBytesAvailable) / (1 << 30) : 0;
    if (freeGiB < kMinimumFreeGiB) {
        Complain(L"less than 1 GiB is free for " + folder);
        return kRefused;
    }
    return std::nullopt;
}

void UnattendedInstall::Post(int32_t code, double value, const std::wstring& text) {
    std::lock_guard lock(mutex_);
    queue_.push_back(StatusRecord{code, value, text});
    arrived_.notify_one();
}

StatusRecord UnattendedInstall::Take() {
    std::unique_lock lock(mutex_);
    arrived_.wait(lock, [this] { return !queue_.empty(); });
    StatusRecord record = std::move(queue_.front());
    queue_.pop_front();
    return record;
}

void UnattendedInstall::ShowPercentage(int percent) {
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    std::printf("%d%%\n", percent);
    std::fflush(stdout);
}

std::optional<int> UnattendedInstall::Handle(const StatusRecord& record) {
    switch (record.code) {
        case DL_CODE_PROGRESS: ShowPercentage(progress_.OnDownload(record.value)); break;
        case DL_CODE_FAIL:
            Complain(L"the package could not be downloaded (error " +
                     std::to_wstring(static_cast<long long>(record.value)) + L")");
            return kDownloadFailed;
        case IST_CODE_START: WriteSetIni(targetFolder_); break;
        case IST_CODE_PROGRESS: ShowPercentage(progress_.OnInstall(record.value)); break;
        case IST_CODE_SUCCESS:
            WriteInstallRecord(targetFolder_, uninstallerEntry_);
            WriteSetIni(targetFolder_);
            ShowPercentage(100);
            std::printf("Mavrix is installed in %s\n", platform::WideToUtf8(targetFolder_).c_str());
            return kSucceeded;
        case IST_CODE_FAIL:
            Complain(L"the package failed: " + (record.text.empty() ? std::wstring(L"安装失败") : record.text));
            return kPackageFailed;
        case IST_INFO_INST_PATH: targetFolder_ = record.text; break;
        case IST_INFO_UNINST_EP: uninstallerEntry_ = record.text; break;
        case UNIST_CODE_FAIL:
        case UNIST_CODE_ERROR:
            Complain(L"the installed version could not be removed" +
                     (record.text.empty() ? std::wstring() : L": " + record.text));
            return kRemovalFailed;
        default: break;
    }
    return std::nullopt;
}
