#include "download/win_downloader.h"

#include "support/text.h"

// The address as the service takes it: local files as they are, every other
// address percent-encoded.
std::wstring CWinDownloader::ServiceAddress(const std::wstring& url) {
  if (Utils::StartsWith(url, L"file:///")) return url;
  return Utils::UrlEncode(url);
}

void CWinDownloader::Start() { worker_.Resume(); }

void CWinDownloader::Notify(std::int32_t code, double value, const wchar_t* text) {
  if (aborting_ || !callback_) return;
  callback_(code, value, text);
}
