#include "source/tables/autorisation.h"

#include "source/tables/table_loop.h"

namespace korvel {

void TransfertTableAutorisation(TTransfertRun& run) {
  TRoutineHooks hooks;
  // The legacy record holds its visit in its second field.
  hooks.assign = [](TRecordParams& p) {
    p.Copy(0, p.Field("numero"));
    p.Copy(1, p.Field(1));
  };
  // An update that found no visit wrote nothing: the authorisation is not migrated.
  hooks.written = [&](TRecordParams& p) {
    if (run.FDataMgr->LastRowsAffected() > 0) return TVerdict::accept;
    const TField& visit = p.Field(1);
    const TField& numero = p.Field("numero");
    run.DoLogError(nullptr,
                   "Visite " + (visit.IsNull() ? std::string("(vide)") : visit.AsString()) +
                       " introuvable: autorisation " + (numero.IsNull() ? std::string() : numero.AsString()) +
                       " non transferee",
                   false);
    return TVerdict::refuse;
  };
  TTableRoutine routine{"TableAutorisation", "Autorisation", "Autorisation", nullptr, 2};
  routine.destinationSql = "UPDATE visite SET noAutorisation = :autorisation WHERE id_visite = :id_visite";
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
