#include "source/flashfiler/start_session.h"

#include <filesystem>
#include <fstream>

#include "global/string_utils.h"
#include "global/text_encoding.h"

namespace korvel {

namespace {

constexpr char kSep = std::filesystem::path::preferred_separator;
const std::string kCallUs =
    "Veuillez appeler chez Brelune avant de poursuivre.\rT\xC3\xA9l\xC3\xA9phone : (819) 555-0148 / (800) 555-0172";

bool FileExists(const std::string& current_dir, const std::string& name) {
  std::filesystem::path path(name);
  if (path.is_relative() && !current_dir.empty()) path = std::filesystem::path(current_dir) / path;
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

std::string FindServerAddressFile(const std::string& current_dir) {
  const std::string here = "ffserver.in";
  if (FileExists(current_dir, here)) return here;
  const std::string sibling = std::string("..") + kSep + "exec" + kSep + "ffserver.in";
  if (FileExists(current_dir, sibling)) return sibling;
  const std::string lower = LowerCase(current_dir);
  const std::string marker = std::string(".win") + kSep;
  const size_t pos = lower.find(marker);
  const std::string exec_file = std::string("exec") + kSep + "ffserver.in";
  if (pos != std::string::npos) return lower.substr(0, pos + marker.size()) + exec_file;
  return exec_file;
}

bool StartSession(TffCommsEngine& engine, TffSession& session, bool mess, const MessageCallback& show_message) {
  std::error_code ec;
  const std::string current_dir = std::filesystem::current_path(ec).string();
  return StartSession(engine, session, FindServerAddressFile(current_dir), mess, show_message);
}

bool StartSession(TffCommsEngine& engine, TffSession& session, const std::string& fnom, bool mess,
                  const MessageCallback& show_message) {
  auto show = [&](const std::string& text) {
    if (mess && show_message) show_message(text);
  };
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fnom, ec)) {
    show("Le fichier \"" + fnom + "\" est introuvable.\r" + kCallUs);
    return false;
  }
  session.Close();
  engine.Close();
  std::string address;
  {
    std::ifstream in(fnom, std::ios::binary);
    std::getline(in, address);
  }
  if (!address.empty() && address.back() == '\r') address.pop_back();
  // The file is 8-bit text; the component keeps at most 255 characters.
  address = Utf8Left(Cp1252ToUtf8(address), 255);
  engine.SetServerName(address);
  engine.SetProtocol(address == "SOLO" ? TffProtocol::ptSingleUser : TffProtocol::ptTCPIP);
  try {
    engine.Open();
    session.Open();
    return engine.Active() && session.Active();
  } catch (const EffDatabaseError& error) {
    // The messages were short strings: the server name is cut at 95 characters.
    const std::string server = Utf8Left(engine.ServerName(), 95);
    const int code = error.ErrorCode();
    if (code == 0 || code == kFfErrServerUnreachable) {
      show(
          "Le serveur de bases de donn\xC3\xA9"
          "es :" +
          server + " est introuvable...\r" + kCallUs);
    } else if (code == 12039) {
      show(
          "Le serveur de bases de donn\xC3\xA9"
          "es :" +
          server + " n'est pas de la bonne version...\r" + kCallUs);
    } else {
      show(
          "Erreur Ind\xC3\xA9termin\xC3\xA9"
          "e (StartSession) :" +
          std::to_string(code) + "\r" + error.what() + "\r" + kCallUs);
    }
    return false;
  }
}

}  // namespace korvel
