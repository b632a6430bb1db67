#include "download/mt_curl_downloader.h"

#include <curl/curl.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "support/installer_settings.h"
#include "download/background_md5.h"
#include "download/curl_client.h"
#include "download/download_failure.h"
#include "download/package_digest.h"
#include "download/partial_download.h"
#include "download/downloader.h"
#include "support/curl_proxy.h"
#include "support/debug_log.h"
#include "support/digest.h"
#include "support/process_info.h"
#include "support/text.h"

namespace {

constexpr std::int64_t kRangeUnit = 10485760;  // 10 MiB
constexpr std::size_t kMaxRanges = 2;
// Below this the server's answer cannot be a package.
constexpr std::int64_t kMinimumLength = 256;
constexpr int kRangeBudget = 12;
constexpr long kConnectTimeoutSeconds = 60;
// libcurl 7.x follows redirects without limit by default; a redirect loop
// would otherwise hold the installer for ever.
constexpr long kMaxRedirects = 30;
// The header request carries no body, so the low-speed guard of the ranges
// cannot bound it; a server that accepts and never answers must not hang us.
constexpr long kHeaderRequestTimeoutSeconds = 120;
constexpr std::chrono::milliseconds kRangeStartSpacing{100};
constexpr std::chrono::milliseconds kRangeRetryPause{400};

constexpr wchar_t kNoticePrefix[] = L"mtcurl";
// The one-stream fallback retries as the single-stream downloader does.
constexpr int kSingleStreamBudget = 12;
constexpr std::chrono::milliseconds kSingleStreamPause{500};

// Whose thread the calling thread is, so that Start can tell a call from
// inside this downloader's own notifications from a call by its owner.
struct ThreadRole {
  const CMTCurlDownloader::State* owner = nullptr;
  bool outcomeSent = false;
};
thread_local ThreadRole tlsRole;

std::wstring Wide(const std::string& narrow) { return Utils::ToWide(narrow, Utils::kCodePageAnsi); }

std::wstring CurlText(CURLcode code) { return Wide(curl_easy_strerror(code)); }

// Addresses go to libcurl as UTF-8, except local files, whose names are in
// the system's code page.
std::string NarrowAddress(const std::wstring& url) {
  if (Utils::StartsWith(url, L"file:///")) return Utils::ToNarrow(url, Utils::kCodePageAnsi);
  return Utils::ToNarrow(url, Utils::kCodePageUtf8);
}

// Size of a file, or -1 when it cannot be read.
std::int64_t FileSize(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return -1;
  std::int64_t size = -1;
#ifdef _WIN32
  if (_fseeki64(file, 0, SEEK_END) == 0) size = _ftelli64(file);
#else
  if (fseeko(file, 0, SEEK_END) == 0) size = ftello(file);
#endif
  std::fclose(file);
  return size;
}

// A private certificate authority named in the settings is trusted by every
// request besides the system's own.
CURLcode ApplyCaBundle(CURL* handle) {
  const std::wstring& bundle = Installer::TheInstallerSettings().caBundle;
  if (bundle.empty()) return CURLE_OK;
  return curl_easy_setopt(handle, CURLOPT_CAINFO, Utils::ToNarrow(bundle, Utils::kCodePageAnsi).c_str());
}

size_t DiscardData(char*, size_t size, size_t count, void*) { return size * count; }

}  // namespace

// One byte range of the package and its part file.
struct DownloadPartNode {
  DownloadPartNode() = default;
  DownloadPartNode(const DownloadPartNode&) = delete;
  DownloadPartNode& operator=(const DownloadPartNode&) = delete;
  ~DownloadPartNode() {
    CloseFile();
    if (handle) curl_easy_cleanup(handle);
  }
  void CloseFile() {
    if (file) std::fclose(file);
    file = nullptr;
  }

  std::FILE* file = nullptr;
  std::int64_t nextOffset = 0;  // absolute offset of the next byte this range needs
  std::int64_t lastOffset = -1;  // absolute offset of its last byte
  CURL* handle = nullptr;
  std::string url;
  std::string partPath;
  std::int32_t state = -1;  // -1 to fetch, 0 complete, else the last failure
  std::atomic<std::int64_t> received{0};
  std::int64_t packageLength = 0;
  // Why the last try failed: the answer's status and a failed write's errno.
  long answerStatus = 0;
  int writeErrno = 0;
  // The server answered the range with the whole package: no try of this
  // range can work, the attempt goes on as one stream.
  bool wholeBodyAnswer = false;
  // The first range's bytes are hashed as they arrive (the others follow
  // while the parts are joined); null for the other ranges.
  BackgroundMd5* md5 = nullptr;
  // Part files known by the server's validator only: sent back with
  // If-Range, and an answer naming another validator is refused. Null when
  // a digest vouches for the bytes, or nothing does.
  const PartialIdentity* kept = nullptr;

