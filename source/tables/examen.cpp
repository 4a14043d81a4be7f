#include "source/tables/examen.h"

#include <cmath>
#include <optional>

#include "global/string_utils.h"
#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/run/traps.h"
#include "source/tables/prive.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"
#include "source/tables/target_rows.h"

namespace korvel {
namespace {

constexpr const char* kMessage = "Table Examen\r\n";
constexpr int kStatutRapport = 494;

bool Blank(const TField& field) { return field.IsNull() || Trim(field.AsString()).empty(); }

void AssignUniteToExams(RunContext& run) {
  SkipStepOnError(run, [&] {
    run.UI().SetOperation("Table Examen\r\n (AssignUniteToExams)");
    run.FDataMgr->ExecuteDestQuery("UPDATE tmpexamen e SET e.unite = (SELECT a.unite FROM acte a WHERE a.acte=e.acte)");
    run.CommitEtProgress();
  });
}

// Users are found under the name their completion gave them (the first 20
// characters), and of two technologists of the same family name the first is taken:
// the legacy statements linked long names to nothing and failed whole on a repeated
// technologist name.
void ResolveNames(RunContext& run) {
  static const std::pair<const char*, const char*> kSteps[] = {
      {"Table Examen\r\n UPDATE TmpExamen concilopr",
       "UPDATE TmpExamen t SET t.concilopr = (SELECT ID_Securite FROM securite WHERE utilisateur = SUBSTR(t.cOpr, 1, "
       "20)) WHERE t.cOpr IS NOT NULL"},
      {"Table Examen\r\n UPDATE TmpExamen Annulopr",
       "UPDATE TmpExamen t SET t.Annulopr = (SELECT ID_Securite FROM securite WHERE utilisateur = SUBSTR(t.aOpr, 1, "
       "20)) "
       "WHERE t.aOpr IS NOT NULL"},
      {"Table Examen\r\n UPDATE TmpExamen Refacopr",
       "UPDATE TmpExamen t SET t.Refacopr = (SELECT ID_Securite FROM securite WHERE utilisateur = SUBSTR(t.rOpr, 1, "
       "20)) "
       "WHERE t.rOpr IS NOT NULL"},
      // The legacy examination names its technologist by family name only: a name two
      // technologists share names neither, and is said below.
      {"Table Examen\r\n UPDATE TmpExamen Technologue1",
       "UPDATE TmpExamen t SET t.Technologue1 = (SELECT MIN(id_technologue) FROM technologue WHERE nom = t.Tech "
       "HAVING COUNT(*) = 1) WHERE t.tech IS NOT NULL"},
  };
  RefuseRecordOnError(run, [&] {
    for (const auto& [label, sql] : kSteps) {
      run.UI().SetOperation(label);
      run.FDataMgr->ExecuteDestQuery(sql);
      run.CommitEtProgress();
    }
    // The staged names are gathered once: a look-up of every technologist's name in
    // the staged examinations read them all once per technologist (TmpExamen.Tech has
    // no index).
    LogSharedNames(run,
                   "SELECT r.nom, COUNT(*) FROM technologue r JOIN (SELECT DISTINCT t.Tech FROM TmpExamen t WHERE "
                   "t.Technologue1 IS NULL) d ON d.Tech = r.nom GROUP BY r.nom HAVING COUNT(*) > 1 ORDER BY 1",
                   "Technologue", "technologues", "examens laisses sans technologue");
  });
}

}  // namespace

void AssignerStatutVisite2(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  RecomputeIndex(run, "VISITE", "Table Visite\r\n");
  RecomputeIndex(run, "TMPEXAMEN", "Table Visite\r\n");
  run.UI().SetOperation("Assigner les Statuts (Opérations)");
  run.UI().ProcessEvents();
  SkipStepOnError(run, [&] {
    engine.ExecuteDestQuery(
        "UPDATE visite v SET v.arrive=v.dateexamen, v.datedictee = v.modifdh, v.id_statutrapport=" +
        std::to_string(kStatutRapport) + "," + " v.dateimpression = v.modifdh, v.dateconfirmation = v.modifdh," +
        " v.datetranscription= v.modifdh" + " WHERE exists (SELECT te.id_visite" + " FROM tmpexamen te" +
        " WHERE ((te.dictee is not null) OR (te.protocole is null) OR (te.protocole<>'R'))" +
        " AND te.id_visite = v.id_visite)");
    run.CommitEtProgress();
    engine.ExecuteDestQuery(
        "UPDATE visite v SET v.arrive=v.dateexamen,  v.rapportincomplet='O', v.rapportinterrompu='O', "
        "v.rapportinterrompuremarque='TRANSFERT' WHERE exists (SELECT te.id_visite FROM tmpexamen te WHERE "
        "te.protocole "
        "= 'R' AND te.id_visite = v.id_visite)");
    run.CommitEtProgress();
    // After a stop a visit's examinations may be read only in part: clearing its report
    // dates and transcriber from those would lose what the next run cannot put back
    // (the transcriber), and so would deactivating visits whose examinations are unread.
    if (!run.StopAllProcess) {
      run.DoLogMisc(
          "Transfert arrete: les dates de rapport et le transcripteur des visites sont conserves, et les visites sans "
          "examen ne sont pas desactivees (leurs examens n'ont pas ete lus)");
      return;
    }
    engine.ExecuteDestQuery(
        "UPDATE visite v SET v.arrive = v.dateexamen, v.datetranscription = NULL, v.dateconfirmation = Null, "
        "v.dateimpression = NULL, v.transcripteur = NULL, v.datedictee = NULL WHERE ( SELECT Count(te.id_examen) FROM "
        "tmpexamen te WHERE te.dictee is null and te.id_visite = v.id_visite) = ( SELECT Count(te2.id_examen) FROM "
        "tmpexamen te2 WHERE te2.id_visite = v.id_visite)");
    run.CommitEtProgress();
    engine.ExecuteDestQuery(
        "UPDATE visite v SET v.desactive='O', v.REQUETEANNULEE=v.modifdh, v.arrive =  v.dateexamen WHERE NOT EXISTS "
        "(SELECT 1 FROM examen e WHERE e.id_visite=v.id_visite)");
    run.CommitEtProgress();
  });
}

void TransfertTableExamen(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  fib::TpFIBQuery rejected(run.target.Db());
  bool copied = false;
  RoutineHooks hooks;
  std::string firstLine;
  hooks.beforeFirstRecord = [&] {
    firstLine = FirstStagingLine(run);
    ChangeStateIndex(run, "TMPEXAMEN", kMessage, true);
    ChangeStateTrigger(run, "TRIG_AFTERI_EXAMEN_LOG", kMessage, true);
    ChangeStateTrigger(run, "TRIG_AFTERU_EXAMEN", kMessage, true);
    UpdateIdGlobal(run);
    ChangeStateTrigger(run, "trig_beforeiu_tmpexamen", "TMPEXAMEN", false);
  };
  hooks.setup = [&] {
    // The register of refused examinations takes its values as parameters: a NULL
    // visit or a quote in an act code never breaks it.
    rejected.SetSQLText(
        "INSERT INTO tmpDELExamen(ID_Examen, ID_Visite, Acte, prescription) VALUES (:ID_EXAMEN, :ID_VISITE, :ACTE, "
        ":PRESCRIPTION)");
    copied = true;
  };
  // Inside the record trap: a value the target refuses refuses this examination only.
  hooks.assign = [&](RecordParams& p) {
    TSrcToDest& conv = p.Converter();
    p.Copy("ID_Visite", p.Field("Autolien"));
    p.CopyOr("ACTE", p.Field("Code"), "ERR");
    p.Copy("Protocole", p.Field("Protocole"));
    p.Copy("Films", p.Field("Film"));
    const bool dicte = !Blank(p.Field("Dictee"));
    const TField& texte = p.Field("TextePreins");
    if (run.FImpExamenNonLu) {
      if (dicte) {
        p.CopyOr("TextePreins", texte, "DICTEE");
      } else {
        p.Copy("TextePreins", texte);
      }
    } else if (!Blank(p.Field("Lot"))) {
      p.CopyOr("TextePreins", texte, dicte ? "DICTEE" : "S.O.");
    } else {
      p.CopyOr("TextePreins", texte, "");
    }
    p.Copy("AnnulDate", p.Field("AnnulDate"));
    p.Constant("Desactive", "N");
    p.Copy("Id_examen", p.Field("AutoNum"));
    p.Copy("prescription", p.Field("Prescription"));
    p.Copy("mntprive", p.Field("Prive"));
    p.Copy("Modificateur", p.Field("Modificateur"));
    p.Copy("Mod1", p.Field("Mod1"));
    p.Copy("Mod2", p.Field("Mod2"));
    p.Copy("Mod3", p.Field("Mod3"));
    p.Copy("Mod4", p.Field("Mod4"));
    p.Copy("Lot", p.Field("Lot"));
    p.Copy("Nce", p.Field("Nce"));
    // A role that is not a number leaves its column empty instead of refusing the
    // examination.
    const TField& key = p.Field("AutoNum");
    const TField& role1 = p.Field("Role1");
    const TField& role7 = p.Field("Role7");
    const std::optional<double> role1_value = p.AuxiliaryNumber(role1, key);
    const std::optional<double> role7_value = p.AuxiliaryNumber(role7, key);
    role1_value ? p.Copy("Role1", role1) : p.Null("Role1");
    role7_value ? p.Copy("Role7", role7) : p.Null("Role7");
    p.Copy("Total", p.Field("Total"));
    const TField& visite = p.Field("Autolien");
    const int slot = run.FPlageMgr && !visite.IsNull() ? run.FPlageMgr->IndexOfVisit(visite.AsString()) : -1;
    p.Constant("PlageHoraire", slot > -1 ? std::to_string(run.FPlageMgr->GetPlageHoraire(slot)->PlageHoraire) : "");
    p.Copy("ROpr", p.Field("RefacOpr"));
    p.Copy("AOpr", p.Field("AnnulOpr"));
    p.Copy("COpr", p.Field("ConcilOpr"));
    p.Copy("tech", p.Field("InitTech"));
    p.Copy("RefacLot", p.Field("RefacLot"));
    p.Copy("RefacNce", p.Field("RefacNce"));
    p.Copy("ConcilDate", p.Field("ConcilDate"));
    p.Copy("Dictee", p.Field("Dictee"));
    p.Copy("Titre", p.Field("Titre"));
    p.Constant("FACROLE1", role1_value && std::llround(*role1_value) > 0 ? "O" : "N");
    p.Constant("FACROLE7", role7_value && std::llround(*role7_value) > 0 ? "O" : "N");
    p.Set("newprescription", conv.AssignSrcToDestSpecial(TSpecialParam::spMakePrescription, p.Field("Prescription")));
    p.Copy("Titre_Exam", p.Field("Titre"));
  };
  // A refused examination is registered in tmpDELExamen and written in the table log.
  hooks.onRefused = [&](const EDatabaseError& e) {
    run.LogRecordError(e);
    const TffTable& source = *engine.SrcTable();
    try {
      const TField* fields[] = {source.FieldByName("AutoNum"), source.FieldByName("Autolien"),
                                source.FieldByName("Code"), source.FieldByName("Prescription")};
      std::vector<Variant> values;
      for (const TField* f : fields) values.push_back(f->IsNull() ? Variant() : f->AsVariant());
      rejected.ExecWithParams(values);
    } catch (const EDatabaseError& register_error) {
      run.DoLogError(nullptr, std::string("tmpDELExamen: ") + register_error.what(), true);
    }
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    ChangeStateTrigger(run, "trig_beforeiu_tmpexamen", "TMPEXAMEN", true);
    ChangeStateIndex(run, "TMPEXAMEN", kMessage, false);
    RecomputeIndex(run, "TMPEXAMEN", kMessage);
    for (const char* column : {"rOpr", "aOpr", "cOpr"}) InsertSecuriteTmp(run, "TmpExamen", column, kMessage);
    InsertActeTmp(run, "TmpExamen", "Acte", kMessage);
    for (const char* column : {"modificateur", "Mod1", "Mod2", "Mod3", "Mod4"}) {
      InsertModificateur(run, "TmpExamen", column, kMessage);
    }
    InsertTextePreInsTmp(run, "TmpExamen", "TextePreIns", kMessage);
    InsertProtocoleTmp(run, "TmpExamen", "protocole", kMessage);
    InsertTechnologuetmp(run, "TmpExamen", "tech", kMessage);
    AssignUniteToExams(run);
    ResolveNames(run);

    ChangeStateIndex(run, "EXAMEN", kMessage, true);
    run.UI().SetOperation("Table Examen\r\nFinalisation du transfert");
    MoveStagedBlocks(
        run,
        {"Examen",
         "INSERT INTO Examen(Id_Visite, Acte, Protocole, Films, TextePreins, AnnulDate, Desactive, Id_examen, "
         "mntprive, "
         "Modificateur, Mod1, Mod2, Mod3, Mod4, ATTESTATION, Nce, Role1, Role7, Total, PlageHoraire, ID_SECURITEREFAC, "
         "ID_SECURITEANNUL, ID_SECURITECONCIL, Technologue1, RefacLot, RefacNce, DATECONCIL, Unite, FACROLE1, "
         "FACROLE7) "
         "SELECT Id_Visite, Acte, Protocole, Films, TextePreins, AnnulDate, Desactive, Id_examen, mntprive, "
         "Modificateur, Mod1, Mod2, Mod3, Mod4, Lot, Nce, Role1, Role7, Total, PlageHoraire, refacOpr, annulopr, "
         "concilOpr, technologue1, RefacLot, RefacNce, ConcilDate, Unite, FACROLE1, FACROLE7 FROM "
         "TmpExamen{WHERE_KEYS}",
         "TmpExamen", "id_Examen", "", "TmpExamen.NO_LIGNE"},
        StagedCopies{"Examen", "id_examen", "TmpExamen", "TmpExamen", "id_examen", firstLine});
    ChangeStateIndex(run, "EXAMEN", kMessage, false);
    SetGenerator(run, "Examen", "Id_examen", kMessage);
    if (run.PrivateReportCleanupPending) {
      if (run.StopAllProcess) {
        DeletePrivateReportsWithoutExamination(run);
      } else {
        // Examinations still to come may refer to them.
        run.PrivateReportCleanupPending = false;
        run.DoLogError(nullptr, "Transfert arrete: les rapports prives sans examen sont conserves", false);
      }
    }
  };
  hooks.afterSave = [&] {
    if (!copied) return;
    SkipStepOnError(run, [&] { AssignerStatutVisite2(run); });
  };
  TableRoutine routine{
      "TableExamen", "Examen", "Examen",
      "INSERT INTO tmpExamen(ID_Visite, ACTE, Protocole, Films, TextePreins, AnnulDate, Desactive, "
      "Id_examen, prescription, mntprive, Modificateur, Mod1, Mod2, Mod3, Mod4, Lot, Nce, Role1, Role7, "
      "Total, PlageHoraire, ROpr, AOpr, COpr, tech, RefacLot, RefacNce, ConcilDate, Dictee, Titre, "
      "FACROLE1, FACROLE7, newprescription, Titre_Exam)",
      34};
  routine.checkAcceptance = false;
  routine.Range("xPrescripCode", Variant(run.numeroPrescripDebut), Variant(run.numeroPrescripFin));
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
