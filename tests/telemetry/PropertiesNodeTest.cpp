#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "telemetry/telemetry_core/NameRules.h"
#include "telemetry/telemetry_core/PropertiesNode.h"
#include "telemetry/telemetry_core/Utf8.h"

using telemetry_core::PropertiesNode;
using telemetry_core::utils::DateTime;
using telemetry_core::utils::ObjectNode;

TEST(PropertiesNode, WritesCompactJsonInKeyOrderWithEveryKind) {
    PropertiesNode node;
    node.SetString("zeta", "z");
    node.SetInteger("count", -7);
    node.SetNumber("ratio", 1234567.0);
    node.SetNumber("half", 0.5);
    node.SetBool("ok", true);
    node.SetList("tags", {"a", "b\"c"});
    ObjectNode inner;
    inner.Set("k", std::string("v"));
    node.SetObject("inner", inner);
    node.SetInteger("Upper", 1);  // byte order: upper case before lower case
    EXPECT_EQ(node.ToJson(),
              R"({"Upper":1,"count":-7,"half":0.5,"inner":{"k":"v"},"ok":true,"ratio":1.23457e+06,)"
              R"("tags":["a","b\"c"],"zeta":"z"})");
}

TEST(PropertiesNode, EscapesOnlyTheListedBytes) {
    PropertiesNode node;
    ASSERT_TRUE(node.SetString("s", "q\"b\\t\tn\nr\r/\xE4\xB8\xAD"));
    node.Set("raw", std::string("\b\f\x01"));  // unchecked setter: control bytes pass through
    EXPECT_EQ(node.ToJson(), "{\"raw\":\"\\b\\f\x01\",\"s\":\"q\\\"b\\\\t\\tn\\nr\\r/\xE4\xB8\xAD\"}");
}

TEST(PropertiesNode, SetterReplacesAndMergeOverwritesEqualKeys) {
    PropertiesNode a;
    a.SetString("k", "one");
    a.SetInteger("k", 2);
    PropertiesNode b;
    b.SetString("k", "three");
    b.SetBool("x", false);
    a.Merge(b);
    EXPECT_EQ(a.ToJson(), R"({"k":"three","x":false})");
}

TEST(PropertiesNode, NonFiniteNumberKeepsTheJsonReadable) {
    PropertiesNode node;
    node.SetNumber("n", 0.0 / 0.0 * -1);
    node.SetNumber("i", 1e308 * 10);
    EXPECT_EQ(node.ToJson(), R"({"i":null,"n":null})");
}

TEST(PropertiesNode, DateTimeIsLocalTimeWithMilliseconds) {
    std::tm local{};
    local.tm_year = 2024 - 1900;
    local.tm_mon = 2;
    local.tm_mday = 5;
    local.tm_hour = 7;
    local.tm_min = 8;
    local.tm_sec = 9;
    local.tm_isdst = -1;
    const int64_t seconds = std::mktime(&local);
    PropertiesNode node;
    node.SetDateTime("t", DateTime{seconds, 42});
    EXPECT_EQ(node.ToJson(), R"({"t":"2024-03-05 07:08:09.042"})");

    const auto fromSeconds = telemetry_core::utils::DateTimeFromSecondsOrMilliseconds(seconds);
    const auto fromMillis = telemetry_core::utils::DateTimeFromSecondsOrMilliseconds(seconds * 1000 + 42);
    EXPECT_EQ(fromSeconds.seconds, seconds);
    EXPECT_EQ(fromMillis.seconds, seconds);
    EXPECT_EQ(fromMillis.milliseconds, 42);
    EXPECT_EQ(telemetry_core::utils::DateTimeFromSecondsOrMilliseconds(157789439999).seconds, 157789439999);
}

TEST(PropertiesNode, RefusesLongOrInvalidStringsWithTheirMessages) {
    struct Case {
        std::string value;
        bool accepted;
        std::string message;
    };
    const Case cases[] = {
        {std::string(8192, 'a'), true, ""},
        {std::string(8193, 'a'), false, "String property 'k' is too long, value: " + std::string(8193, 'a') + "\n"},
        {"ok\xFF", false, "String property 'k' is not valid UTF-8 string, value: ok\xFF\n"},
        {"", true, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.size());
        PropertiesNode node;
        testing::internal::CaptureStderr();
        EXPECT_EQ(node.SetString("k", c.value), c.accepted);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
        EXPECT_EQ(node.Find("k") != nullptr, c.accepted);
    }
}

TEST(Utf8Validity, FollowsTheByteRules) {
    struct Case {
        std::string text;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"plain \t\r\n text~", true},
        {"\xE4\xB8\xAD\xE6\x96\x87", true},      // 中文
        {"\xC2\x80", true},
        {"\xC1\xBF", false},                      // overlong lead
        {"\xE0\x9F\x80", false},                  // overlong three-byte form
        {"\xED\xA0\x80", false},                  // surrogate
        {"\xF0\x90\x80\x80", true},
        {"\xF4\x90\x80\x80", false},              // above U+10FFFF
        {"\xF5\x80\x80\x80", false},
        {"\xE4\xB8", false},                      // cut off
        {std::string("a\0b", 3), false},          // control bytes
        {"\x7F", false},
        {"\x1B[0m", false},
        {"\x80", false},
        {"\xD6\xD0\xCE\xC4", false},              // GBK text
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.text));
        EXPECT_EQ(telemetry_core::IsValidUtf8(c.text), c.valid);
    }
}

TEST(NameRules, AcceptsVariableNamesAndReportsEachRule) {
    struct Case {
        std::string name;
        bool valid;
        std::string message;
    };
    const std::string tooLong = "The Property Key is empty or too long, max length is 100\n";
    const std::string badName = "The Property Key need to be a valid variable name.\n";
    const Case cases[] = {
        {"vn_name", true, ""},
        {"$os", true, ""},
        {"_x9$", true, ""},
        {std::string(100, 'a'), true, ""},
        {std::string(101, 'a'), false, tooLong},
        {"", false, tooLong},
        {"1abc", false, badName},
        {"a-b", false, badName},
        {"a b", false, badName},
        {"\xE4\xB8\xAD", false, badName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        EXPECT_EQ(telemetry_core::CheckName(c.name, "Property Key"), c.valid);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
}

TEST(NameRules, IdsNeedOneTo255Bytes) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(telemetry_core::CheckId(std::string(255, 'x'), "Distinct ID"));
    EXPECT_FALSE(telemetry_core::CheckId("", "Distinct ID"));
    EXPECT_FALSE(telemetry_core::CheckId(std::string(256, 'x'), "Original ID"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "The Distinct ID is empty.\nThe Original ID is too long, max length is 255.\n");
}