  // Per transfer: where the server's answer starts in the package, and
  // whether that answer continues this range's part file.
  std::int64_t answerFirstByte = -1;
  bool answerChecked = false;
  bool answerUsable = false;
};

struct CMTCurlDownloader::State {
  std::vector<std::unique_ptr<DownloadPartNode>> parts;
  NotifyCallback callback;
  std::wstring localPath;
  std::wstring url;
  std::string realUrl;
  // Wide enough for any length a server reports; a narrower field would
  // turn a package of 2 GiB or more into nonsense.
  std::int64_t fileLength = -1;
  ExpectedDigest expected;
  // Set when the length request failed: the attempt goes on as one stream.
  bool singleStream = false;
  // The running attempt's digest of the package, when the address carries one.
  std::unique_ptr<BackgroundMd5> attemptMd5;
  double lastPercent = 0.0;  // 0.0 also means no progress worth resuming is kept
  std::atomic<std::int32_t> activeParts{0};
  std::mutex lock;  // lastProgressTime, lastPercent and the progress notification
  std::int64_t lastProgressTime = 0;
  bool retried = false;
  std::atomic<long> stallSeconds{DownloadStallRule().seconds};
  // The validators of the length request's answer, and what the part files
  // hold once the first attempt has compared them with the kept record.
  std::string offeredEtag;
  std::string offeredLastModified;
  bool partialSettled = false;
  PartialIdentity partial;

  // Lifetime of the threads: range and finishing threads count themselves
  // here, and the destructor turns `aborting` on and waits for them.
  std::atomic<bool> aborting{false};
  std::mutex threadsMutex;
  std::condition_variable threadsChanged;
  int liveThreads = 0;

  void Notify(std::int32_t code, double value, const wchar_t* text) {
    // Once the owner is going away nobody may be told anything.
    if (aborting || !callback) return;
    if (code == DL_CODE_SUCCESS || code == DL_CODE_FAIL || code == DL_CODE_RETRY)
      tlsRole.outcomeSent = true;
    callback(code, value, text);
  }

  // Sleeps unless the downloader is being destroyed; false when it is.
  bool Pause(std::chrono::milliseconds duration) {
    std::unique_lock<std::mutex> guard(threadsMutex);
    return !threadsChanged.wait_for(guard, duration, [this] { return aborting.load(); });
  }

  void RequestAbort() {
    {
      std::lock_guard<std::mutex> guard(threadsMutex);
      aborting = true;
    }
    threadsChanged.notify_all();
  }

  void WaitForThreads(int atMost) {
    std::unique_lock<std::mutex> guard(threadsMutex);
    threadsChanged.wait(guard, [&] { return liveThreads <= atMost; });
  }

  double LastPercent() {
    std::lock_guard<std::mutex> guard(lock);
    return lastPercent;
  }
  void SetLastPercent(double value) {
    std::lock_guard<std::mutex> guard(lock);
    lastPercent = value;
  }
};

namespace {

using State = CMTCurlDownloader::State;

// Counts a range or finishing thread among the downloader's live threads
// from before the thread exists until its very last step, and keeps the
// shared state alive that long.
class LiveThread {
 public:
  explicit LiveThread(std::shared_ptr<State> state) : state_(std::move(state)) {
    std::lock_guard<std::mutex> guard(state_->threadsMutex);
    ++state_->liveThreads;
  }
  LiveThread(LiveThread&&) noexcept = default;
  LiveThread& operator=(LiveThread&&) = delete;
  LiveThread(const LiveThread&) = delete;
  LiveThread& operator=(const LiveThread&) = delete;
  ~LiveThread() {
    if (!state_) return;
    {
      std::lock_guard<std::mutex> guard(state_->threadsMutex);
      --state_->liveThreads;
    }
    state_->threadsChanged.notify_all();
  }
  const std::shared_ptr<State>& state() const { return state_; }

