#include "download/mirror_downloader.h"

#include <utility>

#include "support/debug_log.h"

CMirrorDownloader::CMirrorDownloader(std::int32_t downloadType, NotifyCallback callback,
                                     std::vector<std::wstring> urls, std::wstring localPath)
    : downloadType_(downloadType), callback_(std::move(callback)), urls_(std::move(urls)),
      localPath_(std::move(localPath)) {
  downloaders_.push_back(CreateDownloader(
      downloadType_, [this](std::int32_t c, double v, const wchar_t* t) { Handle(c, v, t); }, urls_.at(0),
      localPath_));
}

CMirrorDownloader::~CMirrorDownloader() {
  std::vector<std::unique_ptr<CDownloader>> ending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closing_ = true;
    ending = std::move(downloaders_);
  }
  // The newest first: an older one's thread may still be handing over to it.
  while (!ending.empty()) ending.pop_back();
}

void CMirrorDownloader::Start() {
  CDownloader* current = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!downloaders_.empty()) current = downloaders_.back().get();
  }
  // Outside the lock: a restart may wait for the downloader's previous
  // worker, which may be waiting in Handle for the lock.
  if (current) current->Start();
}

void CMirrorDownloader::Handle(std::int32_t code, double value, const wchar_t* text) {
  if (code == DL_CODE_FAIL) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::size_t next = downloaders_.size();
    if (!closing_ && next < urls_.size()) {
      DEBUG_LOG(L"every attempt on address %zu failed (%d); trying %s", next, static_cast<int>(value),
                urls_[next].c_str());
      downloaders_.push_back(CreateDownloader(
          downloadType_, [this](std::int32_t c, double v, const wchar_t* t) { Handle(c, v, t); }, urls_[next],
          localPath_));
      // A fresh downloader starts without waiting for anything.
      downloaders_.back()->Start();
      return;
    }
  }
  callback_(code, value, text);
}
