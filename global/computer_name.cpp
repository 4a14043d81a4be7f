#include "global/computer_name.h"

#include "global/in_param_str.h"
#include "global/string_utils.h"

#ifdef _WIN32
#include <windows.h>
// windows.h maps this name to GetComputerNameA/W, which would rename ours.
#undef GetComputerName
#else
#include <unistd.h>
#endif

namespace korvel {
namespace {

// The original read the name into a buffer of this many characters.
constexpr size_t kNameLength = 19;

std::string CutName(const std::string& name) {
  std::string cut = name.substr(0, name.find('\0'));
  if (cut.size() > kNameLength) cut.resize(kNameLength);
  return cut;
}

std::string LocalComputerName() {
#ifdef _WIN32
  char buffer[kNameLength + 1] = "";
  DWORD size = sizeof buffer;
  if (!::GetComputerNameA(buffer, &size)) return {};
  return std::string(buffer, size);
#else
  char buffer[256] = "";
  if (gethostname(buffer, sizeof buffer - 1) != 0) return {};
  buffer[sizeof buffer - 1] = '\0';
  return buffer;
#endif
}

bool SupportedInfoClass(int info) {
  switch (info) {
    case WTSInitialProgram:
    case WTSWorkingDirectory:
    case WTSOEMId:
    case WTSUserName:
    case WTSWinStationName:
    case WTSDomainName:
    case WTSClientName:
    case WTSClientDirectory: return true;
    default: return false;
  }
}

}  // namespace

std::string ComputerNameFrom(bool NomMachineDistanteEnTS, bool UtiliserPrefixTS, bool inRemoteSession,
                             const std::string& clientName, const std::string& localName) {
  if (InParamStr("NEPASUTILISERPREFIXTS_")) {
    NomMachineDistanteEnTS = false;
    UtiliserPrefixTS = false;
  }
  if (NomMachineDistanteEnTS && inRemoteSession) {
    return CutName(UtiliserPrefixTS ? "TS_" + clientName : clientName);
  }
  return CutName(localName);
}

bool WTSInSession() {
#ifdef _WIN32
  return ::GetSystemMetrics(SM_REMOTESESSION) != 0;
#else
  return false;
#endif
}

std::string WTSGetInfo(int InfoToGet) {
  if (!SupportedInfoClass(InfoToGet) || !WTSInSession()) return {};
#ifdef _WIN32
  // Loaded at run time: the library is missing on some older workstations.
  HMODULE library = ::LoadLibraryA("wtsapi32.dll");
  if (!library) return {};
  using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, int, LPSTR*, DWORD*);
  using FreeFn = void(WINAPI*)(PVOID);
  auto query = reinterpret_cast<QueryFn>(::GetProcAddress(library, "WTSQuerySessionInformationA"));
  auto release = reinterpret_cast<FreeFn>(::GetProcAddress(library, "WTSFreeMemory"));
  std::string text;
  if (query && release) {
    LPSTR buffer = nullptr;
    DWORD bytes = 0;
    // WTS_CURRENT_SERVER_HANDLE is null, WTS_CURRENT_SESSION is (DWORD)-1.
    if (query(nullptr, static_cast<DWORD>(-1), InfoToGet, &buffer, &bytes) && buffer) {
      text = buffer;
      release(buffer);
    }
  }
  ::FreeLibrary(library);
  return Trim(text);
#else
  return {};
#endif
}

std::string WTSGetComputerName() { return WTSGetInfo(WTSClientName); }

std::string GetComputerName(bool NomMachineDistanteEnTS, bool UtiliserPrefixTS) {
  const bool remote = WTSInSession();
  return ComputerNameFrom(NomMachineDistanteEnTS, UtiliserPrefixTS, remote, remote ? WTSGetComputerName() : "",
                          LocalComputerName());
}

}  // namespace korvel