 private:
  std::shared_ptr<State> state_;
};

std::string TargetPath(const State& state) { return Utils::ToNarrow(state.localPath, Utils::kCodePageAnsi); }

// The part files and their record: after a failed join nothing of them can
// be trusted.
void DeletePartFiles(const State& state) { DeletePartials(TargetPath(state)); }

// Once per downloader, before the first byte: part files an earlier run left
// are continued when their record names the package offered now, deleted
// otherwise; then the package offered now is recorded.
void SettleParts(State& state) {
  PartialIdentity offered;
  if (state.expected.present) offered.digest = state.expected.hex;
  offered.address = state.realUrl;
  offered.etag = state.offeredEtag;
  offered.lastModified = state.offeredLastModified;
  offered.length = state.fileLength;
  offered.layout = "ranges";
  const std::string target = TargetPath(state);
  PartialIdentity kept;
  const ResumeVerdict verdict = ReadResumeRecord(target, kept) ? DecideResume(kept, offered) : ResumeVerdict::kStartOver;
  if (verdict == ResumeVerdict::kStartOver) {
    DEBUG_LOG(L"no partial download of this package is kept: the ranges start from their first bytes");
    DeletePartials(target);
  } else {
    DEBUG_LOG(L"partial ranges of this package are kept (known by their %s): they go on from there",
              verdict == ResumeVerdict::kByDigest ? L"digest" : L"validator");
  }
  if (offered.CanBeResumed() && !WriteResumeRecord(target, offered))
    DEBUG_LOG(L"the partial download's record cannot be written: a later run starts afresh");
  state.partial = offered;
  state.partialSettled = true;
}

int AbortOnly(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<State*>(clientp)->aborting ? 1 : 0;
}

// Learns the final address, the length and the expected digest with one
// header-only request.
bool GetRealDownloadUrl(State& state, const std::string& address) {
  state.realUrl.clear();
  state.expected = ExpectedDigest{};
  state.fileLength = 0;
  if (!Installer::TheInstallerSettings().curlReady) return false;

  CURL* handle = curl_easy_init();
  if (!handle) return false;
  curl_slist* headers = curl_slist_append(nullptr, "Connection: keep-alive");
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers);

  CURLcode result = CURLE_OK;
  auto set = [&](CURLcode optionResult) {
    if (result == CURLE_OK) result = optionResult;
  };
  set(curl_easy_setopt(handle, CURLOPT_URL, address.c_str()));
  set(curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L));
  set(curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects));
  set(curl_easy_setopt(handle, CURLOPT_NOBODY, 1L));
  set(curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &DiscardData));
  set(curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
  set(curl_easy_setopt(handle, CURLOPT_TIMEOUT, kHeaderRequestTimeoutSeconds));
  set(curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L));
  set(curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L));
  set(curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &AbortOnly));
  set(curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &state));
  set(ApplyCaBundle(handle));
  set(Utils::ApplyProxy(handle, address, DownloadProxySetting()));
  if (result == CURLE_OK) {
    result = curl_easy_perform(handle);
    if (result != CURLE_OK) DEBUG_LOG(L"error:%d:%s", static_cast<int>(result), CurlText(result).c_str());
  }
  if (result == CURLE_OK) {
    char* effective = nullptr;
    if (curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective &&
        *effective) {
      state.realUrl = effective;
      DEBUG_LOG(L"Download File real url %s", Wide(state.realUrl).c_str());
      state.expected = ExpectedDigestOf(state.realUrl);
    }
    state.offeredEtag = LastAnswerHeader(handle, "ETag");
    state.offeredLastModified = LastAnswerHeader(handle, "Last-Modified");
    curl_off_t length = -1;
    long status = 0;
    if (curl_easy_getinfo(handle, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 &&
        status <= 399) {
      state.fileLength = static_cast<std::int64_t>(length);
      DEBUG_LOG(L"Download File Length %lld", static_cast<long long>(state.fileLength));
    }
  }
  curl_easy_cleanup(handle);
  curl_slist_free_all(headers);
  return !state.realUrl.empty() && state.fileLength >= kMinimumLength;
}

// Remembers where each answer of a transfer starts: a redirect chain brings
// several answers, each opening with its status line.
size_t ReadHeaderLine(char* data, size_t size, size_t count, void* userdata) {
  auto* node = static_cast<DownloadPartNode*>(userdata);
  const std::size_t length = size * count;
  const std::string line(data, length);
  auto startsWithNoCase = [&line](const char* prefix) {
    std::size_t i = 0;
    for (; prefix[i]; ++i) {
      if (i >= line.size()) return false;
      char c = line[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != prefix[i]) return false;
    }
    return true;
  };
  if (startsWithNoCase("http/")) {
    node->answerFirstByte = -1;
  } else if (startsWithNoCase("content-range:")) {
    // "Content-Range: bytes <first>-<last>/<length>"
    std::size_t i = std::char_traits<char>::length("content-range:");
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (line.compare(i, 5, "bytes") == 0) {
      i += 5;
      while (i < line.size() && line[i] == ' ') ++i;
      std::int64_t first = 0;
      bool digits = false;
      for (; i < line.size() && line[i] >= '0' && line[i] <= '9' && first < (INT64_MAX - 9) / 10; ++i) {
        first = first * 10 + (line[i] - '0');
        digits = true;
      }
      if (digits && i < line.size() && line[i] == '-') node->answerFirstByte = first;
    }
  }
  return length;
}

