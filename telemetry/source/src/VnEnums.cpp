#include "telemetry/source/src/VnEnums.h"

#include <array>
#include <string_view>

#include "telemetry/source/src/VnException.h"

namespace varno::telemetry {
namespace {

// Looks the value up in `texts`; otherwise throws prefix + n + "]!" (or `fixedMessage`).
template <class Enum, size_t N>
std::string TextOf(Enum value, const std::array<const char*, N>& texts, const char* function, std::string_view prefix,
                   const char* fixedMessage = nullptr) {
    const int n = static_cast<int>(value);
    if (n >= 0 && static_cast<size_t>(n) < N) return texts[static_cast<size_t>(n)];
    VN_THROW(function, fixedMessage ? std::string(fixedMessage) : std::string(prefix) + std::to_string(n) + "]!");
}

}  // namespace

std::string toString(VnEventType value) {
    static constexpr std::array<const char*, 15> kTexts = {
        "Activity", "PaLaunchPal", "Login", "Click",   "View",      "Cashier", "Share",              "Task",
        "File",     "Order",       "Payment", "Uninstall", "Update", "Crashed", "AppOpenNotification"};
    return TextOf(value, kTexts, "toString", "Unknown Event [");
}

std::string toString(VnEdition value) {
    static constexpr std::array<const char*, 2> kTexts = {"china", "overseas"};
    return TextOf(value, kTexts, "toString", "Unknown edition [");
}

std::string userType(VnUserType value) {
    static constexpr std::array<const char*, 12> kTexts = {"unknown", "mobilephone", "email",   "weixin",
                                                           "qq",      "deviceid",    "baidu",   "huawei",
                                                           "apple",   "varnouserid", "google",  "facebook"};
    return TextOf(value, kTexts, "userType", "Unknown user type [");
}

std::string toString(VnResult value) {
    static constexpr std::array<const char*, 4> kTexts = {"Success", "Cancelled", "Fail", "Unknown"};
    return TextOf(value, kTexts, "toString", "Unknown task result [");
}

std::string toString(ClickType value) {
    static constexpr std::array<const char*, 5> kTexts = {"Button", "Banner", "Tutorial", "File", "Others"};
    return TextOf(value, kTexts, "toString", "Unknown ClickType [");
}

std::string toString(VnIoType value) {
    static constexpr std::array<const char*, 2> kTexts = {"Input", "Output"};
    return TextOf(value, kTexts, "toString", "", "the io type is invalid");
}

std::string toString(VnCurrency value) {
    static constexpr std::array<const char*, 11> kTexts = {"CNY", "USD", "EUR", "HKD", "TWD", "MOP",
                                                           "SGD", "JPY", "KRW", "INR", "GBP"};
    return TextOf(value, kTexts, "toString", "Unknown currency [");
}

std::string toString(VnPaidPlatform value) {
    static constexpr std::array<const char*, 10> kTexts = {"Alipay",    "WeChatPay", "PayPal",   "Tenpay", "CIECC",
                                                           "GooglePay", "HuaweiPay", "AppleIAP", "Paddle", "ChinaUnionPay"};
    return TextOf(value, kTexts, "toString", "Unknown paid platform [");
}

std::string toString(VnIapType value) {
    static constexpr std::array<const char*, 4> kTexts = {"Consumable", "NonConsumable", "AutoRenewable",
                                                          "NonRenewable"};
    return TextOf(value, kTexts, "toString", "Unknown vnIapType [");
}

std::string toString(VnUpdateOp value) {
    static constexpr std::array<const char*, 5> kTexts = {"UpdateCheck", "DownloadStart", "DownloadEnd",
                                                          "UpgrateStart", "UpgrateEnd"};
    return TextOf(value, kTexts, "toString", "Unknown VnUpdateOp [");
}

std::string toString(VnUpdateResult value) {
    static constexpr std::array<const char*, 6> kTexts = {"Success", "Cancelled", "Timeout",
                                                          "Fail",    "Latest",    "Updateable"};
    return TextOf(value, kTexts, "toString", "Unknown VnUpdateResult [");
}

}  // namespace varno::telemetry
