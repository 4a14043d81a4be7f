#include "source/tables/autorisation.h"

#include <string>

#include "source/run/run_context.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

constexpr int64_t kNamed = 10;

}  // namespace

void TransfertTableAutorisation(RunContext& run) {
  RoutineHooks hooks;
  // The legacy record holds its visit in its second field.
  hooks.assign = [](RecordParams& p) {
    p.Copy(0, p.Field("numero"));
    p.Copy(1, p.Field(1));
  };
  // An update that found no visit wrote nothing. A date-ranged run leaves most visits
  // out, so such an authorisation is passed over, not refused: one line at the end
  // counts them and names the first few.
  int64_t withoutVisit = 0;
  std::string firstOnes;
  hooks.written = [&](RecordParams& p) {
    if (run.FDataMgr->LastRowsAffected() > 0) return Verdict::accept;
    if (++withoutVisit <= kNamed) {
      const TField& numero = p.Field("numero");
      const TField& visit = p.Field(1);
      firstOnes += (withoutVisit > 1 ? ", " : "") + (numero.IsNull() ? std::string("(vide)") : numero.AsString()) +
                   " (visite " + (visit.IsNull() ? std::string("(vide)") : visit.AsString()) + ")";
    }
    return Verdict::passOver;
  };
  hooks.closing = [&] {
    if (withoutVisit == 0) return;
    run.DoLogError(nullptr,
                   "Autorisations sans visite dans ce transfert, non transferees: " + std::to_string(withoutVisit) +
                       " (" + firstOnes + (withoutVisit > kNamed ? ", ..." : "") + ")",
                   false);
  };
  TableRoutine routine{"TableAutorisation", "Autorisation", "Autorisation", nullptr, 2};
  routine.destinationSql = "UPDATE visite SET noAutorisation = :autorisation WHERE id_visite = :id_visite";
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
