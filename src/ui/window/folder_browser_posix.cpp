// Linux has no folder dialog of the system's: the desktop's own chooser
// program is run as a child process and read on a worker thread, so that the
// window keeps painting and taking input while a person looks for a folder.
#include "ui/window/folder_browser.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "support/child_process.h"
#include "support/debug_log.h"
#include "support/text.h"
#include "ui/window/folder_browser_command.h"

namespace Installer {
namespace {

// A folder path is far shorter; the rest of a chatty chooser's output is
// read and dropped.
constexpr std::size_t kMaxOutput = 64 * 1024;

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The chooser's full path from the search path, or empty. Empty entries
// (the current folder) are passed over: a folder chooser is never taken
// from wherever the installer happens to be started.
std::wstring FindOnPath(const std::wstring& program) {
  const std::string name = Utils::ToNarrow(program, Utils::kCodePageAnsi);
  const std::string path = Environment("PATH");
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string folder = path.substr(start, end - start);
    start = end + 1;
    if (folder.empty() || folder[0] != '/') continue;
    const std::string candidate = folder + "/" + name;
    struct stat info {};
    if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(candidate.c_str(), X_OK) == 0) {
      return Utils::ToWide(candidate, Utils::kCodePageAnsi);
    }
  }
  return L"";
}

// Starts the first chooser of the desktop's order that is there; null when
// none is.
std::unique_ptr<Utils::ChildProcess> StartChooser(const std::wstring& title, const std::wstring& initial) {
  const std::wstring startFolder = ExistingStartFolder(initial);
  const std::wstring desktop = Utils::ToWide(Environment("XDG_CURRENT_DESKTOP"), Utils::kCodePageAnsi);
  for (FolderChooser chooser : FolderChooserOrder(desktop)) {
    const std::wstring program = FindOnPath(FolderChooserProgram(chooser));
    if (program.empty()) continue;
    const std::optional<std::wstring> line = FolderChooserCommandLine(chooser, program, title, startFolder);
    if (!line) continue;
    try {
      auto child = std::make_unique<Utils::ChildProcess>();
      child->Start(*line);
      return child;
    } catch (const Utils::Exception&) {
      DEBUG_LOG(L"the folder chooser could not be started: %s", line->c_str());
    }
  }
  return nullptr;
}

}  // namespace

class FolderBrowser::Chooser {
 public:
  explicit Chooser(Poster post) : post_(std::move(post)) {}

  ~Chooser() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
      if (pid_ != 0) ::kill(pid_, SIGTERM);
    }
    if (worker_.joinable()) worker_.join();
  }

  bool IsOpen() const { return *open_; }

  void Browse(const std::wstring& title, const std::wstring& initial, Chosen chosen) {
    if (*open_) {
      DEBUG_LOG(L"a folder chooser is open already");
      return;
    }
    std::unique_ptr<Utils::ChildProcess> child = StartChooser(title, initial);
    if (child == nullptr) {
      DEBUG_LOG(L"%s: no folder chooser on this system; the folder is typed into the field", title.c_str());
      return;
    }
    if (worker_.joinable()) worker_.join();  // the last one has answered already
    {
      std::lock_guard<std::mutex> lock(mutex_);
      pid_ = static_cast<pid_t>(child->ProcessId());
    }
    *open_ = true;
    try {
      worker_ = std::thread([this, owned = std::move(child), chosen = std::move(chosen)]() mutable {
        Read(std::move(owned), std::move(chosen));
      });
    } catch (const std::system_error&) {
      // Nobody would read the answer: the chooser is left to the person,
      // and the window may offer another.
      DEBUG_LOG(L"no thread for the folder chooser");
      std::lock_guard<std::mutex> lock(mutex_);
      pid_ = 0;
      *open_ = false;
    }
  }

 private:
  void Read(std::unique_ptr<Utils::ChildProcess> child, Chosen chosen) {
    std::string output;
    char buffer[1024];
    for (std::size_t got; (got = child->ReadOutput(buffer, sizeof buffer)) > 0;) {
      if (output.size() < kMaxOutput) output.append(buffer, std::min(got, kMaxOutput - output.size()));
    }
    {
      // From here on the child may be reaped and its id reused: no more signals.
      std::lock_guard<std::mutex> lock(mutex_);
      pid_ = 0;
    }
    std::uint32_t exitCode = 255;
    try {
      exitCode = child->WaitForExit();
    } catch (const Utils::Exception&) {
    }
    child.reset();
    const std::optional<std::wstring> folder = ChosenFolder(exitCode, Utils::ToWide(output, Utils::kCodePageAnsi));
    DEBUG_LOG(L"folder chooser ended with %d: %s", static_cast<int>(exitCode),
              folder ? folder->c_str() : L"(none)");
    std::lock_guard<std::mutex> lock(mutex_);
    if (closing_) return;
    post_([open = open_, folder, chosen = std::move(chosen)] {
      *open = false;
      if (folder && chosen) chosen(*folder);
    });
  }

  Poster post_;
  // Touched on the window's thread only; shared with the answer posted there.
  std::shared_ptr<bool> open_ = std::make_shared<bool>(false);
  std::thread worker_;
  std::mutex mutex_;
  pid_t pid_ = 0;  // the running chooser while it may still be signalled
  bool closing_ = false;
};

FolderBrowser::FolderBrowser(Poster post) : chooser_(std::make_unique<Chooser>(std::move(post))) {}

FolderBrowser::~FolderBrowser() = default;

bool FolderBrowser::IsOpen() const { return chooser_->IsOpen(); }

void FolderBrowser::Browse(const std::wstring& title, const std::wstring& initial, Chosen chosen) {
  chooser_->Browse(title, initial, std::move(chosen));
}

}  // namespace Installer
