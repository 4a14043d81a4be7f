#include <gtest/gtest.h>

#include <filesystem>

#include "global/fib/global_fib.h"
#include "support/run_fixture.h"

namespace korvel {
namespace {

using V = Variant;

class RunCoreTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    // Nobody listens there: the notice fails after the run, as an unreachable server would.
    ui.options.smtpServer = "127.0.0.1";
    ui.options.smtpPort = "1";
  }
  void Tick(int list, const char* text) {
    const auto& items = list == 1 ? ListePrealable() : ListeClinique();
    for (size_t i = 0; i < items.size(); ++i) {
      if (std::string(items[i].text) == text) ui.checked.insert({list, static_cast<int>(i)});
    }
  }
  // The run, which ends by trying to send the notice.
  void RunAll() {
    try {
      run->btnTransfertClick();
    } catch (const std::exception& e) {
      email_error = e.what();
    }
  }
  int Backups() const {
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(database).parent_path())) {
      n += entry.path().filename().string().rfind("RIS_APRES_PREALABLE_", 0) == 0;
    }
    return n;
  }
  std::string email_error;
};

TEST_F(RunCoreTest, NothingTickedStillFinishesTurnsGreenAndSendsTheNotice) {
  RunAll();
  EXPECT_TRUE(run->LastRunCompleted);
  EXPECT_TRUE(ui.finished);
  EXPECT_EQ(ui.enabled_changes, (std::vector<bool>{false, true}));
  EXPECT_FALSE(email_error.empty());  // the notice was attempted, after the run
  EXPECT_EQ(Backups(), 0);
  const std::string report = ReadLog("RAPPORT FINAL");
  EXPECT_NE(report.find("Début du transfert:: "), std::string::npos) << report;
  EXPECT_NE(report.find("Fin du transfert  :: "), std::string::npos) << report;
}

TEST_F(RunCoreTest, OnlyTheClinicalListMeansNoBackupBetweenTheLists) {
  Tick(2, "Patient");
  RunAll();
  EXPECT_TRUE(run->LastRunCompleted);
  EXPECT_EQ(Backups(), 0);
  Tick(1, "Anatom");
  WriteTable("Anatom", {{V("THX"), V("Thorax")}});
  RunAll();
  EXPECT_EQ(Backups(), 1);
  EXPECT_EQ(Count("Region"), 1);  // the data survived the backup and the restore
}

TEST_F(RunCoreTest, StopDuringTheFirstListEndsThatTableCleanlyAndSkipsTheRest) {
  std::vector<std::vector<Variant>> rows;
  for (int i = 0; i < 6000; ++i) rows.push_back({V("R" + std::to_string(i)), V("r")});
  WriteTable("Anatom", rows);
  WriteTable("Modalite", {{V("RX"), V("Radio")}});
  Tick(1, "Modalite");  // runs before Anatom
  Tick(1, "Anatom");
  Tick(1, "Dictionnaire");
  ui.on_events = [&] {
    if (ctx->StopAllProcess && ctx->FDataMgr->NbTried() >= 2500) run->btnStopClick();
  };
  RunAll();
  EXPECT_TRUE(run->LastRunCompleted);
  EXPECT_EQ(Count("Modalite"), 1);
  // The table stopped after the record being read; its log is complete.
  EXPECT_EQ(Count("Region"), 2501);
  EXPECT_NE(ReadLog("TableAnatom").find("2501"), std::string::npos) << ReadLog("TableAnatom");
  EXPECT_FALSE(LogExists("TableDicto"));
  // The operator saw the run reach the second of the three ticked items, no further.
  EXPECT_EQ(ui.positions, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}}));
  EXPECT_EQ(Backups(), 1);
  EXPECT_NE(ReadLog("Log Generique").find("USER FORCED STOP"), std::string::npos);
}