size_t WritePartData(char* data, size_t size, size_t count, void* userdata) {
  auto* node = static_cast<DownloadPartNode*>(userdata);
  if (!node->file || node->nextOffset > node->lastOffset) return 0;
  if (!node->answerChecked) {
    // A server that ignores the range, or answers another one, would put
    // bytes of the wrong place into the part file; only an answer that
    // continues it exactly is written. A plain 200 is that answer when the
    // range is the whole package from its first byte.
    node->answerChecked = true;
    long status = 0;
    curl_easy_getinfo(node->handle, CURLINFO_RESPONSE_CODE, &status);
    node->answerStatus = status;
    node->answerUsable =
        (status == 206 && node->answerFirstByte == node->nextOffset) ||
        (status == 200 && node->nextOffset == 0 && node->lastOffset + 1 == node->packageLength);
    if (!node->answerUsable && status == 200) node->wholeBodyAnswer = true;
    if (node->answerUsable && node->kept &&
        AnswerContradicts(*node->kept, LastAnswerHeader(node->handle, "ETag"),
                          LastAnswerHeader(node->handle, "Last-Modified"))) {
      // The package changed since the part files were begun and the server
      // ignored If-Range: they are worthless, the package comes afresh.
      node->answerUsable = false;
      node->wholeBodyAnswer = true;
    }
    if (!node->answerUsable)
      DEBUG_LOG(L"range %lld-%lld not honoured: status %d, answer from %lld",
                static_cast<long long>(node->nextOffset), static_cast<long long>(node->lastOffset),
                static_cast<int>(status), static_cast<long long>(node->answerFirstByte));
  }
  if (!node->answerUsable) return 0;
  const std::size_t offered = size * count;
  const std::size_t remaining = static_cast<std::size_t>(node->lastOffset - node->nextOffset + 1);
  const std::size_t wanted = offered < remaining ? offered : remaining;
  errno = 0;
  const std::size_t written = std::fwrite(data, 1, wanted, node->file);
  if (written < wanted) node->writeErrno = errno != 0 ? errno : EIO;
  if (node->md5) node->md5->Feed(data, written);
  node->nextOffset += static_cast<std::int64_t>(written);
  node->received += static_cast<std::int64_t>(written);
  return written;
}

int ReportProgress(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  State& state = *static_cast<State*>(clientp);
  // Progress never stops a transfer, except that the downloader's end does.
  if (state.aborting) return 1;
  std::lock_guard<std::mutex> guard(state.lock);
  const std::int64_t now = static_cast<std::int64_t>(std::time(nullptr));
  if (now <= state.lastProgressTime) return 0;
  state.lastProgressTime = now;
  double percent = 0.0;
  if (state.fileLength >= kMinimumLength) {
    for (const auto& node : state.parts) {
      const std::int64_t received = node->received;
      if (received > 0)
        percent += static_cast<double>(received) * 100.0 / static_cast<double>(state.fileLength);
    }
  }
  if (percent > 100.0) return 0;
  if (percent - state.lastPercent >= 1.0) {
    state.lastPercent = percent;
    state.Notify(DL_CODE_PROGRESS, percent / 100.0, L"");
  }
  return 0;
}

