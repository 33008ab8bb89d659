#include "platform/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(Text, Utf8RoundTripAndInvalidBytes) {
    const std::wstring text = L"Mavrix \u5b89\u88c5 \U0001F600";
    EXPECT_EQ(platform::Utf8ToWide(platform::WideToUtf8(text)), text);
    struct Case {
        std::string bytes;
        std::wstring wide;
    };
    const Case cases[] = {
        {"a\xFF" "b", L"a\uFFFDb"},
        {"\xC0\xAF", L"\uFFFD\uFFFD"},        // overlong
        {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // surrogate
        {"\xE4\xB8", L"\uFFFD\uFFFD"},        // cut short
    };
    for (const auto& c : cases) EXPECT_EQ(platform::Utf8ToWide(c.bytes), c.wide);
}

TEST(Text, CodePages) {
    EXPECT_EQ(platform::DecodeCodePage("\xD6\xD0\xCE\xC4", 936), L"\u4e2d\u6587");
    EXPECT_EQ(platform::EncodeCodePage(L"\u4e2d\u6587", 936), "\xD6\xD0\xCE\xC4");
    EXPECT_EQ(platform::DecodeCodePage("\xE4\xB8\xAD", platform::kCodePageUtf8), L"\u4e2d");
    EXPECT_EQ(platform::EncodeCodePage(L"a\U0001F600b", 936), "a?b");
    EXPECT_EQ(platform::DecodeCodePage("a\x81" , 936), L"a\uFFFD");  // a lead byte cut short
}

}  // namespace
