#include "download/offline_package.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <vector>

#include "support/installer_settings.h"
#include "support/curl_proxy.h"
#include "support/debug_log.h"
#include "support/digest.h"
#include "support/file_system.h"
#include "support/text.h"

namespace {

std::size_t Discard(char*, std::size_t size, std::size_t count, void*) { return size * count; }

bool IsLowerHex(const std::string& text, std::size_t length) {
  return text.size() == length && std::all_of(text.begin(), text.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
         });
}

std::string Narrow(const std::wstring& path) { return Utils::ToNarrow(path, Utils::kCodePageAnsi); }

}  // namespace

COfflinePackage::COfflinePackage(NotifyCallback callback, OfflinePackageSource source, std::wstring localPath,
                                 std::unique_ptr<CDownloader> fallback)
    : callback_(std::move(callback)), source_(std::move(source)), localPath_(std::move(localPath)),
      fallback_(std::move(fallback)) {}

COfflinePackage::~COfflinePackage() {
  abort_ = true;
  if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) worker_.join();
  if (worker_.joinable()) worker_.detach();
  fallback_.reset();
}

void COfflinePackage::Start() {
  if (fallbackActive_) {
    fallback_->Start();
    return;
  }
  if (worker_.joinable()) {
    if (worker_.get_id() == std::this_thread::get_id()) {
      worker_.detach();
    } else {
      worker_.join();
    }
  }
  worker_ = std::thread([this] { Run(); });
}

std::string COfflinePackage::DigestOfFinalAddress(const std::wstring& entryUrl) {
  if (entryUrl.empty()) return {};
  CURL* handle = curl_easy_init();
  if (!handle) return {};
  const std::string address = Utils::ToNarrow(entryUrl, Utils::kCodePageUtf8);
  const std::string caFile = Narrow(Installer::TheInstallerSettings().caBundle);
  curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
  curl_easy_setopt(handle, CURLOPT_NOBODY, 1L);
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &Discard);
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  // The package is already here: a network that does not answer soon only
  // costs the check, not the installation.
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 10L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, 20L);
  if (!caFile.empty()) curl_easy_setopt(handle, CURLOPT_CAINFO, caFile.c_str());
  Utils::ApplyProxy(handle, address, DownloadProxySetting());
  std::string digest;
  long status = 0;
  char* effective = nullptr;
  if (curl_easy_perform(handle) == CURLE_OK &&
      curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) == CURLE_OK && status >= 200 && status < 400 &&
      curl_easy_getinfo(handle, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) {
    digest = Utils::Md5FromUrl(effective);
    std::transform(digest.begin(), digest.end(), digest.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!IsLowerHex(digest, 32)) digest.clear();
  }
  curl_easy_cleanup(handle);
  return digest;
}

bool COfflinePackage::CopyAndHash(const std::wstring& side, std::string& md5, std::string& sha256) {
  std::FILE* in = std::fopen(Narrow(source_.file).c_str(), "rb");
  if (!in) return false;
  std::FILE* out = std::fopen(Narrow(side).c_str(), "wb");
  if (!out) {
    std::fclose(in);
    return false;
  }
  std::fseek(in, 0, SEEK_END);
  const long total = std::ftell(in);
  std::fseek(in, 0, SEEK_SET);
  Utils::Hash md5State(Utils::HashAlgorithm::kMd5);
  Utils::Hash sha256State(Utils::HashAlgorithm::kSha256);
  std::vector<char> buffer(1 << 20);
  long done = 0;
  double reported = 0.0;
  bool ok = true;
  while (!abort_) {
    const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
    if (got == 0) {
      ok = std::ferror(in) == 0;
      break;
    }
    md5State.Update(buffer.data(), got);
    sha256State.Update(buffer.data(), got);
    if (std::fwrite(buffer.data(), 1, got, out) != got) {
      ok = false;
      break;
    }
    done += static_cast<long>(got);
    const double fraction = total > 0 ? std::min(1.0, static_cast<double>(done) / static_cast<double>(total)) : 1.0;
    if (fraction - reported >= 0.01 || fraction >= 1.0) {
      reported = fraction;
      callback_(DL_CODE_PROGRESS, fraction, L"");
    }
  }
  ok = ok && !abort_ && done > 0;
  std::fclose(in);
  if (std::fclose(out) != 0) ok = false;
  md5 = md5State.FinishHex();
  sha256 = sha256State.FinishHex();
  return ok;
}

void COfflinePackage::Run() {
  callback_(DL_CODE_START, 1.0, L"");
  DEBUG_LOG(L"offline package: %s", source_.file.c_str());
  auto refuse = [this](double value, const wchar_t* why) {
    if (!source_.chosenByUser && fallback_) {
      DEBUG_LOG(L"offline package not used (%s); downloading instead", why);
      fallbackActive_ = true;
      fallback_->Start();
      return;
    }
    callback_(DL_CODE_FAIL, value, kEngineOfflinePackage);
  };

  std::string expectedMd5 = source_.md5, expectedSha256 = source_.sha256;
  if (expectedMd5.empty() && expectedSha256.empty()) expectedMd5 = DigestOfFinalAddress(source_.entryUrl);

  const std::wstring side = localPath_ + L".part";
  std::string md5, sha256;
  if (!CopyAndHash(side, md5, sha256)) {
    std::remove(Narrow(side).c_str());
    DEBUG_LOG(L"offline package cannot be read or copied");
    refuse(kOfflineUnreadable, L"unreadable");
    return;
  }
  const bool sha256Known = !expectedSha256.empty(), md5Known = !expectedMd5.empty();
  if ((sha256Known && sha256 != expectedSha256) || (md5Known && md5 != expectedMd5)) {
    std::remove(Narrow(side).c_str());
    DEBUG_LOG(L"offline package refused: digest mismatch (MD5 %s, SHA-256 %s)",
              Utils::ToWide(md5, Utils::kCodePageUtf8).c_str(), Utils::ToWide(sha256, Utils::kCodePageUtf8).c_str());
    if (source_.chosenByUser || !fallback_) callback_(DL_CODE_ERROR, 0.0, kOfflineMismatch);
    refuse(0.0, L"digest mismatch");
    return;
  }
  std::remove(Narrow(localPath_).c_str());
  if (std::rename(Narrow(side).c_str(), Narrow(localPath_).c_str()) != 0) {
    std::remove(Narrow(side).c_str());
    refuse(kOfflineUnreadable, L"cannot be put in place");
    return;
  }
  if (sha256Known || md5Known) {
    DEBUG_LOG(L"offline package verified against its %s", sha256Known ? L"SHA-256" : L"MD5");
  } else {
    DEBUG_LOG(L"offline package not verified: no digest is known");
    callback_(DL_CODE_ERROR, 0.0, kOfflineNotVerified);
  }
  callback_(DL_CODE_SUCCESS, 0.0, kEngineOfflinePackage);
}
