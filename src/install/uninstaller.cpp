#include "install/uninstaller.h"

#include <utility>

#include "install/console_protocol.h"
#include "install/console_protocol_reader.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/system_probes.h"
#include "support/text.h"

namespace {

bool ActiveUserIsAdmin() {
  std::wstring user;
  return Utils::GetActiveSessionUser(user) && !user.empty() && Utils::IsAdminAccount(user);
}

}  // namespace

UnInstaller::UnInstaller(NotifyCallback callback_, std::wstring uninstallerPath_,
                         std::wstring targetFolder_)
    : callback(std::move(callback_)),
      uninstallerPath(std::move(uninstallerPath_)),
      targetFolder(std::move(targetFolder_)) {}

UnInstaller::~UnInstaller() { worker.reset(); }

std::wstring UnInstaller::BuildCommandLine() const {
  // The folder goes last and unquoted: the uninstaller takes everything after
  // "_?=" as the folder, blanks included.
  return uninstallerPath + L" /S -adminact=" + (ActiveUserIsAdmin() ? L"true" : L"false") +
         L" -authorizationact=" + (Utils::IsRunAsAdmin() ? L"true" : L"false") +
         L" -console=show _?=" + targetFolder;
}

void UnInstaller::Run() {
  // A line longer than the launcher's 1023 characters is refused by it, never
  // cut short: the worker then reports that the uninstaller could not start.
  commandLine = BuildCommandLine();
  if (worker) {
    worker->Join();
    worker.reset();
  }
  worker = std::make_unique<Utils::Thread>(this, L"UnInstaller", [this](void*) { Work(); });
  if (worker->IsCreated()) worker->Resume();
}

void UnInstaller::Notify(std::int32_t code, double value, const std::wstring& text) {
  callback(code, value, text.c_str());
}

void UnInstaller::Work() {
  if (!Utils::FileExists(uninstallerPath)) {
    Notify(UNIST_CODE_FAIL, 1, L"可执行卸载文件不存在");
    return;
  }
  Notify(UNIST_CODE_PROGRESS, 0, L"");
  try {
    child.reset();
    child = std::make_unique<Utils::ChildProcess>();
    child->Start(commandLine);
  } catch (const Utils::Exception&) {
    DEBUG_LOG(L"the uninstaller could not be started: %s", commandLine.c_str());
    child.reset();
    Notify(UNIST_CODE_FAIL, 2, L"");
    return;
  }

  // Read to the end of the output, also past a final line and past the
  // uninstaller's own end: its last lines are still in the pipe then.
  const Installer::ProtocolEnd end = Installer::ReadConsoleProtocol(
      *child, Installer::AfterFinalLine::kKeepParsing, [this](const std::string& line) { return ParseBytes(line); });
  child.reset();
  if (!end.finalLineSeen) Notify(UNIST_CODE_SUCCESS, 1, L"");
}

int UnInstaller::ParseBytes(const std::string& line) {
  return Parse(Utils::ToWide(line, static_cast<unsigned>(codePage)));
}

int UnInstaller::Parse(const std::wstring& text) {
  using Utils::StartsWith;
  // The first outcome counts: a success has started the download already.
  auto finalLine = [this](const std::wstring& line, std::int32_t code, const wchar_t* message, int result) {
    if (outcome_ != kParseNothingFinal) {
      DEBUG_LOG(L"a later final line is ignored: %s", line.c_str());
      return;
    }
    outcome_ = result;
    Notify(code, 0, message);
  };
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    start = end + 1;

    if (StartsWith(line, L"Progress=")) {
      Notify(UNIST_CODE_PROGRESS, Installer::ProtocolFraction(line, 9), L"");
    } else if (StartsWith(line, L"Error=")) {
      finalLine(line, UNIST_CODE_ERROR, Installer::ProtocolText(line, 6).c_str(), kParseFailure);
    } else if (StartsWith(line, L"State=")) {
      const std::wstring state = Utils::Trim(Installer::ProtocolText(line, 6));
      if (state == L"Success") {
        finalLine(line, UNIST_CODE_SUCCESS, L"", kParseSuccess);
      } else if (state == L"Fail") {
        finalLine(line, UNIST_CODE_ERROR, L"安装包卸载失败", kParseFailure);
      }
    } else if (StartsWith(line, L"Encode=")) {
      codePage = Installer::EncodeCodePage(Utils::Trim(Installer::ProtocolText(line, 7)), false);
    }
  }
  return outcome_;
}
