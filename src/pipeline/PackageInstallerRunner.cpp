#include "src/pipeline/PackageInstallerRunner.h"

#include <cwchar>

#include "src/core/InstallerSettings.h"
#include "src/pipeline/PackageOutput.h"

namespace {

constexpr wchar_t kPackageFailedText[] = L"安装包安装失败";

const wchar_t* TrueFalse(bool value) { return value ? L"true" : L"false"; }

}  // namespace

PackageInstallerRunner::PackageInstallerRunner(InstallStatusCallback status, std::wstring quotedPackage,
                                               std::wstring installDir, bool quickLaunch, bool desktopShortcut)
    : status_(std::move(status)),
      quotedPackage_(std::move(quotedPackage)),
      installDir_(std::move(installDir)),
      quickLaunch_(quickLaunch),
      desktopShortcut_(desktopShortcut) {}

PackageInstallerRunner::~PackageInstallerRunner() = default;

void PackageInstallerRunner::SetChoices(std::wstring installDir, bool desktopShortcut, bool quickLaunch,
                                        bool adminAccount, bool runAsAdmin) {
    installDir_ = std::move(installDir);
    desktopShortcut_ = desktopShortcut;
    quickLaunch_ = quickLaunch;
    adminAccount_ = adminAccount;
    runAsAdmin_ = runAsAdmin;
}

std::wstring PackageInstallerRunner::BuildCommandLine() const {
    std::wstring line = quotedPackage_ + L" /S -console=show -version=1.0.0";
    line += std::wstring(L" -adminact=") + TrueFalse(adminAccount_);
    line += std::wstring(L" -authorizationact=") + TrueFalse(runAsAdmin_);
    line += std::wstring(L" -dsc=") + TrueFalse(desktopShortcut_);
    line += std::wstring(L" -ssc=") + TrueFalse(quickLaunch_);
    if (!Settings().InstCmd.empty()) line += L" " + Settings().InstCmd;
    if (!installDir_.empty()) {
        line += L" -instdir=\"" + installDir_ + L"\"";
        line += L" /D=" + installDir_;  // the last switch: its folder runs to the end of the line
    }
    return line;
}

void PackageInstallerRunner::Start() {
    commandLine_ = BuildCommandLine();
    worker_.reset();  // waits for the previous run
    worker_ = std::make_unique<Utils::Thread>(nullptr, L"ABDEF", [this](void*) -> uint32_t {
        Run();
        return 0;
    });
    worker_->Resume();
}

void PackageInstallerRunner::Run() {
    status_(IST_CODE_START, 0.0, L"");
    status_(IST_CODE_PROGRESS, 0.0, L"");

    // Read to the end of the output, even after the final state, so that a package that
    // goes on writing never blocks on a full pipe.
    const auto result = PackageOutput::RunAndFollow(commandLine_, outputCodePage_,
                                                    [this](const std::wstring& line) { return ParseLine(line); });
    if (!result) {
        status_(IST_CODE_FAIL, 2.0, L"");
        return;
    }

    // A package that ends without a final state has done its work.
    if (*result == 0) status_(IST_CODE_SUCCESS, 1.0, L"");
}

int PackageInstallerRunner::ParseLine(const std::wstring& line) {
    using PackageOutput::ValueAfter;
    if (auto v = ValueAfter(line, L"Progress=")) {
        status_(IST_CODE_PROGRESS, PackageOutput::ReadNumber(*v), L"");
    } else if (auto v = ValueAfter(line, L"InstPath=")) {
        status_(IST_INFO_INST_PATH, 0.0, *v);
    } else if (auto v = ValueAfter(line, L"State=")) {
        const std::wstring state = PackageOutput::Trim(*v);
        if (state == L"Success") {
            status_(IST_CODE_SUCCESS, 0.0, L"");
            return 1;
        }
        if (state == L"Fail") {
            status_(IST_CODE_FAIL, 0.0, kPackageFailedText);
            return 1000;
        }
    } else if (auto v = ValueAfter(line, L"InstallVersion=")) {
        Version version;
        if (std::swscanf(v->c_str(), L"%d.%d.%d", &version.major, &version.minor, &version.patch) == 3) {
            installVersion_ = version;
        }
    } else if (auto v = ValueAfter(line, L"ExePath=")) {
        status_(IST_INFO_EXE_PATH, 0.0, *v);
    } else if (auto v = ValueAfter(line, L"StartExe=")) {
        status_(IST_INFO_EXE_PATH, 0.0, *v);
    } else if (auto v = ValueAfter(line, L"UninstExePath=")) {
        status_(IST_INFO_UNINST_EXE, 0.0, *v);
    } else if (auto v = ValueAfter(line, L"UninstExe=")) {
        status_(IST_INFO_UNINST_EXE, 0.0, *v);
    } else if (auto v = ValueAfter(line, L"UninstEp=")) {
        status_(IST_INFO_UNINST_EP, 0.0, *v);
    } else if (auto v = ValueAfter(line, L"Error=")) {
        status_(IST_CODE_FAIL, 1000.0, *v);
        return 1000;
    } else if (auto v = ValueAfter(line, L"TopShowDetention=")) {
        status_(IST_INFO_TOP_SHOW_DETENTION, static_cast<uint32_t>(PackageOutput::ReadInteger(*v)), L"");
    } else if (auto v = ValueAfter(line, L"FinsihCloseDetention=")) {
        status_(IST_INFO_FINISH_CLOSE_DETENTION, static_cast<uint32_t>(PackageOutput::ReadInteger(*v)), L"");
    } else if (auto v = ValueAfter(line, L"StartUrl=")) {
        status_(IST_INFO_START_URL, 0.0, *v);
    } else if (auto v = ValueAfter(line, L"StartupStyle=")) {
        const std::wstring style = PackageOutput::Trim(*v);
        const double value = style == L"AutoStartup" ? 1.0 : style == L"UserStartup" ? 2.0 : 0.0;
        status_(IST_INFO_STARTUP_STYLE, value, L"");
    } else if (auto v = ValueAfter(line, L"Encode=")) {
        outputCodePage_ = PackageOutput::CodePageFromEncode(*v);
    } else if (auto v = ValueAfter(line, L"Message=")) {
        status_(IST_INFO_MESSAGE, 0.0, *v);
    }
    return 0;
}
