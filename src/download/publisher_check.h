// The "PackagePublisher" rule: before a package may run, its Authenticode
// signature must be valid and name the configured publisher. The rule wraps
// whatever supplies the package (a download, mirrors, an offline package),
// so that no source can hand over a package that skips it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "download/downloader.h"
#include "support/authenticode.h"

enum class PublisherDecision {
  kNotAsked,  // no publisher is configured: nothing is checked
  kAccepted,  // a valid signature of the configured publisher
  kIgnored,   // this system cannot verify signatures: the rule does not apply here
  kRefused,   // unsigned, altered, untrusted, or another signer: the package must not run
};

// `expected` is the setting's value (surrounding blanks do not count); the
// signer's common name must equal it exactly.
PublisherDecision DecidePublisher(const std::wstring& expected, const Utils::SignatureCheck& check);

// One log line about a check: what the system said and who signed.
std::wstring DescribeSignatureCheck(const Utils::SignatureCheck& check);

using SignatureChecker = std::function<Utils::SignatureCheck(const std::wstring& path)>;

// A package source whose success is held back until the package at
// `packagePath` passed the publisher rule; a refused package is deleted and
// reported as a download failure of class "publisher-refused" naming the
// expected publisher. Every other notification passes unchanged.
class CPublisherCheck : public CDownloader {
 public:
  // `makeSource` builds the wrapped source with the callback it must use.
  CPublisherCheck(NotifyCallback callback, std::wstring expected, std::wstring packagePath,
                  const std::function<std::unique_ptr<CDownloader>(NotifyCallback)>& makeSource,
                  SignatureChecker checker = &Utils::CheckAuthenticodeSignature);
  CPublisherCheck(const CPublisherCheck&) = delete;
  CPublisherCheck& operator=(const CPublisherCheck&) = delete;

  void Start() override;

 private:
  void Forward(std::int32_t code, double value, const wchar_t* text);

  const NotifyCallback callback_;
  const std::wstring expected_;
  const std::wstring packagePath_;
  const SignatureChecker checker_;
  // Last: it goes first, so its worker never calls into a half-destroyed check.
  std::unique_ptr<CDownloader> source_;
};