CURLcode DownloadExe(State& state, DownloadPartNode& node) {
  if (node.nextOffset > node.lastOffset) {
    // Filled by an earlier try whose end failed: nothing left to ask for.
    node.CloseFile();
    node.state = 0;
    return CURLE_OK;
  }
  char range[64];
  std::snprintf(range, sizeof range, "%lld-%lld", static_cast<long long>(node.nextOffset),
                static_cast<long long>(node.lastOffset));
  node.answerChecked = false;
  node.answerUsable = false;
  node.answerFirstByte = -1;
  node.answerStatus = 0;
  node.writeErrno = 0;

  CURL* handle = node.handle;
  CURLcode result = CURLE_OK;
  auto set = [&](CURLcode optionResult) {
    if (result == CURLE_OK) result = optionResult;
  };
  set(curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L));
  set(curl_easy_setopt(handle, CURLOPT_URL, node.url.c_str()));
  set(curl_easy_setopt(handle, CURLOPT_TIMEOUT, 0L));
  set(curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L));
  set(curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects));
  // Larger reads than libcurl's default 16 KiB keep a fast link from
  // waiting on us; a refused size changes nothing else.
  curl_easy_setopt(handle, CURLOPT_BUFFERSIZE, 512L * 1024L);
  set(curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &WritePartData));
  set(curl_easy_setopt(handle, CURLOPT_WRITEDATA, &node));
  set(curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, &ReadHeaderLine));
  set(curl_easy_setopt(handle, CURLOPT_HEADERDATA, &node));
  set(curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L));
  set(curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &ReportProgress));
  set(curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &state));
  set(curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L));
  set(curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds));
  set(ApplyCaBundle(handle));
  set(Utils::ApplyProxy(handle, node.url, DownloadProxySetting()));
  set(curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, DownloadStallRule().bytesPerSecond));
  set(curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, state.stallSeconds.load()));
  set(curl_easy_setopt(handle, CURLOPT_RANGE, range));
  curl_slist* headers = nullptr;
  if (node.kept) {
    // A package that changed answers whole (200): the attempt then goes on as
    // one stream, which starts it afresh.
    headers = curl_slist_append(headers, ("If-Range: " + node.kept->Validator()).c_str());
    set(curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers));
  }
  if (result != CURLE_OK) {
    curl_slist_free_all(headers);
    curl_easy_reset(handle);
    return result;
  }

  result = curl_easy_perform(handle);
  if (result != CURLE_OK)
    DEBUG_LOG(L"error:%d:%s", static_cast<int>(result), CurlText(result).c_str());
  long status = 0;
  long connectStatus = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_getinfo(handle, CURLINFO_HTTP_CONNECTCODE, &connectStatus);
  node.answerStatus = connectStatus == 407 ? 407 : status;
  if (result == CURLE_OK) DEBUG_LOG(L"curl_easy_cleanup");
  curl_easy_reset(handle);
  curl_slist_free_all(headers);
  // A server may end an answer cleanly before the range's end (a shorter
  // Content-Range); the range is not complete then.
  if (result == CURLE_OK && node.nextOffset <= node.lastOffset) result = CURLE_PARTIAL_FILE;
  if (result == CURLE_OK) node.CloseFile();
  node.state = static_cast<std::int32_t>(result);
  return result;
}

void DownloadThreadFun(const std::shared_ptr<State>& state, DownloadPartNode& node) {
  tlsRole = ThreadRole{state.get(), false};
  int budget = kRangeBudget;
  CURLcode result = DownloadExe(*state, node);
  while (result != CURLE_OK && budget > 0 && !state->aborting && !node.wholeBodyAnswer) {
    budget -= result == CURLE_PARTIAL_FILE ? 1 : 2;
    DEBUG_LOG(L"CurlDownLoader Code=%d", static_cast<int>(result));
    if (!state->Pause(kRangeRetryPause)) break;
    result = DownloadExe(*state, node);
  }
  node.CloseFile();
  --state->activeParts;
}

// Also ends the attempt's hashing, which may still read the first part
// file: Windows removes no file that is open.
void ReleaseNodes(State& state) {
  state.parts.clear();
  state.attemptMd5.reset();
}

// The attempt failed: ask once in the downloader's life to be started again,
// otherwise give up.
void FailAttempt(State& state, std::int32_t error, const DownloadFailure& failure) {
  ReleaseNodes(state);
  DEBUG_LOG(L"failure: %s", FailureSummary(failure).c_str());
  // Part files that hold bytes stay: the next attempt, or a later run, goes
  // on from them. Empty ones go.
  DropUnresumablePartials(TargetPath(state));
  if (state.retried) {
    state.SetLastPercent(0.0);
    state.Notify(DL_CODE_FAIL, error, FailureNotificationText(kEngineLibCurl, failure).c_str());
  } else {
    state.retried = true;
    state.Notify(DL_CODE_RETRY, error, kEngineLibCurl);
  }
}

// Appends the later part files to the first one, handing their bytes to the
// digest (when there is one) on the way. True when the first part file then
// holds exactly the whole package.
bool JoinParts(const State& state, BackgroundMd5* md5) {
  const std::string first = CMTCurlDownloader::PartPath(state.localPath, 0);
  std::FILE* out = std::fopen(first.c_str(), "ab+");
  if (!out) {
    DEBUG_LOG(L"cannot reopen %s", Wide(first).c_str());
    return false;
  }
  bool ok = true;
  std::vector<char> block(std::size_t{1} << 20);
  for (std::size_t i = 1; i < state.parts.size(); ++i) {
    const std::string path = CMTCurlDownloader::PartPath(state.localPath, static_cast<int>(i));
    if (std::FILE* in = std::fopen(path.c_str(), "rb+")) {
      for (;;) {
        const std::size_t n = std::fread(block.data(), 1, block.size(), in);
        if (n > 0 && std::fwrite(block.data(), 1, n, out) != n) ok = false;
        if (n > 0 && md5) md5->Feed(block.data(), n);
        if (n < block.size() || !ok) break;
      }
      if (std::ferror(in)) ok = false;
      std::fclose(in);
    }
    DEBUG_LOG(L"partPath::%s", Wide(path).c_str());
    std::remove(path.c_str());
  }
  if (std::fclose(out) != 0) ok = false;
  // A part file that vanished or stopped short would otherwise go unnoticed
  // whenever the address carries no digest.
  return ok && FileSize(first) == state.fileLength;
}

