// Cost of moving staged rows: 100,000 rows of a 10-column staging table moved into
// their final table in one statement, then with k rows the final table refuses (the
// move narrows to those keys: statements should grow with k·log2(n), not n), then in
// blocks of 2500 identifiers; next to the rate of a prepared INSERT per row, the way
// the rows were staged.
//   move_bench [rows]
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "global/fib/fib_query.h"
#include "source/driver/run_driver.h"
#include "source/tables/staged_move.h"

namespace {

using namespace korvel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kColumns =
    "(ID INTEGER NOT NULL PRIMARY KEY, CODE VARCHAR(20), NOM VARCHAR(60), PRENOM VARCHAR(60), NAISSANCE DATE, "
    "MONTANT NUMERIC(15,2), QTE INTEGER, ACTIF CHAR(1), VILLE VARCHAR(40), NOTE VARCHAR(100))";

class QuietUI : public OperatorPort {
 public:
  RunOptions Options() override { return {}; }
  bool IsChecked(int, int) override { return false; }
  void SetOperation(const std::string&) override {}
  void SetProgress(int64_t, int64_t) override {}
  void SetRunPosition(int, int) override {}
  void ProcessEvents() override {}
  void ShowMessage(const std::string&) override {}
  void SetOptionsEnabled(bool) override {}
  void SetBusy(bool) override {}
  void MarkRunFinished() override {}
  void RequestTerminate() override {}
};

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

void Exec(RunContext& run, const std::string& sql) {
  if (!run.FDataMgr->ExecuteDestQuery(sql).ok) {
    std::fprintf(stderr, "refused: %s\n", sql.c_str());
    std::exit(1);
  }
  run.CommitEtProgress();
}

MoveSpec Spec(const std::string& target) {
  return {target,
          "INSERT INTO " + target +
              " SELECT p.ID, p.CODE, p.NOM, p.PRENOM, p.NAISSANCE, p.MONTANT, p.QTE, p.ACTIF, p.VILLE, p.NOTE FROM "
              "MOVE_SRC p WHERE p.ID > 0{KEYS}",
          "MOVE_SRC p", "p.ID"};
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
  const fs::path dir = fs::temp_directory_path() / ("korvel-move-bench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string db_path = (dir / "bench.fdb").string();
  const std::string create = std::string("bash '") + KORVEL_SOURCE_DIR + "/scripts/create-db' '" + db_path + "'";
  if (std::system(create.c_str()) != 0) return 1;
  if (chdir(dir.c_str()) != 0) return 1;  // the logs go there

  QuietUI ui;
  RunDriver driver(ui, dir.string() + "/");
  driver.PrepareTransfert();
  RunContext& run = driver.Context();
  run.target.Open(db_path);
  run.FDataMgr->InitDataConnections(&run.ffSession, nullptr, run.target.Db());
  run.target.Begin();
  run.FLogMgr.StartTableLog("MoveBench");

  Exec(run, std::string("CREATE TABLE MOVE_SRC ") + kColumns);
  for (const char* t : {"MOVE_ALL", "MOVE_K1", "MOVE_K10", "MOVE_K100", "MOVE_BLOCKS"}) {
    Exec(run, std::string("CREATE TABLE ") + t + kColumns);
  }

  // Staging, one prepared INSERT per row: the per-row rate the moves compare with.
  fib::TpFIBQuery ins(run.target.Db());
  ins.SetSQLText("INSERT INTO MOVE_SRC VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  ins.Prepare();
  auto start = Clock::now();
  for (int i = 1; i <= rows; ++i) {
    ins.ExecWithParams({Variant(i), Variant("C" + std::to_string(i)), Variant("TREMBLAY-" + std::to_string(i % 997)),
                        Variant("Jean-François"), Variant(EncodeDate(1930 + i % 80, 1 + i % 12, 1 + i % 28)),
                        Variant(Currency{static_cast<int64_t>(i % 100000) * 100}), Variant(i % 50),
                        Variant(i % 3 == 0 ? "O" : "N"), Variant("Montréal"),
                        Variant("Patient transféré de l'ancien système, dossier " + std::to_string(i))});
    if (i % 2500 == 0) run.CommitEtProgress();
  }
  run.CommitEtProgress();
  const double staged = Seconds(start);

  std::printf("move benchmark, %d staged rows of 10 columns, embedded Firebird\n", rows);
  std::printf("%-34s %8d rows %7.2f s %9.0f rows/s\n", "prepared INSERT per row (staging)", rows, staged,
              rows / staged);

  auto report = [&](const char* what, const MoveResult& r, double seconds, int k) {
    std::printf("%-34s %8lld rows %7.2f s %9.0f rows/s  refused %lld  statements %lld", what,
                static_cast<long long>(r.moved), seconds, r.moved / seconds, static_cast<long long>(r.refused),
                static_cast<long long>(r.statements));
    if (k > 0) std::printf("  (2·k·log2(n) = %.0f)", 2.0 * k * std::log2(static_cast<double>(rows)));
    std::printf("\n");
  };

  start = Clock::now();
  MoveResult r = MoveStaged(run, Spec("MOVE_ALL"));
  run.CommitEtProgress();
  report("one move, nothing refused", r, Seconds(start), 0);

  for (const int k : {1, 10, 100}) {
    const std::string target = "MOVE_K" + std::to_string(k);
    // k identifiers already in the final table, spread over the staged range.
    for (int j = 0; j < k; ++j) {
      const int id = 1 + static_cast<int>((static_cast<int64_t>(rows) * (2 * j + 1)) / (2 * k));
      Exec(run, "INSERT INTO " + target + " (ID) VALUES (" + std::to_string(id) + ")");
    }
    start = Clock::now();
    r = MoveStaged(run, Spec(target));
    run.CommitEtProgress();
    const std::string what = "one move, " + std::to_string(k) + " refused";
    report(what.c_str(), r, Seconds(start), k);
  }

  start = Clock::now();
  r = MoveStagedBlocks(run, Spec("MOVE_BLOCKS"), "NOT EXISTS (SELECT 1 FROM MOVE_BLOCKS d WHERE d.ID = p.ID)");
  report("blocks of 2500 identifiers", r, Seconds(start), 0);

  run.SauvegarderLeFichierLogEtCommit();
  driver.FormClose();
  fs::remove_all(dir);
  return 0;
}
