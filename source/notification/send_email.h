// The end-of-run notice: one plain-text message over SMTP, no authentication, no TLS.
#pragma once

#include <string>

namespace korvel {

// Subject "ERREUR Quessa", body "Korvel Transfert terminé.". Raises when the port is
// not a number (before any connection), or when connecting or sending fails.
void SendEmail(const std::string& smtpHost, const std::string& port, const std::string& recipient);

}  // namespace korvel
