#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "support/process_info.h"

namespace fs = std::filesystem;

namespace TestSupport {

TempDir::TempDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    fs::path candidate = fs::temp_directory_path() /
                         ("talvorin-test-" + std::to_string(random()) + std::to_string(attempt));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.wstring();
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code error;
  if (!path_.empty()) fs::remove_all(fs::path(path_), error);
}

std::wstring TempDir::File(const std::wstring& name) const {
  return path_ + Utils::kPathSeparator + name;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(fs::path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::wstring& path) {
  std::ifstream in(fs::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

ScopedEnvironmentVariable::ScopedEnvironmentVariable(const char* name,
                                                     std::optional<std::string> value)
    : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old;
  Set(value);
}

ScopedEnvironmentVariable::~ScopedEnvironmentVariable() { Set(old_); }

void ScopedEnvironmentVariable::Set(const std::optional<std::string>& value) {
#ifdef _WIN32
  _putenv_s(name_, value ? value->c_str() : "");
#else
  if (value) {
    setenv(name_, value->c_str(), 1);
  } else {
    unsetenv(name_);
  }
#endif
}

std::wstring ProgramFolder() {
  return fs::path(Utils::GetExecutablePath()).parent_path().wstring();
}

std::wstring TestChildPath() {
#ifdef _WIN32
  return ProgramFolder() + L"\\talvorin-test-child.exe";
#else
  return ProgramFolder() + L"/talvorin-test-child";
#endif
}

}  // namespace TestSupport
