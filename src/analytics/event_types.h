// The enumerations of the event catalogue and their fixed texts. Converting
// a value outside its list throws ZvException.
#pragma once

#include <cstdint>
#include <string>

namespace zorvan::analytics {

enum class TrackEventType : std::int32_t {
  Activity = 0, Launch = 1, Login = 2, Click = 3, View = 4, Cashier = 5, Share = 6, Task = 7,
  File = 8, Order = 9, Payment = 10, Uninstall = 11, Update = 12, Crashed = 13,
  AppOpenNotification = 14,
};
inline constexpr std::int32_t kTrackEventKinds = 15;

enum class ZvResult : std::int32_t { Success = 0, Cancelled = 1, Fail = 2, Unknown = 3 };
enum class ZvEdition : std::int32_t { China = 0, Overseas = 1 };
enum class ZvUserType : std::int32_t {
  Unknown = 0, MobilePhone, Email, Weixin, QQ, DeviceId, Baidu, Huawei, Apple, ZorvanUserId,
  Google, Facebook,
};
enum class ZvClickType : std::int32_t { Button = 0, Banner, Tutorial, File, Others };
enum class ZvFileIo : std::int32_t { Input = 0, Output = 1 };
enum class ZvCurrency : std::int32_t { CNY = 0, USD, EUR, HKD, TWD, MOP, SGD, JPY, KRW, INR, GBP };
enum class ZvPaidPlatform : std::int32_t {
  Alipay = 0, WeChatPay, PayPal, Tenpay, CIECC, GooglePay, HuaweiPay, AppleIAP, Paddle,
  ChinaUnionPay,
};
enum class ZvIapType : std::int32_t { Consumable = 0, NonConsumable, AutoRenewable, NonRenewable };
enum class ZvUpdateOp : std::int32_t {
  UpdateCheck = 0, DownloadStart, DownloadEnd, UpgrateStart, UpgrateEnd,
};
enum class ZvUpdateResult : std::int32_t {
  Success = 0, Cancelled, Timeout, Fail, Latest, Updateable,
};

// `function` names the operation in the exception.
std::string ToText(TrackEventType value, const char* function = "toString");
std::string ToText(ZvResult value, const char* function = "toString");
std::string ToText(ZvEdition value, const char* function = "toString");
std::string ToText(ZvUserType value, const char* function = "toString");
std::string ToText(ZvClickType value, const char* function = "toString");
std::string ToText(ZvFileIo value, const char* function = "toString");
std::string ToText(ZvCurrency value, const char* function = "toString");
std::string ToText(ZvPaidPlatform value, const char* function = "toString");
std::string ToText(ZvIapType value, const char* function = "toString");
std::string ToText(ZvUpdateOp value, const char* function = "toString");
std::string ToText(ZvUpdateResult value, const char* function = "toString");

}  // namespace zorvan::analytics
