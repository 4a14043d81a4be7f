#include "source/tables/visite.h"

#include <optional>
#include <unordered_map>

#include "global/fib/fib_transaction.h"
#include "global/string_utils.h"
#include "source/maintenance/backup_restore.h"
#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/run/traps.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

constexpr const char* kMessage = "Table Visite\r\n";
constexpr int kMaxReferant = 3;  // the last of the four physician fields, 0 to 3

// The new licence and physician id of each legacy licence of TMPMEDECINFF, read once:
// a lookup per physician field costs nothing.
class PhysicianLookup {
 public:
  struct Entry {
    bool hasLicence = false, hasId = false;
    std::string licence, id;
  };

  void Load(RunContext& run) {
    fib::TpFIBQuery query(run.target.Db());
    run.target.ReadCommitted(query);
    query.SetSQLText("SELECT LICENCE, NOUVELLE_LICENCE, NOUVEAU_MEDECINID FROM TMPMEDECINFF");
    for (query.ExecQuery(); !query.Eof(); query.Next()) {
      if (query.Fields(0).IsNull()) continue;
      Entry entry;
      entry.hasLicence = !query.Fields(1).IsNull();
      if (entry.hasLicence) entry.licence = query.Fields(1).AsString();
      entry.hasId = !query.Fields(2).IsNull();
      if (entry.hasId) entry.id = query.Fields(2).AsString();
      entries_.emplace(TrimRight(query.Fields(0).AsString()), std::move(entry));  // the first row of a licence
    }
    query.Close();
    query.Transaction()->Commit();
  }

  const Entry* Find(const std::string& licence) const {
    const auto it = entries_.find(TrimRight(licence));
    return it == entries_.end() ? nullptr : &it->second;
  }

 private:
  std::unordered_map<std::string, Entry> entries_;
};

TParamValue Text(const std::string& text) {
  TParamValue value;
  if (!text.empty()) value.SetText() = text;
  return value;
}

// The physicians of the visits into Visite_Med: one statement moves them all; when the
// target refuses one of them, they are copied row by row instead, and a row the target
// refuses is logged with its licence and id. The batch test is made for every row.
void CopyVisiteMed(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  run.UI().SetOperation("Table Visite\r\n (Transfert visite_med)");
  run.UI().ProcessEvents();
  // Each physician of a visit once, and only when not there yet: staged again by a
  // stopped run or a second range, it is not copied twice. Named twice on one visit
  // (main and other), it is the main physician ('O' sorts after 'N').
  const std::string select =
      "SELECT Id_Visite, Medecin, MedecinId, MAX(Referant) FROM TMPVisite_Med t WHERE EXISTS (SELECT 1 FROM Visite "
      "v WHERE v.id_visite = t.Id_Visite) AND NOT EXISTS (SELECT 1 FROM Visite_Med m WHERE m.Id_Visite = t.Id_Visite "
      "AND m.Medecin IS NOT DISTINCT FROM t.Medecin AND m.MedecinId IS NOT DISTINCT FROM t.MedecinId) GROUP BY "
      "Id_Visite, Medecin, MedecinId";
  run.target.Begin();
  try {
    run.target.Execute("INSERT INTO Visite_Med(Id_Visite, Medecin, MedecinId, Referant) " + select);
    run.target.CommitAndReconnect();
    return;
  } catch (const EDatabaseError&) {
    // The failed statement left nothing behind: the rows go one by one below.
  }
  engine.InitUpdateDestination(
      "INSERT INTO Visite_Med(Id_Visite, Medecin, MedecinId, Referant) VALUES(:AParam0, :AParam1, :AParam2, :AParam3)");
  fib::TpFIBQuery rows(run.target.Db());
  run.target.ReadSnapshot(rows);
  rows.SetSQLText(select);
  int counter = 0;
  int64_t shown = 0;
  TParamValue value;
  for (rows.ExecQuery(); !rows.Eof(); rows.Next()) {
    try {
      for (int i = 0; i < 4; ++i) {
        const fib::TFIBColumn& column = rows.Fields(i);
        if (column.IsNull()) {
          value.Clear();
        } else {
          value.SetValue(column.AsVariant());
        }
        engine.SetDestParam(i, value);
      }
      engine.ExecuteDestination();
    } catch (const std::exception&) {
      run.DoLogError(nullptr,
                     "Licence: " + (rows.Fields(1).IsNull() ? std::string() : rows.Fields(1).AsString()) +
                         " MedecinId: " + (rows.Fields(2).IsNull() ? std::string() : rows.Fields(2).AsString()),
                     true);
    }
    if (++counter == 2500 && run.target.InTransaction()) {
      shown += 2500;
      run.UI().SetProgress(shown, 0);
      run.target.CommitRetaining();
      counter = 0;
    }
  }
  rows.Close();
  rows.Transaction()->Commit();
  run.target.CommitAndReconnect();
}

