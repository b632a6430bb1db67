#include "download/curl_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

#include "analytics/funnel_events.h"
#include "support/installer_settings.h"
#include "download/background_md5.h"
#include "download/package_digest.h"
#include "download/downloader.h"
#include "support/curl_proxy.h"
#include "support/debug_log.h"
#include "support/digest.h"
#include "support/text.h"

namespace {

constexpr long kConnectTimeoutSeconds = 60;
constexpr long kKeepAliveSeconds = 10;
// libcurl 7.88 follows redirects without end by default; a server that loops
// would hold the installer for ever. Later libcurl releases default to 30.
constexpr long kMaxRedirects = 30;
constexpr std::size_t kMaxErrorTextLength = 199;

std::wstring CurlText(int code) {
  // libcurl's table has no entry for the client's own negative codes; asking
  // for CURL_LAST gives its text for an unknown code without forging an enum.
  const CURLcode known = (code >= 0 && code < CURL_LAST) ? static_cast<CURLcode>(code) : CURL_LAST;
  return Utils::ToWide(curl_easy_strerror(known), Utils::kCodePageAnsi);
}

void LogResult(const wchar_t* function, int line, int code) {
  Utils::DebugLog(function, line, L"error:%d:%s", code, CurlText(code).c_str());
}
#define LOG_RESULT(code) LogResult(TV_LOG_FUNCTION_NAME(), __LINE__, static_cast<int>(code))

std::size_t DiscardBody(char*, std::size_t size, std::size_t count, void*) { return size * count; }

constexpr long kReceiveBufferBytes = 512L * 1024L;

// Where the body goes: the side file and, when the address carries a digest,
// the hasher that checks it later.
struct BodySink {
  std::FILE* file = nullptr;
  BackgroundMd5* md5 = nullptr;
  int writeErrno = 0;  // why a write fell short
  // A continued side file known by its validator only: the answer must not
  // name another one (a server that ignores If-Range answers the range of
  // whatever it holds now).
  CURL* handle = nullptr;
  const PartialIdentity* kept = nullptr;
  bool answerChecked = false;
  bool contradicted = false;
};

std::size_t WriteToFile(char* data, std::size_t size, std::size_t count, void* sinkData) {
  auto* sink = static_cast<BodySink*>(sinkData);
  if (sink->kept && !sink->answerChecked) {
    sink->answerChecked = true;
    if (AnswerContradicts(*sink->kept, LastAnswerHeader(sink->handle, "ETag"),
                          LastAnswerHeader(sink->handle, "Last-Modified"))) {
      sink->contradicted = true;
      return 0;
    }
  }
  errno = 0;
  const std::size_t written = std::fwrite(data, 1, size * count, sink->file);
  if (written < size * count) sink->writeErrno = errno != 0 ? errno : EIO;
  if (sink->md5) sink->md5->Feed(data, written);
  return written;
}

// The size of an open file, leaving its position at the end; -1 when it
// cannot be told. Packages pass 2 GiB, so the 64-bit forms are needed.
std::int64_t SizeOfOpenFile(std::FILE* file) {
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) != 0) return -1;
  return _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) != 0) return -1;
  return static_cast<std::int64_t>(ftello(file));
#endif
}

// First failure wins, so one bad option is enough to skip the request.
void Combine(CURLcode& combined, CURLcode result) {
  if (combined == CURLE_OK) combined = result;
}

}  // namespace

