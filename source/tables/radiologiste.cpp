#include "source/tables/radiologiste.h"

#include "global/string_utils.h"
#include "source/maintenance/index_control.h"
#include "source/run/traps.h"
#include "source/tables/table_loop.h"

namespace korvel {

void TransfertTableRadiol(RunContext& run) {
  TSrcToDest& conv = *run.FParamMgr;
  conv.ClearPreviousParameters();
  TDefault fallback;
  QueryHooks hooks;
  hooks.assign = [&](fib::TpFIBQuery& row) {
    // The conversion follows the query column's name.
    for (int i = 0; i < 23; ++i) {
      const fib::TFIBColumn& column = row.Fields(i);
      const std::string name = UpperCase(column.Name());
      if (name == "NOUVELLE_LICENCE") {
        const fib::TFIBColumn& licence = row.FieldByName("LICENCE");
        fallback.Value = licence.IsNull() ? "" : licence.AsString();
        run.FDataMgr->SetDestParam(i, conv.AssignSrcToDestNotNull2(column, fallback));
      } else if (name == "GROUPE") {
        // A blank group is an empty text, not NULL: radiologists are found by licence and group.
        TParamValue group;
        if (column.IsNull() || Trim(column.AsString()).empty()) {
          group.SetText().clear();
        } else {
          group.SetText() = column.AsString();
        }
        run.FDataMgr->SetDestParam(i, group);
      } else if (name == "TELEPHONE") {
        run.FDataMgr->SetDestParam(i, conv.AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, column));
      } else {
        run.FDataMgr->SetDestParam(i, conv.AssignSrcToDest(column));
      }
    }
  };
  hooks.onRefused = [&](const EDatabaseError& e, const LogRecordSource& row) {
    run.DoLogError(nullptr, std::string(e.what()) + "(" + RowText(row, "LICENCE") + ")", true);
  };
  // A failure of a finishing step is an error line of the table, never the end of the
  // table phase.
  hooks.closing = [&] {
    SkipStepOnError(
        run,
        [&] {
          run.FDataMgr->ExecuteDestQuery(
              "UPDATE radiologiste r SET r.nointerne=r.id_radiologiste WHERE r.nointerne is null");
          run.FDataMgr->ExecuteDestQuery(
              "UPDATE radiologiste r SET r.PLAGEHORAIRE=NULL WHERE r.REMUNERATIONMIXTE is null");
          run.CommitEtProgress();
        },
        StepLog::table);
    try {
      run.ShowCounter();
      RecomputeIndex(run, "Radiologiste", "Table Radiologiste \r\n");
    } catch (const std::exception& e) {
      run.DoLogError(nullptr, std::string(e.what()) + " Erreur lblcounter", true);
    }
  };
  QueryRoutine routine{
      "TableRadiol", "Radiologiste ",
      "SELECT Nouvelle_licence, Groupe, Nom, Prenom, Adresse, Ville, Postal, Telephone, Signature, 'N' AS DESACTIVE, "
      "Specialite, Remuneration, Majoration, RemunerationMixte, FacturationRole1, FacturationRole7, PlageHoraire, "
      "Majoration140, factParTerritoire, Territoire, Titre, Mixte36, PROVINCE, CAST(COALESCE(SUBSTR(Prenom, 1, 1), '') "
      "AS CHAR(1)) || CAST(COALESCE(SUBSTR(NOM, 1, 1), '') AS CHAR(1)) AS INIT, licence FROM TMPRADIOLFF WHERE "
      "(NOUVELLE_LICENCE_OPERATION = 'FLAG_OK' OR NOUVELLE_LICENCE_OPERATION IS NULL) AND SPECIALITE IS NOT NULL "
      "ORDER BY licence",
      "INSERT INTO Radiologiste(Licence, Groupe, Nom, Prenom, Adresse, Ville, Postal, Telephone, Signature, Desactive, "
      "Specialite, Remuneration, Majoration, RemunerationMixte, FacturationRole1, FacturationRole7, PlageHoraire, "
      "Majoration140, factParTerritoire, Territoire, Titre, Mixte36, PROVINCE)",
      23};
  routine.stoppable = false;
  routine.batchCommits = false;
  RunQueryRoutine(run, routine, hooks);
}

namespace {

// The dictation copy station chosen in the window, added when missing. No choice adds
// no nameless station.
void AddCopyStation(RunContext& run) {
  const std::string station = run.Options().dictationCopyStation;
  if (Trim(station).empty()) return;
  SkipStepOnError(run, [&] {
    const std::string q = QuotedStr(station);
    run.FDataMgr->InitUpdateDestination("INSERT INTO station (nomstation, desactive) SELECT " + q + ",'N'" +
                                        " FROM rdb$database a" + " LEFT JOIN station b on b.nomstation = " + q +
                                        " where b.nomstation is null");
    // Not a record of the legacy table: not counted as added.
    run.FDataMgr->ExecuteDestination();
    run.FDataMgr->CommitDestQuery();
  });
}

}  // namespace

void TransfertTableStation(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitCodeDestCopy("Station", {"NomStation", "Station"}, true); };
  hooks.assign = [](RecordParams& p) {
    p.Copy("NomStation", p.Field(0));
    p.Copy("DictioPath", p.Field("DictioPath"));
    p.Copy("ActivationHopital", p.Field("ActivationHop"));
    p.Constant("desactive", "N");
    p.Constant("TRANSCRIPTIONNUM", "O");
  };
  hooks.closing = [&] {
    AddCopyStation(run);
    run.ShowCounter();
    RecomputeIndex(run, "Station", "Table Station\r\n");
  };
  TableRoutine routine{"TableStation", "Station", "Station",
                       "INSERT INTO Station(NomStation, DictioPath, ActivationHopital, desactive, TRANSCRIPTIONNUM)",
                       5};
  routine.refreshCounterAtEnd = false;  // shown after the copy station
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
