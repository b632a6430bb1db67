// Helpers the tests of every module share.
#pragma once

#include <optional>
#include <string>

namespace TestSupport {

// A new empty directory under the system's temporary folder, removed with
// everything in it when the object dies. The path ends without a separator.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& path() const { return path_; }
  // path() + separator + name
  std::wstring File(const std::wstring& name) const;

 private:
  std::wstring path_;
};

// Writes `bytes` to `path` (created or truncated); false on failure.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// The whole content of `path`, or empty.
std::string ReadFileBytes(const std::wstring& path);

// Sets an environment variable (nullopt: removes it) for the life of the
// object, then puts the old value back.
class ScopedEnvironmentVariable {
 public:
  ScopedEnvironmentVariable(const char* name, std::optional<std::string> value);
  ~ScopedEnvironmentVariable();
  ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
  ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

 private:
  void Set(const std::optional<std::string>& value);
  const char* name_;
  std::optional<std::string> old_;
};

// The folder of the running test program (where the helper programs are built).
std::wstring ProgramFolder();
// Full path of the helper program talvorin-test-child (".exe" on Windows).
std::wstring TestChildPath();

}  // namespace TestSupport
