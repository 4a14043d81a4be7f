#include "source/tables/reference_completion.h"

#include <functional>

#include "source/run/traps.h"
#include "source/tables/staged_move.h"

namespace korvel {
namespace {

// The statement of one operation with the marker where a move narrows it, the table
// it writes and the staged key it narrows by. Names of tables and columns come from
// the routines only, never from data.
MoveSpec Spec(Completion op, const std::string& T, const std::string& C, const std::string& C2) {
  const std::string k = kMoveKeys;
  const std::string from = T + " p";
  switch (op) {
    case Completion::Securite:
      // Grouped by the cut name: two names equal in their first 20 characters are one
      // user, not a statement the server refuses whole.
      return {"Securite",
              "INSERT INTO Securite(Utilisateur, MotDePasse, Desactive) SELECT SUBSTR(p." + C +
                  ", 1, 20), 'Kelp', 'O' FROM " + T + " p LEFT JOIN Securite r ON (r.Utilisateur = SUBSTR(p." + C +
                  ", 1, 20)) WHERE r.utilisateur IS NULL AND p." + C + " IS NOT NULL" + k + " GROUP BY SUBSTR(p." + C +
                  ", 1, 20)",
              from, "SUBSTR(p." + C + ", 1, 20)"};
    case Completion::Station:
      return {"Station",
              "INSERT INTO Station(NomStation,desactive) SELECT SUBSTR(p." + C + ", 1, 50), 'O' FROM " + T +
                  " p LEFT JOIN Station r ON (r.nomstation = SUBSTR(p." + C +
                  ", 1, 50)) WHERE r.nomstation IS NULL AND p." + C + " IS NOT NULL" + k + " GROUP BY SUBSTR(p." + C +
                  ", 1, 50)",
              from, "SUBSTR(p." + C + ", 1, 50)"};
    case Completion::ActeProbe:
      return {"Acte",
              "SELECT p." + C + " FROM " + T + " p LEFT JOIN Acte r ON(r.acte = p." + C +
                  ") WHERE r.id_Acte IS NULL AND p." + C + " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::Acte:
      return {"Acte",
              "INSERT INTO Acte(Acte,Unite,Desactive) SELECT p." + C + " , 1, 'O' FROM " + T +
                  " p LEFT JOIN Acte r ON(r.acte = p." + C + ") WHERE r.id_Acte IS NULL AND p." + C + " IS NOT NULL" +
                  k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::ActeDepartement:
      // NOT EXISTS: "NOT IN (SELECT acte FROM acte_Departement)" adds nothing at all as
      // soon as that column holds one NULL.
      return {
          "acte_departement",
          "INSERT INTO acte_departement(acte, codedep) SELECT a.acte, 'R' FROM acte a WHERE a.acte IS NOT NULL AND NOT "
          "EXISTS (SELECT 1 FROM acte_Departement d WHERE d.acte = a.acte)" +
              k,
          "acte a", "a.acte"};
    case Completion::Privee:
      return {"ciePrivee",
              "INSERT INTO ciePrivee(ciePrivee, nom) SELECT p." + C + ", p." + C + " FROM " + T +
                  " p LEFT JOIN ciePrivee r ON(r.ciePrivee = p." + C + ") WHERE r.CiePrivee IS NULL AND p." + C +
                  " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::Radiologiste:
      return {
          "Radiologiste",
          "INSERT INTO Radiologiste(Licence, Groupe, Desactive) SELECT distinct p.licence, p.groupe, 'O' FROM " + T +
              " p WHERE NOT EXISTS (SELECT 1 FROM radiologiste r WHERE r.licence=p.licence AND r.groupe =p.groupe)" + k,
          from, "p.licence || '|' || COALESCE(p.groupe, '~')"};
    case Completion::Etablissement:
      return {"Etablissement",
              "INSERT INTO Etablissement(Etablissement, Nom, IndiceOmni, IndiceSpec, Serie) SELECT p." + C + ", p." +
                  C + ", 'A', 'A', 'A' FROM " + T + " p LEFT JOIN ETABLISSEMENT r ON(r.Etablissement = p." + C +
                  " ) WHERE r.ETABLISSEMENT IS NULL AND p." + C + " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::CodeTransac:
      return {"CODETRANSAC",
              "INSERT INTO CODETRANSAC(CODETRANSAC, Description, Desactive)  SELECT p." + C + ",p." + C +
                  " , 'N' FROM " + T + " p  LEFT JOIN CODETRANSAC r ON(r.CODETRANSAC = p." + C +
                  ")  WHERE r.CODETRANSAC IS NULL AND p." + C + " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::CodeSpec:
      return {"specialite",
              "INSERT INTO specialite(Specialite, Description, Desactive) SELECT p." + C + ",p." + C + " , 'N' FROM " +
                  T + " p LEFT JOIN specialite r ON(r.Specialite = p." + C + ") WHERE r.Specialite IS NULL AND p." + C +
                  " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::Medecin:
      return {"Medecin",
              "INSERT INTO Medecin(Licence, MEDECINID, nom, prenom, desactive, ombrix, telvano) SELECT DISTINCT p." +
                  C + ", COALESCE(p." + C2 + ", 'ND'), t.nom, t.prenom, 'N', 'N', 'N' FROM " + T +
                  " p JOIN tmpMedecin t ON (t.Licence = p.Medecin AND  COALESCE(t.MedecinID, '') = "
                  "COALESCE(p.MedecinId,'')) "
                  "LEFT JOIN  Medecin r ON (r.Licence = p." +
                  C + " AND COALESCE(r.MedecinID,'') = COALESCE(p." + C2 + ",'')) WHERE r.Licence IS NULL AND p." + C +
                  " IS NOT NULL" + k,
              from, "p." + C + " || '|' || COALESCE(p." + C2 + ", '~')"};
    case Completion::TextePreIns:
      return {"TextePreins",
              "INSERT INTO TextePreins(TextePreins, Description, Texte)SELECT p." + C + ", p." + C + ", p." + C +
                  " FROM " + T + " p LEFT JOIN TextePreIns r ON(r.TextePreIns = p." + C +
                  ") WHERE r.TextePreIns IS NULL AND p." + C + " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::Protocole:
      return {"protocole",
              "INSERT INTO protocole(protocole, Description) SELECT p." + C + ", p." + C + " FROM " + T +
                  " p LEFT JOIN protocole r ON(r.protocole = p." + C + ") WHERE r.protocole IS NULL AND p." + C +
                  " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::Technologue:
      return {"Technologue",
              "INSERT INTO Technologue(nom, prenom) SELECT DISTINCT p." + C + ", p." + C + " FROM " + T +
                  " p LEFT JOIN  Technologue r ON(r.nom = p." + C + ") WHERE r.id_technologue IS NULL AND p." + C +
                  " IS NOT NULL" + k,
              from, "p." + C};
    case Completion::Diagnostique:
      return {"Diagnostique",
              "INSERT INTO Diagnostique(Diagnos, Description) SELECT p." + C + ", p." + C + " FROM " + T +
                  " p LEFT JOIN Diagnostique r ON(r.Diagnos = p." + C + ") WHERE r.Diagnos IS NULL AND p." + C +
                  " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
    case Completion::Modificateur:
      return {"Modificateur",
              "INSERT INTO Modificateur(Code) SELECT p." + C + " FROM " + T +
                  " p LEFT JOIN Modificateur r ON(r.Code = p." + C + ") WHERE r.Code IS NULL AND p." + C +
                  " IS NOT NULL" + k + " GROUP BY p." + C,
              from, "p." + C};
  }
  throw ERoutineFault("unknown completion");
}

// The frame every operation shares: label, statement(s), commit, and the trap that
// keeps any error inside the operation.
void Complete(RunContext& run, const char* label, const std::string& sMessage, bool commit,
              const std::function<void()>& body) {
  SkipStepOnError(run, [&] {
    if (label) {
      run.UI().SetOperation(sMessage + label);
      run.UI().ProcessEvents();
    }
    body();
    if (commit) run.CommitEtProgress();
  });
}

void Move(RunContext& run, Completion op, const std::string& T, const std::string& C, const std::string& C2 = "") {
  MoveSpec spec = Spec(op, T, C, C2);
  spec.logEmpty = false;
  MoveStaged(run, spec);
}

}  // namespace

std::string CompletionSql(Completion op, const std::string& T, const std::string& C, const std::string& C2) {
  return WholeMoveSql(Spec(op, T, C, C2));
}

void InsertSecuriteTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                       const std::string& sMessage) {
  Complete(run, " InsertSecuriteTmp", sMessage, true, [&] { Move(run, Completion::Securite, sNomTable, sNomChamp); });
}

void InsertStationTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp) {
  Complete(run, nullptr, "", false, [&] { Move(run, Completion::Station, sNomTable, sNomChamp); });
}

void InsertActeTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                   const std::string& sMessage) {
  // Three steps, each in its own trap: the departments and both commits run whatever
  // happened to the acts.
  Complete(run, " InsertActeTmp", sMessage, true, [&] {
    const ExecResult probe = run.FDataMgr->ExecuteDestQuery(CompletionSql(Completion::ActeProbe, sNomTable, sNomChamp));
    if (probe.ok && run.FDataMgr->GetExeQryRecordCount() > 0) Move(run, Completion::Acte, sNomTable, sNomChamp);
  });
  Complete(run, nullptr, "", true, [&] { Move(run, Completion::ActeDepartement, sNomTable, sNomChamp); });
}

void InsertPriveetmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                     const std::string& sMessage) {
  Complete(run, " InsertPriveeTmp", sMessage, false, [&] { Move(run, Completion::Privee, sNomTable, sNomChamp); });
}

void InsertRadiologisteTmp(RunContext& run, const std::string& sNomTable, const std::string& sMessage) {
  Complete(run, " InsertRadiologisteTmp", sMessage, false, [&] {
    const std::string highest = HighestId(run, "radiologiste", "id_radiologiste");
    MoveSpec spec = Spec(Completion::Radiologiste, sNomTable, "", "");
    spec.logEmpty = false;
    // A radiologist added here gets its identifier as internal number at once, as the
    // radiologists' item gives it to every radiologist without one: otherwise the next
    // run of that item would change a row this run left behind.
    if (MoveStaged(run, spec).moved > 0) {
      run.target.Execute(
          "UPDATE radiologiste r SET r.nointerne = r.id_radiologiste WHERE r.nointerne IS NULL AND "
          "r.id_radiologiste > " +
          highest);
    }
  });
}

void InsertEtablissementTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                            const std::string& sMessage) {
  Complete(run, " InsertEtablissementTmp", sMessage, false,
           [&] { Move(run, Completion::Etablissement, sNomTable, sNomChamp); });
}

void InsertCodeTransacTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                          const std::string& sMessage) {
  Complete(run, " InsertCodeTransacTmp", sMessage, false,
           [&] { Move(run, Completion::CodeTransac, sNomTable, sNomChamp); });
}

void InsertCodeSpecTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp) {
  Complete(run, nullptr, "", false, [&] { Move(run, Completion::CodeSpec, sNomTable, sNomChamp); });
}

void InsertMedecinTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                      const std::string& sNomChamp2, const std::string& sMessage) {
  Complete(run, " InsertMedecinTmp", sMessage, true,
           [&] { Move(run, Completion::Medecin, sNomTable, sNomChamp, sNomChamp2); });
}

void InsertTextePreInsTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                          const std::string& sMessage) {
  Complete(run, " InsertTextePreInsTmp", sMessage, true,
           [&] { Move(run, Completion::TextePreIns, sNomTable, sNomChamp); });
}

void InsertProtocoleTmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                        const std::string& sMessage) {
  Complete(run, " InsertProtocoleTmp", sMessage, true, [&] { Move(run, Completion::Protocole, sNomTable, sNomChamp); });
}

