// The component layer: aliases, engine/session/database/table life cycle, the
// unreachable-server error and its test hook, field lookup.
#include <gtest/gtest.h>

#include <fstream>

#include "source/flashfiler/ff2_writer.h"
#include "tests/flashfiler/test_support.h"

namespace korvel {
namespace {

using ff2::Ff2Type;
using testing::LocalSource;
using testing::ScratchDir;

void WriteSmallTable(const std::filesystem::path& path) {
  ff2::Ff2Writer writer(path.string());
  writer.AddField("Code", Ff2Type::ShortString, 10);
  writer.AddField("Valeur", Ff2Type::Int32);
  writer.AddIndex("Primaire", {"Code"});
  writer.AppendRecord({Variant("B"), Variant(2)});
  writer.AppendRecord({Variant("A"), Variant(1)});
  writer.Finish();
}

TEST(Aliases, FileMapsNamesIgnoringCaseWithRelativeFolders) {
  const auto dir = ScratchDir("aliases");
  std::filesystem::create_directories(dir / "data" / "radio");
  std::filesystem::create_directories(dir / "abs");
  WriteSmallTable(dir / "data" / "radio" / "etablis.ff2");
  std::ofstream(dir / "korvel-aliases.ini")
      << "# legacy folders\n[aliases]\nradio = data/radio\r\nDictee=" << (dir / "abs").string() << "\nbroken line\n";
  TffCommsEngine engine("EngineTransfert");
  TffSession session("SessionTransfert");
  session.SetCommsEngine(&engine);
  session.SetAliasFile((dir / "korvel-aliases.ini").string());
  EXPECT_EQ(session.AliasNames(), (std::vector<std::string>{"radio", "Dictee"}));
  EXPECT_EQ(session.AliasFolder("DICTEE"), (dir / "abs").string());
  EXPECT_FALSE(session.AliasFolder("other"));

  TffDatabase database;
  database.SetSession(&session);
  database.SetAliasName("Radio");
  TffTable table;
  table.SetDatabase(&database);
  table.SetTableName("Etablis");  // the file is etablis.ff2
  table.Open();                   // opens database, session and engine on the way
  EXPECT_TRUE(database.Active() && session.Active() && engine.Active());
  EXPECT_EQ(table.RecordCount(), 2);

  TffDatabase unknown;
  unknown.SetSession(&session);
  unknown.SetAliasName("nowhere");
  EXPECT_THROW(unknown.Open(), EffDatabaseError);
}

TEST(Components, TcpEngineIsAnUnreachableServerWithTheRetryText) {
  struct Case {
    const char* server;
    TffProtocol protocol;
  };
  for (const Case& c : {Case{"solo", TffProtocol::ptTCPIP}, Case{"192.168.0.10", TffProtocol::ptTCPIP},
                        Case{"SOLO", TffProtocol::ptTCPIP}}) {
    TffCommsEngine engine;
    engine.SetServerName(c.server);
    engine.SetProtocol(c.protocol);
    try {
      engine.Open();
      FAIL() << c.server << " opened";
    } catch (const EffDatabaseError& error) {
      EXPECT_EQ(error.ErrorCode(), 11278);
      EXPECT_EQ(std::string(error.what()).substr(0, 55), "FlashFiler: Cannot locate or connect to network server.");
    }
    EXPECT_FALSE(engine.Active());
  }
}

TEST(Components, InjectedOpenFailuresThenRecoveryByReconnecting) {
  const auto dir = ScratchDir("inject");
  WriteSmallTable(dir / "Parm.FF2");
  LocalSource source(dir.string());
  TffTable table;
  table.SetDatabase(&source.database);
  table.SetTableName("Parm");
  source.session.InjectOpenFailures(2);
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      table.Open();
      FAIL() << "open " << attempt << " should fail";
    } catch (const EffDatabaseError& error) {
      EXPECT_EQ(error.ErrorCode(), 11278);
      EXPECT_EQ(std::string(error.what()).substr(0, 55), kFfMsgCannotConnect);
    }
    // The transfer engine's recovery: database and engine closed, then opened again.
    source.database.Close();
    source.engine.Close();
    EXPECT_FALSE(source.session.Active());
    source.engine.Open();
    source.database.Open();
  }
  table.Open();
  EXPECT_EQ(table.RecordCount(), 2);
  source.engine.Close();  // closes everything on it
  EXPECT_FALSE(table.Active());
  EXPECT_FALSE(source.database.Active());
}

TEST(Components, FieldsByNameAndPosition) {
  const auto dir = ScratchDir("fields");
  WriteSmallTable(dir / "Parm.FF2");
  LocalSource source(dir.string());
  TffTable table;
  source.Open(table, "Parm", "Primaire");
  EXPECT_EQ(table.FieldCount(), 2);
  EXPECT_EQ(table.FieldByName("VALEUR"), table.Fields(1));
  EXPECT_EQ(table.Fields(1)->Index(), 1);
  EXPECT_EQ(table.FindField("Nope"), nullptr);
  try {
    table.FieldByName("Nope");
    FAIL();
  } catch (const EFieldNotFound& error) {
    EXPECT_STREQ(error.what(), "Field 'Nope' not found");
  }
  EXPECT_THROW(table.Fields(2), EffDatabaseError);
  EXPECT_EQ(table.Fields(0)->AsString(), "A");  // index order
  EXPECT_THROW(table.Fields(0)->AsInteger(), EffDatabaseError);
  table.Next();
  table.Next();
  EXPECT_TRUE(table.Eof());
  EXPECT_TRUE(table.Fields(1)->IsNull());  // past the end: no record, no crash
  EXPECT_EQ(table.Fields(1)->AsInteger(), 0);

  TffTable missing;
  EXPECT_THROW(source.Open(missing, "Absent"), EffDatabaseError);
}

}  // namespace
}  // namespace korvel
