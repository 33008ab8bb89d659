// The fifteen track operations of TelemetryTrackerImpl: checks, properties and delivery.
#include <chrono>
#include <cstdio>

#include "telemetry/source/src/TelemetryTrackerImpl.h"
#include "telemetry/source/src/Utf8Normalizer.h"
#include "telemetry/source/src/VnException.h"
#include "telemetry/source/src/VnLocationTime.h"
#include "telemetry/telemetry_core/Sdk.h"

namespace varno::telemetry {

using telemetry_core::PropertiesNode;
using telemetry_core::Sdk;

namespace {

// Optional fields: a text only when non-empty, a value only when present.
void AddText(PropertiesNode& p, const char* key, const std::string& value) {
    if (!value.empty()) p.SetString(key, NormalizeUtf8(value));
}
void AddRawText(PropertiesNode& p, const char* key, const std::string& value) {
    if (!value.empty()) p.SetString(key, value);
}
void AddInt(PropertiesNode& p, const char* key, const std::optional<int>& value) {
    if (value) p.SetInteger(key, *value);
}
void AddNumber(PropertiesNode& p, const char* key, const std::optional<float>& value) {
    if (value) p.SetNumber(key, static_cast<double>(*value));
}
void AddPositive(PropertiesNode& p, const char* key, float value) {
    if (value > 0) p.SetNumber(key, static_cast<double>(value));
}
// Results are sent for Success, Cancelled and Fail; other values are left out.
void AddKnownResult(PropertiesNode& p, const char* key, const std::optional<VnResult>& value) {
    if (value && static_cast<int>(*value) >= 0 && static_cast<int>(*value) <= 2) p.SetString(key, toString(*value));
}

std::string Amount(const char* name, float amount) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%s = %f is invalid", name, static_cast<double>(amount));
    return buffer;
}

}  // namespace

void TelemetryTrackerImpl::trackActivity(const VnContextProperties& context) {
    PropertiesNode p;
    context.mergeInto(VnEventType::Activity, p);
    AddText(p, "vn_app_store", config_.appStore);
    AddText(p, "vn_app_id", config_.appName);
    AddText(p, "$app_id", config_.appName);
    AddText(p, "$app_version", config_.appVersion);
    p.SetString("$ios_install_source", "android_id=123##imei=1234##mac=123");
    AddText(p, "$user_agent", userAgent());
    p.SetBool("$is_first_time", true);
    p.SetString("$os", environment_.osName);
    p.SetString("$os_version", NormalizeUtf8(environment_.osVersion));
    Sdk::TrackInstallation("VnEventActivity", p);
    profileAfterActivity();
    log(VnEventType::Activity, p);
    requestDelivery(true);
}

void TelemetryTrackerImpl::trackLaunch(const VnContextProperties& context) {
    PropertiesNode p;
    record(VnEventType::Launch, "VnEventLaunch", p, &context, false);
    profileAfterLaunch();
    requestDelivery(true);
}

void TelemetryTrackerImpl::trackLogin(const VnEventLogin& event, bool success, const std::string& reason,
                                      const VnContextProperties& context) {
    PropertiesNode p;
    if (!event.userId.empty()) {
        p.SetString("vn_user_id", event.userId);
        p.SetString("vn_login_id", event.userId);
    }
    p.SetString("vn_type", userType(event.userType));
    p.SetString("vn_result", success ? "Success" : "Fail");
    AddText(p, "vn_reason", reason);
    log(VnEventType::Login, p);
    if (event.userId.empty()) {
        context.mergeInto(VnEventType::Login, p);
        Sdk::Track("VnEventLogin", p);
        requestDelivery(true);
        return;
    }
    p.SetBool("$is_first_time", true);
    context.mergeInto(VnEventType::Login, p);
    Sdk::Track("VnEventLogin", p);
    state_->vipLevel = event.vipLevel;
    if (!state_->isLogined || state_->userId.empty()) {
        Sdk::Login(event.userId);
        state_->isLogined = true;
        state_->userId = event.userId;
        state_->distinctId = event.userId;
        PropertiesNode user;
        user.SetString("vn_user_id", event.userId);
        Sdk::RegisterSuperProperties(user);
    }
    saveIdentity();
    LocationInfo location;
    if (!state_->locationDisabled && VnLocationTime::query(location)) {
        profileAfterLogin(event, -1);
    } else {
        std::unique_lock guard(state_->profileLock, std::try_to_lock);
        if (guard) {
            state_->deferredLogin = event;
            state_->deferredLoginTime = std::chrono::duration_cast<std::chrono::milliseconds>(
                                            std::chrono::system_clock::now().time_since_epoch()).count();
        }
    }
    requestDelivery(true);
}

