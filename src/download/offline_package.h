// A package the user already has, used instead of a download: copied into
// the package path while its digests are computed, then checked against the
// digest that is known ("PackageSha256", "PackageMd5", or the one the
// package's final address carries when the network can tell it). It speaks
// the downloader contract, so that the orchestrator, the window and the
// analytics see a download that finished at once.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "download/downloader.h"

inline constexpr wchar_t kEngineOfflinePackage[] = L"OfflinePackage";
// DL_CODE_ERROR texts.
inline constexpr wchar_t kOfflineNotVerified[] = L"离线安装包无可校验的摘要";
inline constexpr wchar_t kOfflineMismatch[] = L"离线安装包摘要校验失败";
// DL_CODE_FAIL value when the package cannot be read or copied.
inline constexpr double kOfflineUnreadable = -995.0;

struct OfflinePackageSource {
  std::wstring file;            // the package the user has
  bool chosenByUser = false;    // "-package=": a refused package ends the attempt
  std::string md5, sha256;      // expected digests, lower-case hex; empty: unknown
  std::wstring entryUrl;        // asked for its final address's digest when none is known
};

class COfflinePackage : public CDownloader {
 public:
  // `fallback` (may be null) takes over when a package that was found, not
  // chosen, is unreadable or refused.
  COfflinePackage(NotifyCallback callback, OfflinePackageSource source, std::wstring localPath,
                  std::unique_ptr<CDownloader> fallback);
  ~COfflinePackage() override;
  COfflinePackage(const COfflinePackage&) = delete;
  COfflinePackage& operator=(const COfflinePackage&) = delete;

  void Start() override;

  // The digest the final address of `entryUrl` carries (32 lower-case hex
  // digits), learned with one header request; empty when unreachable.
  static std::string DigestOfFinalAddress(const std::wstring& entryUrl);

 private:
  void Run();
  // Copies the package to the side file; false when it cannot be read or written.
  bool CopyAndHash(const std::wstring& side, std::string& md5, std::string& sha256);

  const NotifyCallback callback_;
  const OfflinePackageSource source_;
  const std::wstring localPath_;
  std::unique_ptr<CDownloader> fallback_;
  std::atomic<bool> fallbackActive_{false};
  std::atomic<bool> abort_{false};
  std::thread worker_;
};
