#include "analytics/local_state.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "analytics/config_file.h"
#include "analytics/sdk/file_path.h"
#include "analytics/system_facts.h"
#include "support/debug_log_platform.h"
#include "support/file_system.h"
#include "support/text.h"

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

bool IsAcceptableConfigOverride(const std::string& path, const std::string& userDataFolder) {
  namespace fs = std::filesystem;
  if (path.size() < 5 || userDataFolder.empty()) return false;
  std::string extension = path.substr(path.size() - 4);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension != ".ini") return false;
  auto comparable = [](const std::string& text) {
    std::wstring wide = Utils::ToWide(text, Utils::kCodePageUtf8);
#ifdef _WIN32
    // Windows paths: either separator, no regard to case.
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    std::transform(wide.begin(), wide.end(), wide.begin(), [](wchar_t c) { return std::towlower(c); });
#endif
    return fs::path(wide);
  };
  const fs::path file = comparable(path);
  const fs::path base = comparable(userDataFolder).lexically_normal();
  if (!file.is_absolute() || !base.is_absolute()) return false;
  for (const fs::path& part : file) {
    if (part == "..") return false;
  }
  const fs::path inside = file.lexically_normal().lexically_relative(base);
  return !inside.empty() && *inside.begin() != ".." && *inside.begin() != ".";
}

namespace {

// Without a per-user data folder the state goes to the temporary folder (on
// a shared one, into a folder only this user can change), never somewhere
// relative to the working directory of an elevated process.
std::string TemporaryBase() {
  std::string base = Utils::ToNarrow(Utils::TempFolder(), Utils::kCodePageUtf8);
  while (!base.empty() && (base.back() == '/' || base.back() == '\\')) base.pop_back();
  if (base.empty()) return base;
#ifndef _WIN32
  base += "/talvorin-" + std::to_string(::geteuid());
  if (!Utils::MakePrivateDirectory(Utils::ToWide(base, Utils::kCodePageUtf8))) return std::string();
#endif
  return base;
}

}  // namespace

void LocalState::resolvePaths(const std::string& appName, bool createFolders) {
  resolvePaths(appName,
               LocalPathInputs{QueryExecutableFolder(), QueryLocalAppDataFolder(), {}, QueryUserDataFolder()},
               createFolders);
}

void LocalState::resolvePaths(const std::string& appName, const LocalPathInputs& inputs, bool createFolders) {
  auto create = [createFolders](const std::string& path) {
    if (createFolders) CreateFolderLevels(path);
  };
  configFile = inputs.configFileOverride;
  if (configFile.empty() && !inputs.executableFolder.empty()) {
    const std::string named = ReadConfigValue(inputs.executableFolder + kSeparator + "Set.ini", "Install",
                                              "ZVAnalyticsIni");
    if (!named.empty()) {
      if (IsAcceptableConfigOverride(named, inputs.userDataFolder)) {
        configFile = named;
      } else {
        Utils::EmitLogLine(L"[analytics] Set.ini names an analytics file outside the user's own "
                           L"application data, or not an .ini file: ignored\r\n");
      }
    }
  }
  if (!configFile.empty() && configFile.find_first_of("\\/") != std::string::npos) {
    folder = FolderOfPath(configFile) + kSeparator;
    create(folder);
  } else {
    const std::string baseFolder = inputs.baseFolder.empty() ? TemporaryBase() : inputs.baseFolder;
    if (baseFolder.empty()) {
      // Nowhere to keep anything: the state lives in memory for this run.
      folder.clear();
      configFile.clear();
      return;
    }
    folder = baseFolder + kSeparator + "ZVLocal" + kSeparator;
    create(folder);
    folder += appName + kSeparator;
    create(folder);
    configFile = folder + appName + "_" + "ZVSConfigure.ini";
  }
  if (logFilePath.empty()) logFilePath = folder + appName + "_" + "ZVSLog.txt";
}

std::string LocalState::stagingFilePath() const {
  return folder.empty() ? std::string() : folder + kStagingFileName;
}

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
