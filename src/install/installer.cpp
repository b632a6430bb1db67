#include "install/installer.h"

#include <algorithm>
#include <atomic>
#include <utility>

#include "support/installer_settings.h"
#include "install/console_protocol.h"
#include "install/console_protocol_reader.h"
#include "install/file_operations.h"
#include "install/install_folder.h"
#include "support/debug_log.h"
#include "support/file_system.h"
#include "support/text.h"

namespace {

std::atomic<std::uint32_t> runningPackage{0};

const wchar_t* Word(bool value) { return value ? L"true" : L"false"; }

std::int32_t StartupStyleNumber(const std::wstring& value) {
  if (value == L"NonStartup") return 0;
  if (value == L"AutoStartup") return 1;
  if (value == L"UserStartup") return 2;
  return 0;
}

std::wstring Unquoted(const std::wstring& path) {
  if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
    return path.substr(1, path.size() - 2);
  }
  return path;
}

}  // namespace

std::uint32_t RunningPackageProcessId() { return runningPackage.load(); }

CInstaller::CInstaller(NotifyCallback callback_, std::wstring quotedPackagePath,
                       std::wstring installDir_, bool desktopShortcut, bool quickStartShortcut,
                       bool adminAct_)
    : callback(std::move(callback_)),
      packagePath(std::move(quotedPackagePath)),
      installDir(std::move(installDir_)),
      createQuickStartShortcut(quickStartShortcut),
      createDesktopShortcut(desktopShortcut),
      adminAct(adminAct_) {}

CInstaller::~CInstaller() { worker.reset(); }

void CInstaller::Configure(const std::wstring& installDir_, bool desktopShortcut,
                           bool quickStartShortcut, bool adminAct_, bool authorizationAct_,
                           const std::wstring& languageTag_) {
  installDir = installDir_;
  createDesktopShortcut = desktopShortcut;
  createQuickStartShortcut = quickStartShortcut;
  adminAct = adminAct_;
  authorizationAct = authorizationAct_;
  languageTag = languageTag_;
}

std::wstring CInstaller::BuildCommandLine() const {
  std::wstring line = packagePath;
  line += L" /S -console=show -version=1.0.0";
  line += L" -adminact=";
  line += Word(adminAct);
  line += L" -authorizationact=";
  line += Word(authorizationAct);
  line += L" -dsc=";
  line += Word(createDesktopShortcut);
  line += L" -ssc=";
  line += Word(createQuickStartShortcut);
  if (!languageTag.empty()) line += L" -inslang=\"" + languageTag + L"\"";
  const std::wstring& extra = Installer::TheInstallerSettings().instCmd;
  if (!extra.empty()) line += L" " + extra;
  if (!installDir.empty()) line += L" -instdir=\"" + installDir + L"\" /D=" + installDir;
  return line;
}

void CInstaller::Run() {
  commandLine = BuildCommandLine();
  outcome_ = kParseNothingFinal;
  if (worker) {
    worker->Join();
    worker.reset();
  }
  worker = std::make_unique<Utils::Thread>(this, L"ABDEF", [this](void*) { Work(); });
  if (worker->IsCreated()) worker->Resume();
}

void CInstaller::Notify(std::int32_t code, double value, const std::wstring& text) {
  callback(code, value, text.c_str());
}

void CInstaller::Work() {
  Notify(IST_CODE_START, 0, L"");
  Notify(IST_CODE_PROGRESS, 0, L"");
  // A folder no Windows path may hold would let its characters (a double
  // quote above all) rewrite the package's arguments: such a package is not
  // started.
  if (!installDir.empty() && !Installer::IsValidInstallFolder(installDir)) {
    DEBUG_LOG(L"invalid installation folder: %s", installDir.c_str());
    Notify(IST_CODE_FAIL, 2, L"");
    return;
  }
  // The downloaders write plain data files; Linux runs only what may be run.
  Installer::MakeExecutable(Unquoted(packagePath));
  try {
    child = std::make_unique<Utils::ChildProcess>();
    // The package is another program's installer: it goes on if this
    // program is ended while it runs.
    child->OutliveTheReader();
    child->Start(commandLine);
  } catch (const Utils::Exception&) {
    DEBUG_LOG(L"the package could not be started: %s", commandLine.c_str());
    child.reset();
    // The one cause the user can act on is said: the folder's file system
    // forbids running programs.
    if (!installDir.empty() && !Utils::FolderAllowsPrograms(installDir)) {
      DEBUG_LOG(L"%s does not allow running programs (its file system is mounted noexec)", installDir.c_str());
      Notify(IST_CODE_FAIL, 2, kNoProgramsInFolderText);
      return;
    }
    Notify(IST_CODE_FAIL, 2, L"");
    return;
  }

  runningPackage = child->ProcessId();
  const Installer::ProtocolEnd end = Installer::ReadConsoleProtocol(
      *child, Installer::AfterFinalLine::kStopParsing, [this](const std::string& line) { return ParseLine(line); });
  runningPackage = 0;
  child.reset();
  if (end.finalLineSeen) return;
  // A package that ends without a final line has done its work, whatever
  // its exit code says; one that crashed has not.
  if (Installer::IsCrashExitCode(end.exitCode)) {
    DEBUG_LOG(L"the package crashed, exit code %lld", static_cast<long long>(end.exitCode));
    Notify(IST_CODE_FAIL, kPackageCrashed, L"安装包异常退出");
    return;
  }
  Notify(IST_CODE_SUCCESS, 1, L"");
}