void TelemetryTrackerImpl::trackClick(const VnEventClick& event, const VnContextProperties& context) {
    if (event.name.empty()) VN_THROW("trackClick", "vnEventClick.name is empty");
    PropertiesNode p;
    AddText(p, "vn_aname", event.aname);
    p.SetString("vn_name", NormalizeUtf8(event.name));
    p.SetString("vn_click_type", toString(event.clickType));
    AddText(p, "vn_title", event.title);
    AddText(p, "vn_module", event.module);
    AddText(p, "vn_position", event.position);
    AddInt(p, "vn_tab_index", event.tabIndex);
    AddText(p, "vn_tab_name", event.tabName);
    AddInt(p, "vn_banner_index", event.bannerIndex);
    AddText(p, "vn_banner_name", event.bannerName);
    record(VnEventType::Click, "VnEventClick", p, &context, true);
    requestDelivery(false);
}

void TelemetryTrackerImpl::trackView(const VnEventView& event, const VnContextProperties& context) {
    if (event.name.empty()) VN_THROW("trackView", "vnEventView.name is empty");
    PropertiesNode p;
    AddText(p, "vn_aname", event.aname);
    p.SetString("vn_name", NormalizeUtf8(event.name));
    AddText(p, "vn_title", event.title);
    AddText(p, "vn_position", event.position);
    record(VnEventType::View, "VnEventView", p, &context, true);
    requestDelivery(false);
}

void TelemetryTrackerImpl::trackCashier(const VnEventCashier& event, const VnContextProperties& context) {
    if (event.cashierName.empty()) VN_THROW("trackCashier", "vnEventCashier.vn_cashier_name is empty");
    PropertiesNode p;
    p.SetString("vn_cashier_name", NormalizeUtf8(event.cashierName));
    AddText(p, "vn_cashier_title", event.cashierTitle);
    AddText(p, "vn_subitem", event.subitem);
    record(VnEventType::Cashier, "VnEventCashier", p, &context, true);
    requestDelivery(false);
}

void TelemetryTrackerImpl::trackShare(const VnEventShare& event, const VnContextProperties& context) {
    PropertiesNode p;
    AddText(p, "vn_aname", event.aname);
    AddText(p, "vn_channel", event.channel);
    AddText(p, "vn_position", event.position);
    AddText(p, "vn_shared_name", event.sharedName);
    if (event.result) p.SetString("vn_result", toString(*event.result));
    record(VnEventType::Share, "VnEventShare", p, &context, true);
    requestDelivery(false);
}

void TelemetryTrackerImpl::trackTask(const VnEventTask& event, const VnContextProperties& context) {
    if (event.name.empty()) VN_THROW("trackTask", "vnEventTask.name is empty");
    PropertiesNode p;
    AddText(p, "vn_aname", event.aname);
    p.SetString("vn_task_name", NormalizeUtf8(event.name));
    AddText(p, "vn_reason", event.reason);
    AddNumber(p, "vn_task_elapsed", event.elapsed);
    AddKnownResult(p, "vn_task_result", event.result);
    record(VnEventType::Task, "VnEventTask", p, &context, true);
    requestDelivery(false);
}

