#include "source/tables/facturation.h"

#include "global/string_utils.h"
#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

using TC = TCanTransfertType;

// A radiologist as the billing records name it: licence, or the placeholder 9999999
// (group 9999) when there is none.
void AssignRadiologiste(RecordParams& p, int licenceParam) {
  const TField& licence = p.Field("Licence");
  p.CopyOr(licenceParam, licence, "9999999");
  p.CopyOr(licenceParam + 1, p.Field("Groupe"), licence.IsNull() ? "9999" : "");
}

// The run's date range as keys of an index whose first field is a date.
void DateRange(RunContext& run, TableRoutine& routine, const char* index) {
  const RunOptions options = run.Options();
  routine.Range(index, Variant(DateOf(options.periodStart)), Variant(DateOf(options.periodEnd)));
}

// A supplement names its visit by number: a number two visits carry attaches it to
// neither (it stays staged and is counted below) rather than to both.
constexpr const char* kOneVisit =
    "NOT EXISTS (SELECT 1 FROM visite v2 WHERE v2.prescription = f.prescrip AND v2.id_visite <> v.id_visite)";

// Supplements whose visit is not in the target, or whose visit number several visits
// carry, stay staged; the log says how many visit numbers they name. Rows already in
// the final table, or staged again by a later run, are offered once: the latest staged
// copy of a visit number.
void CountUnattached(RunContext& run, const std::string& staging) {
  TTransfertData& engine = *run.FDataMgr;
  static const std::pair<const char*, const char*> kCounts[] = {
      {"NOT EXISTS (SELECT 1 FROM visite v WHERE v.prescription = f.prescrip)", " sans visite dans la base"},
      {"(SELECT COUNT(*) FROM visite v WHERE v.prescription = f.prescrip) > 1",
       " dont le numero de visite est porte par plusieurs visites"},
  };
  for (const auto& [condition, what] : kCounts) {
    if (!engine.ExecuteDestQuery("SELECT COUNT(DISTINCT f.prescrip) FROM " + staging + " f WHERE " + condition).ok) {
      return;
    }
    const int64_t left = engine.GetExeQryField(0)->AsInteger();
    if (left > 0) {
      run.DoLogError(nullptr, std::to_string(left) + " lignes de " + staging + what + ", non rattachees", false);
    }
  }
}

}  // namespace

void TransfertTableEtat(RunContext& run) {
  RoutineHooks hooks;
  hooks.beforeFirstRecord = [&] { ChangeStateIndex(run, "ETAT", "Table Etat \r\n", true); };
  hooks.assign = [](RecordParams& p) {
    p.Copy("Id_Etat", p.Field("Sequence"));
    p.Copy("EcDAte", p.Field("EcDate"));
    p.Copy("FTYPE", p.Field("Type"));
    p.Copy("Enregistrement", p.Field("Enregistrement"));
  };
  hooks.closing = [&] {
    SetGenerator(run, "Etat", "Id_ETAT", "Table Etat \r\n");
    ChangeStateIndex(run, "ETAT", "Table Etat \r\n", false);
  };
  TableRoutine routine{"TableEtat", "Etat ", "Etat", "INSERT INTO Etat(Id_Etat, EcDAte, FTYPE, Enregistrement)", 4};
  routine.checkAcceptance = false;  // every record of the range is offered
  DateRange(run, routine, "xEcDateSeq");
  RunTableRoutine(run, routine, hooks);
}

void TransfertTableReleve(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("Releve", {"id_releve", "SEQ"}, true);
    run.FDataMgr->InitTransfertCondition(TC::ctPKOnly, -1);
  };
  hooks.assign = [](RecordParams& p) {
    static const char* const kFields[] = {
        "DateReleve", "Envoie",   "Creation", "Transmission", "Attestation", "Code",    "Licence", "NCE",
        "RANG",       "Sequence", "Type",     "CodeErreur",   "Action",      "Message", "Code",    "Ligne",
        "NbErr",      "NbSoum",   "NbValide", "NbReFus",      "NbAnnul",     "Montant"};
    for (int i = 0; i < 22; ++i) p.Copy(i, p.Field(kFields[i]));
    p.Constant("Desactive", "N");
    p.Copy("id_releve", p.Field("seq"));
  };
  RunTableRoutine(
      run,
      {"TableReleve", "Releve", "Releve",
       "INSERT INTO Releve(DateReleve, Envoie, Creation, Transmission, Attestation, Code, Licence, NCE, Rang, "
       "Sequence, FTYPE, CodeErreur, FACTION, FMESSAGE, Acte, Ligne, NbErr, NbSoum, NbValide, NbRefus, "
       "NbAnnul, Montant, Desactive, id_releve)",
       24},
      hooks);
}

