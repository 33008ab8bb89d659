#include "src/utils/Accounts.h"

#include <optional>

#include "platform/Accounts.h"
#include "platform/Text.h"

namespace Utils {

bool IsRunAsAdmin() { return platform::IsEffectiveUserRoot(); }

bool GetConsoleSessionUserName(std::wstring& name) {
    std::optional<std::string> user = platform::ActiveGraphicalSessionUser();
    if (!user) user = platform::LoginUserName();
    if (!user) return false;
    name = platform::AnsiToWide(*user);
    return true;
}

bool IsAdminAccount(const std::wstring& userName) {
    const std::string user = platform::WideToAnsi(userName);
    return platform::UserIdOf(user) == 0u || platform::IsUserInAnyGroup(user, {"sudo", "wheel", "admin"});
}

}  // namespace Utils
