// The "host:path" road: a real Firebird server on 127.0.0.1, started by the test.
#include <gtest/gtest.h>

#include <filesystem>

#include "global/database_error.h"
#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_services.h"
#include "global/fib/fib_transaction.h"
#include "global/fib/global_fib.h"
#include "support/target_db.h"

namespace korvel::fib {
namespace {

class LoopbackServer : public ::testing::Test {
 protected:
  void SetUp() override {
    path = testing::FreshDatabase("remote");
    std::string why;
    ASSERT_TRUE(server.Start(&why)) << why;
  }

  std::string path;
  testing::LoopbackServer server;
};

TEST_F(LoopbackServer, QueryBackupAndRestoreThroughTheServer) {
  TpFIBDatabase db;
  db.DatabaseName = "127.0.0.1:" + path;
  db.UseMainConnectionSettings();
  ASSERT_TRUE(TpFIBDatabase::IsRemoteName(db.DatabaseName));
  db.Open();
  EXPECT_TRUE(GlobalFIB().ExecSQLCommit("CREATE TABLE T (ID INTEGER NOT NULL PRIMARY KEY)", {}, &db));
  EXPECT_TRUE(GlobalFIB().ExecSQLCommit("INSERT INTO T VALUES (?)", {Variant(5)}, &db));
  EXPECT_EQ(
      GlobalFIB()
          .GetValueFromSelectWP(
              "SELECT MON$REMOTE_PROTOCOL FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION", {}, &db)
          .AsString()
          .substr(0, 3),
      "TCP");
  db.Close();

  const std::string fbk = testing::ScratchDir() + "/remote.fbk";
  TpFIBService svc;
  svc.ServerName = "127.0.0.1";
  svc.Params = {"user_name=SYSDBA", "password=quilmorane"};
  svc.Attach();
  svc.StartBackup(path, fbk, true);
  int lines = 0;
  for (std::string line; svc.GetNextLine(line);) ++lines;
  EXPECT_GT(lines, 0);
  svc.StartRestore(fbk, path);
  for (std::string line; svc.GetNextLine(line);) {
  }
  svc.Detach();
  EXPECT_TRUE(std::filesystem::exists(fbk));

  db.Open();
  EXPECT_EQ(GlobalFIB().GetValueFromSelectWP("SELECT ID FROM T", {}, &db).AsInteger(), 5);
  db.Close();
}

TEST_F(LoopbackServer, WrongPasswordIsALoginError) {
  TpFIBDatabase db;
  db.DatabaseName = "127.0.0.1:" + path;
  db.DBParams = {"user_name=SYSDBA", "password=wrong"};
  try {
    db.Open();
    FAIL() << "login accepted";
  } catch (const EDatabaseError& e) {
    EXPECT_EQ(e.IBErrorCode(), 335544472);
  }
}

}  // namespace
}  // namespace korvel::fib