void TransfertTableR1606(RunContext& run) {
  const std::string message = "Table R1606\r\n";
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("tmpR1606", {"id_r1606", "Autonum"}, true);
    run.FDataMgr->InitTransfertCondition(TC::ctPKOnly, -1);
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("DateDebut", p.Field("DateDebut"));
    p.Copy("DateFin", p.Field("DateFin"));
    p.Copy("NbrTotal", p.Field("NombreTotal"));
    p.Copy("GrandTotal", p.Field("GrandTotal"));
    p.Copy("NoDemande", p.Field("NoDemande"));
    p.Copy("Etablissement", p.Field("Etablissement"));
    p.Copy("Cs", p.Field("CS"));
    p.Copy("DateEtatCompte", p.Field("DateEtatCompte"));
    p.Copy("id_r1606", p.Field(0));
    AssignRadiologiste(p, 9);
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    run.UI().SetOperation("Table R1606\r\nFinalisation du transfert");
    // Whatever this run staged: forms staged by an earlier, stopped run are moved below
    // too, and their radiologists and establishments must exist as well.
    InsertRadiologisteTmp(run, "tmpR1606", message);
    InsertEtablissementTmp(run, "tmpR1606", "Etablissement", message);
    run.CommitEtProgress();
    MoveStaged(run,
               {"R1606",
                "INSERT INTO R1606(DateDebut, DateFin, NbrTotal, GrandTotal, NoDemande, Etablissement, Cs, "
                "DateEtatCompte, Id_radiologiste, id_r1606) SELECT t.DateDebut, t.DateFin, t.NbrTotal, "
                "t.GrandTotal, t.NoDemande, t.Etablissement, t.Cs, t.DateEtatCompte, (SELECT r.Id_Radiologiste FROM "
                "Radiologiste r WHERE r.licence = t.licence AND r.groupe = t.groupe) , t.id_r1606 FROM tmpR1606 "
                "t WHERE NOT EXISTS (SELECT 1 FROM R1606 x WHERE x.id_r1606 = t.id_r1606){KEYS}",
                "tmpR1606 t", "t.id_r1606"});
    SetGenerator(run, "R1606", "ID_R1606", message);
  };
  TableRoutine routine{"TableR1606", "R1606", "R1606",
                       "INSERT INTO tmpR1606(DateDebut, DateFin, NbrTotal, GrandTotal, NoDemande, Etablissement, Cs, "
                       "DateEtatCompte, id_r1606, Licence, Groupe)",
                       11};
  RunTableRoutine(run, routine, hooks);
}

