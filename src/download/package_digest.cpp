#include "download/package_digest.h"

#include "download/downloader.h"
#include "support/debug_log.h"

namespace {

constexpr std::size_t kMd5Length = 32;
constexpr std::size_t kSha256Length = 64;

bool AllHex(const std::string& text) {
  for (const char c : text) {
    const bool digit = c >= '0' && c <= '9';
    const bool lower = c >= 'a' && c <= 'f';
    const bool upper = c >= 'A' && c <= 'F';
    if (!digit && !lower && !upper) return false;
  }
  return true;
}

}  // namespace

ExpectedDigest ExpectedDigestOf(const std::string& finalAddress) {
  ExpectedDigest expected;
  const std::string segment = Utils::Md5FromUrl(finalAddress);
  if (segment.size() == kSha256Length && AllHex(segment)) {
    expected.present = true;
    expected.algorithm = Utils::HashAlgorithm::kSha256;
    expected.hex = segment;
  } else if (segment.size() == kMd5Length) {
    expected.present = true;
    expected.algorithm = Utils::HashAlgorithm::kMd5;
    expected.hex = segment;
  }
  return expected;
}

DigestVerdict VerifyPackageDigest(const ExpectedDigest& expected, const std::string& computedHex,
                                  const std::string& path) {
  if (!expected.present) return DigestVerdict::kNoDigest;
  const std::size_t length = Utils::DigestSize(expected.algorithm) * 2;
  const std::string actual =
      computedHex.size() == length ? computedHex : Utils::FileDigest(path, expected.algorithm);
  if (actual.size() != length) {
    DEBUG_LOG(L"the package's %s digest cannot be computed; it is not taken as verified",
              expected.algorithm == Utils::HashAlgorithm::kSha256 ? L"SHA-256" : L"MD5");
    return DigestVerdict::kUnavailable;
  }
  // Exact comparison: the address's digits are the lower-case ones the
  // publisher computed.
  return actual == expected.hex ? DigestVerdict::kVerified : DigestVerdict::kMismatch;
}

std::wstring DigestMismatchNotice(const std::wstring& prefix) { return prefix + L"文件md5校验失败"; }
std::wstring DigestMissingNotice(const std::wstring& prefix) { return prefix + L"获取url-md5失败"; }
std::wstring DigestUnavailableNotice(const std::wstring& prefix) { return prefix + L"文件md5无法计算"; }

bool IsDigestMissingNotice(const std::wstring& text) {
  static const std::wstring kTail = L"获取url-md5失败";
  return text.size() >= kTail.size() && text.compare(text.size() - kTail.size(), kTail.size(), kTail) == 0;
}

DigestOutcome DecideAfterVerification(DigestVerdict verdict, bool requireDigest, bool& retried,
                                      const std::wstring& noticePrefix) {
  DigestOutcome outcome;
  switch (verdict) {
    case DigestVerdict::kVerified:
      DEBUG_LOG(L"the package matches the digest of its address");
      outcome.code = DL_CODE_SUCCESS;
      return outcome;
    case DigestVerdict::kNoDigest:
      outcome.notice = DigestMissingNotice(noticePrefix);
      if (requireDigest) {
        DEBUG_LOG(L"the package's address carries no digest; RequireDigest refuses it");
        outcome.deletePackage = true;
        outcome.code = DL_CODE_FAIL;
        outcome.failure.kind = FailureClass::kDigestMissing;
      } else {
        DEBUG_LOG(L"the package was not verified: its address carries no digest");
        outcome.code = DL_CODE_SUCCESS;
      }
      return outcome;
    case DigestVerdict::kMismatch:
    case DigestVerdict::kUnavailable:
      break;
  }
  const bool mismatch = verdict == DigestVerdict::kMismatch;
  outcome.notice = mismatch ? DigestMismatchNotice(noticePrefix) : DigestUnavailableNotice(noticePrefix);
  outcome.failure.kind = mismatch ? FailureClass::kDigestMismatch : FailureClass::kDigestUnavailable;
  outcome.deletePackage = true;
  if (retried) {
    DEBUG_LOG(L"the package failed its verification again");
    outcome.code = DL_CODE_FAIL;
  } else {
    DEBUG_LOG(L"the package failed its verification; one more try");
    retried = true;
    outcome.code = DL_CODE_RETRY;
  }
  return outcome;
}
