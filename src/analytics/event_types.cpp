#include "analytics/event_types.h"

#include <iterator>

#include "analytics/zv_exception.h"

namespace zorvan::analytics {

namespace {

template <std::size_t N>
std::string Pick(const char* const (&texts)[N], std::int32_t value, const char* function,
                 const std::string& unknownPrefix, bool withNumber = true) {
  if (value >= 0 && static_cast<std::size_t>(value) < N) return texts[value];
  ThrowZv(function, withNumber ? unknownPrefix + "[" + std::to_string(value) + "]!" : unknownPrefix);
}

template <typename E>
std::int32_t Raw(E value) {
  return static_cast<std::int32_t>(value);
}

}  // namespace

std::string ToText(TrackEventType value, const char* function) {
  static const char* const kTexts[] = {"Activity", "PaLaunchPal", "Login", "Click", "View",
                                       "Cashier", "Share", "Task", "File", "Order", "Payment",
                                       "Uninstall", "Update", "Crashed", "AppOpenNotification"};
  return Pick(kTexts, Raw(value), function, "Unknown Event ");
}

std::string ToText(ZvResult value, const char* function) {
  static const char* const kTexts[] = {"Success", "Cancelled", "Fail", "Unknown"};
  return Pick(kTexts, Raw(value), function, "Unknown task result ");
}

std::string ToText(ZvEdition value, const char* function) {
  static const char* const kTexts[] = {"china", "overseas"};
  return Pick(kTexts, Raw(value), function, "Unknown edition ");
}

std::string ToText(ZvUserType value, const char* function) {
  static const char* const kTexts[] = {"unknown", "mobilephone", "email", "weixin",
                                       "qq", "deviceid", "baidu", "huawei",
                                       "apple", "zorvanuserid", "google", "facebook"};
  return Pick(kTexts, Raw(value), function, "Unknown user type ");
}

std::string ToText(ZvClickType value, const char* function) {
  static const char* const kTexts[] = {"Button", "Banner", "Tutorial", "File", "Others"};
  return Pick(kTexts, Raw(value), function, "Unknown ClickType ");
}

std::string ToText(ZvFileIo value, const char* function) {
  static const char* const kTexts[] = {"Input", "Output"};
  return Pick(kTexts, Raw(value), function, "the io type is invalid", false);
}

std::string ToText(ZvCurrency value, const char* function) {
  static const char* const kTexts[] = {"CNY", "USD", "EUR", "HKD", "TWD", "MOP",
                                       "SGD", "JPY", "KRW", "INR", "GBP"};
  return Pick(kTexts, Raw(value), function, "Unknown currency ");
}

std::string ToText(ZvPaidPlatform value, const char* function) {
  static const char* const kTexts[] = {"Alipay", "WeChatPay", "PayPal", "Tenpay", "CIECC",
                                       "GooglePay", "HuaweiPay", "AppleIAP", "Paddle",
                                       "ChinaUnionPay"};
  return Pick(kTexts, Raw(value), function, "Unknown paid platform ");
}

std::string ToText(ZvIapType value, const char* function) {
  static const char* const kTexts[] = {"Consumable", "NonConsumable", "AutoRenewable",
                                       "NonRenewable"};
  return Pick(kTexts, Raw(value), function, "Unknown zvIapType ");
}

std::string ToText(ZvUpdateOp value, const char* function) {
  static const char* const kTexts[] = {"UpdateCheck", "DownloadStart", "DownloadEnd",
                                       "UpgrateStart", "UpgrateEnd"};
  return Pick(kTexts, Raw(value), function, "Unknown ZvUpdateOp ");
}

std::string ToText(ZvUpdateResult value, const char* function) {
  static const char* const kTexts[] = {"Success", "Cancelled", "Timeout", "Fail", "Latest",
                                       "Updateable"};
  return Pick(kTexts, Raw(value), function, "Unknown ZvUpdateResult ");
}

}  // namespace zorvan::analytics
