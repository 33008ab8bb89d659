#include "platform/Accounts.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

namespace platform {
namespace {

class SessionFolder : public testing::Test {
protected:
    void SetUp() override {
        folder_ = std::filesystem::path(testing::TempDir()) /
                  ("mavrix-sessions-" + std::to_string(::getpid()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    void AddSession(const std::string& id, const std::map<std::string, std::string>& values) {
        std::ofstream out(folder_ / id);
        out << "# This is private data. Do not parse.\n";
        for (const auto& [key, value] : values) out << key << '=' << value << '\n';
    }

    std::filesystem::path folder_;
};

TEST_F(SessionFolder, PicksTheActiveGraphicalUserSession) {
    AddSession("1", {{"USER", "bob"}, {"ACTIVE", "0"}, {"TYPE", "x11"}, {"CLASS", "user"}});
    AddSession("2", {{"USER", "carol"}, {"ACTIVE", "1"}, {"TYPE", "tty"}, {"CLASS", "user"}});
    AddSession("3", {{"USER", "gdm"}, {"ACTIVE", "1"}, {"TYPE", "wayland"}, {"CLASS", "greeter"}});
    AddSession("4", {{"USER", "alice"}, {"ACTIVE", "1"}, {"TYPE", "wayland"}, {"CLASS", "user"}});
    AddSession("5", {{"USER", "dave"}, {"ACTIVE", "1"}, {"TYPE", "x11"}});
    EXPECT_EQ(ActiveGraphicalSessionUser(folder_.string()), "alice");
}

TEST_F(SessionFolder, NoActiveGraphicalSessionIsNobody) {
    AddSession("c1", {{"USER", "carol"}, {"ACTIVE", "1"}, {"TYPE", "tty"}});
    AddSession("c2", {{"USER", "bob"}, {"ACTIVE", "0"}, {"TYPE", "x11"}});
    AddSession("c3", {{"ACTIVE", "1"}, {"TYPE", "x11"}});
    EXPECT_EQ(ActiveGraphicalSessionUser(folder_.string()), std::nullopt);
    EXPECT_EQ(ActiveGraphicalSessionUser((folder_ / "missing").string()), std::nullopt);
}

TEST(Accounts, UserIdsAndGroupsComeFromTheAccountDatabase) {
    EXPECT_EQ(UserIdOf("root"), 0u);
    EXPECT_EQ(UserIdOf("mavrix-no-such-user"), std::nullopt);
    EXPECT_EQ(UserIdOf(""), std::nullopt);

    EXPECT_TRUE(IsUserInAnyGroup("root", {"mavrix-no-such-group", "root"}));  // primary group
    EXPECT_FALSE(IsUserInAnyGroup("root", {"mavrix-no-such-group"}));
    EXPECT_FALSE(IsUserInAnyGroup("mavrix-no-such-user", {"root"}));
}

TEST(Accounts, LoginUserNameIsKnown) {
    const auto name = LoginUserName();
    ASSERT_TRUE(name);
    EXPECT_TRUE(UserIdOf(*name).has_value());
}

}  // namespace
}  // namespace platform
