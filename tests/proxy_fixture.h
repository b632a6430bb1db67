// A real HTTP proxy for the tests: tinyproxy on loopback, open or asking for
// Basic credentials, with its own log of every request it forwarded.
//
// Linux: each TinyProxy starts its own tinyproxy as a child process and stops
// it when destroyed. Windows (tests under Wine, which cannot hand a native
// child our pipes or a process handle): the two proxies scripts/test-all.sh
// starts for the whole run, named by TALVORIN_PROXIES ("open=PORT
// basic=PORT") and TALVORIN_PROXY_LOGS (the folder of their logs "open.log"
// and "basic.log", as a Windows path). Scenario ids keep tests apart there.
#pragma once

#include <memory>
#include <string>

#include "test_support.h"

namespace TestSupport {

// The credentials of the proxy that asks for them.
inline constexpr char kProxyUser[] = "talvorin";
inline constexpr char kProxyPassword[] = "proxy-pass";

class TinyProxy {
 public:
  enum class Kind { Open, Basic };
  explicit TinyProxy(Kind kind);
  ~TinyProxy();
  TinyProxy(const TinyProxy&) = delete;
  TinyProxy& operator=(const TinyProxy&) = delete;

  bool Started() const { return error_.empty(); }
  const std::string& Error() const { return error_; }
  int Port() const { return port_; }
  // "http://127.0.0.1:PORT", with the credentials when `withCredentials`.
  std::string Address(bool withCredentials = false) const;
  // Everything the proxy has logged so far.
  std::string Log() const;
  // True when the log names a request of `method` whose address contains
  // `addressPart` (waits a little: tinyproxy may log after answering).
  bool Forwarded(const std::string& method, const std::string& addressPart) const;

 private:
  int port_ = 0;
  std::wstring logFile_;
  std::string error_;
  std::unique_ptr<TempDir> folder_;
  struct Child;
  std::unique_ptr<Child> child_;
};

}  // namespace TestSupport
