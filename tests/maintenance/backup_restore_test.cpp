#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "maintenance_fixture.h"
#include "source/maintenance/backup_restore.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

TEST(SplitDatabaseName, ServerPathAndBackupFileAsTheServerSpellsThem) {
  const TDateTime started = EncodeDateTime(DateParts{2012, 1, 31, 14, 5, 9});
  const std::string file = "RIS_APRES_PREALABLE_" + FormatDateTime("yyyymmdd_hhnnss", started) + ".FBK";
  ASSERT_EQ(file, "RIS_APRES_PREALABLE_20120131_140509.FBK");
  struct Case {
    const char* name;
    const char* server;
    const char* path;
    const char* backup;
  };
  const Case cases[] = {
      {"dbhost:C:\\data\\ris.fdb", "dbhost", "C:\\data\\ris.fdb",
       "C:\\data\\\\RIS_APRES_PREALABLE_20120131_140509.FBK"},
      {"localhost:/srv/fb/ris.fdb", "localhost", "/srv/fb/ris.fdb", "/srv/fb//RIS_APRES_PREALABLE_20120131_140509.FBK"},
      {"dbhost/3051:/srv/ris.fdb", "dbhost/3051", "/srv/ris.fdb", "/srv//RIS_APRES_PREALABLE_20120131_140509.FBK"},
      // No colon: the local service manager (the embedded engine), the whole name as path.
      {"/var/lib/ris.fdb", "", "/var/lib/ris.fdb", "/var/lib//RIS_APRES_PREALABLE_20120131_140509.FBK"},
      // An alias has no folder: the file goes where the server puts relative names.
      {"dbhost:ris", "dbhost", "ris", "RIS_APRES_PREALABLE_20120131_140509.FBK"},
  };
  for (const Case& c : cases) {
    const ServiceTarget target = SplitDatabaseName(c.name);
    EXPECT_EQ(target.server, c.server) << c.name;
    EXPECT_EQ(target.databasePath, c.path) << c.name;
    EXPECT_EQ(target.BackupPath(file), c.backup) << c.name;
  }
}

class BackupRestoreTest : public testing::MaintenanceFixture {
 protected:
  std::string CreationDate() {
    return RunValue("SELECT CAST(MON$CREATION_DATE AS VARCHAR(30)) FROM MON$DATABASE").AsString();
  }
};

TEST_F(BackupRestoreTest, BacksUpBesideTheDatabaseRestoresOverItAndReconnects) {
  Prepare({"INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (5, 'P-5')"});
  ConnectRun();
  const std::string created = CreationDate();
  ctx->FDataMgr->ExecuteDestQuery("INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (6, 'P-6')");  // not committed
  const std::string name = "RIS_APRES_PREALABLE_" + FormatDateTime("yyyymmdd_hhnnss", Now()) + ".FBK";
  ASSERT_TRUE(std::regex_match(name, std::regex(R"(RIS_APRES_PREALABLE_\d{8}_\d{6}\.FBK)")));

  DatabaseBackupRestore(*ctx, name);

  EXPECT_TRUE(fs::exists(fs::path(database).parent_path() / name));
  ASSERT_TRUE(ctx->target.Connected());
  EXPECT_TRUE(ctx->target.InTransaction());
  EXPECT_GT(CreationDate(), created);  // a new database file, rebuilt from the backup
  EXPECT_EQ(RunValue("SELECT LIST(PRESCRIPTION, ',') FROM (SELECT PRESCRIPTION FROM VISITE ORDER BY 1)").AsString(),
            "P-5,P-6");
  const std::vector<std::string> steps = {"Début backup: " + name, "Fin backup: " + name, "Début restore: " + name,
                                          "Fin restore: " + name};
  EXPECT_EQ(ui.operations, steps);
  const std::string monitor = ReadLog("Monitor Log");
  size_t at = 0;
  for (const std::string& step : steps) {
    at = monitor.find(step, at);
    EXPECT_NE(at, std::string::npos) << step << " in\n" << monitor;
  }
  EXPECT_TRUE(ui.messages.empty());
  EXPECT_EQ(NewGenericLog(), "");
}

TEST_F(BackupRestoreTest, AFailedBackupIsShownAndNothingIsRestoredFromIt) {
  Prepare({"INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (5, 'P-5')"});
  ConnectRun();
  const std::string created = CreationDate();
  // The backup cannot write its file: something else already has that name.
  const std::string name = "RIS_APRES_PREALABLE_20120131_140509.FBK";
  fs::create_directory(fs::path(database).parent_path() / name);

  DatabaseBackupRestore(*ctx, name);

  ASSERT_EQ(ui.messages.size(), 1u);
  EXPECT_FALSE(ui.messages[0].empty());
  // The service refused the file once started: no end of backup, no restore.
  EXPECT_EQ(ui.operations, std::vector<std::string>{"Début backup: " + name});
  EXPECT_NE(NewGenericLog().find("Restore annulé, le backup a échoué: " + name), std::string::npos);
  EXPECT_NE(ReadLog("Monitor Log").find("Restore annulé, le backup a échoué: " + name), std::string::npos);
  ASSERT_TRUE(ctx->target.Connected());
  EXPECT_TRUE(ctx->target.InTransaction());
  EXPECT_EQ(CreationDate(), created);
  EXPECT_EQ(RunValue("SELECT PRESCRIPTION FROM VISITE").AsString(), "P-5");
}

}  // namespace
}  // namespace korvel
