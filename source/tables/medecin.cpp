#include "source/tables/medecin.h"

#include <algorithm>
#include <functional>

#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/run/traps.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

constexpr size_t kAdresse1 = 100;  // characters of Adresse1
constexpr size_t kAdresse = 300;   // characters kept of an address, Adresse2 taking the rest

TParamValue Text(const std::string& text) {
  TParamValue value;
  if (!text.empty()) value.SetText() = text;
  return value;
}

// The move into Medecin and the reactivation of the physicians of the register.
void FinishMedecins(RunContext& run) {
  run.UI().SetOperation("Table Medecin \r\nFinalisation du transfert");
  // Each staged row has its own internal number: a physician the final table refuses
  // (a licence and id already there) is refused alone. One an earlier run moved (there
  // before this move, and staged again since) is only counted; the target's own
  // physician, staged once, is still refused by the key and logged.
  MoveStaged(run, {"Medecin",
                   "INSERT INTO Medecin(Licence, MedecinID, Nom, Prenom, Adresse1, Adresse2, Ville, Postal, Telephone, "
                   "Desactive, Langue, Courriel, Telecopieur, Specialite, Telvano, ConsidererFaxOk, Clinique, "
                   "noInterne, PosteTel1, Ombrix, Province, LocalId, TELECOPIEURLONGDIST) SELECT Licence, MedecinID, "
                   "Nom, Prenom, Adresse1, Adresse2, Ville, Postal, Telephone, Desactive, Langue, Courriel, "
                   "Telecopieur, Specialite, Telvano, ConsidererFaxOk, Clinique, noInterne, PosteTel1, Ombrix, "
                   "Province, LocalId, 'N' From tmpMedecin{WHERE_KEYS}",
                   "tmpMedecin", "noInterne",
                   "EXISTS (SELECT 1 FROM Medecin x WHERE x.ID_MEDECIN <= " + HighestId(run, "Medecin", "ID_MEDECIN") +
                       " AND x.Licence IS NOT DISTINCT FROM tmpMedecin.Licence AND x.MedecinID IS NOT DISTINCT FROM "
                       "tmpMedecin.MedecinID) AND EXISTS (SELECT 1 FROM tmpMedecin s2 WHERE s2.Licence IS NOT "
                       "DISTINCT FROM tmpMedecin.Licence AND s2.MedecinID IS NOT DISTINCT FROM tmpMedecin.MedecinID "
                       "AND s2.noInterne <> tmpMedecin.noInterne)"});
  run.CommitEtProgress();
  run.FDataMgr->ExecuteDestQuery(
      "update medecin set desactive = 'N' where licence in (select licence from referantramq)");
}

}  // namespace

std::string PostalCode6(const std::string& text) {
  std::string compact = text;
  std::erase(compact, ' ');
  return Trim(Utf8Length(text) <= 6 || Utf8Length(compact) > 6 ? Utf8Left(text, 6) : compact);
}

void TransfertTableMedecin(RunContext& run) {
  TSrcToDest& conv = *run.FParamMgr;
  conv.ClearPreviousParameters();
  std::string overflow;
  TDefault fallback;
  QueryHooks hooks;
  hooks.assign = [&](fib::TpFIBQuery& row) {
    overflow.clear();
    // The conversion follows the source column's name, as the server reports it.
    for (int i = 0; i < 22; ++i) {
      const fib::TFIBColumn& column = row.Fields(i);
      const std::string name = UpperCase(column.Name());
      if (name == "ADRESSE" && !column.IsNull() && Utf8Length(column.AsString()) > kAdresse1) {
        const std::string address = column.AsString();
        const std::string first = Utf8Left(address, kAdresse1);
        overflow = Utf8Left(address, kAdresse).substr(first.size());
        run.FDataMgr->SetDestParam(i, Text(first));
      } else if (name == "POSTAL") {
        // Cut blindly to 6, "H2X 1Y4" would become "H2X 1Y".
        run.FDataMgr->SetDestParam(i, Text(column.IsNull() ? "" : PostalCode6(column.AsString())));
      } else if (name == "TELEPHONE" || name == "FAX") {
        run.FDataMgr->SetDestParam(i, conv.AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, column));
      } else if (name == "CONSIDERERFAXOK" || name == "OMBRIX") {
        fallback.Value = "N";
        run.FDataMgr->SetDestParam(i, conv.AssignSrcToDestNotNull2(column, fallback));
      } else if (name == "LANGUE") {
        const std::string code = column.IsNull() ? "" : Trim(column.AsString());
        run.FDataMgr->SetDestParam(i, Text(code == "A" ? "EN" : "FR"));
      } else if (name == "NOUVELLE_LICENCE") {
        const fib::TFIBColumn& licence = row.FieldByName("LICENCE");
        fallback.Value = licence.IsNull() ? "" : licence.AsString();
        run.FDataMgr->SetDestParam(i, conv.AssignSrcToDestNotNull2(column, fallback));
      } else {
        run.FDataMgr->SetDestParam(i, conv.AssignSrcToDest(column));
      }
    }
    run.FDataMgr->SetDestParam(22, Text(overflow));
  };
  hooks.onRefused = [&](const EDatabaseError& e, const LogRecordSource& row) {
    run.DoLogError(nullptr, std::string(e.what()) + RowText(row, "NOUVELLE_LICENCE") + ", " + RowText(row, "LICENCE"),
                   true);
  };
  // A failure of a finishing step is an error line of the table, never the end of
  // the table phase.
  hooks.closing = [&] {
    SkipStepOnError(
        run, [&] { run.CommitEtProgress(); }, StepLog::table);
    SkipStepOnError(run, [&] {
      InsertCodeSpecTmp(run, "tmpMedecin", "specialite");
      run.CommitEtProgress();
    });
    SkipStepOnError(
        run, [&] { FinishMedecins(run); }, StepLog::table);
  };
  QueryRoutine routine{"TableMedecin", "Medecin ",
                       "SELECT Nom, Prenom, Adresse, ville, province, postal, telephone, fax, internet, specialite, "
                       "idlocal, considererfaxok, clinique, langue, telext, ombrix, Nouvelle_licence, licence, "
                       "nouveau_medecinid, desactive , 'O', TELECOPIETELVANO FROM tmpMedecinFF WHERE "
                       "(NOUVELLE_LICENCE_OPERATION = 'FLAG_OK' OR NOUVELLE_LICENCE_OPERATION IS NULL) OR "
                       "(NOUVELLE_LICENCE_OPERATION = 'DELETE' AND NBPRESCRIPTION > 0) OR (NOUVELLE_LICENCE_OPERATION "
                       "= 'USE_NEW') ORDER BY licence",
                       "INSERT INTO TMPMedecin(Nom, Prenom, Adresse1, ville, province, postal, telephone, telecopieur, "
                       "courriel, specialite, localid, considererfaxok, clinique, langue, postetel1, ombrix, licence, "
                       "VIEILLE_LICENCE, medecinid, desactive, FicheMedecin, TELVANO, Adresse2)",
                       23};
  routine.stoppable = false;
  routine.batchCommits = false;
  RunQueryRoutine(run, routine, hooks);
}

}  // namespace korvel
