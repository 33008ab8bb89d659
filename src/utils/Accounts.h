#pragma once
// The account questions whose answers the package and the old uninstaller receive as their
// switches. Any failure reads as false. Callable from any thread.
#include <string>

namespace Utils {

// Whether the installer itself runs with administrator rights (effective user id 0).
bool IsRunAsAdmin();

// The user of the active graphical session, else the name the installer's user logged in with.
bool GetConsoleSessionUserName(std::wstring& name);

// Whether the account may administer the machine: user id 0, or a member of the group
// sudo, wheel or admin. False for an unknown or empty name.
bool IsAdminAccount(const std::wstring& userName);

}  // namespace Utils