void SingleStreamProgress(void* owner, double bytesPerSecond, double percent) {
  if (bytesPerSecond > 0 && percent <= 100.0)
    static_cast<State*>(owner)->Notify(DL_CODE_PROGRESS, percent / 100.0, L"");
}

// Sends the outcome of a package that arrived whole at `path`: verified, or
// refused by its digest (the file then goes).
void FinishVerified(State& state, const std::string& path, const std::string& hashed) {
  const DigestVerdict verdict = VerifyPackageDigest(state.expected, hashed, path);
  const DigestOutcome outcome = DecideAfterVerification(
      verdict, Installer::TheInstallerSettings().requireDigest, state.retried, kNoticePrefix);
  if (!outcome.notice.empty()) state.Notify(DL_CODE_ERROR, 0.0, outcome.notice.c_str());
  if (outcome.deletePackage) std::remove(path.c_str());
  if (outcome.code == DL_CODE_FAIL)
    state.Notify(DL_CODE_FAIL, 0.0, FailureNotificationText(kEngineLibCurl, outcome.failure).c_str());
  else
    state.Notify(outcome.code, 0.0, kEngineLibCurl);
}

// The server cannot serve ranges (or would not say how long the package
// is): the same attempt goes on as one resumable stream, as the single-stream
// downloader fetches it, instead of failing.
void RunSingleStream(State& state) {
  DEBUG_LOG(L"two ranges are not possible here; one stream instead");
  ReleaseNodes(state);
  // The part files stay until the stream's client has heard the server: it
  // deletes them then, as a partial download of another shape.
  state.SetLastPercent(0.0);
  CurlClient client(state.url, state.localPath, &state, &SingleStreamProgress);
  client.SetAbortFlag(&state.aborting);
  client.SetStallSeconds(state.stallSeconds.load());
  int result = client.Start();
  int budget = kSingleStreamBudget;
  while (result != 0 && !state.aborting) {
    budget -= result == CURLE_PARTIAL_FILE ? 1 : 2;
    if (budget < 1) break;
    DEBUG_LOG(L"CurlDownLoader Code=%d", result);
    if (!state.Pause(kSingleStreamPause)) break;
    result = client.Start();
  }
  if (state.aborting) return;
  if (result != 0) {
    FailAttempt(state, result, client.LastFailure());
    return;
  }
  state.realUrl = client.RealUrl();
  state.expected = ExpectedDigestOf(state.realUrl);
  DEBUG_LOG(L"finish recv");
  // The outcome may start the next attempt at once: nothing of the state is
  // touched after it.
  FinishVerified(state, Utils::ToNarrow(state.localPath, Utils::kCodePageAnsi), client.BodyDigest());
}

