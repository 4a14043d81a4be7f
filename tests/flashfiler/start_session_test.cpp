// StartSession: the address-file search, SOLO versus network names, operator messages.
#include <gtest/gtest.h>

#include <fstream>

#include "global/string_utils.h"
#include "source/flashfiler/start_session.h"
#include "tests/flashfiler/test_support.h"

namespace korvel {
namespace {

using testing::ScratchDir;

const std::string kTail =
    "Veuillez appeler chez Brelune avant de poursuivre.\rT\xC3\xA9l\xC3\xA9phone : (819) 555-0148 / (800) 555-0172";

struct Outcome {
  bool result;
  std::vector<std::string> messages;
};

Outcome Start(const std::string& fnom, bool mess, TffCommsEngine& engine, TffSession& session) {
  Outcome out;
  out.result = StartSession(engine, session, fnom, mess, [&](const std::string& m) { out.messages.push_back(m); });
  return out;
}

TEST(StartSession, AddressDecidesTheTransport) {
  const auto dir = ScratchDir("start");
  const std::string long_name(120, 'n');
  struct Case {
    std::string first_line;
    bool opens;
    std::string message;
  };
  const std::vector<Case> cases = {
      {"SOLO\r\nignored second line", true, ""},
      {"solo", false,
       "Le serveur de bases de donn\xC3\xA9"
       "es :solo est introuvable...\r" +
           kTail},
      {"srv-radio.clinique.local", false,
       "Le serveur de bases de donn\xC3\xA9"
       "es :srv-radio.clinique.local est introuvable...\r" +
           kTail},
      {long_name, false,
       "Le serveur de bases de donn\xC3\xA9"
       "es :" +
           long_name.substr(0, 95) + " est introuvable...\r" + kTail},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.first_line.substr(0, 30));
    const std::string file = (dir / "ffserver.in").string();
    std::ofstream(file, std::ios::binary) << c.first_line;
    TffCommsEngine engine("EngineTransfert");
    TffSession session("SessionTransfert");
    session.SetCommsEngine(&engine);
    const Outcome out = Start(file, true, engine, session);
    EXPECT_EQ(out.result, c.opens);
    EXPECT_EQ(engine.Active() && session.Active(), c.opens);
    EXPECT_EQ(engine.Protocol(), c.first_line.rfind("SOLO", 0) == 0 ? TffProtocol::ptSingleUser : TffProtocol::ptTCPIP);
    if (c.opens) {
      EXPECT_TRUE(out.messages.empty());
      EXPECT_EQ(engine.ServerName(), "SOLO");
    } else {
      EXPECT_EQ(out.messages, std::vector<std::string>{c.message});
    }
    // Mess false: the same outcome, silently.
    const Outcome quiet = Start(file, false, engine, session);
    EXPECT_EQ(quiet.result, c.opens);
    EXPECT_TRUE(quiet.messages.empty());
  }
}

TEST(StartSession, MissingFileIsNamedInTheMessage) {
  TffCommsEngine engine;
  TffSession session;
  session.SetCommsEngine(&engine);
  const Outcome out = Start("nowhere/ffserver.in", true, engine, session);
  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.messages, std::vector<std::string>{"Le fichier \"nowhere/ffserver.in\" est introuvable.\r" + kTail});
}

TEST(StartSession, AddressFileSearchOrder) {
  const auto root = ScratchDir("search");
  const auto plain = root / "plain";
  const auto here = root / "here";
  const auto sibling = root / "app" / "bin";
  const auto win = root / "Prog.WIN" / "Bin";
  for (const auto& d : {plain, here, sibling, root / "app" / "exec", win}) std::filesystem::create_directories(d);
  std::ofstream(here / "ffserver.in") << "SOLO\n";
  std::ofstream(root / "app" / "exec" / "ffserver.in") << "SOLO\n";

  EXPECT_EQ(FindServerAddressFile(here.string()), "ffserver.in");
  EXPECT_EQ(FindServerAddressFile(sibling.string()), "../exec/ffserver.in");
  EXPECT_EQ(FindServerAddressFile(plain.string()), "exec/ffserver.in");
  EXPECT_EQ(FindServerAddressFile(win.string()), LowerCase((root / "Prog.WIN").string()) + "/exec/ffserver.in");
}

TEST(StartSession, FirstFormSearchesFromTheCurrentDirectory) {
  const auto dir = ScratchDir("cwd");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir);
  TffCommsEngine engine;
  TffSession session;
  session.SetCommsEngine(&engine);
  std::vector<std::string> messages;
  const bool opened = StartSession(engine, session, true, [&](const std::string& m) { messages.push_back(m); });
  std::ofstream(dir / "ffserver.in") << "SOLO\r\n";
  const bool opened_with_file =
      StartSession(engine, session, true, [&](const std::string& m) { messages.push_back(m); });
  std::filesystem::current_path(previous);
  EXPECT_FALSE(opened);
  EXPECT_EQ(messages, std::vector<std::string>{"Le fichier \"exec/ffserver.in\" est introuvable.\r" + kTail});
  EXPECT_TRUE(opened_with_file);
}

}  // namespace
}  // namespace korvel
