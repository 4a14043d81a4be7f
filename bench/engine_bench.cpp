// Engine throughput: 200,000 legacy records of a 10-column table migrated through the
// transfer engine and the converter into an embedded target database, with the
// duplicate check (ctStandard) and without (ctNone), next to a minimal loop that
// inserts the same rows with one prepared statement. Also counts heap allocations per
// record in each loop.
//   engine_bench [records]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "global/fib/fib_database.h"
#include "global/fib/fib_query.h"
#include "global/fib/fib_transaction.h"
#include "source/flashfiler/ff2_writer.h"
#include "source/run/progress_line.h"
#include "source/transfert/src_to_dest.h"
#include "source/transfert/transfert_data.h"

namespace {

size_t g_allocations = 0;

}  // namespace

// Counting replacements of the global allocation functions; malloc and free pair up.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

using namespace korvel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kColumns =
    "(ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(20), NOM VARCHAR(60), PRENOM VARCHAR(60), NAISSANCE DATE, "
    "MONTANT NUMERIC(15,2), QTE INTEGER, ACTIF CHAR(1), VILLE VARCHAR(40), NOTE VARCHAR(100))";
constexpr const char* kInsertHead =
    "INSERT INTO %s (ID, CODE, NOM, PRENOM, NAISSANCE, MONTANT, QTE, ACTIF, VILLE, NOTE)";

std::vector<Variant> Row(int i) {
  static const char* const kVilles[] = {"Montréal", "Québec", "Sherbrooke", "Gatineau", "Trois-Rivières"};
  return {Variant(),
          Variant("C" + std::to_string(i)),
          Variant("TREMBLAY-" + std::to_string(i % 997)),
          Variant("Jean-François"),
          Variant(EncodeDate(1930 + i % 80, 1 + i % 12, 1 + i % 28)),
          Variant(Currency{static_cast<int64_t>(i % 100000) * 100}),
          Variant(i % 50),
          Variant(i % 3 == 0),
          Variant(kVilles[i % 5]),
          Variant("Patient transféré de l'ancien système, dossier " + std::to_string(i))};
}

void WriteLegacy(const std::string& folder, int records) {
  ff2::Ff2Writer w(folder + "/Bench.FF2");
  w.AddField("AutoNum", ff2::Ff2Type::AutoInc);
  w.AddField("Code", ff2::Ff2Type::ShortString, 20);
  w.AddField("Nom", ff2::Ff2Type::ShortString, 60);
  w.AddField("Prenom", ff2::Ff2Type::ShortString, 60);
  w.AddField("Naissance", ff2::Ff2Type::StDate);
  w.AddField("Montant", ff2::Ff2Type::Currency);
  w.AddField("Qte", ff2::Ff2Type::Int32);
  w.AddField("Actif", ff2::Ff2Type::Boolean);
  w.AddField("Ville", ff2::Ff2Type::ShortString, 40);
  w.AddField("Note", ff2::Ff2Type::ShortString, 100);
  for (int i = 0; i < records; ++i) w.AppendRecord(Row(i));
  w.Finish();
}

void Exec(fib::TpFIBDatabase& db, const std::string& sql) {
  fib::TpFIBQuery q(&db);
  q.SetSQLText(sql);
  q.ExecQuery();
  db.DefaultTransaction->Commit();
  db.DefaultTransaction->StartTransaction();
}

struct Result {
  double seconds;
  size_t allocations;
  int added;
  double progressSeconds = 0;  // spent updating and writing korvel-cli's progress line
};

Result RunEngine(fib::TpFIBDatabase& db, TffSession& session, TffDatabase& radio, const std::string& table,
                 TCanTransfertType policy) {
  TTransfertData engine;
  TSrcToDest conv;
  engine.InitDataConnections(&session, &radio, &db);
  const auto start = Clock::now();
  engine.InitSourceTable("Bench");
  char head[256];
  std::snprintf(head, sizeof head, kInsertHead, table.c_str());
  engine.InitDestination(head, 10);
  if (policy == TCanTransfertType::ctStandard) engine.InitCodeDestCopy(table, {"ID", "AutoNum"}, true);
  engine.InitTransfertCondition(policy, -1);
  size_t allocations = 0;
  // The progress line korvel-cli shows at each batch commit, written where a terminal
  // would not slow it down.
  ProgressLine progress;
  progress.Start("Table Bench\r\nTransfert des donnees", Clock::now());
  FILE* sink = std::fopen("/dev/null", "w");
  double progress_seconds = 0;
  while (!engine.EndTransfert()) {
    const size_t before = g_allocations;
    if (engine.CanTransfert()) {
      for (int i = 0; i < 10; ++i) engine.SetDestParam(i, conv.AssignSrcToDest(engine.SrcField(i)));
      engine.Transfert();
    }
    allocations += g_allocations - before;
    if (engine.MustCommit()) {
      db.DefaultTransaction->Commit();
      db.DefaultTransaction->StartTransaction();
      const auto shown = Clock::now();
      const std::string line = progress.Update(engine.NbTried(), engine.SrcTable()->RecordCount(), shown);
      if (!line.empty()) std::fprintf(sink, "\r\033[K%s", line.c_str());
      progress_seconds += std::chrono::duration<double>(Clock::now() - shown).count();
    }
    engine.NextTransfert();
  }
  std::fclose(sink);
  db.DefaultTransaction->Commit();
  db.DefaultTransaction->StartTransaction();
  return {std::chrono::duration<double>(Clock::now() - start).count(), allocations, engine.NbAdded(), progress_seconds};
}

