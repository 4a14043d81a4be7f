#include "source/tables/prive.h"

#include "global/string_utils.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

using TC = TCanTransfertType;

}  // namespace

void TransfertTablePrive(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("CiePrivee", {"CiePrivee", "Code"}, true);
    run.FDataMgr->InitTransfertCondition(TC::ctPKSrcNotEmpty, 1);
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("CiePrivee", p.Field("Code"));
    p.Copy("Contact", p.Field("Contact"));
    const TField& fourth = p.Field(3);
    p.Copy("Nom", fourth.IsNull() || fourth.AsString().empty() ? p.Field("Code") : p.Field("Nom"));
    p.Copy("Adresse", p.Field("Adresse"));
    p.Copy("Ville", p.Field("Ville"));
    p.Copy("Postal", p.Field("Postal"));
    p.Set("Telephone", p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("Telephone")));
    p.Set("Telecopie", p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("Telecopie")));
    p.Copy("Tvq", p.Field("Tvq"));
    p.Copy("Tps", p.Field("Tps"));
    p.Copy("NoFournisseur", p.Field("NoFournisseur"));
    p.Copy("Paiement", p.Field("Paiement"));
    p.Copy("Credit", p.Field("Credit"));
    p.Copy("ChangeContact", p.Field("ChangeContact"));
    const TField& actif = p.Field("CieActif");
    p.Constant("Desactive", !actif.IsNull() && actif.AsBoolean() ? "N" : "O");
    p.Copy("AutorisationRequise", p.Field("AutorisationRequise"));
  };
  RunTableRoutine(run,
                  {"TablePrive", "Prive ", "Prive",
                   "INSERT INTO CiePrivee(CiePrivee, Contact, Nom, Adresse, Ville, Postal, Telephone, Telecopie, Tvq, "
                   "Tps, NoFournisseur, Paiement, Credit, ChangeContact, Desactive, AutorisationRequise)",
                   16},
                  hooks);
}

void TransfertTablePriveActe(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("tmpCiePrivee_Acte", {"Cie_Privee", "Cie"}, {"Acte", "Code"});
    run.FDataMgr->InitTransfertCondition(TC::ctPKSrcNotEmpty, 1);
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("Cie_Privee", p.Field("Cie"));
    p.Copy("Acte", p.Field("Code"));
    p.Copy("Montant", p.Field("Montant"));
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    InsertActeTmp(run, "tmpCiePrivee_Acte", "Acte", "Table Cie Prive \r\n");
    InsertPriveetmp(run, "tmpCiePrivee_Acte", "Cie_Privee", "Table Cie Prive \r\n");
    MoveStaged(run, {"CiePrivee_Acte",
                     "INSERT INTO CiePrivee_Acte(Cie_Privee, Acte, Montant) SELECT Cie_Privee, Acte, Montant FROM "
                     "tmpCiePrivee_Acte{WHERE_KEYS}",
                     "tmpCiePrivee_Acte", "Cie_Privee || '|' || Acte",
                     "EXISTS (SELECT 1 FROM CiePrivee_Acte x WHERE x.Cie_Privee = tmpCiePrivee_Acte.Cie_Privee AND "
                     "x.Acte = tmpCiePrivee_Acte.Acte)"});
  };
  TableRoutine routine{"TablePriveActe", "Cie Prive ", "PriveActe",
                       "INSERT INTO tmpCiePrivee_Acte(Cie_Privee, Acte, Montant)", 3};
  routine.refreshCounterAtEnd = false;
  RunTableRoutine(run, routine, hooks);
}

void DeletePrivateReportsWithoutExamination(RunContext& run) {
  run.PrivateReportCleanupPending = false;
  const ExecResult deleted = run.FDataMgr->ExecuteDestQuery(
      "DELETE FROM rapportprivee r WHERE NOT EXISTS (SELECT FIRST 1 1 FROM examen e WHERE e.attestation=r.numero)");
  if (deleted.ok) {
    run.DoLogError(nullptr, std::to_string(deleted.rows) + " rapports prives sans examen supprimes", false);
  }
  run.FDataMgr->CommitDestQuery();
}

void TransfertTableRapportPrive(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("tmpRapportPrivee", {"Numero", "Numero"}, true);
    run.FDataMgr->InitTransfertCondition(TC::ctPKSrcNotEmpty, 1);
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("Numero", p.Field("Numero"));
    p.Set("DateHeureProd", p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("DateProd"),
                                                                p.Field("HeureProd")));
    p.Set("DateHeureAnnul", p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("DateAnnul"),
                                                                 p.Field("HeureAnnul")));
    p.Copy("NbExamen", p.Field("NbExamen"));
    p.Copy("Total", p.Field("Total"));
    p.Copy("UsagerA", p.Field("UsagerProd"));
    p.Copy("UsagerB", p.Field("UsagerAnnul"));
  };
  hooks.closing = [&] {
    TTransfertData& engine = *run.FDataMgr;
    run.UI().SetOperation("Table Rapport prive\r\nFinalisation du transfert");
    InsertSecuriteTmp(run, "tmpRapportPrivee", "usagerA", "Table Rapport prive\r\n");
    InsertSecuriteTmp(run, "tmpRapportPrivee", "usagerB", "Table Rapport prive\r\n");
    // Users are found under the name their completion gave them: the first 20
    // characters of the staged name.
    MoveStaged(run,
               {"RapportPrivee",
                "INSERT INTO RapportPrivee(Numero, DateHeureProd, DateHeureAnnul, NbExamen, Total, USAGERPROD, "
                "USAGERANNUL) SELECT t.Numero, t.DateHeureProd, t.DateHeureAnnul, t.NbExamen, t.Total, (SELECT "
                "s.Id_Securite FROM securite s WHERE utilisateur = SUBSTR(t.USAGERA, 1, 20)), (SELECT s.Id_Securite "
                "FROM securite s WHERE utilisateur = SUBSTR(t.USAGERB, 1, 20)) FROM tmpRapportPrivee t{WHERE_KEYS}",
                "tmpRapportPrivee t", "t.Numero", "EXISTS (SELECT 1 FROM RapportPrivee x WHERE x.Numero = t.Numero)"});
    engine.CommitDestQuery();
    // Reports no examination refers to are dropped, but only once this run's
    // examinations are in: this table comes first in the list, and a report whose
    // examinations have not arrived yet is not one without examination.
    if (run.ClinicalItemTicked("Examen")) {
      run.PrivateReportCleanupPending = true;
      run.DoLogError(nullptr, "Les rapports prives sans examen seront supprimes apres la table Examen", false);
    } else {
      run.DoLogError(nullptr, "Table Examen non cochee: les rapports prives sans examen sont conserves", false);
    }
    engine.CommitDestQuery();
  };
  RunTableRoutine(run,
                  {"TableRapportPrivee", "Rapport prive", "RapportPrivee",
                   "INSERT INTO tmpRapportPrivee(Numero, DateHeureProd, DateHeureAnnul, NbExamen, Total, UsagerA, "
                   "UsagerB)",
                   7},
                  hooks);
}

}  // namespace korvel
