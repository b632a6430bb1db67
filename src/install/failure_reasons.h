// The reason texts the window reports when a download or an installation
// fails, and the reports themselves.
#pragma once

#include <cstdint>
#include <string>

namespace Installer {

// Reason texts hold at most this many characters.
inline constexpr std::size_t kReasonCapacity = 199;

// What the probes of a download failure found out.
struct DownloadProbe {
  std::uint32_t connectivity = 0;  // Utils::CheckNetwork's verdict
  bool writable = false;           // the package path can be created anew
  double freeGigabytes = 0.0;      // usable space on its volume, in units of 2^30 bytes
};

// Runs the probes in the reported order: connectivity, the write test on the
// package path (a file there that cannot be deleted fails it), free space.
DownloadProbe ProbeDownloadFailure(const std::wstring& packagePath);

// "1.code=%ld；2.msg=%s；3.缓存磁盘容量=%.2fG；4.缓存读写权限=%s；5.服务器连接状态code=%d"
std::wstring DownloadFailureReason(double value, const std::wstring& text, const DownloadProbe& probe);
// ":1.code=%ld；2.msg=%s" (a digest problem, or a failed installation)
std::wstring ShortFailureReason(double value, const std::wstring& text);

// A notification value as the reason's integer: toward zero, 0 for NaN,
// held to the 32-bit range.
long ReasonCode(double value);

// The window's reports, with the window's A/B group: "下载失败原因" for a
// failed download (1004, with the probes) and a digest notice (1006),
// "安装失败原因" for a failed installation (2004).
void ReportDownloadFailure(double value, const std::wstring& text, const std::wstring& packagePath,
                           const std::wstring& group);
void ReportDigestNotice(double value, const std::wstring& text, const std::wstring& group);
void ReportInstallFailure(double value, const std::wstring& text, const std::wstring& group);

}  // namespace Installer