Result RunRaw(fib::TpFIBDatabase& db, int records) {
  std::vector<std::vector<Variant>> rows;
  rows.reserve(records);
  for (int i = 0; i < records; ++i) {
    rows.push_back(Row(i));
    rows.back()[0] = Variant(i + 1);
    rows.back()[7] = Variant(i % 3 == 0 ? "O" : "N");
  }
  fib::TpFIBQuery ins(&db);
  ins.SetSQLText("INSERT INTO RAW10 VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  ins.Prepare();
  const auto start = Clock::now();
  size_t allocations = 0;
  for (int r = 0; r < records; ++r) {
    const size_t before = g_allocations;
    for (int i = 0; i < 10; ++i) ins.Params(i).SetValue(rows[r][i]);
    ins.ExecQuery();
    allocations += g_allocations - before;
    if ((r + 1) % 2500 == 0) {
      db.DefaultTransaction->Commit();
      db.DefaultTransaction->StartTransaction();
    }
  }
  db.DefaultTransaction->Commit();
  db.DefaultTransaction->StartTransaction();
  return {std::chrono::duration<double>(Clock::now() - start).count(), allocations, records};
}

void Print(const char* what, const Result& r, int records) {
  std::printf("%-38s %8d rows %7.2f s %9.0f records/s %6.2f allocations/record\n", what, r.added, r.seconds,
              records / r.seconds, static_cast<double>(r.allocations) / records);
}

}  // namespace

int main(int argc, char** argv) {
  const int records = argc > 1 ? std::atoi(argv[1]) : 200000;
  const fs::path dir = fs::temp_directory_path() / ("korvel-engine-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string db_path = (dir / "bench.fdb").string();
  const std::string create = std::string("bash '") + KORVEL_SOURCE_DIR + "/scripts/create-db' '" + db_path + "'";
  if (std::system(create.c_str()) != 0) return 1;
  WriteLegacy(dir.string(), records);

  fib::TpFIBDatabase db;
  fib::TpFIBTransaction tr(&db);
  tr.TRParams = {"write", "nowait", "rec_version", "read_committed"};
  db.DatabaseName = db_path;
  db.UseMainConnectionSettings();
  db.DefaultTransaction = &tr;
  db.Open();
  tr.StartTransaction();
  for (const char* table : {"ENG_STANDARD", "ENG_NONE", "RAW10"})
    Exec(db, std::string("CREATE TABLE ") + table + kColumns);

  TffCommsEngine engine("EngineTransfert");
  TffSession session("SessionTransfert");
  session.SetCommsEngine(&engine);
  session.AddAlias("radio", dir.string());
  TffDatabase radio;
  radio.SetSession(&session);
  radio.SetAliasName("radio");

  std::printf("engine benchmark, %d records of 10 columns, embedded Firebird\n", records);
  const Result raw = RunRaw(db, records);
  const Result none = RunEngine(db, session, radio, "ENG_NONE", TCanTransfertType::ctNone);
  const Result standard = RunEngine(db, session, radio, "ENG_STANDARD", TCanTransfertType::ctStandard);
  Print("raw prepared INSERT", raw, records);
  Print("engine, ctNone", none, records);
  Print("engine, ctStandard (duplicate check)", standard, records);
  std::printf("ratio engine/raw: ctNone %.2f, ctStandard %.2f (records/s)\n", raw.seconds / none.seconds,
              raw.seconds / standard.seconds);
  std::printf("progress line: %.6f s of %.2f s (%.4f%%) for ctNone, %.6f s of %.2f s (%.4f%%) for ctStandard\n",
              none.progressSeconds, none.seconds, 100 * none.progressSeconds / none.seconds, standard.progressSeconds,
              standard.seconds, 100 * standard.progressSeconds / standard.seconds);
  db.Close();
  fs::remove_all(dir);
  return 0;
}
