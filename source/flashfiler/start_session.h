// Opening the source session at start-up: find the server-address file, set the
// engine's server and transport from its first line, open engine and session, and
// tell the operator (through a callback, the window's message box) when that fails.
#pragma once

#include <functional>
#include <string>

#include "source/flashfiler/ff_components.h"

namespace korvel {

// Shows one error message to the operator (UTF-8; "\r" is a line break).
using MessageCallback = std::function<void(const std::string&)>;

// The server-address file for a current directory: "ffserver.in", else
// "../exec/ffserver.in", else the lower-cased directory up to and including ".win/"
// followed by "exec/ffserver.in", else "exec/ffserver.in" (the last one whether or not
// it exists). Relative results are relative to `current_dir`.
std::string FindServerAddressFile(const std::string& current_dir);

// Finds the address file from the process's current directory and calls the second form.
bool StartSession(TffCommsEngine& engine, TffSession& session, bool mess, const MessageCallback& show_message);

// Opens engine and session with the address read from the first line of `fnom`
// ("SOLO" exactly = single-user, anything else = TCP/IP, which this client reports
// as unreachable). True when both are active. On failure shows one message when
// `mess` and returns false; errors other than EffDatabaseError propagate.
bool StartSession(TffCommsEngine& engine, TffSession& session, const std::string& fnom, bool mess,
                  const MessageCallback& show_message);

}  // namespace korvel
