// User-profile properties: each known name has a fixed update mode, and the
// typed setters turn a value into the matching profile record.
#pragma once

#include <cstdint>
#include <string>

#include "analytics/event_records.h"
#include "analytics/location_time.h"
#include "analytics/system_facts.h"

namespace zorvan::analytics {

enum class ProfileMode : std::int32_t { Unsupported = 0, SetOnce = 1, Increment = 2, Set = 3, Append = 4 };

struct AppIdentity {
  std::string appName, appVersion, appStore;
};

class NativeUserTracker {
 public:
  static ProfileMode ModeOf(const std::string& name);

  // Each queues one profile record with the transport's distinct id, or
  // throws ZvException for a combination the mode refuses.
  static void ProfileUserPropertyString(const std::string& name, const std::string& value);
  static void ProfileUserPropertyNumber(const std::string& name, std::int32_t value);
  static void ProfileUserPropertyNumber(const std::string& name, double value);
  static void ProfileUserPropertyDateTime(const std::string& name, std::int64_t milliseconds);

  static void UpdateLocation(const LocationResult& location);
  static void AfterActivity(const AppIdentity& app, const OsNameAndVersion& os,
                            const LocationResult* location);
  static void AfterLaunch(const AppIdentity& app, const LocationResult* location);
  static void AfterLogin(const ZvEventLogin& user, const AppIdentity& app,
                         const LocationResult* location, std::int64_t visitMilliseconds);
};

}  // namespace zorvan::analytics
