// korvel-cli as a user runs it: a run file, a legacy folder, a target database.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/run_fixture.h"
#include "tools/sample_clinic.h"

namespace korvel {
namespace {

using V = Variant;

// Runs a command in the test's folder; returns its exit status and output.
int RunCommand(const std::string& command, std::string* output) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return -1;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output->append(buf, n);
  const int status = pclose(pipe);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class CliTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    std::ofstream(folder + "/aliases.ini") << "radio=radio\n";
    std::ofstream(folder + "/ffserver.in") << "SOLO\n";
  }
};

TEST_F(CliTest, RunsAMigrationFromARunFile) {
  WriteTable("Anatom", {{V("THX"), V("Thorax")}, {V("THX"), V("doublon")}});
  WriteTable("Modalite", {{V("RX"), V("Radiographie")}});
  std::ofstream(folder + "/clinic.run") << "# a run file\n"
                                           "[options]\n"
                                           "etablissement=CLI01\n"
                                           "debut=2000-01-01\n"
                                           "fin=2011-12-31\n"
                                           "modele_principal=modele.rtf\n"
                                           "database_ini=Database.ini\n"
                                           "prefixe_global=KV\n"
                                           "alias=aliases.ini\n"
                                           "generateurs=oui\n"
                                           "[prealable]\n"
                                           "Anatom\n"
                                           "Modalite\n";
  std::string output;
  const int status = RunCommand(std::string(KORVEL_CLI) + " clinic.run --settings .", &output);
  EXPECT_EQ(status, 0) << output;
  EXPECT_EQ(Count("Region"), 1);
  EXPECT_EQ(Count("Modalite"), 1);
  EXPECT_TRUE(LogExists("TableAnatom"));
  EXPECT_TRUE(LogExists("TableModalite"));
  // The final report is printed: one line per table with its counts.
  EXPECT_NE(output.find("RAPPORT FINAL"), std::string::npos) << output;
  EXPECT_NE(output.find("TableAnatom, Nombre total de Record de transferer : 1/2"), std::string::npos) << output;
  EXPECT_NE(output.find("TableModalite, Nombre total de Record de transferer : 1/1"), std::string::npos) << output;
  EXPECT_NE(ReadLog("TableAnatom").find("Table destination: Region a deja cette cle: THX"), std::string::npos);
}

TEST_F(CliTest, AllReferenceTablesOfASampleClinicWithTheBackupBetweenTheLists) {
  sample::WriteSampleClinic({folder + "/clinic", 3, 1});
  std::ofstream(folder + "/all.run") << "[options]\n"
                                        "etablissement=CLI01\n"
                                        "modele_principal=modele.rtf\n"
                                        "database_ini=Database.ini\n"
                                        "prefixe_global=KV\n"
                                        "alias=clinic/korvel-aliases.ini\n"
                                        "[prealable]\nTous\n";
  std::string output;
  ASSERT_EQ(RunCommand(std::string(KORVEL_CLI) + " all.run --settings .", &output), 0) << output;
  const std::string report = ReadLog("RAPPORT FINAL");
  for (const char* log : {"TableAnatom", "TableModalite", "TableDicto", "TableMotCorr", "TableDiagnos", "TableTypePres",
                          "TableTxtProto", "TableExport", "TableModific", "TableModSoft", "TableModCompl",
                          "TableRemMajoree", "TableCodeTransac", "Table.Activite", "TableEtatType",
                          "TableEtatTypeTitre"}) {
    EXPECT_TRUE(LogExists(log)) << log;
    EXPECT_NE(report.find(std::string(log) + ", Nombre total de Record de transferer : "), std::string::npos) << log;
  }
  // Counts as the sample clinic holds them: 22 regions, one repeated; 6 billing types, two alike.
  EXPECT_NE(report.find("TableAnatom, Nombre total de Record de transferer : 21/22"), std::string::npos) << report;
  EXPECT_NE(report.find("TableTypePres, Nombre total de Record de transferer : 5/6"), std::string::npos) << report;
  EXPECT_NE(ReadLog("Monitor Log").find("Fin restore: RIS_APRES_PREALABLE_"), std::string::npos);
  bool backup = false;
  for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(database).parent_path())) {
    backup |= entry.path().filename().string().rfind("RIS_APRES_PREALABLE_", 0) == 0;
  }
  EXPECT_TRUE(backup);
}

TEST_F(CliTest, InvalidRunFilesAndRefusedOptionsExitNonZero) {
  struct Case {
    const char* text;
    int status;
    const char* says;
  };
  const Case cases[] = {
      {"[options]\nfin=2012-13-45\n", 2, "fin: \"2012-13-45\" is not a date"},
      {"[prealable]\nNulle part\n", 2, "\"Nulle part\" is not an item"},
      {"[options]\nvitesse=max\n", 2, "unknown option \"vitesse\""},
      {"[options]\netablissement=CLI01\nmodele_principal=modele.rtf\ndatabase_ini=Database.ini\n", 1,
       "Un préfix global est obligatoire"},
  };
  for (const Case& c : cases) {
    std::ofstream(folder + "/bad.run") << c.text;
    std::string output;
    EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " bad.run --settings .", &output), c.status) << c.text << output;
    EXPECT_NE(output.find(c.says), std::string::npos) << output;
  }
  std::string output;
  // A target that cannot be opened: the run goes through, every failure is logged, and
  // the exit status says the table phase ended early.
  std::ofstream(folder + "/Absent.ini") << "DatabaseName=" << folder << "/absent.fdb\n";
  std::ofstream(folder + "/nodb.run") << "[options]\netablissement=CLI01\nmodele_principal=modele.rtf\n"
                                         "database_ini=Absent.ini\nprefixe_global=KV\nalias=aliases.ini\n"
                                         "[prealable]\nAnatom\n";
  WriteTable("Anatom", {{V("THX"), V("Thorax")}});
  EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " nodb.run --settings .", &output), 3) << output;
  EXPECT_NE(ReadLog("Log Generique").find("ForceNewDataPath "), std::string::npos) << ReadLog("Log Generique");
  output.clear();
  EXPECT_EQ(RunCommand(std::string(KORVEL_CLI) + " absent.run", &output), 2);
  EXPECT_NE(output.find("cannot read the run file \"absent.run\""), std::string::npos) << output;
}

}  // namespace
}  // namespace korvel
