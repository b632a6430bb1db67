#include "download/download_failure.h"

#include <curl/curl.h>

#include <cerrno>
#include <cstdlib>

#include "support/text.h"

namespace {

// Everything a person reads about a failed download, one row per class.
// "{host}", "{status}" and "{folder}" are filled in. `window` is the
// window's language (it fits the network dialog: two short lines), `console`
// the unattended mode's sentence. Translations go beside these columns.
struct FailureTexts {
  FailureClass kind;
  const char* key;
  const wchar_t* window;
  const char* console;
};

constexpr FailureTexts kFailureTexts[] = {
    {FailureClass::kUnknown, "unknown", L"下载失败，请在网络通畅时重试",
     "The download failed."},
    {FailureClass::kNoNetwork, "no-network", L"网络不可用，或找不到服务器{host}",
     "There is no network, or the name of the server {host} could not be resolved."},
    {FailureClass::kConnectionRefused, "connection-refused", L"服务器{host}拒绝了连接",
     "The server {host} refused the connection."},
    {FailureClass::kTimedOut, "timed-out", L"连接服务器{host}超时，请稍后重试",
     "The connection to {host} stalled or timed out."},
    {FailureClass::kTlsUntrusted, "tls-untrusted", L"服务器{host}的证书不受信任",
     "The TLS certificate of {host} is not trusted for that host."},
    {FailureClass::kHttpStatus, "http-status", L"服务器{host}返回错误{status}",
     "The server {host} answered with HTTP status {status}."},
    {FailureClass::kShortBody, "short-body", L"从{host}下载的数据不完整",
     "The server {host} sent fewer bytes than it announced."},
    {FailureClass::kDigestMismatch, "digest-mismatch", L"下载的安装包已损坏（校验值不符）",
     "The downloaded package does not match the digest of its address: it is damaged or not the "
     "expected file."},
    {FailureClass::kDigestUnavailable, "digest-unavailable", L"无法校验下载的安装包",
     "The digest of the downloaded package could not be computed, so it could not be verified."},
    {FailureClass::kDigestMissing, "digest-missing", L"安装包地址没有校验值，无法验证",
     "The package's address carries no digest, and this installer accepts only verified packages."},
    {FailureClass::kDiskFull, "disk-full", L"磁盘空间不足：{folder}",
     "The disk is full: {folder}."},
    {FailureClass::kNotWritable, "not-writable", L"无法写入文件夹：{folder}",
     "The folder cannot be written: {folder}."},
    {FailureClass::kProxyRefused, "proxy-refused", L"代理服务器{host}无法连接",
     "The proxy {host} refused the connection or could not be reached."},
    {FailureClass::kProxyAuth, "proxy-auth", L"代理服务器{host}需要身份验证",
     "The proxy {host} wants authentication."},
    {FailureClass::kPublisherRefused, "publisher-refused", L"安装包没有{host}的有效签名，未运行",
     "The package does not carry a valid signature of the publisher {host}, so it was not run."},
};

const FailureTexts& TextsOf(FailureClass kind) {
  for (const FailureTexts& row : kFailureTexts)
    if (row.kind == kind) return row;
  return kFailureTexts[0];
}

// Names as long as a path would break the dialog's two lines: the end of a
// long name says most.
std::wstring Shortened(const std::wstring& text, std::size_t limit) {
  if (text.size() <= limit) return text;
  return L"…" + text.substr(text.size() - (limit - 1));
}

template <typename String>
void ReplaceAll(String& text, const String& from, const String& to) {
  for (std::size_t at = text.find(from); at != String::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

std::wstring FolderOf(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"/\\");
  if (slash == std::wstring::npos) return L".";
  if (slash == 0) return path.substr(0, 1);
  return path.substr(0, slash);
}

}  // namespace

const char* FailureClassKey(FailureClass kind) { return TextsOf(kind).key; }

std::wstring HostOf(const std::string& address) {
  std::size_t start = address.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  std::size_t end = address.find_first_of("/?#", start);
  if (end == std::string::npos) end = address.size();
  std::string authority = address.substr(start, end - start);
  const std::size_t at = authority.rfind('@');
  if (at != std::string::npos) authority = authority.substr(at + 1);
  if (!authority.empty() && authority[0] == '[') {
    const std::size_t close = authority.find(']');
    if (close != std::string::npos) authority = authority.substr(0, close + 1);
  } else {
    const std::size_t colon = authority.find(':');
    if (colon != std::string::npos) authority = authority.substr(0, colon);
  }
  return Utils::ToWide(authority, Utils::kCodePageUtf8);
}

DownloadFailure ClassifyFileError(int error, const std::wstring& targetPath) {
  DownloadFailure failure;
  failure.folder = FolderOf(targetPath);
#ifdef EDQUOT
  const bool full = error == ENOSPC || error == EDQUOT;
#else
  const bool full = error == ENOSPC;
#endif
  failure.kind = full ? FailureClass::kDiskFull : FailureClass::kNotWritable;
  return failure;
}

DownloadFailure ClassifyCurlResult(int curlCode, long httpStatus, const std::string& address,
                                   const std::wstring& targetPath, int writeErrno) {
  DownloadFailure failure;
  failure.host = HostOf(address);
  switch (curlCode) {
    case CURLE_COULDNT_RESOLVE_HOST: failure.kind = FailureClass::kNoNetwork; break;
    case CURLE_COULDNT_RESOLVE_PROXY: failure.kind = FailureClass::kProxyRefused; break;
    case CURLE_COULDNT_CONNECT:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR: failure.kind = FailureClass::kConnectionRefused; break;
    case CURLE_OPERATION_TIMEDOUT: failure.kind = FailureClass::kTimedOut; break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_INVALIDCERTSTATUS: failure.kind = FailureClass::kTlsUntrusted; break;
    case CURLE_HTTP_RETURNED_ERROR:
      failure.kind = httpStatus == 407 ? FailureClass::kProxyAuth : FailureClass::kHttpStatus;
      failure.status = httpStatus;
      break;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING: failure.kind = FailureClass::kShortBody; break;
    case CURLE_PROXY:
      failure.kind = httpStatus == 407 ? FailureClass::kProxyAuth : FailureClass::kProxyRefused;
      break;
    case CURLE_WRITE_ERROR:
      if (writeErrno != 0) return ClassifyFileError(writeErrno, targetPath);
      break;
    default: break;
  }
  if (failure.kind == FailureClass::kUnknown && httpStatus >= 400) {
    failure.kind = httpStatus == 407 ? FailureClass::kProxyAuth : FailureClass::kHttpStatus;
    failure.status = httpStatus;
  }
  return failure;
}

std::wstring FailureNotificationText(const wchar_t* engine, const DownloadFailure& failure) {
  return std::wstring(engine) + L"|" + Utils::ToWide(FailureClassKey(failure.kind), Utils::kCodePageUtf8) +
         L"|" + failure.host + L"|" + std::to_wstring(failure.status) + L"|" + failure.folder;
}

DownloadFailure ParseFailureNotificationText(const std::wstring& text, std::wstring* engine) {
  DownloadFailure failure;
  std::wstring fields[5];
  std::size_t start = 0;
  int count = 0;
  for (; count < 4; ++count) {
    const std::size_t bar = text.find(L'|', start);
    if (bar == std::wstring::npos) break;
    fields[count] = text.substr(start, bar - start);
    start = bar + 1;
  }
  if (count < 4) {
    if (engine) *engine = text;
    return failure;
  }
  fields[4] = text.substr(start);
  if (engine) *engine = fields[0];
  const std::string key = Utils::ToNarrow(fields[1], Utils::kCodePageUtf8);
  for (const FailureTexts& row : kFailureTexts)
    if (key == row.key) failure.kind = row.kind;
  failure.host = fields[2];
  failure.status = std::wcstol(fields[3].c_str(), nullptr, 10);
  failure.folder = fields[4];
  return failure;
}

std::wstring FailureSummary(const DownloadFailure& failure) {
  std::wstring summary = Utils::ToWide(FailureClassKey(failure.kind), Utils::kCodePageUtf8);
  if (failure.status != 0) summary += L" " + std::to_wstring(failure.status);
  if (!failure.host.empty())
    summary += (failure.kind == FailureClass::kPublisherRefused ? L" of " : L" from ") + failure.host;
  if (!failure.folder.empty()) summary += L" in " + failure.folder;
  return summary;
}

std::wstring FailureWindowText(const DownloadFailure& failure) {
  std::wstring text = TextsOf(failure.kind).window;
  // A name is quoted only where it helps; an empty one leaves no gap.
  ReplaceAll<std::wstring>(text, L"{host}", failure.host.empty() ? L"" : L" " + Shortened(failure.host, 24) + L" ");
  ReplaceAll<std::wstring>(text, L"{status}", L" " + std::to_wstring(failure.status));
  ReplaceAll<std::wstring>(text, L"{folder}", Shortened(failure.folder, 28));
  return text;
}

std::string FailureConsoleText(const DownloadFailure& failure) {
  std::string text = TextsOf(failure.kind).console;
  const std::string host = Utils::ToNarrow(failure.host, Utils::kCodePageUtf8);
  ReplaceAll<std::string>(text, "{host}", host.empty() ? "(unknown)" : host);
  ReplaceAll<std::string>(text, "{status}", std::to_string(failure.status));
  ReplaceAll<std::string>(text, "{folder}", Utils::ToNarrow(failure.folder, Utils::kCodePageUtf8));
  return text;
}