void TelemetryTrackerImpl::trackFile(const VnEventFile& event, const VnContextProperties& context) {
    if (event.aname.empty()) VN_THROW("trackFile", "vnEventFile.aname is empty");
    PropertiesNode p;
    p.SetString("vn_aname", NormalizeUtf8(event.aname));
    AddText(p, "vn_name", event.name);
    if (event.io) p.SetString("vn_io", toString(*event.io));
    AddText(p, "vn_ext", event.ext);
    if (event.size) AddPositive(p, "vn_size", *event.size);
    AddInt(p, "vn_duration", event.duration);
    AddNumber(p, "vn_fps", event.fps);
    AddNumber(p, "vn_bps", event.bps);
    AddInt(p, "vn_width", event.width);
    AddInt(p, "vn_height", event.height);
    AddInt(p, "vn_depth", event.depth);
    AddKnownResult(p, "vn_result", event.result);
    record(VnEventType::File, "VnEventFile", p, &context, true);
    requestDelivery(false);
}

void TelemetryTrackerImpl::trackOrder(const VnEventOrder& event, const VnContextProperties& context) {
    if (event.vnSuitId.empty()) VN_THROW("trackOrder", "vnEventOrder.vnSuitId is empty");
    if (!event.vnCurrency) VN_THROW("trackOrder", "vnEventOrder.vnCurrency is nullptr");
    if (!(event.originalAmount > 0)) VN_THROW("trackOrder", "vnEventOrder.originalAmount is less than zero");
    if (!(event.paidAmount > 0)) VN_THROW("trackOrder", "vnEventOrder.paidAmount is less than zero");
    PropertiesNode p;
    AddText(p, "vn_order_id", event.orderId);
    AddText(p, "vn_subitem", event.subitem);
    AddText(p, "vn_sku", event.sku);
    p.SetString("vn_suit_id", NormalizeUtf8(event.vnSuitId));
    p.SetString("vn_currency", toString(*event.vnCurrency));
    p.SetNumber("vn_original_amount", static_cast<double>(event.originalAmount));
    AddText(p, "vn_voucher_id", event.voucherId);
    p.SetNumber("vn_paid_amount", static_cast<double>(event.paidAmount));
    AddText(p, "vn_cashier_name", event.cashierName);
    AddText(p, "vn_cashier_title", event.cashierTitle);
    AddInt(p, "vn_campaign_code", event.campaignCode);
    AddPositive(p, "vn_cur_original_amount", event.curOriginalAmount);
    AddPositive(p, "vn_cur_paid_amount", event.curPaidAmount);
    record(VnEventType::Order, "VnEventOrder", p, &context, true);
    requestDelivery(false);
}

void TelemetryTrackerImpl::trackPayment(const VnEventPayment& event, const VnContextProperties& context) {
    if (event.vnOrderId.empty()) VN_THROW("trackPayment", "vnEventPayment.vnOrderId is empty");
    if (event.paidAmount < 0) VN_THROW("trackPayment", Amount("paidAmount", event.paidAmount));
    if (event.originalAmount < 0) VN_THROW("trackPayment", Amount("originalAmount", event.originalAmount));
    if (!event.result || (*event.result != VnResult::Success && *event.result != VnResult::Fail))
        VN_THROW("trackPayment", "vnEventPayment.result is invalid");
    // Callers must give both; refusing the record is safer than sending it without them.
    if (!event.currency) VN_THROW("trackPayment", "vnEventPayment.currency is nullptr");
    if (!event.paidPlatform) VN_THROW("trackPayment", "vnEventPayment.paidPlatform is nullptr");
    PropertiesNode p;
    p.SetString("vn_order_id", NormalizeUtf8(event.vnOrderId));
    AddText(p, "vn_subitem", event.subitem);
    AddText(p, "vn_sku", event.sku);
    p.SetString("vn_currency", toString(*event.currency));
    p.SetNumber("vn_original_amount", static_cast<double>(event.originalAmount));
    AddInt(p, "vn_campaign_code", event.campaignCode);
    AddText(p, "vn_voucher_id", event.voucherId);
    AddText(p, "vn_used_voucher_id", event.usedVoucherId);
    p.SetNumber("vn_paid_amount", static_cast<double>(event.paidAmount));
    AddText(p, "vn_suit_id", event.suitId);
    AddText(p, "vn_cashier_name", event.cashierName);
    AddText(p, "vn_cashier_title", event.cashierTitle);
    p.SetString("vn_paid_platform", toString(*event.paidPlatform));
    p.SetString("vn_result", toString(*event.result));
    if (event.iapType) p.SetString("vn_iap_type", toString(*event.iapType));
    AddPositive(p, "vn_cur_original_amount", event.curOriginalAmount);
    AddPositive(p, "vn_cur_paid_amount", event.curPaidAmount);
    record(VnEventType::Payment, "VnEventPayment", p, &context, true);
    profileAfterPayment(event.paidAmount);
    if (*event.result == VnResult::Success) {
        state_->vipLevel = 1;
        saveIdentity();
    }
    requestDelivery(true);
}

