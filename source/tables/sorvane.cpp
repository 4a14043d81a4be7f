#include "source/tables/sorvane.h"

#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"

namespace korvel {

void TransfertTableSorvane(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitCodeDestCopy("tmpSorvane", {"Acte", "CODE"}, true); };
  hooks.assign = [](RecordParams& p) { p.Copy("Acte", p.Field(0)); };
  hooks.closing = [&] {
    InsertActeTmp(run, "tmpSorvane", "Acte", "Table Sorvane\r\n");
    run.ShowCounter();
    // A code copied by an earlier run is not offered again.
    MoveStaged(run, {"Sorvane",
                     "INSERT INTO Sorvane (Acte) SELECT t.Acte FROM tmpSorvane t WHERE NOT EXISTS (SELECT 1 FROM "
                     "Sorvane x WHERE x.Acte = t.Acte){KEYS}",
                     "tmpSorvane t", "t.Acte"});
  };
  TableRoutine routine{"TableSorvane", "Sorvane", "Sorvane", "INSERT INTO tmpSorvane(Acte)", 1};
  routine.refreshCounterAtEnd = false;
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