void FinishVisites(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  SkipStepOnError(run, [&] {
    run.target.Begin();
    RecomputeIndex(run, "VISITE", kMessage);
    run.UI().SetOperation("Table Visite\r\n (Update visite Dateexamen)");
    engine.ExecuteDestQuery(
        "UPDATE visite SET dateexamen = (SUBSTR(prescription, 1, 4) || '-' || SUBSTR(prescription, 5, 6) || '-' || "
        "SUBSTR(prescription, 7, 8)) WHERE  dateexamen IS NULL");
    run.CommitEtProgress();
    SetGenerator(run, "Visite", "ID_VISITE", kMessage);
    run.UI().SetOperation("Table Visite\r\n (Insert into noprescription)");
    // Only the numbers not registered yet: a second run does not fail whole.
    engine.ExecuteDestQuery(
        "INSERT INTO noprescription(etablissement, prescription, codedep) SELECT DISTINCT V.etablissement, "
        "V.prescription, V.codedep FROM visite V WHERE v.etablissement in (SELECT e.etablissement FROM etablissement "
        "e) "
        "AND NOT EXISTS (SELECT 1 FROM noprescription n WHERE n.etablissement = V.etablissement AND n.prescription = "
        "V.prescription AND n.codedep IS NOT DISTINCT FROM V.codedep)");
    run.CommitEtProgress();
  });
}

}  // namespace

