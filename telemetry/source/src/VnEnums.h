#pragma once
// The tracker's enumerations and the texts under which their values travel in event
// properties. A value outside a table makes its text function throw VnException.
#include <string>

namespace varno::telemetry {

enum class VnEventType : int {
    Activity, Launch, Login, Click, View, Cashier, Share, Task, File, Order, Payment, Uninstall, Update, Crashed,
    AppOpenNotification
};
inline constexpr int kVnEventTypeCount = 15;

enum class VnEdition : int { China, Overseas };
enum class VnUserType : int {
    Unknown, Mobilephone, Email, Weixin, QQ, DeviceId, Baidu, Huawei, Apple, VarnoUserId, Google, Facebook
};
enum class VnResult : int { Success, Cancelled, Fail, Unknown };
enum class ClickType : int { Button, Banner, Tutorial, File, Others };
enum class VnIoType : int { Input, Output };
enum class VnCurrency : int { CNY, USD, EUR, HKD, TWD, MOP, SGD, JPY, KRW, INR, GBP };
enum class VnPaidPlatform : int {
    Alipay, WeChatPay, PayPal, Tenpay, CIECC, GooglePay, HuaweiPay, AppleIAP, Paddle, ChinaUnionPay
};
enum class VnIapType : int { Consumable, NonConsumable, AutoRenewable, NonRenewable };
enum class VnUpdateOp : int { UpdateCheck, DownloadStart, DownloadEnd, UpgrateStart, UpgrateEnd };
enum class VnUpdateResult : int { Success, Cancelled, Timeout, Fail, Latest, Updateable };

std::string toString(VnEventType value);
std::string toString(VnEdition value);
std::string userType(VnUserType value);
std::string toString(VnResult value);
std::string toString(ClickType value);
std::string toString(VnIoType value);
std::string toString(VnCurrency value);
std::string toString(VnPaidPlatform value);
std::string toString(VnIapType value);
std::string toString(VnUpdateOp value);
std::string toString(VnUpdateResult value);

}  // namespace varno::telemetry
