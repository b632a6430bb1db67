#include "support/run_log.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "support/debug_log_platform.h"
#include "support/file_system.h"
#include "support/text.h"

namespace Utils {

namespace {

bool IsRunLogName(const std::wstring& name) {
  const std::wstring prefix = kRunLogPrefix;
  return name.size() > prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
         name.compare(name.size() - 4, 4, L".log") == 0;
}

std::filesystem::path FsPath(const std::wstring& path) {
#ifdef _WIN32
  return std::filesystem::path(path);
#else
  return std::filesystem::path(ToNarrow(path, kCodePageAnsi));
#endif
}

std::wstring FromFsPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return path.native();
#else
  return ToWide(path.native(), kCodePageAnsi);
#endif
}

void PruneRunLogs(const std::wstring& folder) {
  std::error_code error;
  std::vector<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(FsPath(folder), error)) {
    names.push_back(FromFsPath(entry.path().filename()));
  }
  for (const std::wstring& name : RunLogsBeyond(names, kKeptRunLogs)) {
    std::filesystem::remove(FsPath(folder + name), error);
  }
}

}  // namespace

std::wstring RunLogFileName(const LogStamp& stamp, int attempt) {
  wchar_t name[96];
  std::swprintf(name, 96, L"%ls%04d%02d%02d_%02d%02d%02d", kRunLogPrefix, stamp.year, stamp.month, stamp.day,
                stamp.hour, stamp.minute, stamp.second);
  std::wstring result = name;
  if (attempt > 0) result += L"_" + std::to_wstring(attempt);
  return result + L".log";
}

std::vector<std::wstring> RunLogsBeyond(std::vector<std::wstring> fileNames, std::size_t keep) {
  std::erase_if(fileNames, [](const std::wstring& name) { return !IsRunLogName(name); });
  // "<time>.log" sorts before "<time>_2.log": '.' comes before '_'.
  std::sort(fileNames.begin(), fileNames.end());
  if (fileNames.size() <= keep) return {};
  fileNames.resize(fileNames.size() - keep);
  return fileNames;
}

std::wstring StartRunLog(const std::wstring& chosen) {
  if (!chosen.empty()) return OpenRunLogFile(chosen, true) ? chosen : std::wstring();
  const std::wstring folder = RunLogFolder();
  if (folder.empty()) return {};
  const LogStamp stamp = CurrentLogStamp();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::wstring path = folder + RunLogFileName(stamp, attempt);
    if (OpenRunLogFile(path, false)) {
      PruneRunLogs(folder);
      return path;
    }
    if (!FileExists(path)) return {};  // not a name clash: the folder refuses
  }
  return {};
}

}  // namespace Utils