std::string LastAnswerHeader(CURL* handle, const char* name) {
  curl_header* header = nullptr;
  if (curl_easy_header(handle, name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK || !header || !header->value)
    return {};
  return header->value;
}

CurlClient::CurlClient(std::wstring url_, std::wstring localPath_, void* owner_, ProgressHook hook)
    : url(std::move(url_)), localPath(std::move(localPath_)), owner(owner_), progressHook(hook) {}

CurlClient::~CurlClient() { abortRequested.store(true); }

void CurlClient::SettlePartial(const std::string& target) {
  PartialIdentity offered;
  const ExpectedDigest expected = ExpectedDigestOf(realUrl);
  if (expected.present) offered.digest = expected.hex;
  offered.address = realUrl;
  offered.etag = offeredEtag;
  offered.lastModified = offeredLastModified;
  offered.length = static_cast<std::int64_t>(fileLength);
  offered.layout = "stream";
  PartialIdentity kept;
  const ResumeVerdict verdict = ReadResumeRecord(target, kept) ? DecideResume(kept, offered) : ResumeVerdict::kStartOver;
  if (verdict == ResumeVerdict::kStartOver) {
    DEBUG_LOG(L"no partial download of this package is kept: it starts from its first byte");
    DeletePartials(target);
  } else {
    DEBUG_LOG(L"a partial download of this package is kept (known by its %s): it goes on from there",
              verdict == ResumeVerdict::kByDigest ? L"digest" : L"validator");
  }
  // Before any byte arrives, so the record always names what the side file holds.
  if (offered.CanBeResumed() && !WriteResumeRecord(target, offered))
    DEBUG_LOG(L"the partial download's record cannot be written: a later run starts afresh");
  partial = offered;
  partialSettled = true;
}

void CurlClient::ForgetPartial(const std::string& target) {
  DeletePartials(target);
  partialSettled = false;
  realUrl.clear();
  fileLength = -1.0;
}

std::wstring CurlClient::GetFilePath(bool sideFile) const {
  return sideFile ? localPath + L".part" : localPath;
}

std::string CurlClient::NarrowAddress(const std::wstring& address) {
  // libcurl hands a file address to the C runtime's file functions, which
  // take the ANSI code page; network addresses travel as UTF-8.
  if (Utils::StartsWith(address, L"file:///")) return Utils::ToNarrow(address, Utils::kCodePageAnsi);
  return Utils::ToNarrow(address, Utils::kCodePageUtf8);
}

CURLcode CurlClient::SetCommonOptions(CURL* easy, const std::string& address) {
  CURLcode combined = CURLE_OK;
  Combine(combined, Utils::ApplyProxy(easy, address, DownloadProxySetting()));
  const std::wstring& caBundle = Installer::TheInstallerSettings().caBundle;
  if (!caBundle.empty()) {
    const std::string caFile = Utils::ToNarrow(caBundle, Utils::kCodePageAnsi);
    Combine(combined, curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str()));
  }
  Combine(combined, curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects));
  // Keep-alive probes only notice a vanished peer; a peer that stays but
  // sends nothing would otherwise hold the attempt for ever.
  Combine(combined, curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, DownloadStallRule().bytesPerSecond));
  Combine(combined, curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, stallSeconds));
  return combined;
}

int CurlClient::HeaderAbortCallback(void* client, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<CurlClient*>(client)->AbortRequested() ? 1 : 0;
}

// Remembers what a header request met, so that a length that could not be
// learned is explained by its cause.
static void NoteHeaderOutcome(CURL* easy, CURLcode result, int& headerResult, long& headerStatus) {
  long status = 0;
  long connectStatus = 0;
  curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
  if (connectStatus == 407) status = 407;
  if (result != CURLE_OK || status >= 400) {
    headerResult = static_cast<int>(result);
    headerStatus = status;
  }
}

CurlEasyHandle CurlClient::HeaderRequest(const std::string& address, bool followRedirects,
                                         bool includeHeader, CURLcode& optionResult) {
  CurlEasyHandle easy(curl_easy_init());
  if (!easy) return easy;
  CURL* h = easy.get();
  optionResult = CURLE_OK;
  Combine(optionResult, curl_easy_setopt(h, CURLOPT_URL, address.c_str()));
  if (followRedirects) Combine(optionResult, curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L));
  if (includeHeader) Combine(optionResult, curl_easy_setopt(h, CURLOPT_HEADER, 1L));
  Combine(optionResult, curl_easy_setopt(h, CURLOPT_NOBODY, 1L));
  Combine(optionResult, curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &DiscardBody));
  Combine(optionResult, curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
  Combine(optionResult, SetCommonOptions(h, address));
  // A header request waiting on a silent server must not hold up the
  // destruction of its client.
  Combine(optionResult, curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &HeaderAbortCallback));
  Combine(optionResult, curl_easy_setopt(h, CURLOPT_XFERINFODATA, this));
  Combine(optionResult, curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L));
  return easy;
}

