#include "src/download/UrlMd5.h"

#include <gtest/gtest.h>

namespace {

TEST(GetUrlMd5, TakesTheLastFolderNameOfTheAddress) {
    struct Case {
        std::string url;
        std::string folder;
    };
    const Case cases[] = {
        {"http://h/0123456789abcdef0123456789abcdef/x.exe", "0123456789abcdef0123456789abcdef"},
        {"https://h:8080/a/b/d41d8cd98f00b204e9800998ecf8427e/package.exe", "d41d8cd98f00b204e9800998ecf8427e"},
        {"http://h/x.exe", "h"},
        {"http://h/files/", "files"},
        {"package.exe", ""},
        {"/x.exe", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(GetUrlMd5(c.url), c.folder);
    }
}

}  // namespace
