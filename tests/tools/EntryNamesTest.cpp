#include "tools/package/EntryNames.h"

#include <gtest/gtest.h>

namespace Package {
namespace {

TEST(NormaliseEntryName, KeepsNamesInsideAndRefusesTheRest) {
    struct Case { std::string name; std::optional<std::string> normal; };
    const Case cases[] = {
        {"Mavrix.exe", "Mavrix.exe"},
        {"./docs//readme.txt", "docs/readme.txt"},
        {"docs/", "docs"},
        {"视频/说明.txt", "视频/说明.txt"},
        {"a/./b", "a/b"},
        {"../escape", std::nullopt},
        {"docs/../../escape", std::nullopt},
        {"docs/..", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"//etc", std::nullopt},
        {".", std::nullopt},
        {"", std::nullopt},
        {"line\nbreak", std::nullopt},
        {"carriage\rreturn", std::nullopt},
        {"..hidden", "..hidden"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NormaliseEntryName(c.name), c.normal);
    }
}

TEST(IsLinkTargetInside, ResolvesFromTheLinksFolder) {
    struct Case { std::string entry; std::string target; bool inside; };
    const Case cases[] = {
        {"lib/libx.so", "libx.so.1", true},
        {"lib/libx.so", "../Mavrix.exe", true},
        {"lib/deep/l", "../../top", true},
        {"lib/l", "..", true},
        {"l", "..", false},
        {"lib/l", "../..", false},
        {"lib/l", "a/../../../x", false},
        {"l", "/etc/passwd", false},
        {"l", "", false},
        {"a/l", "./b/./c", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry + " -> " + c.target);
        EXPECT_EQ(IsLinkTargetInside(c.entry, c.target), c.inside);
    }
}

}  // namespace
}  // namespace Package
