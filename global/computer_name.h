// The name of the computer the program runs on, aware of remote-desktop sessions: in a
// session the workstation is the client machine, not the server the program runs on.
// On Linux there is no remote-desktop session; the name is the host name.
#pragma once

#include <string>

namespace korvel {

// In a remote session with NomMachineDistanteEnTS, the client's name ("TS_" before it
// with UtiliserPrefixTS); otherwise the local name. At most 19 characters. The
// command-line switch "NEPASUTILISERPREFIXTS_" turns both flags off.
std::string GetComputerName(bool NomMachineDistanteEnTS, bool UtiliserPrefixTS);

// Whether the system reports a remote-desktop session (always false on Linux).
bool WTSInSession();

// Session information classes of the terminal services that WTSGetInfo supports.
enum TWTSInfoClass {
  WTSInitialProgram = 0,
  WTSWorkingDirectory = 2,
  WTSOEMId = 3,
  WTSUserName = 5,
  WTSWinStationName = 6,
  WTSDomainName = 7,
  WTSClientName = 10,
  WTSClientDirectory = 11,
};

// One piece of information about the current remote session, blanks trimmed; empty
// outside a session, for an unsupported class, or when the query fails.
std::string WTSGetInfo(int InfoToGet);
// The client machine's name in a remote session.
std::string WTSGetComputerName();

// The decision of GetComputerName on given facts, so that the session rules can be
// checked on any system.
std::string ComputerNameFrom(bool NomMachineDistanteEnTS, bool UtiliserPrefixTS, bool inRemoteSession,
                             const std::string& clientName, const std::string& localName);

}  // namespace korvel
