// The event records callers fill: UTF-8 strings (empty when not set) and
// optional values held through shared pointers (absent when null).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "analytics/event_types.h"

namespace zorvan::analytics {

struct ZvEventTask {
  std::string aname;
  std::string name;
  std::shared_ptr<double> elapsed;
  std::shared_ptr<ZvResult> result;
  std::string reason;
};

struct ZvEventClick {
  std::string aname;
  std::string name;
  std::shared_ptr<ZvClickType> clickType;  // absent: "Others"
  std::string title, position, module, tabName;
  std::shared_ptr<std::int32_t> tabIndex;
  std::string bannerName;
  std::shared_ptr<std::int32_t> bannerIndex;
};

struct ZvEventView {
  std::string aname;
  std::string name;
  std::string title, position;
};

struct ZvEventCashier {
  std::string cashierName, cashierTitle, subitem;
};

struct ZvEventShare {
  std::string aname, channel, position, sharedName;
  std::shared_ptr<ZvResult> result;
};

struct ZvEventFile {
  std::string aname;
  std::shared_ptr<ZvFileIo> io;
  std::shared_ptr<ZvResult> result;
  std::string name, ext;
  std::shared_ptr<double> size;
  std::shared_ptr<std::int64_t> duration;
  std::shared_ptr<double> fps, bps;
  std::shared_ptr<std::int32_t> width, height, depth;
};

struct ZvEventOrder {
  std::string suitId;
  std::shared_ptr<ZvCurrency> currency;
  double paidAmount = 0, originalAmount = 0;
  std::string orderId, subitem, sku;
  std::int32_t campaignCode = 0;
  std::string voucherId;
  double curOriginalAmount = 0, curPaidAmount = 0;
  std::string cashierName, cashierTitle;
};

struct ZvEventPayment {
  std::string orderId;
  ZvPaidPlatform paidPlatform = ZvPaidPlatform::Alipay;
  ZvCurrency currency = ZvCurrency::CNY;
  double paidAmount = 0, originalAmount = 0;
  std::shared_ptr<ZvResult> result;
  std::string suitId;
  ZvIapType iapType = ZvIapType::Consumable;
  std::string subitem, sku, voucherId, usedVoucherId;
  std::int32_t campaignCode = 0;
  double curOriginalAmount = 0, curPaidAmount = 0;
  std::string cashierName, cashierTitle;
};

struct ZvEventUpdate {
  ZvUpdateOp op = ZvUpdateOp::UpdateCheck;
  std::shared_ptr<ZvUpdateResult> result;
  std::shared_ptr<double> elapsed;
};

struct AppOpenNotification {
  std::string msgTitle, planId, planType;
  std::string msgContent, linkUrl, audienceId, planStrategyId, strategyUnitId;
};

struct ZvEventActivity {
  std::string appStore, appId, appVersion;
};

// The user a login names, and what the profile update records of them.
struct ZvEventLogin {
  std::string userId, userName;
  ZvUserType userType = ZvUserType::Unknown;
  std::string nickname, portrait, mobilephone, email, weixin, qq, did;
  std::int64_t createdSeconds = 0;
  std::string lastIp;
  std::int64_t lastLoginSeconds = 0;
  std::int32_t vipLevel = 0;
  std::int64_t vipEndSeconds = 0;
};

}  // namespace zorvan::analytics
