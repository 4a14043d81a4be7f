// Backup and restore through a real Firebird server on 127.0.0.1, the road of a
// "host:path" target. Kept apart from the embedded tests: the server and the embedded
// engine cannot hold the same files at once.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "maintenance_fixture.h"
#include "source/maintenance/backup_restore.h"
#include "support/target_db.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

class BackupRestoreServerTest : public testing::MaintenanceFixture {};

TEST_F(BackupRestoreServerTest, BacksUpBesideTheDatabaseAndRestoresThroughTheServer) {
  Prepare({"INSERT INTO VISITE (ID_VISITE, PRESCRIPTION) VALUES (5, 'P-5')"});
  testing::LoopbackServer server;
  std::string why;
  ASSERT_TRUE(server.Start(&why)) << why;
  std::ofstream(folder + "/Database.ini") << "[Database]\r\nDatabaseName=localhost:" << database << "\r\n";
  ConnectRun();
  ASSERT_TRUE(ctx->target.Connected());
  ASSERT_EQ(ctx->target.Name(), "localhost:" + database);
  const std::string created = RunValue("SELECT CAST(MON$CREATION_DATE AS VARCHAR(30)) FROM MON$DATABASE").AsString();
  const std::string name = "RIS_APRES_PREALABLE_" + FormatDateTime("yyyymmdd_hhnnss", Now()) + ".FBK";

  DatabaseBackupRestore(*ctx, name);

  EXPECT_TRUE(ui.messages.empty()) << ui.messages.front();
  EXPECT_TRUE(fs::exists(fs::path(database).parent_path() / name));
  ASSERT_TRUE(ctx->target.Connected());
  EXPECT_TRUE(ctx->target.InTransaction());
  EXPECT_EQ(RunValue("SELECT MON$REMOTE_PROTOCOL FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION")
                .AsString()
                .substr(0, 3),
            "TCP");
  EXPECT_GT(RunValue("SELECT CAST(MON$CREATION_DATE AS VARCHAR(30)) FROM MON$DATABASE").AsString(), created);
  EXPECT_EQ(RunValue("SELECT PRESCRIPTION FROM VISITE").AsString(), "P-5");
  const std::string monitor = ReadLog("Monitor Log");
  for (const std::string step : {"Début backup: ", "Fin backup: ", "Début restore: ", "Fin restore: "}) {
    EXPECT_NE(monitor.find(step + name), std::string::npos) << step << " in\n" << monitor;
  }
  ctx->target.Close();  // before the server stops
}

}  // namespace
}  // namespace korvel