void TransfertTableR1606b(RunContext& run) {
  const std::string message = "Table R1606B\r\n";
  TTransfertData& engine = *run.FDataMgr;
  RoutineHooks hooks;
  hooks.setup = [&] {
    engine.InitCodeDestCopy("tmpR1606b", {"ID_R1606b", "AutoNum"}, true);
    engine.InitTransfertCondition(TC::ctPKOnly, -1);
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("Id_R1606", p.Field("Autolien"));
    p.Copy("Acte", p.Field("Code"));
    p.Copy("Mod", p.Field("Mod"));
    p.Copy("Nombre", p.Field("Nombre"));
    p.Copy("Tarif", p.Field("Tarif"));
    p.Copy("Total", p.Field("Total"));
    p.Copy("Id_R1606b", p.Field(0));
  };
  hooks.closing = [&] {
    run.UI().SetOperation("Table R1606B\r\nFinalisation du transfert");
    InsertActeTmp(run, "tmpR1606b", "Acte", message);
    InsertModificateur(run, "tmpR1606b", "mod", message);
    // Lines whose form is not in the target are dropped: the log says how many and
    // which forms they named.
    const char* orphans = "FROM tmpR1606b WHERE id_r1606 NOT IN (SELECT p.id_r1606 FROM R1606 p)";
    if (engine.ExecuteDestQuery(std::string("SELECT COUNT(*), LIST(DISTINCT id_r1606, ', ') ") + orphans).ok) {
      const int64_t count = engine.GetExeQryField(0)->AsInteger();
      if (count > 0) {
        run.DoLogError(nullptr,
                       std::to_string(count) + " lignes sans formulaire 1606 supprimees (formulaires: " +
                           engine.GetExeQryField(1)->AsString() + ")",
                       false);
      }
    }
    engine.ExecuteDestQuery(std::string("DELETE ") + orphans);
    MoveStaged(run,
               {"R1606b",
                "INSERT INTO R1606b(Id_R1606, Acte, Mod, Nombre, Tarif, Total, Id_R1606b) SELECT Id_R1606, Acte, "
                "Mod, Nombre, Tarif, Total, Id_R1606b FROM tmpR1606b t WHERE NOT EXISTS (SELECT 1 FROM R1606b x WHERE "
                "x.Id_R1606b = t.Id_R1606b){KEYS}",
                "tmpR1606b t", "t.Id_R1606b"});
    SetGenerator(run, "R1606b", "id_R1606b", message);
  };
  TableRoutine routine{"TableR1606b", "R1606B", "R1606b",
                       "INSERT INTO tmpR1606b(Id_R1606, Acte, Mod, Nombre, Tarif, Total, Id_R1606b)", 7};
  RunTableRoutine(run, routine, hooks);
}

void TransfertTableFacturationExt(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitTransfertCondition(TC::ctSrcNotEmpty, 2); };
  hooks.assign = [](RecordParams& p) {
    p.Copy("DateDebut", p.Field(0));
    p.Copy("DateFin", p.Field("DateFin"));
    p.Constant("Radiologiste", p.Field(2).AsString());
    p.Copy("Etablissement", p.Field("Etablissement"));
    p.Copy("Plafonnement", p.Field("Plafonnement"));
    p.Copy("NbExamen", p.Field("NbExamen"));
    p.Copy("Montant", p.Field("Montant"));
    p.Constant("Desactive", "N");
  };
  RunTableRoutine(
      run,
      {"FacturationExt", "Facturation", "FacturationExt",
       "INSERT INTO FacturationExt(DateDebut, DateFin, Radiologiste, Etablissement, Plafonnement, NbExamen, "
       "Montant, Desactive)",
       8},
      hooks);
}

void TransfertTableFaccsc(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitTransfertCondition(TC::ctSrcNotEmpty, "prescrip"); };
  hooks.assign = [](RecordParams& p) {
    static const char* const kFields[] = {"possibilite", "NAM",        "nom",       "prenom",  "adresse",
                                          "ville",       "codepostal", "Naissance", "prescrip"};
    for (int i = 0; i < 9; ++i) p.Copy(i, p.Field(kFields[i]));
  };
  hooks.closing = [&] {
    MoveStaged(
        run,
        {"Faccsc",
         "INSERT INTO Faccsc(id_visite, nom, prenom, adresse, ville, codepostal, naissance, nam) SELECT "
         "v.id_visite, f.nom, f.prenom, f.adresse, f.ville, f.codepostal, f.naissance, f.nam FROM tmpfaccsc "
         "f JOIN visite v ON(v.prescription = f.prescrip) WHERE NOT EXISTS (SELECT 1 FROM Faccsc x WHERE x.id_visite = "
         "v.id_visite) AND " +
             std::string(kOneVisit) +
             " AND NOT EXISTS (SELECT 1 FROM tmpfaccsc f2 WHERE f2.prescrip = f.prescrip AND "
             "f2.NO_LIGNE + 0 > f.NO_LIGNE){KEYS}",
         "tmpfaccsc f", "f.NO_LIGNE"});
    CountUnattached(run, "tmpfaccsc");
  };
  RunTableRoutine(
      run,
      {"TableFaccsc", "Faccsc", "faccsc",
       "INSERT INTO tmpFaccsc(possibilite, nam, nom, prenom, adresse, ville, codepostal, naissance,prescrip)", 9},
      hooks);
}