void InsertTechnologuetmp(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                          const std::string& sMessage) {
  Complete(run, " InsertTechnologuetmp", sMessage, true,
           [&] { Move(run, Completion::Technologue, sNomTable, sNomChamp); });
}

void InsertDiagnostique(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                        const std::string& sMessage) {
  Complete(run, " InsertDiagnostique", sMessage, false,
           [&] { Move(run, Completion::Diagnostique, sNomTable, sNomChamp); });
}

void InsertModificateur(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp,
                        const std::string& sMessage) {
  Complete(run, " InsertModificateur", sMessage, true,
           [&] { Move(run, Completion::Modificateur, sNomTable, sNomChamp); });
}

StagedReference PatientReference(const std::string& staging, const std::string& column) {
  return {staging, column, "PATIENT", "ID_PATIENT", " sans patient dans la base"};
}

void DeleteStagedOrphans(RunContext& run, const StagedReference& reference, const std::string& sMessage) {
  Complete(run, " DeleteTableMissingPatient", sMessage, true, [&] {
    const ExecResult deleted = run.FDataMgr->ExecuteDestQuery(
        "DELETE FROM " + reference.staging + " t" + " WHERE NOT EXISTS (SELECT 1 FROM " + reference.table +
        " p WHERE p." + reference.targetColumn + " = t." + reference.column + ")");
    // Rows dropped are said, with their number: nothing leaves staging silently.
    if (deleted.ok && deleted.rows > 0) {
      run.DoLogError(nullptr,
                     std::to_string(deleted.rows) + " lignes de " + reference.staging + reference.what + " supprimees",
                     false);
    }
  });
}

}  // namespace korvel
