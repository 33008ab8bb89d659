#pragma once
// The argument records of the track operations. Optional values are absent when empty;
// optional texts are sent only when non-empty.
#include <cstdint>
#include <optional>
#include <string>

#include "telemetry/source/src/VnEnums.h"

namespace varno::telemetry {

struct VnEventClick {
    std::string aname;
    std::string name;  // required
    ClickType clickType = ClickType::Button;
    std::string title;
    std::string module;
    std::string position;
    std::optional<int> tabIndex;
    std::string tabName;
    std::optional<int> bannerIndex;
    std::string bannerName;
};

struct VnEventView {
    std::string aname;
    std::string name;  // required
    std::string title;
    std::string position;
};

struct VnEventCashier {
    std::string cashierName;  // required
    std::string cashierTitle;
    std::string subitem;
};

struct VnEventShare {
    std::string aname;
    std::string channel;
    std::string position;
    std::string sharedName;
    std::optional<VnResult> result;
};

struct VnEventTask {
    std::string aname;
    std::string name;  // required
    std::string reason;
    std::optional<float> elapsed;
    std::optional<VnResult> result;  // sent for Success, Cancelled and Fail only
};

struct VnEventFile {
    std::string aname;  // required
    std::string name;
    std::optional<VnIoType> io;
    std::string ext;
    std::optional<float> size;  // sent when above 0
    std::optional<int> duration;
    std::optional<float> fps;
    std::optional<float> bps;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> depth;
    std::optional<VnResult> result;  // sent for Success, Cancelled and Fail only
};

struct VnEventOrder {
    std::string orderId;
    std::string subitem;
    std::string sku;
    std::string vnSuitId;                 // required
    std::optional<VnCurrency> vnCurrency;  // required
    float originalAmount = 0;             // above 0
    std::string voucherId;
    float paidAmount = 0;  // above 0
    std::string cashierName;
    std::string cashierTitle;
    std::optional<int> campaignCode;
    float curOriginalAmount = 0;  // sent when above 0
    float curPaidAmount = 0;      // sent when above 0
};

struct VnEventPayment {
    std::string vnOrderId;  // required
    std::string subitem;
    std::string sku;
    std::optional<VnCurrency> currency;  // required
    float originalAmount = 0;            // not negative
    std::optional<int> campaignCode;
    std::string voucherId;
    std::string usedVoucherId;
    float paidAmount = 0;  // not negative
    std::string suitId;
    std::string cashierName;
    std::string cashierTitle;
    std::optional<VnPaidPlatform> paidPlatform;  // required
    std::optional<VnResult> result;              // Success or Fail
    std::optional<VnIapType> iapType;
    float curOriginalAmount = 0;  // sent when above 0
    float curPaidAmount = 0;      // sent when above 0
};

struct VnEventUpdate {
    VnUpdateOp op = VnUpdateOp::UpdateCheck;
    std::optional<VnUpdateResult> result;
    std::optional<float> elapsed;
};

struct AppOpenNotification {
    std::string msgTitle;
    std::string msgContent;
    std::string linkUrl;
    std::string planId;
    std::string audienceId;
    std::string planStrategyId;
    std::string planType;
    std::string strategyUnitId;
};

struct VnEventLogin {
    std::string userId;
    std::string userName;
    VnUserType userType = VnUserType::Unknown;
    std::string nickname;
    std::string portrait;
    std::string mobilephone;
    std::string email;
    std::string weixin;
    std::string qq;
    std::string did;
    int64_t created = -1;    // seconds since 1970; negative: not set
    int64_t lastLogin = -1;  // seconds since 1970; negative: not set
    std::string lastIp;
    int vipLevel = 0;
    int64_t vipEndDate = 0;  // seconds since 1970; zero or negative: not set
};

}  // namespace varno::telemetry