void WaitForFinishThreadFun(const std::shared_ptr<State>& state, std::vector<std::thread>& ranges) {
  tlsRole = ThreadRole{state.get(), false};
  for (std::thread& range : ranges)
    if (range.joinable()) range.join();

  if (state->aborting) {
    // What was received stays for a later run.
    ReleaseNodes(*state);
    return;
  }

  bool wholeBody = state->singleStream;
  for (const auto& node : state->parts) wholeBody = wholeBody || node->wholeBodyAnswer;
  if (wholeBody) {
    state->singleStream = false;
    RunSingleStream(*state);
    return;
  }

  std::int32_t error = 0;
  DownloadFailure failure;
  for (const auto& node : state->parts) {
    if (node->state != 0) {
      error = node->state;
      if (error == CMTCurlDownloader::kPartFileUnavailable)
        failure = ClassifyFileError(node->writeErrno, state->localPath);
      else
        failure = ClassifyCurlResult(error, node->answerStatus, node->url, state->localPath, node->writeErrno);
      break;
    }
  }
  if (error != 0) {
    FailAttempt(*state, error, failure);
    return;
  }

  state->SetLastPercent(0.0);
  const bool joined = JoinParts(*state, state->attemptMd5.get());
  // Normally ready the moment the join ends; read back below only when the
  // hashing on the way could not be done.
  const std::string hashed = joined && state->attemptMd5 ? state->attemptMd5->Finish() : std::string();
  ReleaseNodes(*state);
  // The part files are one file now: nothing of them is partial any more.
  DeleteResumeRecord(TargetPath(*state));
  state->partialSettled = false;
  if (!joined) {
    DeletePartFiles(*state);
    FailAttempt(*state, CMTCurlDownloader::kJoinFailed, ClassifyFileError(0, state->localPath));
    return;
  }

  // The digest is checked before the package reaches the target, so a
  // package that fails it never replaces what the target held.
  const std::string joinedPath = CMTCurlDownloader::PartPath(state->localPath, 0);
  const DigestVerdict verdict = VerifyPackageDigest(state->expected, hashed, joinedPath);
  if (verdict != DigestVerdict::kVerified && verdict != DigestVerdict::kNoDigest) {
    FinishVerified(*state, joinedPath, hashed);
    return;
  }
  if (verdict == DigestVerdict::kNoDigest && Installer::TheInstallerSettings().requireDigest) {
    FinishVerified(*state, joinedPath, hashed);
    return;
  }

  const std::string target = Utils::ToNarrow(state->localPath, Utils::kCodePageAnsi);
  std::remove(target.c_str());
  if (std::rename(joinedPath.c_str(), target.c_str()) != 0) {
    const int moveError = errno;
    DEBUG_LOG(L"cannot move the package to %s", state->localPath.c_str());
    DeletePartFiles(*state);
    FailAttempt(*state, CMTCurlDownloader::kJoinFailed, ClassifyFileError(moveError, state->localPath));
    return;
  }
  DEBUG_LOG(L"finish recv");
  FinishVerified(*state, target, hashed);
}

void StartDown(const std::shared_ptr<State>& state) {
  tlsRole = ThreadRole{state.get(), false};
  state->Notify(DL_CODE_START, 1.0, L"");
  DEBUG_LOG(L"start download");
  if (state->localPath.empty()) {
    // Part files would land in the working folder and the package nowhere.
    state->Notify(DL_CODE_FAIL, 1.0, L"");
    return;
  }
  const std::string address = NarrowAddress(state->url);

  if (!Installer::TheInstallerSettings().curlReady) {
    state->Notify(DL_CODE_FAIL, 0.0, kEngineLibCurl);
    return;
  }
  if (state->realUrl.empty() || state->fileLength < kMinimumLength) {
    if (!GetRealDownloadUrl(*state, address)) {
      if (state->aborting) return;
      // Without the length no ranges can be cut; one stream may still work.
      DEBUG_LOG(L"the length request failed");
      state->singleStream = true;
      try {
        std::thread([ticket = LiveThread(state)]() {
          std::vector<std::thread> none;
          WaitForFinishThreadFun(ticket.state(), none);
        }).detach();
      } catch (const std::system_error&) {
        std::vector<std::thread> none;
        WaitForFinishThreadFun(state, none);
      }
      return;
    }
  }

  if (!state->partialSettled) SettleParts(*state);
  const bool byValidator = state->partial.digest.empty() && !state->partial.Validator().empty();

  std::int64_t count = state->fileLength / kRangeUnit;
  if (count < 1) count = 1;
  if (count > static_cast<std::int64_t>(kMaxRanges)) count = kMaxRanges;
  const std::int64_t size = state->fileLength / count;
  for (std::int64_t i = 0; i < count; ++i) {
    auto node = std::make_unique<DownloadPartNode>();
    node->url = state->realUrl;
    node->partPath = CMTCurlDownloader::PartPath(state->localPath, static_cast<int>(i));
    node->handle = curl_easy_init();
    node->packageLength = state->fileLength;
    if (byValidator) node->kept = &state->partial;
    const std::int64_t offset = i * size;
    const std::int64_t rangeSize = i + 1 == count ? state->fileLength - offset : size;
    std::int64_t existing = FileSize(node->partPath);
    if (existing < 0) existing = 0;
    if (existing > rangeSize) {
      // Not a piece of this range: start it afresh.
      std::remove(node->partPath.c_str());
      existing = 0;
    }
    node->received = existing;
    node->nextOffset = offset + existing;
    node->lastOffset = offset + rangeSize - 1;
    if (node->nextOffset > node->lastOffset) {
      node->state = 0;
    } else {
      node->state = -1;
      node->file = std::fopen(node->partPath.c_str(), "ab+");
      if (!node->file)
        node->state = CMTCurlDownloader::kPartFileUnavailable;
      else if (!node->handle)
        node->state = CURLE_FAILED_INIT;
    }
    state->parts.push_back(std::move(node));
  }

  state->attemptMd5.reset();
  if (state->expected.present && !state->parts.empty()) {
    DownloadPartNode& first = *state->parts.front();
    state->attemptMd5 = std::make_unique<BackgroundMd5>(state->expected.algorithm);
    state->attemptMd5->FeedFilePrefix(first.partPath, first.received);
    if (first.state == -1) first.md5 = state->attemptMd5.get();
  }

  // The finishing thread owns the range threads and joins them, so the
  // outcome follows only after every range has ended.
  auto ranges = std::make_shared<std::vector<std::thread>>();
  bool first = true;
  for (const auto& node : state->parts) {
    if (node->state != -1) continue;
    if (!first) state->Pause(kRangeStartSpacing);
    first = false;
    ++state->activeParts;
    DownloadPartNode* part = node.get();
    try {
      ranges->emplace_back([ticket = LiveThread(state), part]() { DownloadThreadFun(ticket.state(), *part); });
    } catch (const std::system_error&) {
      --state->activeParts;
      DEBUG_LOG(L"cannot start a range thread");
    }
  }
  try {
    std::thread([ticket = LiveThread(state), ranges]() {
      WaitForFinishThreadFun(ticket.state(), *ranges);
    }).detach();
  } catch (const std::system_error&) {
    WaitForFinishThreadFun(state, *ranges);
  }
}

}  // namespace

