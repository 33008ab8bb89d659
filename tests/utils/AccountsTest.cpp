#include "src/utils/Accounts.h"

#include <gtest/gtest.h>

namespace Utils {
namespace {

TEST(Accounts, AdministratorsAreRootAndTheAdminGroups) {
    EXPECT_TRUE(IsAdminAccount(L"root"));
    EXPECT_FALSE(IsAdminAccount(L"nobody"));
    EXPECT_FALSE(IsAdminAccount(L"mavrix-no-such-user"));
    EXPECT_FALSE(IsAdminAccount(L""));
}

TEST(Accounts, ConsoleSessionUserIsAnAccount) {
    std::wstring name;
    ASSERT_TRUE(GetConsoleSessionUserName(name));
    EXPECT_FALSE(name.empty());
}

}  // namespace
}  // namespace Utils
