#include "loopback_peer_fixture.h"

#include <curl/curl.h>

#include <cstdlib>
#include <sstream>

#include "support/text.h"
#include "test_support.h"

#ifndef _WIN32
#include <signal.h>
#endif

namespace TestSupport {

namespace {

std::size_t Collect(char* data, std::size_t size, std::size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

}  // namespace

LoopbackPeer::LoopbackPeer(const LoopbackPeerNames& names, std::vector<std::string> ports)
    : names_(std::move(ports)), ports_(names_.size(), 0) {
#ifdef _WIN32
  const char* line = std::getenv(names.portsVariable);
  const char* ca = std::getenv(names.caVariable);
  if (line == nullptr || ca == nullptr) {
    error_ = std::string(names.portsVariable) + " and " + names.caVariable +
             " are not set: scripts/test-all.sh starts the " + names.program + " for the Windows tests";
    return;
  }
  if (!TakePorts(line)) {
    error_ = std::string(names.portsVariable) + " is not a ports line: " + line;
    return;
  }
  caFile_ = ca;
#else
  const std::wstring folder = ProgramFolder();
  const std::wstring program = Utils::ToWide(names.program, Utils::kCodePageUtf8);
  const std::wstring certificates = folder + L"/" + Utils::ToWide(names.certFolder, Utils::kCodePageUtf8);
  caFile_ = Utils::ToNarrow(certificates, Utils::kCodePageUtf8) + "/ca.pem";
  try {
    child_.Start(L"\"" + folder + L"/" + program + L"\" --cert-dir \"" + certificates + L"\"");
    childStarted_ = true;
  } catch (const Utils::Exception&) {
    error_ = std::string(names.program) + " cannot be started from the test program's folder";
    return;
  }
  std::string line;
  char c = 0;
  while (child_.ReadOutput(&c, 1) == 1 && c != '\n') line += c;
  if (!TakePorts(line)) {
    error_ = std::string(names.program) + " gave no ports line (exit code " +
             std::to_string(child_.WaitForExit()) + ")";
  }
#endif
}

LoopbackPeer::~LoopbackPeer() {
#ifndef _WIN32
  if (!childStarted_) return;
  if (child_.IsRunning()) ::kill(static_cast<pid_t>(child_.ProcessId()), SIGTERM);
  child_.WaitForExit();
  child_.Close();
#endif
}

// "http=PORT https=PORT ...": every port asked for, each above 0.
bool LoopbackPeer::TakePorts(const std::string& line) {
  std::vector<int> found(names_.size(), 0);
  std::istringstream in(line);
  for (std::string field; in >> field;) {
    const std::size_t equals = field.find('=');
    if (equals == std::string::npos) continue;
    for (std::size_t i = 0; i < names_.size(); ++i) {
      if (field.compare(0, equals, names_[i]) == 0) found[i] = std::atoi(field.c_str() + equals + 1);
    }
  }
  for (int port : found) {
    if (port <= 0) return false;
  }
  ports_ = found;
  return true;
}

int LoopbackPeer::Port(const std::string& name) const {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    if (names_[i] == name) return ports_[i];
  }
  return 0;
}

std::optional<std::string> HttpGet(const std::string& url, std::string& error) {
  std::string body;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    error = "no curl handle";
    return std::nullopt;
  }
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  const CURLcode result = curl_easy_perform(curl);
  curl_easy_cleanup(curl);
  if (result != CURLE_OK) {
    error = curl_easy_strerror(result);
    return std::nullopt;
  }
  return body;
}

}  // namespace TestSupport
