#include "analytics/event_catalogue.h"

#include "analytics/zv_exception.h"

namespace zorvan::analytics {

namespace {

void SetIf(PropertiesNode& properties, const char* key, const std::string& value) {
  if (!value.empty()) properties.SetString(key, value);
}

template <typename T>
void SetNumberIf(PropertiesNode& properties, const char* key, const std::shared_ptr<T>& value) {
  if (value) properties.SetNumber(key, static_cast<double>(*value));
}

template <typename T>
void SetIntegerIf(PropertiesNode& properties, const char* key, const std::shared_ptr<T>& value) {
  if (value) properties.SetInteger(key, static_cast<std::int64_t>(*value));
}

// Results 0 to 2 are sent; Unknown is left out.
void SetResultUpToFail(PropertiesNode& properties, const char* key,
                       const std::shared_ptr<ZvResult>& result) {
  if (!result) return;
  const auto raw = static_cast<std::int32_t>(*result);
  if (raw >= 0 && raw <= 2) properties.SetString(key, ToText(*result));
}

void FirstTime(PropertiesNode& properties) { properties.SetBool("$is_first_time", true); }

}  // namespace

PropertiesNode TaskProperties(const ZvEventTask& event) {
  if (event.name.empty()) ThrowZv("trackTask", "zvEventTask.name is empty");
  PropertiesNode p;
  p.SetString("zv_task_name", event.name);
  SetNumberIf(p, "zv_task_elapsed", event.elapsed);
  SetResultUpToFail(p, "zv_task_result", event.result);
  SetIf(p, "zv_aname", event.aname);
  SetIf(p, "zv_reason", event.reason);
  FirstTime(p);
  return p;
}

PropertiesNode ClickProperties(const ZvEventClick& event) {
  if (event.name.empty()) ThrowZv("trackClick", "zvEventClick.name is empty");
  PropertiesNode p;
  p.SetString("zv_name", event.name);
  p.SetString("zv_click_type",
              ToText(event.clickType ? *event.clickType : ZvClickType::Others, "trackClick"));
  SetIf(p, "zv_aname", event.aname);
  SetIf(p, "zv_title", event.title);
  SetIf(p, "zv_position", event.position);
  SetIf(p, "zv_module", event.module);
  SetIf(p, "zv_tab_name", event.tabName);
  SetIntegerIf(p, "zv_tab_index", event.tabIndex);
  SetIf(p, "zv_banner_name", event.bannerName);
  SetIntegerIf(p, "zv_banner_index", event.bannerIndex);
  FirstTime(p);
  return p;
}

PropertiesNode ViewProperties(const ZvEventView& event) {
  if (event.name.empty()) ThrowZv("trackView", "zvEventView.name is empty");
  PropertiesNode p;
  p.SetString("zv_name", event.name);
  SetIf(p, "zv_aname", event.aname);
  SetIf(p, "zv_title", event.title);
  SetIf(p, "zv_position", event.position);
  FirstTime(p);
  return p;
}

PropertiesNode CashierProperties(const ZvEventCashier& event) {
  if (event.cashierName.empty()) {
    ThrowZv("trackCashier", "zvEventCashier.zv_cashier_name is empty");
  }
  PropertiesNode p;
  p.SetString("zv_cashier_name", event.cashierName);
  SetIf(p, "zv_cashier_title", event.cashierTitle);
  SetIf(p, "zv_subitem", event.subitem);
  FirstTime(p);
  return p;
}

PropertiesNode ShareProperties(const ZvEventShare& event) {
  PropertiesNode p;
  SetIf(p, "zv_aname", event.aname);
  SetIf(p, "zv_channel", event.channel);
  SetIf(p, "zv_position", event.position);
  SetIf(p, "zv_shared_name", event.sharedName);
  if (event.result) p.SetString("zv_result", ToText(*event.result, "trackShare"));
  FirstTime(p);
  return p;
}

PropertiesNode FileProperties(const ZvEventFile& event) {
  if (event.aname.empty()) ThrowZv("trackFile", "zvEventFile.aname is empty");
  PropertiesNode p;
  p.SetString("zv_aname", event.aname);
  if (event.io) p.SetString("zv_io", ToText(*event.io, "trackFile"));
  SetResultUpToFail(p, "zv_result", event.result);
  SetIf(p, "zv_name", event.name);
  SetIf(p, "zv_ext", event.ext);
  if (event.size && *event.size > 0) p.SetNumber("zv_size", *event.size);
  SetIntegerIf(p, "zv_duration", event.duration);
  SetNumberIf(p, "zv_fps", event.fps);
  SetNumberIf(p, "zv_bps", event.bps);
  SetIntegerIf(p, "zv_width", event.width);
  SetIntegerIf(p, "zv_height", event.height);
  SetIntegerIf(p, "zv_depth", event.depth);
  FirstTime(p);
  return p;
}

PropertiesNode OrderProperties(const ZvEventOrder& event) {
  if (event.suitId.empty()) ThrowZv("trackOrder", "zvEventOrder.zvSuitId is empty");
  if (!event.currency) ThrowZv("trackOrder", "zvEventOrder.zvCurrency is nullptr");
  if (event.originalAmount < 0) ThrowZv("trackOrder", "zvEventOrder.originalAmount is less than zero");
  PropertiesNode p;
  p.SetString("zv_suit_id", event.suitId);
  p.SetString("zv_currency", ToText(*event.currency, "trackOrder"));
  p.SetNumber("zv_paid_amount", event.paidAmount);
  p.SetNumber("zv_original_amount", event.originalAmount);
  SetIf(p, "zv_order_id", event.orderId);
  SetIf(p, "zv_subitem", event.subitem);
  SetIf(p, "zv_sku", event.sku);
  p.SetInteger("zv_campaign_code", event.campaignCode);
  SetIf(p, "zv_voucher_id", event.voucherId);
  p.SetNumber("zv_cur_original_amount", event.curOriginalAmount);
  p.SetNumber("zv_cur_paid_amount", event.curPaidAmount);
  SetIf(p, "zv_cashier_name", event.cashierName);
  SetIf(p, "zv_cashier_title", event.cashierTitle);
  FirstTime(p);
  return p;
}

PropertiesNode PaymentProperties(const ZvEventPayment& event) {
  if (event.orderId.empty()) ThrowZv("trackPayment", "zvEventPayment.zvOrderId is empty");
  if (event.paidAmount < 0) {
    ThrowZv("trackPayment", "paidAmount = " + zv_transport::FormatNumber(event.paidAmount) + " is invalid");
  }
  if (event.originalAmount < 0) {
    ThrowZv("trackPayment",
            "originalAmount = " + zv_transport::FormatNumber(event.originalAmount) + " is invalid");
  }
  if (!event.result || (*event.result != ZvResult::Success && *event.result != ZvResult::Fail)) {
    ThrowZv("trackPayment", "zvEventPayment.result is invalid");
  }
  PropertiesNode p;
  p.SetString("zv_order_id", event.orderId);
  p.SetString("zv_paid_platform", ToText(event.paidPlatform, "trackPayment"));
  p.SetString("zv_currency", ToText(event.currency, "trackPayment"));
  p.SetNumber("zv_paid_amount", event.paidAmount);
  p.SetNumber("zv_original_amount", event.originalAmount);
  p.SetString("zv_result", ToText(*event.result, "trackPayment"));
  SetIf(p, "zv_suit_id", event.suitId);
  p.SetString("zv_iap_type", ToText(event.iapType, "trackPayment"));
  SetIf(p, "zv_subitem", event.subitem);
  SetIf(p, "zv_sku", event.sku);
  SetIf(p, "zv_voucher_id", event.voucherId);
  SetIf(p, "zv_used_voucher_id", event.usedVoucherId);
  p.SetInteger("zv_campaign_code", event.campaignCode);
  p.SetNumber("zv_cur_original_amount", event.curOriginalAmount);
  p.SetNumber("zv_cur_paid_amount", event.curPaidAmount);
  SetIf(p, "zv_cashier_name", event.cashierName);
  SetIf(p, "zv_cashier_title", event.cashierTitle);
  FirstTime(p);
  return p;
}

PropertiesNode UninstallProperties(const std::string& reason) {
  PropertiesNode p;
  SetIf(p, "zv_uninstall_reason", reason);
  return p;
}

PropertiesNode CrashProperties(const std::string& reason) {
  PropertiesNode p;
  SetIf(p, "app_crashed_reason", reason);
  return p;
}

PropertiesNode UpdateProperties(const ZvEventUpdate& event) {
  PropertiesNode p;
  p.SetString("zv_update_op", ToText(event.op, "trackUpdate"));
  const bool ends = event.op == ZvUpdateOp::DownloadEnd || event.op == ZvUpdateOp::UpgrateEnd;
  if (ends) {
    if (!event.result) ThrowZv("trackUpdate", "Unknown updateResultInfo info");
    if (!event.elapsed) ThrowZv("trackUpdate", "invalid elapsed info");
  }
  if (ends || event.op == ZvUpdateOp::UpdateCheck) {
    if (event.result) p.SetString("zv_update_result", ToText(*event.result, "trackUpdate"));
  }
  if (event.op == ZvUpdateOp::UpgrateEnd) FirstTime(p);
  if (ends) p.SetNumber("zv_elapsed", *event.elapsed);
  return p;
}

PropertiesNode AppOpenNotificationProperties(const AppOpenNotification* event) {
  const char* function = "trackAppOpenNotification";
  if (event == nullptr) ThrowZv(function, "&appOpenNotification is nullptr");
  if (event->planId.empty()) ThrowZv(function, "planID is emptry");
  if (event->planType.empty()) ThrowZv(function, "planType is emptry");
  if (event->msgTitle.empty()) ThrowZv(function, "msgTitle is emptry");
  PropertiesNode p;
  p.SetString("$sf_msg_title", event->msgTitle);
  p.SetString("$sf_plan_id", event->planId);
  p.SetString("$sf_plan_type", event->planType);
  SetIf(p, "$sf_msg_content", event->msgContent);
  SetIf(p, "$sf_link_url", event->linkUrl);
  SetIf(p, "$sf_audience_id", event->audienceId);
  SetIf(p, "$sf_plan_strategy_id", event->planStrategyId);
  SetIf(p, "$sf_strategy_unit_id", event->strategyUnitId);
  FirstTime(p);
  return p;
}

PropertiesNode LoginProperties(const ZvEventLogin& event, bool success, const std::string& reason) {
  PropertiesNode p;
  if (!event.userId.empty()) {
    p.SetString("zv_user_id", event.userId);
    p.SetString("zv_login_id", event.userId);
  }
  p.SetString("zv_type", ToText(event.userType, "trackLogin"));
  p.SetString("zv_result", success ? "Success" : "Fail");
  SetIf(p, "zv_reason", reason);
  if (!event.userId.empty()) FirstTime(p);
  return p;
}

void AddActivityProperties(const ZvEventActivity& event, PropertiesNode& p) {
  SetIf(p, "zv_app_store", event.appStore);
  if (!event.appId.empty()) {
    p.SetString("zv_app_id", event.appId);
    p.SetString("$app_id", event.appId);
  }
  SetIf(p, "$app_version", event.appVersion);
  p.SetString("$ios_install_source", "android_id=123##imei=1234##mac=123");
  FirstTime(p);
}

}  // namespace zorvan::analytics
