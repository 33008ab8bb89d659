#include "src/pipeline/OldVersionUninstaller.h"

#include "platform/CommandLine.h"
#include "platform/Paths.h"
#include "src/pipeline/PackageOutput.h"
#include "src/utils/Accounts.h"

namespace {

constexpr wchar_t kUninstallerMissingText[] = L"可执行卸载文件不存在";
constexpr wchar_t kUninstallFailedText[] = L"安装包卸载失败";

const wchar_t* TrueFalse(bool value) { return value ? L"true" : L"false"; }

}  // namespace

OldVersionUninstaller::OldVersionUninstaller(InstallStatusCallback status, std::wstring uninstallerCopy,
                                             std::wstring oldInstallDir)
    : status_(std::move(status)), uninstallerCopy_(std::move(uninstallerCopy)), oldInstallDir_(std::move(oldInstallDir)) {}

OldVersionUninstaller::~OldVersionUninstaller() = default;

std::wstring OldVersionUninstaller::BuildCommandLine() const {
    std::wstring consoleUser;
    const bool adminAccount = Utils::GetConsoleSessionUserName(consoleUser) && Utils::IsAdminAccount(consoleUser);
    return platform::QuoteProgram(uninstallerCopy_).value_or(uninstallerCopy_) + L" /S -adminact=" +
           TrueFalse(adminAccount) + L" -authorizationact=" + TrueFalse(Utils::IsRunAsAdmin()) +
           L" -console=show " + platform::QuoteArgument(L"_?=" + oldInstallDir_);
}

void OldVersionUninstaller::Start() {
    commandLine_ = BuildCommandLine();
    worker_ = std::make_unique<Utils::Thread>(nullptr, L"UnInstaller", [this](void*) -> uint32_t {
        Run();
        return 0;
    });
    worker_->Resume();
}

void OldVersionUninstaller::Run() {
    if (!platform::PathExists(uninstallerCopy_)) {
        status_(UNIST_CODE_FAIL, 1.0, kUninstallerMissingText);
        return;
    }
    status_(UNIST_CODE_PROGRESS, 0.0, L"");

    // Read until the uninstaller ends; only its first final state counts, so the download
    // that a success starts is started once.
    const auto result = PackageOutput::RunAndFollow(commandLine_, outputCodePage_,
                                                    [this](const std::wstring& line) { return ParseLine(line); });
    if (!result) {
        status_(UNIST_CODE_FAIL, 2.0, L"");
        return;
    }

    if (*result == 0) status_(UNIST_CODE_SUCCESS, 1.0, L"");
}

int OldVersionUninstaller::ParseLine(const std::wstring& line) {
    using PackageOutput::ValueAfter;
    if (auto v = ValueAfter(line, L"Progress=")) {
        status_(UNIST_CODE_PROGRESS, PackageOutput::ReadNumber(*v), L"");
    } else if (auto v = ValueAfter(line, L"Error=")) {
        status_(UNIST_CODE_ERROR, 0.0, *v);
        return 1000;
    } else if (auto v = ValueAfter(line, L"State=")) {
        const std::wstring state = PackageOutput::Trim(*v);
        if (state == L"Success") {
            status_(UNIST_CODE_SUCCESS, 0.0, L"");
            return 1;
        }
        if (state == L"Fail") {
            status_(UNIST_CODE_ERROR, 0.0, kUninstallFailedText);
            return 1000;
        }
    } else if (auto v = ValueAfter(line, L"Encode=")) {
        outputCodePage_ = PackageOutput::CodePageFromEncode(*v);
    }
    return 0;
}