void TransfertTablePrescription(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  TPlageHoraireList plages;
  PhysicianLookup physicians;
  bool copied = false;
  RoutineHooks hooks;
  std::string firstLine;
  hooks.beforeFirstRecord = [&] {
    firstLine = FirstStagingLine(run);
    ChangeStateIndex(run, "TMPVISITE", kMessage, true);
    ChangeStateTrigger(run, "TRIG_BEFOREI_VISITE_CREATIONDH", kMessage, true);
    ChangeStateTrigger(run, "TRIG_BEFOREU_VISITE_MODIFDH", kMessage, true);
  };
  // A staged visit whose patient is not in the target is dropped before the move.
  const StagedReference patient = PatientReference("tmpVisite", "id_patient");
  hooks.setup = [&] {
    engine.SetStagedReferences({patient});
    engine.InitSubQueries("TmpVisiteMed", "INSERT INTO tmpVisite_Med(Id_Visite, Medecin, MedecinId, Referant)", 4);
    physicians.Load(run);
    copied = true;
  };
  // Inside the record trap: a bad visit number refuses this visit only.
  hooks.assign = [&](RecordParams& p) {
    TSrcToDest& conv = p.Converter();
    // A slot that is not a number is logged and the visit migrates without one.
    const std::optional<int64_t> slot = p.AuxiliaryInteger(p.Field("PlageHoraire"), p.Field("AutoNum"));
    if (slot && *slot > 0) {
      plages.AddPlageHoraire({p.Field("Numero").AsString(), static_cast<int32_t>(p.Field("AutoNum").AsInteger()),
                              static_cast<int32_t>(*slot)});
    }
    p.Copy("id_patient", p.Field("Autolien"));
    p.Copy("Prescription", p.Field("Numero"));
    p.CopyOr("Licence", p.Field("Radiologiste"), "9999999");
    p.Copy("RensClinique", p.Field("RensClinique"));
    p.Set("TypeFact", conv.AssignSrcToDestSpecial(TSpecialParam::spMakeTypeFact, p.Field("Type")));
    p.Copy("CiePrivee", p.Field("Prive"));
    p.CopyOr("Etablissement", p.Field("Etablissement"), run.numeroEtablis);
    p.Copy("DateAccident", p.Field("Accident"));
    p.Copy("Diagnostique", p.Field("Diag"));
    p.Copy("Cs", p.Field("CS"));
    p.Copy("RensCompl1", p.Field("RensComp1"));
    p.Copy("RensCompl2", p.Field("RensComp2"));
    p.Set("ModifDh",
          conv.AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("DateModif"), p.Field("HeureModif")));
    p.Set("Telecom", conv.AssignSrcToDestSpecial(TSpecialParam::spMakeDateTelecom, p.Field("Telecom")));
    p.Copy("DateAdmission", p.Field("DateModif"));
    p.Copy("Epuration", p.Field("Epuration"));
    p.Constant("Desactive", "N");
    p.Copy("Securite", p.Field("Opr"));
    p.Copy("id_visite", p.Field("AutoNum"));
    p.Set("Telecopie", conv.AssignSrcToDestSpecial(TSpecialParam::spMakeDateTelecom, p.Field("Fax")));
    p.CopyOr("groupe", p.Field("Groupe"), p.Field("Radiologiste").IsNull() ? "9999" : "");
    const TParamValue& date =
        conv.AssignSrcToDestSpecial(TSpecialParam::spMakeVisiteDate, p.Field("Numero"), p.Field("HeureInscrit"));
    p.Set("DateExamen", date);
    p.Set("Arrive", date);
    p.Constant("codedep", "R");
  };
  hooks.subStatements = {[&](RecordParams& p) {
    static const char* const kReferants[] = {"Referant", "Referant1", "Referant2", "Referant3"};
    if (p.Field(kReferants[0]).AsString().empty()) return;
    for (int i = 0; i <= kMaxReferant; ++i) {
      const std::string legacy = p.Field(kReferants[i]).AsString();
      if (legacy.empty()) continue;
      const PhysicianLookup::Entry* found = physicians.Find(legacy);
      if (!found || !found->hasId) continue;
      engine.SetDestSubParam("TmpVisiteMed", 0, p.Converter().AssignSrcToDest(p.Field("AutoNum")));
      const bool new_licence = found->hasLicence && !Trim(found->licence).empty();
      engine.SetDestSubParam("TmpVisiteMed", 1, Text(new_licence ? found->licence : legacy));
      engine.SetDestSubParam("TmpVisiteMed", 2, Text(found->id));
      engine.SetDestSubParam("TmpVisiteMed", 3, Text(i == 0 ? "O" : "N"));
      engine.TransfertSubs();
    }
  }};
  hooks.closing = [&] {
    run.FPlageMgr = std::make_unique<TTransfertPlageHoraire>(std::move(plages));
    run.CommitEtProgress();
    if (!run.StopAllProcess) {
      // What is staged stays staged: the next run moves it, exactly once.
      run.DoLogError(nullptr,
                     "Transfert arrete: les visites copiees restent dans tmpVisite et seront deplacees au prochain "
                     "transfert",
                     false);
      return;
    }
    ChangeStateIndex(run, "TMPVISITE", kMessage, false);
    RecomputeIndex(run, "TMPVISITE", kMessage);
    RecomputeIndex(run, "TMPVISITE_MED", kMessage);
    InsertSecuriteTmp(run, "tmpVisite", "Securite", kMessage);
    DeleteStagedOrphans(run, patient, kMessage);
    InsertRadiologisteTmp(run, "tmpVisite", kMessage);
    InsertEtablissementTmp(run, "tmpVisite", "Etablissement", kMessage);
    InsertPriveetmp(run, "tmpVisite", "CiePrivee", kMessage);
    InsertDiagnostique(run, "tmpVisite", "Diagnostique", kMessage);
    InsertMedecinTmp(run, "tmpVisite_Med", "Medecin", "MedecinId", kMessage);

    ChangeStateIndex(run, "VISITE", kMessage, true);
    run.ShowCounter();
    run.UI().SetOperation("Table Visite\r\nFinalisation du transfert");
    MoveStagedBlocks(
        run,
        {"Visite",
         "INSERT INTO Visite(Id_Patient, Prescription, ID_Radiologiste, RensClinique, TypeFact, CiePrivee, "
         "Etablissement, "
         "DateAccident, Diagnostique, Cs, RensCompl1, RensCompl2, ModifDh, Telecom, DateAdmission, Epuration, "
         "Desactive, "
         "CreationId, transcripteur, id_visite, Telecopie, DateExamen, Arrive, codedep, dateimpression, "
         "datetranscription, priorite, creationdh) SELECT id_patient, SUBSTR(v.prescription,1,8) || '-' || "
         "SUBSTR(v.prescription,10,12), (SELECT r.Id_Radiologiste FROM Radiologiste r WHERE r.licence = v.licence AND "
         "r.groupe = v.groupe), v.RensClinique, v.TypeFact, v.CiePrivee, v.Etablissement, v.DateAccident, "
         "v.Diagnostique, v.Cs, v.RensCompl1, v.RensCompl2, v.ModifDh, v.Telecom, v.DateAdmission, "
         "v.Epuration,v.Desactive, (SELECT ID_Securite FROM securite WHERE utilisateur = SUBSTR(v.securite, 1, 20)), "
         "(SELECT ID_Securite FROM securite WHERE utilisateur = SUBSTR(v.securite, 1, 20)), v.id_visite, v.Telecopie, "
         "v.dateexamen, v.arrive, v.codedep, v.modifdh, v.modifdh, 'NON-URGENT', v.dateexamen as creationdh FROM "
         "tmpVisite v{WHERE_KEYS}",
         "tmpVisite v", "v.id_visite", "", "v.NO_LIGNE"},
        StagedCopies{"Visite", "id_visite", "tmpVisite", "v", "id_visite", firstLine});
    ChangeStateIndex(run, "VISITE", kMessage, false);

    run.UI().SetOperation("Table Visite\r\n (DELETE tmpVisite_Med ID_VISITE IS NULL)");
    // The physicians of a visit still staged (refused by its block, it is tried again
    // by the next run) are kept for it.
    engine.ExecuteDestQuery(
        "DELETE FROM tmpVisite_Med tm WHERE NOT exists (SELECT id_visite FROM visite v WHERE v.id_visite=tm.id_visite) "
        "AND NOT EXISTS (SELECT 1 FROM tmpVisite s WHERE s.id_visite = tm.id_visite)");
    run.CommitEtProgress();
    CopyVisiteMed(run);
    FinishVisites(run);
  };
  hooks.afterSave = [&] {
    if (!copied || !run.StopAllProcess) return;
    DatabaseBackupRestore(run, "RIS_APRES_VISITE_" + FormatDateTime("yyyymmdd_hhnnss", Now()) + ".FBK");
  };
  TableRoutine routine{
      "TablePrescription", "Visite", "Prescrip",
      "INSERT INTO tmpVisite(id_patient, Prescription, Licence, RensClinique, TypeFact, CiePrivee, "
      "Etablissement, DateAccident, Diagnostique, Cs, RensCompl1, RensCompl2, ModifDh, Telecom, "
      "DateAdmission, Epuration, Desactive, Securite, id_visite, Telecopie, groupe, DateExamen, codedep, "
      "Arrive)",
      24};
  routine.checkAcceptance = false;
  routine.Range("xnumero", Variant(run.numeroPrescripDebut), Variant(run.numeroPrescripFin));
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
