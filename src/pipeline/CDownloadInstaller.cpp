#include "src/pipeline/CDownloadInstaller.h"

#include "platform/Paths.h"
#include "src/core/DebugLog.h"
#include "src/core/InstallerSettings.h"
#include "src/download/CreateDownloader.h"
#include "src/utils/SystemProbes.h"

namespace {

constexpr wchar_t kUninstallerCopyName[] = L"Mavrix_un_asa.exe";

}  // namespace

CDownloadInstaller::CDownloadInstaller(InstallStatusCallback status, std::wstring downloadUrl,
                                       std::wstring oldUninstaller, std::wstring installDir, bool desktopShortcut,
                                       bool quickLaunch, bool adminAccount)
    : status_(std::move(status)),
      downloadUrl_(std::move(downloadUrl)),
      oldUninstaller_(std::move(oldUninstaller)),
      installDir_(std::move(installDir)),
      desktopShortcut_(desktopShortcut),
      quickLaunch_(quickLaunch),
      adminAccount_(adminAccount) {}

CDownloadInstaller::~CDownloadInstaller() {
    uninstaller_.reset();
    downloader_.reset();
    runner_.reset();
}

void CDownloadInstaller::SetParams(std::wstring downloadUrl, std::wstring oldUninstaller, std::wstring installDir,
                                   bool desktopShortcut, bool quickLaunch, bool adminAccount, bool runAsAdmin) {
    downloadUrl_ = std::move(downloadUrl);
    oldUninstaller_ = std::move(oldUninstaller);
    installDir_ = std::move(installDir);
    desktopShortcut_ = desktopShortcut;
    quickLaunch_ = quickLaunch;
    adminAccount_ = adminAccount;
    runAsAdmin_ = runAsAdmin;
}

std::wstring CDownloadInstaller::PackagePath() const {
    return platform::JoinPath(installDir_, L"__Package_" + Settings().AppName + L".exe");
}

void CDownloadInstaller::Start() {
    // Steps 1 and 2: the package's place, and the downloader in use.
    packagePath_ = PackagePath();
    DebugLog(L"DL_TYPE=%d\r\n", Settings().DownloadType);

    // Steps 3 to 5: the stage objects are made once and reused by every later Start.
    if (!downloader_) {
        downloadedPackagePath_ = packagePath_;
        downloader_ = CreateDownloader(
            Settings().DownloadType,
            [this](int32_t code, double value, const std::wstring& text) { OnDownloadStatus(code, value, text); },
            downloadUrl_, packagePath_);
    }
    if (!runner_) {
        runner_ = std::make_unique<PackageInstallerRunner>(
            [this](int32_t code, double value, const std::wstring& text) { OnInstallStatus(code, value, text); },
            L"\"" + packagePath_ + L"\"", installDir_, quickLaunch_, desktopShortcut_);
    }
    runner_->SetChoices(installDir_, desktopShortcut_, quickLaunch_, adminAccount_, runAsAdmin_);

    // Steps 6 and 7: an installed older version goes first; the download waits for it.
    if (StartRemoval()) return;
    downloader_->Start();
}

bool CDownloadInstaller::StartRemoval() {
    if (oldUninstaller_.empty() || !platform::PathExists(oldUninstaller_)) return false;
    // Without a temporary folder there is nowhere safe to put the copy: the removal stage
    // then reports the uninstaller as missing.
    const std::wstring tempFolder = GetInstallerTempFolder();
    std::wstring copy;
    if (!tempFolder.empty()) {
        copy = platform::JoinPath(tempFolder, kUninstallerCopyName);
        (void)platform::RemoveFile(copy);
        if (!platform::CopyFile(oldUninstaller_, copy)) copy.clear();
    }
    uninstaller_ = std::make_unique<OldVersionUninstaller>(
        [this](int32_t code, double value, const std::wstring& text) { OnRemovalStatus(code, value, text); }, copy,
        platform::FolderPart(oldUninstaller_));
    uninstaller_->Start();
    return true;
}

void CDownloadInstaller::DeletePackageFile() { (void)platform::RemoveFile(downloadedPackagePath_); }

void CDownloadInstaller::OnRemovalStatus(int32_t code, double value, const std::wstring& text) {
    status_(code, value, text);
    switch (code) {
        case UNIST_CODE_PROGRESS: DebugLog(L"UNIST_CODE_PROGRESS\r\n"); break;
        case UNIST_CODE_SUCCESS:
            DebugLog(L"UNIST_CODE_SUCCESS\r\n");
            downloader_->Start();
            break;
        case UNIST_CODE_FAIL: DebugLog(L"UNIST_CODE_FAIL\r\n"); break;
        case UNIST_CODE_ERROR: DebugLog(L"UNIST_CODE_ERROR\r\n"); break;
        default: break;
    }
}

void CDownloadInstaller::OnDownloadStatus(int32_t code, double value, const std::wstring& text) {
    status_(code, value, text);
    switch (code) {
        case DL_CODE_START:
            CreateDirectoryPath(installDir_);
            DebugLog(L"DL_CODE_START\r\n");
            break;
        case DL_CODE_PROGRESS: DebugLog(L"DL_CODE_PROGRESS\r\n"); break;
        case DL_CODE_SUCCESS:
            DebugLog(L"DOWNLOAD_SUCCESS\r\n");
            (void)platform::MarkExecutable(downloadedPackagePath_);  // a failure shows when it is run
            runner_->Start();
            DebugLog(L"DL_CODE_SUCCESS\r\n");
            break;
        case DL_CODE_FAIL:
            DeletePackageFile();
            DebugLog(L"DL_CODE_FAIL\r\n");
            break;
        case DL_CODE_RETRY:
            DebugLog(L"DL_CODE_RETRY\r\n");
            downloader_->Start();
            break;
        default: break;
    }
}

void CDownloadInstaller::OnInstallStatus(int32_t code, double value, const std::wstring& text) {
    status_(code, value, text);
    switch (code) {
        case IST_CODE_START: DebugLog(L"IST_CODE_START\r\n"); break;
        case IST_CODE_SUCCESS:
            DeletePackageFile();
            DebugLog(L"INSTALL_SUCCESS\r\n");
            break;
        case IST_CODE_FAIL:
            DeletePackageFile();
            DebugLog(L"IST_CODE_FAIL\r\n");
            break;
        default: break;
    }
}
