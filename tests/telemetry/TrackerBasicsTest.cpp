#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "support/TempFolder.h"
#include "telemetry/source/src/NativeTrackLogger.h"
#include "telemetry/source/src/TelemetryTrackerWrapper.h"
#include "telemetry/source/src/Utf8Normalizer.h"
#include "telemetry/source/src/VnContextProperties.h"
#include "telemetry/source/src/VnEnums.h"
#include "telemetry/source/src/VnException.h"
#include "telemetry/telemetry_core/Utf8.h"

using namespace varno::telemetry;

namespace {

// The message of the VnException that `f` throws, with its function name; "" when none.
std::pair<std::string, std::string> Rejection(const std::function<void()>& f) {
    try {
        f();
    } catch (const VnException& e) {
        return {e.what(), e.function()};
    }
    return {};
}

template <class E>
E Value(int n) {
    return static_cast<E>(n);
}

TEST(VnEnums, TextsAndRejectionsOfEveryTable) {
    struct Case {
        std::function<std::string()> text;
        std::string expected;  // the text, or the message when it throws
        bool throws;
    };
    const Case cases[] = {
        {[] { return toString(VnEventType::Activity); }, "Activity", false},
        {[] { return toString(VnEventType::Launch); }, "PaLaunchPal", false},
        {[] { return toString(Value<VnEventType>(13)); }, "Crashed", false},
        {[] { return toString(Value<VnEventType>(14)); }, "AppOpenNotification", false},
        {[] { return toString(Value<VnEventType>(15)); }, "Unknown Event [15]!", true},
        {[] { return toString(VnEdition::Overseas); }, "overseas", false},
        {[] { return toString(Value<VnEdition>(2)); }, "Unknown edition [2]!", true},
        {[] { return userType(VnUserType::Facebook); }, "facebook", false},
        {[] { return userType(VnUserType::VarnoUserId); }, "varnouserid", false},
        {[] { return userType(Value<VnUserType>(12)); }, "Unknown user type [12]!", true},
        {[] { return toString(VnResult::Unknown); }, "Unknown", false},
        {[] { return toString(Value<VnResult>(4)); }, "Unknown task result [4]!", true},
        {[] { return toString(ClickType::Others); }, "Others", false},
        {[] { return toString(Value<ClickType>(5)); }, "Unknown ClickType [5]!", true},
        {[] { return toString(Value<ClickType>(-1)); }, "Unknown ClickType [-1]!", true},
        {[] { return toString(VnIoType::Output); }, "Output", false},
        {[] { return toString(Value<VnIoType>(2)); }, "the io type is invalid", true},
        {[] { return toString(VnCurrency::GBP); }, "GBP", false},
        {[] { return toString(Value<VnCurrency>(11)); }, "Unknown currency [11]!", true},
        {[] { return toString(VnPaidPlatform::ChinaUnionPay); }, "ChinaUnionPay", false},
        {[] { return toString(Value<VnPaidPlatform>(10)); }, "Unknown paid platform [10]!", true},
        {[] { return toString(VnIapType::NonRenewable); }, "NonRenewable", false},
        {[] { return toString(Value<VnIapType>(4)); }, "Unknown vnIapType [4]!", true},
        {[] { return toString(VnUpdateOp::UpgrateStart); }, "UpgrateStart", false},
        {[] { return toString(Value<VnUpdateOp>(5)); }, "Unknown VnUpdateOp [5]!", true},
        {[] { return toString(VnUpdateResult::Updateable); }, "Updateable", false},
        {[] { return toString(Value<VnUpdateResult>(6)); }, "Unknown VnUpdateResult [6]!", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        if (c.throws) {
            EXPECT_EQ(Rejection([&] { c.text(); }).first, c.expected);
        } else {
            EXPECT_EQ(c.text(), c.expected);
        }
    }
    EXPECT_EQ(Rejection([] { userType(Value<VnUserType>(99)); }).second, "userType");
    EXPECT_EQ(Rejection([] { toString(Value<VnResult>(9)); }).second, "toString");
}

TEST(VnException, CarriesUnitFunctionLineAndFixedCodes) {
    try {
        toString(Value<ClickType>(7));
        FAIL();
    } catch (const VnException& e) {
        EXPECT_EQ(e.unit(), "VnEnums");
        EXPECT_EQ(e.function(), "toString");
        EXPECT_GT(e.line(), 0);
        EXPECT_EQ(e.code(), -1);
        EXPECT_EQ(e.subCode(), -1);
    }
}

TEST(VnContextProperties, AbValueCheck) {
    struct Case {
        std::string value;
        bool valid;
        std::string message;
    };
    const Case cases[] = {
        {"IN", true, ""},
        {"A", true, ""},
        {"B2", true, ""},
        {"Ab", true, ""},
        {"Z9z", true, ""},
        {"", false, ""},
        {"ab", false, "First char is not in A to Z"},
        {"1A", false, "First char is not in A to Z"},
        {"A-", false, "second char is not in A to Z and 0 to 9"},
        {"AB_", false, "third char is not in A to Z and 0 to 9"},
        {"ABCD", false, "value's length is great than 3."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        bool valid = false;
        const auto [message, function] = Rejection([&] { valid = VnContextProperties::isValidABValue(c.value); });
        EXPECT_EQ(valid, c.valid);
        EXPECT_EQ(message, c.message);
        if (!c.message.empty()) {
            EXPECT_EQ(function, "isValidABValue");
        }
    }
}

TEST(VnContextProperties, RegistersOnceAndMergesOnlyIntoItsKinds) {
    VnContextProperties context;
    context.setProperty("IN", {VnEventType::Click});
    EXPECT_EQ(Rejection([&] { context.setProperty("B", {VnEventType::View}); }),
              std::make_pair(std::string("Property[vnc_ab] already exist!"), std::string("setProperty")));

    telemetry_core::PropertiesNode click, view;
    click.SetString("vnc_ab", "old");
    EXPECT_TRUE(context.mergeInto(VnEventType::Click, click));
    EXPECT_FALSE(context.mergeInto(VnEventType::View, view));
    EXPECT_EQ(click.ToJson(), R"({"vnc_ab":"IN"})");
    EXPECT_TRUE(view.Empty());

    EXPECT_EQ(Rejection([&] { context.getEventProperties(Value<VnEventType>(15)); }),
              std::make_pair(std::string("VnEvent[15] overflow!"), std::string("getEventProperties")));
    VnContextProperties partly;
    EXPECT_EQ(Rejection([&] { partly.setProperty("A", {VnEventType::Task, Value<VnEventType>(20)}); }).first,
              "VnEvent[20] overflow!");
    EXPECT_EQ(partly.getEventProperties(VnEventType::Task).size(), 1u);  // entries so far stay
}

class FailingTracker : public TelemetryTracker {
public:
    explicit FailingTracker(bool withLogger) : withLogger_(withLogger) {}
    void trackActivity(const VnContextProperties&) override { Fail(); }
    void trackLaunch(const VnContextProperties&) override { Fail(); }
    void trackLogin(const VnEventLogin&, bool, const std::string&, const VnContextProperties&) override { Fail(); }
    void trackClick(const VnEventClick&, const VnContextProperties&) override { Fail(); }
    void trackView(const VnEventView&, const VnContextProperties&) override { Fail(); }
    void trackCashier(const VnEventCashier&, const VnContextProperties&) override { Fail(); }
    void trackShare(const VnEventShare&, const VnContextProperties&) override { Fail(); }
    void trackTask(const VnEventTask&, const VnContextProperties&) override { Fail(); }
    void trackFile(const VnEventFile&, const VnContextProperties&) override { Fail(); }
    void trackOrder(const VnEventOrder&, const VnContextProperties&) override { Fail(); }
    void trackPayment(const VnEventPayment&, const VnContextProperties&) override { Fail(); }
    void trackUninstall(const std::string&, const VnContextProperties&) override { Fail(); }
    void trackCrash(const std::string&) override { throw std::runtime_error("not a VnException"); }
    void trackUpdate(const VnEventUpdate&, const VnContextProperties&) override { Fail(); }
    void trackAppOpenNotification(const AppOpenNotification*, const VnContextProperties&) override { Fail(); }
    void setLocale(const std::string&) override { Fail(); }
    std::string getPrimaryDistinctId() override { return "primary"; }
    TrackLogger* getLogger() override { return withLogger_ ? &logger_ : nullptr; }

private:
    [[noreturn]] static void Fail() { throw VnException("Test", "op", 1, "secret reason"); }
    bool withLogger_;
    NativeTrackLogger logger_;
};

TEST(TelemetryTrackerWrapper, SwallowsEveryFailureAndNamesTheOperationWhenALogExists) {
    for (const bool withLogger : {true, false}) {
        SCOPED_TRACE(withLogger);
        TelemetryTrackerWrapper wrapper(std::make_unique<FailingTracker>(withLogger));
        const VnContextProperties c;
        const AppOpenNotification n;
        testing::internal::CaptureStdout();
        wrapper.trackActivity(c);
        wrapper.trackLaunch(c);
        wrapper.trackLogin({}, true, "", c);
        wrapper.trackClick({}, c);
        wrapper.trackView({}, c);
        wrapper.trackCashier({}, c);
        wrapper.trackShare({}, c);
        wrapper.trackTask({}, c);
        wrapper.trackFile({}, c);
        wrapper.trackOrder({}, c);
        wrapper.trackPayment({}, c);
        wrapper.trackUninstall("", c);
        wrapper.trackCrash("");
        wrapper.trackUpdate({}, c);
        wrapper.trackAppOpenNotification(&n, c);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, withLogger ? "Failed to trackActivity\nFailed to trackLaunch\nFailed to trackLogin\n"
                                    "Failed to trackClick\nFailed to trackView\nFailed to trackCashier\n"
                                    "Failed to trackShare\nFailed to trackTask\nFailed to trackFile\n"
                                    "Failed to trackOrder\nFailed to trackPayment\nFailed to trackUninstall\n"
                                    "Failed to trackCrash\nFailed to trackUpdate\n"
                                    "Failed to trackAppOpenNotification\n"
                                  : "");
        EXPECT_THROW(wrapper.setLocale("zh_CN"), VnException);  // passed on to the caller
        EXPECT_EQ(wrapper.getPrimaryDistinctId(), "primary");
        EXPECT_EQ(wrapper.getLogger(), nullptr);
    }
    TelemetryTrackerWrapper empty(nullptr);
    testing::internal::CaptureStdout();
    empty.trackClick({}, VnContextProperties{});
    empty.setLocale("x");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(empty.getPrimaryDistinctId(), "");
}

TEST(Utf8Normalizer, KeepsUtf8AndConvertsCodePageText) {
    EXPECT_EQ(NormalizeUtf8("\xE4\xB8\xAD\xE6\x96\x87"), "\xE4\xB8\xAD\xE6\x96\x87");
    EXPECT_EQ(NormalizeUtf8(""), "");
    EXPECT_EQ(NormalizeUtf8("\xD6\xD0\xCE\xC4", 936), "\xE4\xB8\xAD\xE6\x96\x87");  // GBK 中文
    EXPECT_TRUE(telemetry_core::IsValidUtf8(NormalizeUtf8("caf\xE9")));  // whatever the locale
}

TEST(NativeTrackLogger, WritesOneTabSeparatedLinePerEventAndReadsBack) {
    testsupport::TempFolder folder;
    const std::string path = folder / "log.txt";
    NativeTrackLogger logger;
    logger.open(path);
    telemetry_core::PropertiesNode p;
    p.SetString("vn_name", "a\tb\nc");
    for (int i = 0; i < 3; ++i) logger.write("Click", p);

    std::ifstream in(path);
    int lines = 0;
    for (std::string line; std::getline(in, line); ++lines)
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 2) << line;
    EXPECT_EQ(lines, 3);

    std::vector<TrackLogEntry> entries;
    logger.readLines(entries, 0, 2);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].typeName, "Click");
    EXPECT_EQ(entries[0].properties, R"({"vn_name":"a\tb\nc"})");
    EXPECT_EQ(entries[0].time.size(), 23u);
    EXPECT_EQ(entries[0].time.substr(19), ".000");
    logger.open(path);  // same path: position kept
    logger.readLines(entries, 2, 5);
    EXPECT_EQ(entries.size(), 1u);
    logger.readLines(entries, 0, 5);  // before the position: from the top again
    EXPECT_EQ(entries.size(), 3u);

    logger.clear();
    logger.readLines(entries, 0, 5);
    EXPECT_TRUE(entries.empty());
    std::ifstream cleared(path);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(cleared), {}), "\n");
}

}  // namespace
