#include "os/site_launcher.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include "os/windows/command_line_argument.h"
#include "os/windows/system_message.h"
#include "os/windows/wide_text.h"

namespace host {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kStartTimeout = std::chrono::seconds(20);
constexpr auto kStopTimeout = std::chrono::seconds(5);
constexpr auto kPoll = std::chrono::milliseconds(50);

// Wine's own call for the Linux name of a Windows path; null on Windows. A Linux python3
// started under Wine reads Linux paths only.
using UnixNameFunction = char*(CDECL*)(const wchar_t*);
UnixNameFunction WineUnixName() {
  // Through void*: an exported address is cast to its real type, which FARPROC is not.
  return reinterpret_cast<UnixNameFunction>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

bool FileExists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A Windows program starts with "MZ"; anything else under Wine is a Linux program.
bool IsWindowsProgram(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  char magic[2] = {};
  return in.read(magic, 2) && magic[0] == 'M' && magic[1] == 'Z';
}

// $TUNEWELL_PYTHON, else python3.exe or python.exe on the PATH, else (under Wine) the Linux
// python3. Empty when none is found.
std::wstring FindPython() {
  wchar_t found[MAX_PATH];
  const DWORD n = ::GetEnvironmentVariableW(L"TUNEWELL_PYTHON", found, MAX_PATH);
  if (n > 0 && n < MAX_PATH) return found;
  for (const wchar_t* name : {L"python3.exe", L"python.exe"}) {
    if (::SearchPathW(nullptr, name, nullptr, MAX_PATH, found, nullptr) > 0) return found;
  }
  if (WineUnixName() != nullptr && FileExists(L"Z:\\usr\\bin\\python3")) {
    return L"Z:\\usr\\bin\\python3";
  }
  return {};
}

// A path as the child reads it: the Linux name for a Linux child under Wine.
std::wstring ForChild(const std::wstring& path, bool linuxChild) {
  if (!linuxChild) return path;
  char* unixName = WineUnixName()(path.c_str());
  if (unixName == nullptr) return path;
  const std::wstring name = WideFromUtf8(unixName);
  ::HeapFree(::GetProcessHeap(), 0, unixName);
  return name;
}

std::wstring NewPortFileName() {
  wchar_t folder[MAX_PATH];
  const DWORD n = ::GetTempPathW(MAX_PATH, folder);
  if (n == 0 || n >= MAX_PATH) return {};
  return std::wstring(folder) + L"tunewell-site-" + std::to_wstring(::GetCurrentProcessId()) +
         L"-" + std::to_wstring(::GetTickCount()) + L".port";
}

// Reads the whole file as a line; empty while it is not there.
std::string ReadAnnouncement(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

struct SiteLauncher::Child {
  HANDLE process = nullptr;
  HANDLE job = nullptr;  // ends the site with the host on Windows
  std::wstring portFile;

  ~Child() {
    if (process != nullptr) ::CloseHandle(process);
    if (job != nullptr) ::CloseHandle(job);
  }
  // WAIT_FAILED under Wine for a Linux child: then only the port file tells.
  bool Ended() const {
    const DWORD state = ::WaitForSingleObject(process, 0);
    return state == WAIT_FAILED ? !FileExists(portFile) : state == WAIT_OBJECT_0;
  }
};

SiteLauncher::SiteLauncher() = default;
SiteLauncher::~SiteLauncher() { Stop(); }

bool SiteLauncher::Start(const std::string& siteFolder, const std::string& hostName, int port,
                         std::string& error) {
  Stop();
  const std::wstring python = FindPython();
  if (python.empty()) {
    error = "cannot start the site: no python3.exe or python.exe on the PATH "
            "(set TUNEWELL_PYTHON to the Python program)";
    return false;
  }
  auto child = std::make_unique<Child>();
  child->portFile = NewPortFileName();
  const bool linuxChild = !IsWindowsProgram(python);
  const std::wstring script = ForChild(WideFromUtf8(siteFolder + "\\server.py"), linuxChild);
  std::wstring command = QuotedArgument(python) + L" -B " + QuotedArgument(script) +
                         L" --port " + std::to_wstring(port) + L" --host-name " +
                         QuotedArgument(WideFromUtf8(hostName)) + L" --port-file " +
                         QuotedArgument(ForChild(child->portFile, linuxChild));

  // The site's own PORT line on stdout is not for the host's output: it goes nowhere.
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE nowhere = ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                 nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nowhere;
  startup.hStdOutput = nowhere;
  startup.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION started{};
  std::vector<wchar_t> line(command.begin(), command.end());
  line.push_back(L'\0');
  // A group of its own: Ctrl-C at the console reaches the host only, which stops the site.
  const BOOL ok = ::CreateProcessW(python.c_str(), line.data(), nullptr, nullptr, TRUE,
                                   CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr, nullptr,
                                   &startup, &started);
  const DWORD reason = ::GetLastError();
  if (nowhere != INVALID_HANDLE_VALUE) ::CloseHandle(nowhere);
  if (!ok) {
    error = "cannot start the site: " + SystemMessage(reason);
    return false;
  }
  child->process = started.hProcess;
  child->job = ::CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (child->job != nullptr) {
    ::SetInformationJobObject(child->job, JobObjectExtendedLimitInformation, &limits,
                              sizeof limits);
    ::AssignProcessToJobObject(child->job, started.hProcess);
  }
  ::ResumeThread(started.hThread);
  ::CloseHandle(started.hThread);
  child_ = std::move(child);

  const auto end = Clock::now() + kStartTimeout;
  std::string announcement;
  while ((announcement = ReadAnnouncement(child_->portFile)).empty()) {
    const DWORD state = ::WaitForSingleObject(child_->process, 0);
    if (state == WAIT_OBJECT_0) {
      error = "the bundled site ended before it announced its port (see its messages above)";
      Stop();
      return false;
    }
    if (Clock::now() >= end) {
      error = "the bundled site did not announce its port within 20 s";
      Stop();
      return false;
    }
    std::this_thread::sleep_for(kPoll);
  }
  const Announcement said = ParseAnnouncement(announcement);
  port_ = said.port;
  refused_ = said.refused;
  if (port_ == 0) {
    error = said.error;
    Stop();
    return false;
  }
  return true;
}

bool SiteLauncher::Exited() {
  if (child_ == nullptr) return true;
  if (!child_->Ended()) return false;
  Stop();
  return true;
}

void SiteLauncher::Stop() {
  if (child_ == nullptr) return;
  // The site stops itself once its port file is gone; a Windows child is also ended here.
  ::DeleteFileW(child_->portFile.c_str());
  std::wstring pending = child_->portFile + L".tmp";
  ::DeleteFileW(pending.c_str());
  if (::WaitForSingleObject(child_->process,
                            static_cast<DWORD>(std::chrono::milliseconds(kStopTimeout).count())) ==
      WAIT_TIMEOUT) {
    ::TerminateProcess(child_->process, 1);
  }
  child_.reset();
  port_ = 0;
}

}  // namespace host