CurlEasyHandle CurlClient::Head(const std::string& address) {
  CURLcode result = CURLE_OK;
  CurlEasyHandle easy = HeaderRequest(address, true, false, result);
  if (!easy) return easy;
  if (result == CURLE_OK) {
    result = curl_easy_perform(easy.get());
    if (result != CURLE_OK) LOG_RESULT(result);
    NoteHeaderOutcome(easy.get(), result, headerResult, headerStatus);
  }
  LOG_RESULT(result);
  return easy;
}

void CurlClient::ReportBadLengthStatus(long status) {
  zorvan::analytics::ReportTask(L"下载失败原因", 0.0f,
                                L"1.获取文件大小的状态码为=" + std::to_wstring(status) + L"；",
                                {{L"AB", L"IN"}});
}

double CurlClient::GetDownloadFileLength(CURL* easy) {
  curl_off_t length = -1;
  const CURLcode query = curl_easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  LOG_RESULT(query);
  if (query != CURLE_OK) length = -1;
  long status = 0;
  if (curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 &&
      status <= 399)
    return static_cast<double>(length);
  ReportBadLengthStatus(status);
  return -1.0;
}

std::string CurlClient::GetRealUrl_Str(const std::string& address) {
  CURLcode result = CURLE_OK;
  CurlEasyHandle easy = HeaderRequest(address, true, false, result);
  std::string effective;
  if (easy && result == CURLE_OK) {
    result = curl_easy_perform(easy.get());
    NoteHeaderOutcome(easy.get(), result, headerResult, headerStatus);
    if (result != CURLE_OK) {
      LOG_RESULT(result);
    } else {
      char* text = nullptr;
      if (curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text) effective = text;
    }
  }
  return effective.empty() ? address : effective;
}

double CurlClient::GetDownloadFileLength_Str(const std::string& address) {
  CURLcode result = CURLE_OK;
  CurlEasyHandle easy = HeaderRequest(address, false, true, result);
  if (!easy) return -1.0;
  curl_off_t length = -1;
  if (result == CURLE_OK) {
    NoteHeaderOutcome(easy.get(), curl_easy_perform(easy.get()), headerResult, headerStatus);
    if (curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) length = -1;
    long status = 0;
    result = curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (result != CURLE_OK || status < 200 || status > 400) ReportBadLengthStatus(status);
  }
  LOG_RESULT(result);
  return static_cast<double>(length);
}

int CurlClient::ProgressCallback(void* client, curl_off_t total, curl_off_t now, curl_off_t, curl_off_t) {
  auto* self = static_cast<CurlClient*>(client);
  if (self->AbortRequested()) return 1;

  const std::int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
  if (seconds <= self->lastProgressTime) return 0;
  self->lastProgressTime = seconds;

  curl_off_t speedBytes = 0;
  curl_easy_getinfo(self->handle, CURLINFO_SPEED_DOWNLOAD_T, &speedBytes);
  const double speed = static_cast<double>(speedBytes);

  double percent = 0.0;
  if (self->fileLength > kMinimumLength) {
    const std::int64_t already = std::max<std::int64_t>(self->resumeOffset, 0);
    percent = (static_cast<double>(now) + static_cast<double>(already)) / self->fileLength * 100.0;
  } else {
    if (now <= 0 || total <= 0) return 0;
    percent = static_cast<double>(now) * 100.0 / static_cast<double>(total);
  }
  if (percent != 0.0) {
    if (self->progressHook) self->progressHook(self->owner, speed, percent);
    if (total != 0)
      DEBUG_LOG(L" %dM %dM   progress:%f%%  speed:%f \n", static_cast<int>(now / 1048576),
                static_cast<int>(total / 1048576), static_cast<double>(static_cast<float>(percent)),
                static_cast<double>(static_cast<float>(speed / 1024.0)));
  }
  return 0;
}