int CInstaller::ParseLine(const std::string& line) {
  // Each line is decoded on its own, so an "Encode=" line governs the lines after it.
  return Parse(Utils::ToWide(line, static_cast<unsigned>(codePage)));
}

int CInstaller::Parse(const std::wstring& text) {
  using Utils::StartsWith;
  using Installer::ProtocolText;
  // A second outcome would run the success actions inside the failure's
  // dialog, or start the product twice: only the first one counts.
  auto finalLine = [this](const std::wstring& line, std::int32_t code, double value, const wchar_t* message,
                          int result) {
    if (outcome_ != kParseNothingFinal) {
      DEBUG_LOG(L"a later final line is ignored: %s", line.c_str());
      return;
    }
    outcome_ = result;
    Notify(code, value, message);
  };
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    start = end + 1;

    if (StartsWith(line, L"Progress=")) {
      Notify(IST_CODE_PROGRESS, Installer::ProtocolFraction(line, 9), L"");
    } else if (StartsWith(line, L"InstPath=")) {
      Notify(IST_CODE_INST_PATH, 0, ProtocolText(line, 9));
    } else if (StartsWith(line, L"State=")) {
      const std::wstring state = Utils::Trim(ProtocolText(line, 6));
      if (state == L"Success") {
        finalLine(line, IST_CODE_SUCCESS, 0, L"", kParseSuccess);
      } else if (state == L"Fail") {
        finalLine(line, IST_CODE_FAIL, 0, L"安装包安装失败", kParseFailure);
      }
    } else if (StartsWith(line, L"InstallVersion=")) {
      const std::wstring version = ProtocolText(line, 15);
      std::size_t at = 0;
      for (int part = 0; part < 3; ++part) {
        installedVersion[part] = Utils::ParseDecimalInt(version.substr(std::min(at, version.size())));
        at = version.find(L'.', at);
        if (at == std::wstring::npos) break;
        ++at;
      }
    } else if (StartsWith(line, L"ExePath=")) {
      const std::wstring path = ProtocolText(line, 8);
      DEBUG_LOG(L"ExePath: %s", path.c_str());
      Notify(IST_CODE_EXE_PATH, 0, path);
    } else if (StartsWith(line, L"StartExe=")) {
      Notify(IST_CODE_EXE_PATH, 0, ProtocolText(line, 9));
    } else if (StartsWith(line, L"UninstExePath=")) {
      Notify(IST_CODE_UNINST_EXE, 0, ProtocolText(line, 14));
    } else if (StartsWith(line, L"UninstExe=")) {
      Notify(IST_CODE_UNINST_EXE, 0, ProtocolText(line, 10));
    } else if (StartsWith(line, L"UninstEp=")) {
      Notify(IST_CODE_UNINST_EP, 0, ProtocolText(line, 9));
    } else if (StartsWith(line, L"Error=")) {
      finalLine(line, IST_CODE_FAIL, 1000, ProtocolText(line, 6).c_str(), kParseFailure);
    } else if (StartsWith(line, L"TopShowDetention=")) {
      Notify(IST_CODE_TOP_SHOW_DETENTION,
             static_cast<double>(static_cast<std::uint32_t>(Installer::ProtocolInteger(line, 17))), L"");
    } else if (StartsWith(line, L"FinsihCloseDetention=")) {
      Notify(IST_CODE_FINISH_CLOSE_DETENTION,
             static_cast<double>(static_cast<std::uint32_t>(Installer::ProtocolInteger(line, 21))), L"");
    } else if (StartsWith(line, L"StartUrl=")) {
      Notify(IST_CODE_START_URL, 0, ProtocolText(line, 9));
    } else if (StartsWith(line, L"StartupStyle=")) {
      Notify(IST_CODE_STARTUP_STYLE, StartupStyleNumber(Utils::Trim(ProtocolText(line, 13))), L"");
    } else if (StartsWith(line, L"Encode=")) {
      codePage = Installer::EncodeCodePage(Utils::Trim(ProtocolText(line, 7)), true);
    } else if (StartsWith(line, L"Message=")) {
      Notify(IST_CODE_MESSAGE, 0, ProtocolText(line, 8));
    }
  }
  return outcome_;
}
