// What the analytics client keeps on disk: the anonymous identity, a logged-in
// user, the last known location, the application identity for uninstallers,
// and where the log and the staging file live.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "analytics/event_records.h"
#include "analytics/location_time.h"

namespace zorvan::analytics {

inline constexpr char kStagingFileName[] = "ZVStaging.jsonl";

struct LocalPathInputs {
  std::string executableFolder;  // where "Set.ini" may name the configuration file
  std::string baseFolder;        // per-user application data; empty: the temporary folder
  // A configuration file to use instead of the one "Set.ini" names (for a
  // caller that keeps its state elsewhere); empty: the usual rule.
  std::string configFileOverride;
  // The user's own local application-data folder: the only place a file
  // "Set.ini" names is accepted (the file beside the executable may come
  // from anyone, and the installer runs elevated).
  std::string userDataFolder;
};

class LocalState {
 public:
  explicit LocalState(std::string logFile) : logFilePath(std::move(logFile)) {}

  // Folder, configuration file and log file; creates the folders unless
  // `createFolders` is false.
  void resolvePaths(const std::string& appName, const LocalPathInputs& inputs, bool createFolders = true);
  void resolvePaths(const std::string& appName, bool createFolders = true);  // with the system's folders
  void load();
  void save();
  // Forgets the user when the identity belongs to another server, or there
  // is none yet; saves.
  void checkIdentity(const std::string& serverUrl);
  void loadLocation();
  void writeAppIdentity(const std::string& appName, const std::string& appVersion,
                        const std::string& appStore);
  std::string stagingFilePath() const;

  bool loggedIn = false;
  bool backgroundServicesDisabled = true;
  std::string userId, distinctId, primaryDistinctId;
  std::string logFilePath;
  std::string storedLocale;
  std::int32_t userVipLevel = 0;
  std::string folder, configFile, storedUrl;
  std::optional<ZvEventLogin> pendingLogin;
  std::int64_t pendingVisitTime = -1;
  LocationResult lastLocation;
};

// The folder part of an override path: everything before its last separator.
std::string FolderOfPath(const std::string& path);
// Creates every missing level of a folder.
bool CreateFolderLevels(const std::string& folder);
// True when "Set.ini" may name `path`: a file ending in ".ini" (any case)
// inside `userDataFolder`, given as an absolute path without "..".
bool IsAcceptableConfigOverride(const std::string& path, const std::string& userDataFolder);

}  // namespace zorvan::analytics
