#pragma once
// Runs one installation from end to end without a window: removes an installed older
// version, downloads the package with the downloader the settings choose, runs the
// package's silent installer, and deletes the package file when its stage ends. Every
// status code reaches the callback unchanged before the pipeline reacts to it.
// SetParams and Start are called on the window thread while no stage runs; the stage
// handlers run on the stages' worker threads.
#include <memory>
#include <string>

#include "src/download/CDownloader.h"
#include "src/pipeline/InstallStatus.h"
#include "src/pipeline/OldVersionUninstaller.h"
#include "src/pipeline/PackageInstallerRunner.h"

class CDownloadInstaller {
public:
    CDownloadInstaller(InstallStatusCallback status, std::wstring downloadUrl, std::wstring oldUninstaller,
                       std::wstring installDir, bool desktopShortcut, bool quickLaunch, bool adminAccount);
    // Stops the stages in the order in which they start one another (removal, download,
    // installation), so no stage is started on an object that is gone.
    ~CDownloadInstaller();

    void SetParams(std::wstring downloadUrl, std::wstring oldUninstaller, std::wstring installDir,
                   bool desktopShortcut, bool quickLaunch, bool adminAccount, bool runAsAdmin);
    // Begins an installation and returns at once.
    void Start();

    // Where the package of the current install folder is stored.
    std::wstring PackagePath() const;

private:
    void OnRemovalStatus(int32_t code, double value, const std::wstring& text);
    void OnDownloadStatus(int32_t code, double value, const std::wstring& text);
    void OnInstallStatus(int32_t code, double value, const std::wstring& text);
    void DeletePackageFile();
    bool StartRemoval();

    InstallStatusCallback status_;
    std::unique_ptr<PackageInstallerRunner> runner_;
    std::unique_ptr<CDownloader> downloader_;
    std::unique_ptr<OldVersionUninstaller> uninstaller_;
    std::wstring downloadUrl_;
    std::wstring oldUninstaller_;
    std::wstring installDir_;
    std::wstring packagePath_;
    // The file the downloader writes: fixed when the downloader is made, while
    // packagePath_ follows the install folder of each Start.
    std::wstring downloadedPackagePath_;
    bool desktopShortcut_;
    bool quickLaunch_;
    bool adminAccount_;
    bool runAsAdmin_ = false;
};
