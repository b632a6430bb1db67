#include "analytics/user_tracker.h"

#include <map>

#include "analytics/sdk/record_builder.h"
#include "analytics/sdk/sdk.h"
#include "analytics/system_facts.h"
#include "analytics/zv_exception.h"

namespace zorvan::analytics {

namespace {

using zv_transport::PropertiesNode;
using zv_transport::Sdk;

const std::map<std::string, ProfileMode>& Catalogue() {
  static const std::map<std::string, ProfileMode> catalogue = [] {
    std::map<std::string, ProfileMode> modes;
    for (const char* name :
         {"zv_label", "zv_os", "zv_os_version", "zv_manufacturer", "zv_model", "zv_app_store",
          "zv_app_platform", "zv_last_app_id", "zv_last_app_version", "zv_carrier",
          "zv_last_visit_date", "aurora_pushid", "zv_user_id", "zv_user_name", "zv_user_type",
          "zv_user_nickname", "zv_user_portrait", "zv_user_mobilephone", "zv_user_email",
          "zv_user_weixin", "zv_user_qq", "zv_user_did", "zv_user_created", "zv_user_last_login",
          "zv_user_last_ip", "zv_user_vip_level", "zv_user_vip_enddate", "idfa", "imei",
          "android_id", "oaid", "zv_ip", "zv_country_code", "zv_country", "zv_province",
          "zv_city", "zv_last_paid_date"}) {
      modes[name] = ProfileMode::Set;
    }
    for (const char* name : {"$first_visit_time", "zv_first_visit_date", "$ios_install_source",
                             "zv_first_paid_date"}) {
      modes[name] = ProfileMode::SetOnce;
    }
    for (const char* name : {"zv_visit_count", "zv_paid_count", "zv_consumption"}) {
      modes[name] = ProfileMode::Increment;
    }
    return modes;
  }();
  return catalogue;
}

[[noreturn]] void Refuse(const char* function, const std::string& message) {
  ThrowZv(function, message, kUserTrackerSourceFile);
}

std::string NotSupported(const std::string& name) {
  return "Not supported user property [" + name + "]!";
}

void SetNumberMode(const char* function, const std::string& name, double value,
                   bool integer, std::int64_t integerValue) {
  switch (NativeUserTracker::ModeOf(name)) {
    case ProfileMode::SetOnce: Sdk::profileSetOnce(name, value); return;
    case ProfileMode::Set: Sdk::profileSet(name, value); return;
    case ProfileMode::Increment:
      if (integer) {
        Sdk::profileIncrement(name, integerValue);
      } else {
        PropertiesNode properties;
        properties.SetNumber(name, value);
        Sdk::profileIncrement(properties);
      }
      return;
    case ProfileMode::Append:
      Refuse(function, "user property [" + name + "] is number value, it cannot be append to list!");
    case ProfileMode::Unsupported: break;
  }
  Refuse(function, NotSupported(name));
}

void AppIdentityProperties(const AppIdentity& app) {
  NativeUserTracker::ProfileUserPropertyString("zv_app_store", app.appStore);
  NativeUserTracker::ProfileUserPropertyString("zv_last_app_id", app.appName);
  NativeUserTracker::ProfileUserPropertyString("zv_last_app_version", app.appVersion);
}

void VisitTimes(std::int64_t now) {
  NativeUserTracker::ProfileUserPropertyDateTime("$first_visit_time", now);
  NativeUserTracker::ProfileUserPropertyDateTime("zv_first_visit_date", now);
  NativeUserTracker::ProfileUserPropertyDateTime("zv_last_visit_date", now);
}

}  // namespace

ProfileMode NativeUserTracker::ModeOf(const std::string& name) {
  const auto found = Catalogue().find(name);
  return found == Catalogue().end() ? ProfileMode::Unsupported : found->second;
}

void NativeUserTracker::ProfileUserPropertyString(const std::string& name, const std::string& value) {
  const char* function = "ProfileUserPropertyString";
  switch (ModeOf(name)) {
    case ProfileMode::SetOnce: Sdk::profileSetOnce(name, value); return;
    case ProfileMode::Set: Sdk::profileSet(name, value); return;
    case ProfileMode::Append: Sdk::profileAppend(name, value); return;
    case ProfileMode::Increment:
      Refuse(function, "user property [" + name + "] is string type value, it cannot be accumulated!");
    case ProfileMode::Unsupported: break;
  }
  Refuse(function, NotSupported(name));
}

void NativeUserTracker::ProfileUserPropertyNumber(const std::string& name, std::int32_t value) {
  SetNumberMode("ProfileUserPropertyNumber", name, value, true, value);
}

void NativeUserTracker::ProfileUserPropertyNumber(const std::string& name, double value) {
  SetNumberMode("ProfileUserPropertyNumber", name, value, false, 0);
}

void NativeUserTracker::ProfileUserPropertyDateTime(const std::string& name, std::int64_t milliseconds) {
  const char* function = "ProfileUserPropertyDateTime";
  PropertiesNode properties;
  properties.SetDateTime(name, zv_transport::DateTime{milliseconds / 1000,
                                                      static_cast<std::int32_t>(milliseconds % 1000)});
  switch (ModeOf(name)) {
    case ProfileMode::SetOnce: Sdk::profileSetOnce(properties); return;
    case ProfileMode::Set: Sdk::profileSet(properties); return;
    case ProfileMode::Increment:
      Refuse(function, "user property [" + name + "] is boolean value, it cannot be accumulative!");
    case ProfileMode::Append:
      Refuse(function, "user property [" + name + "] is boolean value, it cannot be append to list!");
    case ProfileMode::Unsupported: break;
  }
  Refuse(function, NotSupported(name));
}

void NativeUserTracker::UpdateLocation(const LocationResult& location) {
  if (!location.present()) return;
  const std::pair<const char*, const std::string*> fields[] = {
      {"zv_ip", &location.ip},           {"zv_country", &location.country},
      {"zv_country_code", &location.countryCode}, {"zv_province", &location.province},
      {"zv_city", &location.city}};
  for (const auto& [name, value] : fields) {
    if (!value->empty()) ProfileUserPropertyString(name, *value);
  }
}

void NativeUserTracker::AfterActivity(const AppIdentity& app, const OsNameAndVersion& os,
                                      const LocationResult* location) {
  VisitTimes(zv_transport::NowMilliseconds());
  ProfileUserPropertyString("zv_os", os.name);
  ProfileUserPropertyString("zv_os_version", os.version);
  ProfileUserPropertyString("zv_app_store", app.appStore);
  ProfileUserPropertyString("zv_app_platform", PlatformName());
  ProfileUserPropertyString("zv_last_app_id", app.appName);
  ProfileUserPropertyString("zv_last_app_version", app.appVersion);
  ProfileUserPropertyString("$ios_install_source", "android_id=123##imei=1234##mac=123");
  if (location != nullptr) UpdateLocation(*location);
}

void NativeUserTracker::AfterLaunch(const AppIdentity& app, const LocationResult* location) {
  VisitTimes(zv_transport::NowMilliseconds());
  if (location != nullptr) UpdateLocation(*location);
  AppIdentityProperties(app);
}

void NativeUserTracker::AfterLogin(const ZvEventLogin& user, const AppIdentity& app,
                                   const LocationResult* location, std::int64_t visitMilliseconds) {
  ProfileUserPropertyString("zv_user_id", user.userId);
  ProfileUserPropertyString("zv_user_name", user.userName);
  ProfileUserPropertyNumber("zv_user_type", static_cast<std::int32_t>(user.userType));
  const std::pair<const char*, const std::string*> optional[] = {
      {"zv_user_nickname", &user.nickname}, {"zv_user_portrait", &user.portrait},
      {"zv_user_mobilephone", &user.mobilephone}, {"zv_user_email", &user.email},
      {"zv_user_weixin", &user.weixin}, {"zv_user_qq", &user.qq}, {"zv_user_did", &user.did}};
  for (const auto& [name, value] : optional) {
    if (!value->empty()) ProfileUserPropertyString(name, *value);
  }
  if (user.createdSeconds > 0) ProfileUserPropertyDateTime("zv_user_created", user.createdSeconds * 1000);
  if (!user.lastIp.empty()) ProfileUserPropertyString("zv_user_last_ip", user.lastIp);
  if (user.lastLoginSeconds > 0) {
    ProfileUserPropertyDateTime("zv_user_last_login", user.lastLoginSeconds * 1000);
  }
  ProfileUserPropertyNumber("zv_user_vip_level", user.vipLevel);
  if (user.vipEndSeconds > 0) ProfileUserPropertyDateTime("zv_user_vip_enddate", user.vipEndSeconds * 1000);
  if (location != nullptr) UpdateLocation(*location);
  AppIdentityProperties(app);
  VisitTimes(visitMilliseconds);
}

}  // namespace zorvan::analytics
