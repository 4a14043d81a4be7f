#include "source/tables/acte.h"

#include "source/maintenance/generators.h"
#include "source/run/traps.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"
#include "source/tables/target_rows.h"

namespace korvel {
namespace {

// Modalities that acts name and the target lacks, added deactivated. NOT EXISTS: "NOT
// IN (SELECT MODALITE FROM MODALITE)" adds nothing at all once one modality code is
// NULL, and the target accepts a NULL modality.
void InsertMissingActeModalities(RunContext& run) {
  SkipStepOnError(run, [&] {
    MoveStaged(run, {"Modalite",
                     "INSERT INTO Modalite(Modalite, DESCRIPTION, DESACTIVE) SELECT DISTINCT(TA.Modalite), 'DESC', 'O' "
                     "FROM tmpacte TA WHERE (TA.Modalite IS NOT NULL AND NOT EXISTS (SELECT 1 FROM MODALITE M WHERE "
                     "M.MODALITE = TA.Modalite)){KEYS}",
                     "tmpacte TA", "TA.Modalite"});
    MoveStaged(run, {"Modalite",
                     "INSERT INTO Modalite(Modalite, DESCRIPTION, DESACTIVE) SELECT DISTINCT(TA2.Modalite2), 'DESC', "
                     "'O' FROM tmpActe TA2 WHERE (TA2.Modalite2 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM MODALITE M "
                     "WHERE M.MODALITE = TA2.Modalite2)){KEYS}",
                     "tmpActe TA2", "TA2.Modalite2"});
    run.FDataMgr->CommitDestQuery();
  });
}

constexpr const char* kActeTariPresent =
    "EXISTS (SELECT 1 FROM actetari x WHERE x.acte = a.code AND x.acte_RAMQ = aq.id_acte)";

// The statements that build the target's acts from the staged ones, in order. Those
// that copy many rows are moves: a row the target refuses is refused alone.
void FinishActes(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  MoveStaged(run,
             {"Acte",
              "INSERT INTO Acte(Acte, Description, Abregee, epuration, calculnombre, plafondRole1, plafondrole7, "
              "Modificateur, AgeMin, AgeMax, NbChiffreRamq, Desactive, unite) SELECT Code, description, abregee, "
              "epuration, calculnombre, plafondRole1, plafondrole7, Mod, AgeMin, AgeMax, NbChiffreRamq, Desactive, "
              "unite from tmpActe{WHERE_KEYS}",
              "tmpActe", "Code", "EXISTS (SELECT 1 FROM Acte x WHERE x.Acte = tmpActe.Code)"});
  // Only the acts staged here (the legacy statement blanked the activity of every other
  // act). An activity name two activities share names neither: the act is left without
  // an activity and the name is said, rather than credited to one of them.
  engine.ExecuteDestQuery(
      "UPDATE acte ac SET ac.id_activite = (SELECT MIN(av.id_activite) FROM activite av JOIN tmpacte ta ON "
      "(ta.activite = av.activite) WHERE ta.Code = ac.acte HAVING COUNT(DISTINCT av.id_activite) = 1) WHERE EXISTS "
      "(SELECT 1 FROM tmpacte t WHERE t.Code = ac.acte)");
  LogSharedNames(run,
                 "SELECT av.activite, COUNT(*) FROM activite av WHERE EXISTS (SELECT 1 FROM tmpacte ta WHERE "
                 "ta.activite = av.activite) GROUP BY av.activite HAVING COUNT(*) > 1 ORDER BY 1",
                 "Activite", "activites", "actes laisses sans activite");
  MoveStaged(run,
             {"acte_privee",
              "INSERT INTO acte_privee  (id_acte, debut, fin, montant) SELECT DISTINCT Code, debutPrive, finPrive, "
              "prive FROM tmpacte WHERE NOT debutPrive IS NULL{KEYS}",
              "tmpacte", "Code",
              "EXISTS (SELECT 1 FROM acte_privee x WHERE x.id_acte = tmpacte.Code AND x.debut = tmpacte.debutPrive)"});
  MoveStaged(run,
             {"acte_privee",
              "INSERT INTO acte_privee (id_acte, debut, fin, montant) SELECT a.Code, a.anciendebutPrive, "
              "a.ancienfinPrive, a.ancienprive FROM tmpacte a LEFT JOIN acte_privee ap ON (ap.id_acte = a.code AND "
              "ap.debut = a.anciendebutPrive) WHERE NOT a.anciendebutPrive IS NULL AND NOT a.ancienprive IS NULL "
              "AND ap.montant IS NULL{KEYS}",
              "tmpacte a", "a.Code",
              "EXISTS (SELECT 1 FROM acte_privee x WHERE x.id_acte = a.Code AND x.debut = a.anciendebutPrive)"});
  MoveStaged(run, {"actetari",
                   "INSERT INTO actetari (acte, acte_RAMQ) SELECT DISTINCT a.code, aq.id_acte FROM tmpacte a JOIN "
                   "actetariramq aq ON ( substr(a.code,1,4) = substr(aq.id_acte,2,5)) WHERE a.nbchiffreramq=4 AND "
                   "substr(aq.id_acte,1,1) = '0'{KEYS}",
                   "tmpacte a", "a.code", kActeTariPresent});
  MoveStaged(run, {"actetari",
                   "INSERT INTO actetari (acte, acte_RAMQ) SELECT DISTINCT a.code, aq.id_acte FROM tmpacte a JOIN "
                   "actetariramq aq ON ( substr(a.code,1,5) = aq.id_acte) WHERE a.nbchiffreramq=5{KEYS}",
                   "tmpacte a", "a.code", kActeTariPresent});
  InsertMissingActeModalities(run);
  MoveStaged(run, {"Acte_modalite",
                   "INSERT INTO Acte_modalite (acte, modalite) SELECT a.acte, t.modalite FROM tmpacte t JOIN acte a ON "
                   "(t.code = a.acte) WHERE NOT modalite IS NULL{KEYS}",
                   "tmpacte t", "t.code",
                   "EXISTS (SELECT 1 FROM Acte_modalite x WHERE x.acte = a.acte AND x.modalite = t.modalite)"});
  engine.ExecuteDestQuery(" UPDATE tmpacte SET modalite2 = NULL WHERE modalite = modalite2 ");
  MoveStaged(run,
             {"Acte_modalite",
              "INSERT INTO Acte_modalite (acte, modalite) SELECT a.acte, t.modalite2 FROM tmpacte t JOIN acte a ON "
              "(t.code = a.acte) WHERE NOT t.modalite2 IS NULL{KEYS}",
              "tmpacte t", "t.code",
              "EXISTS (SELECT 1 FROM Acte_modalite x WHERE x.acte = a.acte AND x.modalite = t.modalite2)"});
  MoveStaged(run, {"Region",
                   "INSERT INTO Region(Region, Description, desactive) SELECT DISTINCT p.region, p.region, 'N' FROM "
                   "tmpActe p LEFT JOIN region r ON (r.region = p.region) WHERE r.region IS NULL AND p.region IS NOT "
                   "NULL{KEYS}",
                   "tmpActe p", "p.region"});
  MoveStaged(
      run,
      {"Acte_Region",
       "INSERT INTO Acte_Region (acte, Region) SELECT a.code, a.region FROM tmpacte a WHERE NOT a.region IS "
       "NULL{KEYS}",
       "tmpacte a", "a.code", "EXISTS (SELECT 1 FROM Acte_Region x WHERE x.acte = a.code AND x.region = a.region)"});
  engine.CommitDestQuery();
  SetGenerator(run, "acte_Avis", "id_acteAvis", "Table Acte\r\n");
  MoveStaged(
      run, {"acte_departement", "INSERT INTO acte_departement(acte,codedep) SELECT acte, 'R' FROM acte{WHERE_KEYS}",
            "acte", "acte", "EXISTS (SELECT 1 FROM acte_departement x WHERE x.acte = acte.acte AND x.codedep = 'R')"});
  engine.CommitDestQuery();
  engine.ExecuteDestQuery("UPDATE acte a SET a.unite=1 WHERE a.unite IS NULL");
  engine.CommitDestQuery();
}

}  // namespace

void TransfertTableActeTmp(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitCodeDestCopy("tmpActe", {"Code", "CODE"}, true); };
  hooks.assign = [&](RecordParams& p) {
    p.Copy("Code", p.Field("CODE"));
    p.Copy("Description", p.Field("Description"));
    p.Set("Abregee", run.FParamMgr->AssignSrcToDestSpecial(TSpecialParam::spMakeMaxLength, p.Field("Abregee"), 15));
    p.Copy("epuration", p.Field("Epuration"));
    p.Copy("calculnombre", p.Field("CalculNombre"));
    p.Copy("plafondRole1", p.Field("PlafondRole1"));
    p.CopyOptional("plafondrole7", "PlafondRole7");
    p.Copy("MOD", p.Field("MOD"));
    p.Copy("AgeMin", p.Field("ageMin"));
    p.Copy("AgeMax", p.Field("AgeMax"));
    p.Copy("NbChiffreRamq", p.Field("NBChiffreRamQ"));
    p.Copy("finprive", p.Field("finPrive"));
    p.Copy("ancienprive", p.Field("Ancienprive"));
    p.Copy("debutprive", p.Field("debutPrive"));
    p.Copy("prive", p.Field("prive"));
    p.Copy("modalite", p.Field("modalite"));
    p.Copy("modalite2", p.Field("modalite2"));
    p.Copy("activite", p.Field("activite"));
    // A missing unit is 1. The converter's default variant would give "1" for every
    // numeric unit, whatever it holds: only a null unit takes the default here.
    const TField& unite = p.Field("unite");
    if (unite.IsNull()) {
      p.Constant("unite", "1");
    } else {
      p.Copy("unite", unite);
    }
    p.Copy("region", p.Field("Region"));
    p.CopyOptional("ancienfinPrive", "AncienFinPrive");
    p.CopyOptional("anciendebutPrive", "AncienDebutPrive");
    p.Copy("sansmajoration", p.Field("sansMajoration"));
    p.Constant("desactive", "N");
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    run.UI().SetOperation("Table Acte\r\nFinalisation du transfert");
    try {
      FinishActes(run);
    } catch (const EDatabaseError& e) {
      // The source is at its end here: the log names the step's error, not a record.
      run.DoLogError(nullptr, std::string("Finalisation de la table Acte interrompue: ") + e.what(), true);
    }
  };
  RunTableRoutine(
      run,
      {"TableActe", "Acte", "Acte",
       "INSERT INTO tmpActe (Code, Description, Abregee, epuration, calculnombre, plafondRole1, plafondrole7, "
       "MOD, AgeMin, AgeMax, NbChiffreRamq , finprive, ancienprive, debutprive, prive, modalite, modalite2, "
       "activite, unite, region, ancienfinPrive, anciendebutPrive, sansmajoration, desactive)",
       24},
      hooks);
}

}  // namespace korvel
