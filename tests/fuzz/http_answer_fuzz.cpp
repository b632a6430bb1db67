// The HTTP client against a server that answers anything: the length of the
// package, the final address after redirects and the digest segment in it,
// and one whole download, resumed from a side file when the input asks.
// Every request (redirects to any host included) reaches the same loopback
// peer, which the client is told is its proxy.
#include "fuzz/fuzz_targets.h"

#include <cmath>
#include <cstdlib>
#include <system_error>

#include "download/curl_client.h"
#include "download/partial_download.h"
#include "fuzz/raw_http_peer.h"
#include "support/digest.h"
#include "support/text.h"

namespace Fuzz {

namespace {

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

RawHttpPeer& Peer() {
  static RawHttpPeer* peer = [] {
    curl_global_init(CURL_GLOBAL_ALL);
    auto* made = new RawHttpPeer();  // lives as long as the process
    const std::string proxy = "http://127.0.0.1:" + std::to_string(made->Port());
    for (const char* name : {"http_proxy", "HTTPS_PROXY", "ALL_PROXY"}) SetEnvironment(name, proxy);
    SetEnvironment("NO_PROXY", "");
    SetEnvironment("no_proxy", "");
    return made;
  }();
  return *peer;
}

void NoProgress(void*, double, double) {}

}  // namespace

std::string CheckHttpAnswer(const std::uint8_t* data, std::size_t size) {
  RawHttpPeer& peer = Peer();
  if (peer.Port() == 0) return "the loopback peer could not listen";
  InputReader input(data, size);
  const std::uint8_t control = input.Byte();
  peer.SetAnswer(std::string(input.Rest()));

  const std::string address = "http://download.test:" + std::to_string(peer.Port()) +
                              "/software/0123456789abcdef0123456789abcdef/package.exe";
  const std::filesystem::path target = ScratchFolder() / "package.exe";
  std::error_code ignored;
  std::filesystem::remove(target, ignored);
  std::filesystem::remove(target.string() + ".part", ignored);
  std::filesystem::remove(target.string() + ".resume", ignored);

  CurlClient client(Utils::ToWide(address, Utils::kCodePageUtf8), target.wstring(), nullptr, &NoProgress);
  client.SetStallSeconds(10);
  const double length = client.GetDownloadFileLength_Str(address);
  if (!(length == -1.0 || length >= 0.0) || std::isinf(length)) return "a length that is no length";
  const std::string real = client.GetRealUrl_Str(address);
  (void)Utils::Md5FromUrl(real);

  if ((control & 1) == 0) return {};
  if (control & 2) {
    // A side file an earlier run left, with the record that vouches for it:
    // the digest the address carries, whatever the answer's length.
    WriteFileBytes(target.string() + ".part", "0123456789");
    PartialIdentity kept;
    kept.digest = "0123456789abcdef0123456789abcdef";
    kept.layout = "stream";
    WriteResumeRecord(target.string(), kept);
  }
  const int result = client.Start();
  if (result == 0) {
    const auto stored = std::filesystem::file_size(target, ignored);
    if (ignored) return "a download reported success without its file";
    if (static_cast<double>(stored) != client.FileLength())
      return "a download reported success with " + std::to_string(stored) + " bytes of " +
             std::to_string(client.FileLength());
  }
  return {};
}

}  // namespace Fuzz
