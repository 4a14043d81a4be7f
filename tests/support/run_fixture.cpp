#include "support/run_fixture.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "global/fib/global_fib.h"
#include "global/text_encoding.h"
#include "source/flashfiler/ff2_writer.h"
#include "support/target_db.h"
#include "tools/legacy_layouts.h"

namespace korvel::testing {

void RunFixture::SetUp() {
  database = FreshDatabase("target");
  folder = ScratchDir();
  legacy = folder + "/radio";
  std::filesystem::create_directories(legacy);
  std::ofstream(folder + "/Database.ini") << "[Database]\r\nDatabaseName=" << database << "\r\n";
  std::ofstream(folder + "/modele.rtf", std::ios::binary) << "{\\rtf1 Modèle}\n";
  ASSERT_EQ(chdir(folder.c_str()), 0);
  ui.options.establishment = "CLI01";
  ui.options.mainModelFolder = folder + "/";
  ui.options.mainModelFile = "modele.rtf";
  ui.options.globalPrefix = "KV";
  run = std::make_unique<RunDriver>(ui, folder + "/");
  ctx = &run->Context();
  ctx->ffSession.AddAlias("radio", legacy);
  ctx->ffCommsEngine.Open();
  ctx->ffSession.Open();
  run->PrepareTransfert();
  ctx->numeroEtablis = "CLI01";
}

void RunFixture::TearDown() {
  ctx = nullptr;
  run.reset();
}

void RunFixture::WriteTable(const std::string& table, const std::vector<std::vector<Variant>>& rows) {
  ff2::Ff2Writer writer(legacy + "/" + table + ".FF2");
  for (const auto& f : sample::LegacyLayout(table)) writer.AddField(f.name, f.type, f.size);
  for (const auto& index : sample::LegacyIndexes(table)) writer.AddIndex(index.name, index.fields);
  for (const auto& row : rows) writer.AppendRecord(row);
  writer.Finish();
}

void RunFixture::WriteRows(const std::string& table, const std::vector<LegacyValues>& records) {
  std::vector<std::vector<Variant>> rows;
  for (const LegacyValues& r : records) rows.push_back(sample::LegacyRow(table, r));
  WriteTable(table, rows);
}

void RunFixture::Exec(const std::string& sql) { ASSERT_TRUE(ctx->FDataMgr->ExecuteDestQuery(sql).ok) << sql; }

std::string RunFixture::ReadLog(const std::string& name) const {
  std::ifstream in(folder + "/LogErreur/" + FormatDateTime("yyyymmdd", Now()) + "/" + name + ".txt", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::string utf8 = Cp1252ToUtf8(text.str());
  std::erase(utf8, '\r');
  return utf8;
}

bool RunFixture::LogExists(const std::string& name) const {
  return std::filesystem::exists(folder + "/LogErreur/" + FormatDateTime("yyyymmdd", Now()) + "/" + name + ".txt");
}

void OpenTarget(fib::TpFIBDatabase& db, const std::string& database) {
  db.DatabaseName = database;
  db.UseMainConnectionSettings();
  db.Open();
}

Variant RunFixture::Select(const std::string& sql) {
  fib::TpFIBDatabase db;
  OpenTarget(db, database);
  return fib::GlobalFIB().GetValueFromSelectWP(sql, {}, &db);
}

int64_t RunFixture::Count(const std::string& table, const std::string& where) {
  return Select("SELECT COUNT(*) FROM " + table + (where.empty() ? "" : " WHERE " + where)).AsInteger();
}

}  // namespace korvel::testing
