#include "install/failure_reasons.h"

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <limits>

#include "analytics/funnel_events.h"
#include "download/download_failure.h"
#include "install/file_operations.h"
#include "support/file_system.h"
#include "support/system_probes.h"

namespace Installer {

namespace {

std::wstring Capped(std::wstring text) {
  if (text.size() > kReasonCapacity) text.resize(kReasonCapacity);
  return text;
}

}  // namespace

long ReasonCode(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max())) {
    return std::numeric_limits<std::int32_t>::max();
  }
  if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min())) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<long>(value);
}

DownloadProbe ProbeDownloadFailure(const std::wstring& packagePath) {
  DownloadProbe probe;
  probe.connectivity = Utils::CheckNetwork();
  if (Utils::FileExists(packagePath) && !DeleteFileQuietly(packagePath)) {
    probe.writable = false;
  } else {
    probe.writable = CanCreateFile(packagePath);
  }
  Utils::HardDiskManager disk;
  if (disk.CheckFreeSpace(VolumeOf(packagePath))) {
    probe.freeGigabytes = static_cast<double>(disk.freeBytesAvailable) / 1073741824.0;
  }
  return probe;
}

std::wstring DownloadFailureReason(double value, const std::wstring& text, const DownloadProbe& probe) {
  wchar_t space[64];
  std::swprintf(space, 64, L"%.2f", probe.freeGigabytes);
  // The notification's text is the engine name followed by the failure's
  // class: the engine stays the message, the class is a field of its own.
  std::wstring engine;
  const DownloadFailure failure = ParseFailureNotificationText(text, &engine);
  return Capped(L"1.code=" + std::to_wstring(ReasonCode(value)) + L"；2.msg=" + engine +
                L"；3.缓存磁盘容量=" + space + L"G；4.缓存读写权限=" +
                (probe.writable ? L"可读" : L"无权限") + L"；5.服务器连接状态code=" +
                std::to_wstring(static_cast<std::int32_t>(probe.connectivity)) + L"；6.class=" +
                FailureSummary(failure));
}

std::wstring ShortFailureReason(double value, const std::wstring& text) {
  return Capped(L":1.code=" + std::to_wstring(ReasonCode(value)) + L"；2.msg=" + text);
}

void ReportDownloadFailure(double value, const std::wstring& text, const std::wstring& packagePath,
                           const std::wstring& group) {
  zorvan::analytics::ReportTask(L"下载失败原因", 0.0f,
                                DownloadFailureReason(value, text, ProbeDownloadFailure(packagePath)),
                                {{L"AB", group}});
}

void ReportDigestNotice(double value, const std::wstring& text, const std::wstring& group) {
  zorvan::analytics::ReportTask(L"下载失败原因", 0.0f, ShortFailureReason(value, text), {{L"AB", group}});
}

void ReportInstallFailure(double value, const std::wstring& text, const std::wstring& group) {
  zorvan::analytics::ReportTask(L"安装失败原因", 0.0f, ShortFailureReason(value, text), {{L"AB", group}});
}

}  // namespace Installer