std::string CMTCurlDownloader::PartPath(const std::wstring& localPath, int index) {
  return Utils::ToNarrow(localPath, Utils::kCodePageAnsi) + "_" + std::to_string(index);
}

CMTCurlDownloader::CMTCurlDownloader(NotifyCallback callback, const std::wstring& url,
                                     const std::wstring& localPath)
    : state_(std::make_shared<State>()) {
  state_->callback = std::move(callback);
  state_->url = url;
  state_->localPath = localPath;
  if (!localPath.empty()) DeleteStalePartials(TargetPath(*state_));
}

CMTCurlDownloader::~CMTCurlDownloader() {
  state_->RequestAbort();
  // A worker may be inside Start (answering its own outcome) right now: the
  // workers are taken out under the lock, and no Start begins another.
  std::unique_ptr<Utils::Thread> workers[2];
  {
    std::lock_guard<std::mutex> guard(workersMutex_);
    stopping_ = true;
    workers[0] = std::move(worker_);
    workers[1] = std::move(retiredWorker_);
  }
  const std::uint32_t self = Utils::CurrentThreadId();
  for (std::unique_ptr<Utils::Thread>& worker : workers) {
    if (worker && worker->ThreadId() == self) {
      // Joining the calling thread would never end; leaving its small record
      // behind is the lesser harm.
      DEBUG_LOG(L"destroyed on its own worker");
      (void)worker.release();
    }
    worker.reset();
  }
  const bool onOwnThread = tlsRole.owner == state_.get();
  state_->WaitForThreads(onOwnThread ? 1 : 0);
  // Part files a later run can go on from stay; the rest go.
  if (!onOwnThread && !state_->localPath.empty()) DropUnresumablePartials(TargetPath(*state_));
}

void CMTCurlDownloader::SetStallSeconds(long seconds) { state_->stallSeconds = seconds; }

void CMTCurlDownloader::Start() {
  const bool onOwnThread = tlsRole.owner == state_.get();
  if (onOwnThread && !tlsRole.outcomeSent) {
    DEBUG_LOG(L"Start ignored: the running attempt has not ended");
    return;
  }
  state_->WaitForThreads(onOwnThread ? 1 : 0);
  // Workers that ended are joined outside the lock: one of them may be
  // waiting for it in a Start of its own.
  std::unique_ptr<Utils::Thread> ended[2];
  {
    std::lock_guard<std::mutex> guard(workersMutex_);
    if (stopping_) return;
    const std::uint32_t self = Utils::CurrentThreadId();
    if (retiredWorker_ && retiredWorker_->ThreadId() != self) ended[0] = std::move(retiredWorker_);
    if (worker_) {
      if (worker_->ThreadId() == self)
        retiredWorker_ = std::move(worker_);
      else
        ended[1] = std::move(worker_);
    }
  }
  for (std::unique_ptr<Utils::Thread>& worker : ended) worker.reset();
  std::lock_guard<std::mutex> guard(workersMutex_);
  if (stopping_) return;
  std::shared_ptr<State> state = state_;
  worker_ = std::make_unique<Utils::Thread>(nullptr, L"ABDEF", [state](void*) { StartDown(state); });
  if (worker_->IsCreated()) worker_->Resume();
}
