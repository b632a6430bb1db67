#include "analytics/local_state.h"

#include <filesystem>

#include "analytics/config_file.h"
#include "analytics/sdk/file_path.h"
#include "analytics/system_facts.h"

namespace zorvan::analytics {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

}  // namespace

std::string FolderOfPath(const std::string& path) {
  // Either separator counts: an override written with slashes on Windows
  // would otherwise make its file name a folder.
  const std::size_t last = path.find_last_of("\\/");
  return last == std::string::npos ? path : path.substr(0, last);
}

bool CreateFolderLevels(const std::string& folder) {
  if (folder.empty()) return false;
  std::error_code error;
  std::filesystem::create_directories(zv_transport::FilePath(folder), error);
  return std::filesystem::is_directory(zv_transport::FilePath(folder), error);
}

void LocalState::resolvePaths(const std::string& appName) {
  resolvePaths(appName, LocalPathInputs{QueryExecutableFolder(), QueryLocalAppDataFolder(), {}});
}

void LocalState::resolvePaths(const std::string& appName, const LocalPathInputs& inputs) {
  configFile = inputs.configFileOverride;
  if (configFile.empty() && !inputs.executableFolder.empty()) {
    configFile = ReadConfigValue(inputs.executableFolder + kSeparator + "Set.ini", "Install",
                                 "ZVAnalyticsIni");
  }
  if (!configFile.empty() && configFile.find_first_of("\\/") != std::string::npos) {
    folder = FolderOfPath(configFile) + kSeparator;
    CreateFolderLevels(folder);
  } else {
    const std::string base = inputs.baseFolder.empty() ? std::string() : inputs.baseFolder + kSeparator;
    folder = base + "ZVLocal" + kSeparator;
    CreateFolderLevels(folder);
    folder += appName + kSeparator;
    CreateFolderLevels(folder);
    configFile = folder + appName + "_" + "ZVSConfigure.ini";
  }
  if (logFilePath.empty()) logFilePath = folder + appName + "_" + "ZVSLog.txt";
}

std::string LocalState::stagingFilePath() const { return folder + kStagingFileName; }

void LocalState::load() {
  userId.clear();
  distinctId.clear();
  primaryDistinctId.clear();
  storedUrl.clear();
  loggedIn = false;
  if (FileExistsUtf8(configFile)) {
    distinctId = ReadConfigValue(configFile, "Base", "DistinctId");
    primaryDistinctId = ReadConfigValue(configFile, "Base", "PrimaryDistinctId");
    if (primaryDistinctId.empty()) primaryDistinctId = distinctId;
    userId = ReadConfigValue(configFile, "Base", "UserId");
    const std::string vip = ReadConfigValue(configFile, "Base", "UserVipLevel");
    try {
      userVipLevel = vip.empty() ? 0 : std::stoi(vip);
    } catch (const std::exception&) {
      userVipLevel = 0;
    }
    loggedIn = ReadConfigValue(configFile, "Base", "isLogined") == "OK";
    storedUrl = ReadConfigValue(configFile, "Base", "URL");
  }
  if (distinctId.empty()) {
    distinctId = NewDistinctId();
    save();
  }
}

void LocalState::checkIdentity(const std::string& serverUrl) {
  if (storedUrl != serverUrl || distinctId.empty()) {
    userId.clear();
    loggedIn = false;
    if (primaryDistinctId.empty()) {
      distinctId = NewDistinctId();
      primaryDistinctId = distinctId;
    } else {
      distinctId = primaryDistinctId;
    }
    storedUrl = serverUrl;
    save();
  }
  if (userId.empty()) loggedIn = false;
}

void LocalState::save() {
  WriteConfigValues(configFile, "Base",
                    {{"DistinctId", distinctId},
                     {"PrimaryDistinctId", primaryDistinctId},
                     {"UserId", userId},
                     {"UserVipLevel", std::to_string(userVipLevel)},
                     {"URL", storedUrl},
                     {"isLogined", loggedIn ? "OK" : "NG"}});
  LocationResult result;
  if (!backgroundServicesDisabled && ZvLocationTime::takeResult(result)) {
    lastLocation = result;
    WriteConfigValues(configFile, "Local",
                      {{"AssistIP", result.ip},
                       {"country", result.country},
                       {"countryCode", result.countryCode},
                       {"province", result.province},
                       {"City", result.city}});
  }
}

void LocalState::loadLocation() {
  LocationResult result;
  if (!FileExistsUtf8(configFile) || ZvLocationTime::takeResult(result)) return;
  lastLocation.ip = ReadConfigValue(configFile, "Local", "AssistIP");
  lastLocation.country = ReadConfigValue(configFile, "Local", "country");
  lastLocation.countryCode = ReadConfigValue(configFile, "Local", "countryCode");
  lastLocation.province = ReadConfigValue(configFile, "Local", "province");
  lastLocation.city = ReadConfigValue(configFile, "Local", "City");
}

void LocalState::writeAppIdentity(const std::string& appName, const std::string& appVersion,
                                  const std::string& appStore) {
  WriteConfigValues(configFile, "UninstallInfo",
                    {{"AppStore", appStore}, {"AppName", appName}, {"AppVersion", appVersion}});
}

}  // namespace zorvan::analytics
