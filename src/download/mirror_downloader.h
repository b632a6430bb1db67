// The package address and its mirrors ("DownloadUrl2".."DownloadUrl5"): each
// address gets a downloader of the configured type, and the next address is
// tried only when every attempt on the one before has failed. Only the last
// failure reaches the receiver; retries requested by a downloader go to the
// address it works on.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "download/downloader.h"

class CMirrorDownloader : public CDownloader {
 public:
  CMirrorDownloader(std::int32_t downloadType, NotifyCallback callback, std::vector<std::wstring> urls,
                    std::wstring localPath);
  ~CMirrorDownloader() override;
  CMirrorDownloader(const CMirrorDownloader&) = delete;
  CMirrorDownloader& operator=(const CMirrorDownloader&) = delete;

  void Start() override;

 private:
  void Handle(std::int32_t code, double value, const wchar_t* text);

  const std::int32_t downloadType_;
  const NotifyCallback callback_;
  const std::vector<std::wstring> urls_;
  const std::wstring localPath_;
  std::mutex mutex_;  // guards the downloaders and `closing_`
  std::vector<std::unique_ptr<CDownloader>> downloaders_;  // one per address tried so far
  bool closing_ = false;
};