void TransfertTableFaccsd(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitTransfertCondition(TC::ctSrcNotEmpty, "prescrip"); };
  hooks.assign = [](RecordParams& p) {
    static const char* const kFields[] = {"prescrip", "adresse", "ville", "codepostal", "naSociale"};
    for (int i = 0; i < 5; ++i) p.Copy(i, p.Field(kFields[i]));
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    MoveStaged(
        run, {"faccsd",
              "INSERT INTO faccsd(id_visite, adresse, ville, codepostal, nas) SELECT v.id_visite, f.adresse, "
              "f.ville, f.codepostal, f.nasociale FROM tmpfaccsd f JOIN visite v ON(v.prescription = "
              "f.prescrip) WHERE NOT EXISTS (SELECT 1 FROM faccsd x WHERE x.id_visite = v.id_visite) AND " +
                  std::string(kOneVisit) +
                  " AND NOT EXISTS "
                  "(SELECT 1 FROM tmpfaccsd f2 WHERE f2.prescrip = f.prescrip AND f2.NO_LIGNE + 0 > f.NO_LIGNE){KEYS}",
              "tmpfaccsd f", "f.NO_LIGNE"});
    CountUnattached(run, "tmpfaccsd");
  };
  RunTableRoutine(
      run,
      {"TableFaccsd", "Faccsd", "faccsd", "INSERT INTO tmpFaccsd(prescrip, adresse, ville, codepostal, naSociale)", 5},
      hooks);
}

void TransfertTablePaiement(RunContext& run) {
  const std::string message = "Table Paiement\r\n";
  RoutineHooks hooks;
  std::string firstLine;
  hooks.beforeFirstRecord = [&] { firstLine = FirstStagingLine(run); };
  hooks.assign = [](RecordParams& p) {
    p.Copy("EcDate", p.Field("EcDate"));
    p.Copy("Lot", p.Field("Lot"));
    p.Copy("NCE", p.Field("Nce"));
    p.Copy("Paye", p.Field("Paye"));
    p.Copy("Transac", p.Field("Transac"));
    p.Copy("MessagePaiement", p.Field("Message"));
    p.Copy("RecDate", p.Field("RecDate"));
    p.Copy("Cheque", p.Field("Cheque"));
    p.Copy("ID_Paiement", p.Field("AutoNum"));
    AssignRadiologiste(p, 9);
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    InsertRadiologisteTmp(run, "tmpPaiement", message);
    run.CommitEtProgress();
    InsertCodeTransacTmp(run, "tmpPaiement", "TRANSAC", message);
    run.CommitEtProgress();
    ChangeStateIndex(run, "PAIEMENT", message, true);
    run.UI().SetOperation("Table Paiement\r\nFinalisation du transfert");
    // Blocks over the staged payments not in Paiement yet (the latest staged copy of
    // each): payments numbered below the highest one already there arrive too.
    MoveStagedBlocks(run,
                     {"Paiement",
                      "INSERT INTO Paiement(EcDate, ATTESTATION, NCE, Paye, Transac, MSG, RecDate, "
                      "Cheque,Id_Radiologiste, ID_Paiement) SELECT p.EcDate, p.Lot, p.NCE, p.Paye, p.Transac, "
                      "p.MessagePaiement, p.RecDate, p.Cheque, (SELECT r.Id_Radiologiste FROM Radiologiste r WHERE "
                      "r.licence = p.licence AND r.groupe = p.groupe), ID_Paiement FROM tmpPaiement p{WHERE_KEYS}",
                      "tmpPaiement p", "p.Id_paiement", "", "p.NO_LIGNE"},
                     StagedCopies{"Paiement", "ID_Paiement", "tmpPaiement", "p", "Id_paiement", firstLine});
    ChangeStateIndex(run, "PAIEMENT", message, false);
    SetGenerator(run, "Paiement", "id_Paiement", message);
  };
  TableRoutine routine{"TablePaiement", "Paiement", "Paiement",
                       "INSERT INTO tmpPaiement(EcDate, Lot, NCE, Paye, Transac, MessagePaiement, RecDate, Cheque, "
                       "ID_Paiement, Licence, Groupe)",
                       11};
  routine.checkAcceptance = false;
  DateRange(run, routine, "xEcDate");
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
