#pragma once
// Questions about user accounts and login sessions: who sits at the graphical console and
// whether an account may administer the machine. User and group names are locale bytes.
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr const char* kLogindSessionsFolder = "/run/systemd/sessions";

// True when the process runs with effective user id 0.
bool IsEffectiveUserRoot();

// The user of the active graphical session among logind's session files in the folder:
// ACTIVE=1, TYPE x11, wayland or mir, and a user session (a login screen's greeter is no
// one). With several, the first by file name. nullopt when there is none.
std::optional<std::string> ActiveGraphicalSessionUser(const std::string& sessionsFolder = kLogindSessionsFolder);

// The name the process's user logged in with (which survives sudo), else the name of the
// real user id; nullopt when neither is known.
std::optional<std::string> LoginUserName();

// The account's user id; nullopt for an unknown name.
std::optional<unsigned> UserIdOf(const std::string& userName);

// True when the account's primary or supplementary groups include one of the named groups;
// false for an unknown account.
bool IsUserInAnyGroup(const std::string& userName, std::initializer_list<std::string_view> groups);

}  // namespace platform
