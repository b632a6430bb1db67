#include "install/install_recorder.h"

#include <algorithm>

#include "support/process_info.h"
#include "test_support.h"

namespace TestSupport {

NotifyCallback InstallRecorder::Callback() {
  return [this](std::int32_t code, double value, const wchar_t* text) {
    std::lock_guard<std::mutex> lock(mutex_);
    received_.push_back({code, value, text});
    changed_.notify_all();
  };
}

bool InstallRecorder::WaitFor(std::vector<std::int32_t> codes, std::chrono::seconds limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, limit, [&] {
    return std::any_of(received_.begin(), received_.end(), [&](const Received& r) {
      return std::find(codes.begin(), codes.end(), r.code) != codes.end();
    });
  });
}

std::vector<Received> InstallRecorder::All() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

std::vector<std::int32_t> InstallRecorder::CodesWithoutProgress() const {
  std::vector<std::int32_t> codes;
  for (const Received& r : All()) {
    if (r.code != 1002 && r.code != 2002 && r.code != 5002) codes.push_back(r.code);
  }
  return codes;
}

std::vector<Received> InstallRecorder::With(std::int32_t code) const {
  std::vector<Received> found;
  for (const Received& r : All()) {
    if (r.code == code) found.push_back(r);
  }
  return found;
}

std::wstring InstallRecorder::TextOf(std::int32_t code) const {
  const std::vector<Received> found = With(code);
  return found.empty() ? L"<none>" : found.front().text;
}

std::string DemoPackageFileName() {
#ifdef _WIN32
  return "talvorin-demo-package.exe";
#else
  return "talvorin-demo-package";
#endif
}

std::wstring DemoPackagePath() {
  return ProgramFolder() + Utils::kPathSeparator + L"talvorin-demo-package" +
#ifdef _WIN32
         L".exe";
#else
         L"";
#endif
}

}  // namespace TestSupport