void TelemetryTrackerImpl::trackUninstall(const std::string& reason, const VnContextProperties& context) {
    PropertiesNode p;
    AddText(p, "vn_uninstall_reason", reason);
    record(VnEventType::Uninstall, "VnEventUninstall", p, &context, false);
    requestDelivery(true);
}

void TelemetryTrackerImpl::trackCrash(const std::string& reason) {
    PropertiesNode p;
    AddText(p, "app_crashed_reason", reason);
    record(VnEventType::Crashed, "AppCrashed", p, nullptr, false);
    requestDelivery(true);
}

void TelemetryTrackerImpl::trackUpdate(const VnEventUpdate& event, const VnContextProperties& context) {
    PropertiesNode p;
    p.SetString("vn_update_op", toString(event.op));
    const std::string result = event.result ? toString(*event.result) : std::string();
    if (event.op == VnUpdateOp::UpdateCheck) {
        p.SetString("vn_update_result", result);
    } else if (event.op == VnUpdateOp::DownloadEnd || event.op == VnUpdateOp::UpgrateEnd) {
        if (result.empty()) VN_THROW("trackUpdate", "Unknown updateResultInfo info");
        p.SetString("vn_update_result", result);
        if (event.op == VnUpdateOp::UpgrateEnd) p.SetBool("$is_first_time", true);
        if (!event.elapsed) VN_THROW("trackUpdate", "invalid elapsed info");
        p.SetNumber("vn_elapsed", static_cast<double>(*event.elapsed));
    }
    record(VnEventType::Update, "VnEventUpdate", p, &context, false);
    requestDelivery(true);
}

void TelemetryTrackerImpl::trackAppOpenNotification(const AppOpenNotification* notification,
                                                    const VnContextProperties& context) {
    if (!notification) VN_THROW("trackAppOpenNotification", "&appOpenNotification is nullptr");
    if (notification->planId.empty()) VN_THROW("trackAppOpenNotification", "planID is emptry");
    if (notification->planType.empty()) VN_THROW("trackAppOpenNotification", "planType is emptry");
    if (notification->msgTitle.empty()) VN_THROW("trackAppOpenNotification", "msgTitle is emptry");
    PropertiesNode p;
    p.SetString("$sf_msg_title", NormalizeUtf8(notification->msgTitle));
    p.SetString("$sf_plan_id", notification->planId);
    p.SetString("$sf_plan_type", notification->planType);
    AddText(p, "$sf_msg_content", notification->msgContent);
    AddRawText(p, "$sf_link_url", notification->linkUrl);
    AddRawText(p, "$sf_audience_id", notification->audienceId);
    AddRawText(p, "$sf_plan_strategy_id", notification->planStrategyId);
    AddRawText(p, "$sf_strategy_unit_id", notification->strategyUnitId);
    record(VnEventType::AppOpenNotification, "AppOpenNotification", p, &context, true);
    requestDelivery(false);
}

}  // namespace varno::telemetry
