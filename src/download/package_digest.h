// The digest a package's final address promises, and the check of a
// downloaded package against it, shared by the three downloaders.
#pragma once

#include <string>

#include "support/digest.h"

// What the final address says about the package's bytes: the path segment
// just before the file name. 64 hexadecimal digits are a SHA-256 digest;
// 32 characters an MD5 digest; anything else no digest.
struct ExpectedDigest {
  bool present = false;
  Utils::HashAlgorithm algorithm = Utils::HashAlgorithm::kMd5;
  std::string hex;
};
ExpectedDigest ExpectedDigestOf(const std::string& finalAddress);

enum class DigestVerdict {
  kVerified,     // the package's digest is the promised one
  kNoDigest,     // the address promises none: nothing was verified
  kMismatch,     // the bytes are not the promised package
  kUnavailable,  // the digest could not be computed (file unreadable, hash provider missing)
};

// Compares the promised digest with `computedHex` (hashed while the package
// arrived) or, when that is empty, with the digest of the file at `path`
// (ANSI code page). A digest that cannot be computed never counts as a match.
DigestVerdict VerifyPackageDigest(const ExpectedDigest& expected, const std::string& computedHex,
                                  const std::string& path);

// Notice texts of DL_CODE_ERROR for a downloader's name prefix ("curl",
// "mtcurl", "win"): the digest did not match / the address had none / the
// digest could not be computed.
std::wstring DigestMismatchNotice(const std::wstring& prefix);
std::wstring DigestMissingNotice(const std::wstring& prefix);
std::wstring DigestUnavailableNotice(const std::wstring& prefix);
// True for a DL_CODE_ERROR text that says the address carried no digest.
bool IsDigestMissingNotice(const std::wstring& text);

#include <cstdint>

#include "download/download_failure.h"

// What a downloader does once a transfer ended well: the notice it sends
// (DL_CODE_ERROR, empty for none), whether the file goes, and its outcome
// (DL_CODE_SUCCESS, DL_CODE_RETRY or DL_CODE_FAIL with `failure`). A failed
// verification asks for one restart in the downloader's life (`retried`),
// then fails; a missing digest passes with its notice, unless
// `requireDigest` refuses it at once.
struct DigestOutcome {
  std::wstring notice;
  bool deletePackage = false;
  std::int32_t code = 0;
  DownloadFailure failure;
};
DigestOutcome DecideAfterVerification(DigestVerdict verdict, bool requireDigest, bool& retried,
                                      const std::wstring& noticePrefix);