TEST_F(RunCoreTest, ValidationShowsTheLastFailingCheck) {
  struct Case {
    const char* what;
    std::string etablissement, modele, prefixe;
    std::vector<std::pair<const char*, const char*>> licences;  // (new, old) pending in TMPMEDECINFF
    std::string message;                                        // "" = valid
  };
  const std::string licences = "Des licences sont toujours invalides, executer TransfertReferant de nouveau";
  const std::vector<Case> cases = {
      {"valid", "CLI01", "modele.rtf", "KV", {{"1234567", nullptr}}, ""},
      {"blank prefix passes", "CLI01", "modele.rtf", "   ", {}, ""},
      {"empty prefix", "CLI01", "modele.rtf", "", {}, "Un préfix global est obligatoire"},
      {"no model", "CLI01", " ", "KV", {}, "Un modele de rapport doit etre specifier"},
      {"no establishment", "", "modele.rtf", "KV", {}, "Un etablissement doit etre selectionner"},
      {"last check wins", "", "modele.rtf", "KV", {{"123456", nullptr}}, licences},
      {"a letter", "CLI01", "modele.rtf", "KV", {{"12345A7", nullptr}}, licences},
      {"old licence used when no new one", "CLI01", "modele.rtf", "KV", {{nullptr, "7654321"}}, ""},
      {"both null", "CLI01", "modele.rtf", "KV", {{nullptr, nullptr}}, licences},
  };
  Connect();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("DELETE FROM TMPMEDECINFF", {}, ctx->target.Db()));
    for (const auto& [nouvelle, ancienne] : c.licences) {
      ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit(
          "INSERT INTO TMPMEDECINFF (NOUVELLE_LICENCE, LICENCE, NOUVELLE_LICENCE_OK) VALUES (?, ?, 'F')",
          {nouvelle ? V(nouvelle) : V(), ancienne ? V(ancienne) : V()}, ctx->target.Db()));
    }
    ctx->numeroEtablis = c.etablissement;
    ui.options.mainModelFile = c.modele;
    ui.options.globalPrefix = c.prefixe;
    ui.messages.clear();
    EXPECT_EQ(run->ValidateTransfertOptions(), c.message.empty());
    EXPECT_EQ(ui.messages, c.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.message});
  }
  // The radiologists' table counts too, and a settled row does not.
  ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("DELETE FROM TMPMEDECINFF", {}, ctx->target.Db()));
  ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit(
      "INSERT INTO TMPRADIOLFF (NOUVELLE_LICENCE, NOUVELLE_LICENCE_OK) VALUES ('12', 'F')", {}, ctx->target.Db()));
  EXPECT_FALSE(run->ValidateAllLicences());
  ASSERT_TRUE(fib::GlobalFIB().ExecSQLCommit("UPDATE TMPRADIOLFF SET NOUVELLE_LICENCE_OK = 'T'", {}, ctx->target.Db()));
  EXPECT_TRUE(run->ValidateAllLicences());
}

TEST_F(RunCoreTest, InvalidOptionsEndTheRunBeforeAnything) {
  ui.options.globalPrefix = "";
  RunAll();
  EXPECT_FALSE(run->LastRunCompleted);
  EXPECT_TRUE(ui.enabled_changes.empty());
  EXPECT_FALSE(ui.finished);
  EXPECT_TRUE(email_error.empty());
  EXPECT_EQ(ui.messages, std::vector<std::string>{"Un préfix global est obligatoire"});
}

TEST_F(RunCoreTest, APatientThresholdThatIsNotANumberStopsTheRunBeforeTheFirstTable) {
  ui.options.firstPatientNumber = "22863a";
  Tick(1, "Anatom");
  Tick(2, "Patient");
  WriteTable("Anatom", {{V("THX"), V("Thorax")}});
  RunAll();
  EXPECT_FALSE(run->LastRunCompleted);
  EXPECT_EQ(ui.messages,
            std::vector<std::string>{"Le numero de patient de depart doit etre un nombre entier: '22863a'"});
  EXPECT_FALSE(LogExists("TableAnatom"));
  // Without the patients ticked the threshold is not used, so not checked.
  ui.checked.clear();
  ui.messages.clear();
  Tick(1, "Anatom");
  RunAll();
  EXPECT_TRUE(run->LastRunCompleted);
  EXPECT_TRUE(ui.messages.empty());
}

TEST(Lists, HoldTheirItemsInOrder) {
  ASSERT_EQ(ListePrealable().size(), 26u);
  ASSERT_EQ(ListeClinique().size(), 25u);
  EXPECT_STREQ(ListePrealable()[0].text, "Modalite");
  EXPECT_STREQ(ListePrealable()[25].text, "HL7Radiol");
  EXPECT_STREQ(ListeClinique()[10].text, "Prescription (visite)");
  EXPECT_STREQ(ListeClinique()[24].text, "FACCSD");
}

}  // namespace
}  // namespace korvel