int CurlClient::Start() {
  DEBUG_LOG(L"start download");

  const std::string sideNarrow = Utils::ToNarrow(GetFilePath(true), Utils::kCodePageAnsi);
  const std::string localNarrow = Utils::ToNarrow(localPath, Utils::kCodePageAnsi);
  const std::string urlNarrow = NarrowAddress(url);

  int result = 0;
  std::FILE* file = nullptr;
  curl_slist* headers = nullptr;
  std::unique_ptr<BackgroundMd5> md5;
  bodyMd5.clear();
  lastFailure = DownloadFailure{};
  headerResult = 0;
  headerStatus = 0;
  int writeErrno = 0;
  long answerStatus = 0;
  bool contradicted = false;

  if (realUrl.empty() || fileLength < kMinimumLength) {
    if (CurlEasyHandle head = Head(urlNarrow)) {
      char* effective = nullptr;
      if (curl_easy_getinfo(head.get(), CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective)
        realUrl = effective;
      else
        realUrl.clear();
      fileLength = GetDownloadFileLength(head.get());
      offeredEtag = LastAnswerHeader(head.get(), "ETag");
      offeredLastModified = LastAnswerHeader(head.get(), "Last-Modified");
    }
  }
  if (realUrl.empty() || fileLength < kMinimumLength) {
    offeredEtag.clear();
    offeredLastModified.clear();
    realUrl = GetRealUrl_Str(urlNarrow);
    if (!realUrl.empty()) fileLength = GetDownloadFileLength_Str(realUrl);
    if (fileLength < kMinimumLength) result = kNoLength;
  }

  if (result == 0 && !partialSettled) SettlePartial(localNarrow);
  if (result == 0) {
    handle = curl_easy_init();
    if (!handle) result = kNoEasyHandle;
  }
  if (result == 0) {
    file = std::fopen(sideNarrow.c_str(), "ab+");
    if (!file) {
      writeErrno = errno;
      errorText = Utils::ToWide(std::strerror(errno), Utils::kCodePageAnsi).substr(0, kMaxErrorTextLength);
      result = kSideFileUnopenable;
    }
  }
  if (result == 0) {
    // No Accept-Encoding: the body is stored as received, and a compressed
    // answer would fail its digest on every attempt.
    headers = curl_slist_append(headers, "Connection: keep-alive");
    curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(handle, CURLOPT_TCP_KEEPALIVE, 1L);
    curl_easy_setopt(handle, CURLOPT_TCP_KEEPIDLE, kKeepAliveSeconds);
    curl_easy_setopt(handle, CURLOPT_TCP_KEEPINTVL, kKeepAliveSeconds);
    curl_easy_setopt(handle, CURLOPT_TIMEOUT, 0L);
    // libcurl's default 16 KiB receive buffer costs a write and a callback
    // per 16 KiB; larger reads keep a fast link from waiting on us.
    curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);

    CURLcode options = CURLE_OK;
    Combine(options, curl_easy_setopt(handle, CURLOPT_URL, realUrl.c_str()));
    Combine(options, curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L));
    Combine(options, curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WriteToFile));
    BodySink sink{file, nullptr};
    sink.handle = handle;
    Combine(options, curl_easy_setopt(handle, CURLOPT_WRITEDATA, &sink));
    Combine(options, curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L));
    Combine(options, curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &ProgressCallback));
    Combine(options, curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this));
    Combine(options, curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L));
    Combine(options, curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
    Combine(options, SetCommonOptions(handle, realUrl));
    resumeOffset = SizeOfOpenFile(file);
    const std::int64_t length = static_cast<std::int64_t>(fileLength);
    if (resumeOffset > length) {
      // Longer than the package: not a piece of it.
      std::fclose(file);
      file = std::fopen(sideNarrow.c_str(), "wb+");
      resumeOffset = file ? 0 : -1;
      if (!file) options = CURLE_WRITE_ERROR;
      sink.file = file;
    }
    const bool whole = resumeOffset == length;
    if (resumeOffset > 0 && !whole) {
      Combine(options, curl_easy_setopt(handle, CURLOPT_RESUME_FROM_LARGE,
                                        static_cast<curl_off_t>(resumeOffset)));
      if (partial.digest.empty() && !partial.Validator().empty()) {
        // A package that changed since answers whole (200), which libcurl
        // refuses for a resumed request: the side file then starts afresh.
        headers = curl_slist_append(headers, ("If-Range: " + partial.Validator()).c_str());
        sink.kept = &partial;
      }
    }
    const ExpectedDigest expected = ExpectedDigestOf(realUrl);
    if (expected.present) {
      md5 = std::make_unique<BackgroundMd5>(expected.algorithm);
      md5->FeedFilePrefix(sideNarrow, resumeOffset);
      sink.md5 = md5.get();
    }
    if (whole) {
      // An earlier run received every byte but ended before the rename.
      DEBUG_LOG(L"the kept partial download is already whole");
      result = options == CURLE_OK ? 0 : static_cast<int>(options);
    } else {
      result = options == CURLE_OK ? static_cast<int>(curl_easy_perform(handle)) : static_cast<int>(options);
    }
    writeErrno = sink.writeErrno;
    contradicted = sink.contradicted;
    long connectStatus = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &answerStatus);
    curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
    if (connectStatus == 407) answerStatus = 407;
  }

  LOG_RESULT(result);
  if (handle) {
    curl_easy_cleanup(handle);
    handle = nullptr;
  }
  curl_slist_free_all(headers);
  if (file) {
    // The last buffered bytes reach the disk only here; a full disk must
    // count as the write error it is, not as a finished file.
    errno = 0;
    if (std::fclose(file) != 0 && result == 0) {
      writeErrno = errno != 0 ? errno : EIO;
      result = CURLE_WRITE_ERROR;
      LOG_RESULT(result);
    }
  }

  if (md5) {
    if (result == 0) bodyMd5 = md5->Finish();
    // Also closes the side file if the hasher still reads it: Windows
    // neither removes nor renames a file that is open.
    md5.reset();
  }
  if (result == CURLE_RANGE_ERROR || contradicted) {
    // The server will not continue the side file (or its package changed
    // since, so If-Range brought the whole of it, or it answered with another
    // validator): the next try asks again and starts the package afresh.
    DEBUG_LOG(L"the server does not continue the kept partial download: it starts afresh");
    ForgetPartial(localNarrow);
    if (contradicted) result = CURLE_RANGE_ERROR;
  }

  if (result == 0) {
    std::remove(localNarrow.c_str());
    if (std::rename(sideNarrow.c_str(), localNarrow.c_str()) != 0) {
      // Reporting success here would hand a missing or stale target to the
      // digest check, which lets an unreadable file pass.
      writeErrno = errno;
      errorText = Utils::ToWide(std::strerror(errno), Utils::kCodePageAnsi).substr(0, kMaxErrorTextLength);
      result = kRenameFailed;
      LOG_RESULT(result);
    } else {
      // Whole: nothing of it is partial any more.
      DeleteResumeRecord(localNarrow);
      partialSettled = false;
    }
  }

  if (result == kNoLength) {
    lastFailure = ClassifyCurlResult(headerResult, headerStatus, realUrl.empty() ? urlNarrow : realUrl,
                                     localPath, 0);
  } else if (result == kSideFileUnopenable || result == kRenameFailed) {
    lastFailure = ClassifyFileError(writeErrno, localPath);
  } else if (result != 0) {
    lastFailure = ClassifyCurlResult(result, answerStatus, realUrl, localPath, writeErrno);
  }
  if (result != 0) DEBUG_LOG(L"failure: %s", FailureSummary(lastFailure).c_str());

  DEBUG_LOG(L"end download");
  return result;
}
