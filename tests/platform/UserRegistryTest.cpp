#include "platform/UserRegistry.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

using platform::UserRegistry;
using testsupport::ScopedEnv;
using testsupport::TempFolder;

TEST(UserRegistry, ValuesReadBackExactly) {
    TempFolder home;
    ScopedEnv config("XDG_CONFIG_HOME", home.path().string());
    const std::wstring key = L"Software\\VarnoSoft\\Mavrix";
    const std::wstring values[] = {
        L"/opt/Mavrix", L"", L"with\nnew line\r and = sign \\ backslash", std::wstring(L"zero\0inside", 11),
        L"\u4e2d\u6587 \U0001F600",
    };
    for (const auto& value : values) {
        ASSERT_TRUE(UserRegistry::WriteString(key, L"InstallPath", value));
        const auto read = UserRegistry::ReadString(L"software\\varnosoft\\MAVRIX", L"installpath");
        ASSERT_TRUE(read);
        EXPECT_EQ(*read, value);
    }
    ASSERT_TRUE(UserRegistry::WriteString(key, L"UnInstallEp", L"/e"));
    EXPECT_EQ(UserRegistry::ReadString(key, L"UnInstallEp").value_or(L"?"), L"/e");
    EXPECT_EQ(UserRegistry::ReadString(key, L"InstallPath").value_or(L"?"), values[4]);  // still there
}

TEST(UserRegistry, MissingKeyOrValueIsAnError) {
    TempFolder home;
    ScopedEnv config("XDG_CONFIG_HOME", home.path().string());
    EXPECT_EQ(UserRegistry::ReadString(L"Software\\None", L"X").error().code, ENOENT);
    ASSERT_TRUE(UserRegistry::WriteString(L"Software\\Some", L"A", L"1"));
    EXPECT_EQ(UserRegistry::ReadString(L"Software\\Some", L"B").error().code, ENOENT);
}

}  // namespace
