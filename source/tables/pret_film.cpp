#include "source/tables/pret_film.h"

#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/maintenance/generators.h"
#include "source/run/traps.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"
#include "source/tables/target_rows.h"

namespace korvel {
namespace {

constexpr const char* kMessage = "Table Pret Film\r\n";
// Loans are matched to an examination on the first characters of its act code.
constexpr size_t kActPrefix = 5;

// The text BooleanToString expects: "true"/"false" for a boolean field (the field's own
// text is "True"/"False", which it would read as "N" whatever the value), "null" for
// no value.
std::string CompletText(const TField& field) {
  if (field.IsNull()) return "null";
  if (field.DataType() == TFieldType::ftBoolean) return field.AsBoolean() ? "true" : "false";
  return field.AsString();
}

// Each lender text once: found as a user name (20 characters), under the name a
// placeholder user receives (upper-cased, trimmed, 20 characters), or as the name of
// exactly one user (35 characters), else that placeholder user is created. A name two
// users share credits neither: the loans go to the placeholder and the name is said.
// The staged loans then name the user, so the move finds their lender.
void InsertPretFilmSecurite(RunContext& run) {
  fib::TpFIBQuery lookup(run.target.Db());
  lookup.SetSQLText(
      "SELECT UTILISATEUR, CASE WHEN UTILISATEUR = :UTILISATEUR OR UTILISATEUR = :CREE THEN 1 ELSE 0 END FROM "
      "SECURITE WHERE NOM = :NOM OR UTILISATEUR = :UTILISATEUR OR UTILISATEUR = :CREE ORDER BY 2 DESC, ID_SECURITE");
  fib::TpFIBQuery create(run.target.Db());
  create.SetSQLText("INSERT INTO SECURITE(UTILISATEUR, MOTDEPASSE, DESACTIVE) VALUES(:AUSER, 'KELP','O')");
  fib::TpFIBQuery rename(run.target.Db());
  rename.SetSQLText("UPDATE tmpPretFilm SET NOMPRETEUR = :AUSER WHERE NOMPRETEUR = :TEXTE");
  run.target.Begin();
  std::vector<std::string> lenders;
  ForEachTargetRow(run, "SELECT DISTINCT NOMPRETEUR FROM TMPPRETFILM WHERE NOMPRETEUR IS NOT NULL",
                   [&](fib::TpFIBQuery& row) {
                     lenders.push_back(row.Fields(0).AsString());
                     return true;
                   });
  for (const std::string& text : lenders) {
    const std::string made = AnsiUpperCase(Trim(Utf8Left(text, 20)));
    if (made.empty()) continue;  // a blank lender names nobody
    std::string user;
    try {
      lookup.ExecWithParams({Variant(Utf8Left(text, 20)), Variant(made), Variant(Utf8Left(text, 35))});
      int namesakes = 0;
      if (!lookup.Eof() && lookup.Fields(1).AsInteger() == 1) {
        user = lookup.Fields(0).AsString();
      } else {
        for (; !lookup.Eof(); lookup.Next()) {
          if (++namesakes == 1) user = lookup.Fields(0).AsString();
        }
        if (namesakes > 1) user.clear();
      }
      lookup.Close();
      if (namesakes > 1) {
        run.DoLogError(
            nullptr,
            "Preteur " + text + ": " + std::to_string(namesakes) + " usagers de ce nom, prets lies a l'usager " + made,
            false);
      }
      if (user.empty()) {
        create.ExecWithParams({Variant(made)});
        user = made;
      }
      if (user != text) rename.ExecWithParams({Variant(user), Variant(text)});
    } catch (const std::exception& e) {
      lookup.Close();
      run.DoLogMisc(e.what());
    }
  }
  run.target.Commit();
}

void MoveLoans(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  // Loans already moved by an earlier run are left out: the staging keeps them for
  // the passes.
  const MoveResult moved = MoveStaged(
      run,
      {"pretFilm",
       "INSERT INTO pretFilm(Id_patient, DateEmprunt, DateRetour, DetailsPret, Preteur, NomEmprunteur, "
       "AutreCommentaire, Id_PretFilm, desactive, Statut, emprunteur) SELECT p.Id_Patient, t.DateEmprunt, "
       "t.DateRetour, t.DetailsPret, (SELECT id_securite FROM securite WHERE utilisateur = SUBSTR(t.nomPreteur, 1, "
       "20)), SUBSTR(t.NomEmprunteur, 1, 9), t.AutreCommentaire, t.Id_PretFilm, t.Desactive, t.Statut, "
       "SUBSTR(t.NomEmprunteur, 1, 9) FROM tmpPretFilm t JOIN PATIENT P ON(P.DossierPrincipal = t.DossierPatient) "
       "WHERE t.nomemprunteur <> '' AND NOT EXISTS (SELECT 1 FROM pretFilm x WHERE x.Id_PretFilm = "
       "t.Id_PretFilm){KEYS}",
       "tmpPretFilm t", "t.Id_PretFilm"});
  run.CommitEtProgress();
  // A move statement the server could not run at all moved nothing: the staged loans
  // stay for the next run instead of being deleted.
  if (!moved.ok) return;
  SkipStepOnError(run, [&] {
    // The passes work on moved loans only. Those refused are in the log with their
    // key; the others left out are counted here.
    const ExecResult deleted = engine.ExecuteDestQuery(
        "DELETE FROM tmppretfilm WHERE id_pretFilm IN (SELECT t.id_pretfilm FROM tmppretfilm t LEFT JOIN pretFilm p "
        "ON(t.id_pretFilm = p.id_pretFilm) WHERE p.Id_PretFilm IS NULL)");
    if (deleted.ok && deleted.rows > moved.refused) {
      run.DoLogError(nullptr,
                     "Prets sans emprunteur ou sans patient de ce dossier, non transferes: " +
                         std::to_string(deleted.rows - moved.refused),
                     false);
    }
    run.CommitEtProgress();
  });
}

// The link and history statements of the passes, prepared once.
class LoanPasses {
 public:
  explicit LoanPasses(RunContext& run)
      : run_(run),
        link_(run.target.Db()),
        linkActe_(run.target.Db()),
        count_(run.target.Db()),
        exams_(run.target.Db()),
        examsActe_(run.target.Db()),
        history_(run.target.Db()) {
    link_.SetSQLText("UPDATE Examen SET Id_PretFilm = :AParam0 WHERE Id_Visite = :AParam1");
    linkActe_.SetSQLText(
        "UPDATE Examen SET Id_PretFilm = :AParam0 WHERE Id_Visite = :AParam1 AND SUBSTR(ACTE, 1, 5) = "
        ":AParam2");
    count_.SetSQLText("SELECT COUNT(*) FROM examen WHERE id_visite = :V AND SUBSTR(acte, 1, 5) = :A");
    exams_.SetSQLText("SELECT id_examen FROM examen WHERE id_visite = :V");
    examsActe_.SetSQLText("SELECT id_examen FROM examen WHERE id_visite = :V AND SUBSTR(acte, 1, 5) = :A");
    // A second run adds no history row twice.
    history_.SetSQLText(
        "INSERT INTO HistoPretFilm(Id_PretFilm, Id_Examen, dateRetour) SELECT CAST(:Aparam0 AS INTEGER), CAST(:AParam1 "
        "AS INTEGER), CAST(:AParam2 AS DATE) FROM RDB$DATABASE WHERE NOT EXISTS (SELECT 1 FROM HistoPretFilm h WHERE "
        "h.Id_PretFilm = :Aparam0 AND h.Id_Examen = :AParam1)");
  }

  // Walks one pass: `write` gets the row; a failed write is logged with the loan.
  void Pass(const std::string& sql, bool commit, const std::function<void(fib::TpFIBQuery&)>& write) {
    run_.target.Begin();
    SkipStepOnError(run_, [&] {
      ForEachTargetRow(run_, sql, [&](fib::TpFIBQuery& row) {
        if (!run_.StopAllProcess) return false;
        try {
          write(row);
        } catch (const std::exception& e) {
          run_.DoLogError(nullptr, "Erreur pour tous les exams : " + TextOf(row.Fields(0)), true);
          run_.DoLogError(nullptr, e.what(), false);
        }
        run_.UI().ProcessEvents();
        return true;
      });
    });
    if (commit) run_.CommitEtProgress();
  }

  void Link(const Variant& loan, const Variant& visit) { link_.ExecWithParams({loan, visit}); }

  // The loan goes to the examinations of the visit whose act begins as the loan's
  // act code; to all of them when none does.
  void LinkByActe(const Variant& loan, const Variant& visit, const std::string& acte) {
    const Variant prefix(Utf8Left(acte, kActPrefix));
    if (CountByActe(visit, prefix) > 0) {
      linkActe_.ExecWithParams({loan, visit, prefix});
    } else {
      link_.ExecWithParams({loan, visit});
    }
  }

  // One history row per examination of the visit (with an act code: per examination
  // chosen as for the links).
  void History(const Variant& loan, const Variant& visit, const Variant& returned, const std::string* acte) {
    fib::TpFIBQuery* exams = &exams_;
    std::vector<Variant> params = {visit};
    if (acte) {
      const Variant prefix(Utf8Left(*acte, kActPrefix));
      if (CountByActe(visit, prefix) > 0) {
        exams = &examsActe_;
        params.push_back(prefix);
      }
    }
    std::vector<Variant> ids;
    exams->ExecWithParams(params);
    for (; !exams->Eof() && run_.StopAllProcess; exams->Next()) ids.push_back(exams->Fields(0).AsVariant());
    exams->Close();
    for (const Variant& exam : ids) history_.ExecWithParams({loan, exam, returned});
  }

 private:
  int64_t CountByActe(const Variant& visit, const Variant& prefix) {
    count_.ExecWithParams({visit, prefix});
    const int64_t n = count_.Fields(0).AsInteger();
    count_.Close();
    return n;
  }

  RunContext& run_;
  fib::TpFIBQuery link_, linkActe_, count_, exams_, examsActe_, history_;
};

Variant ValueOf(fib::TpFIBQuery& row, int index) {
  return row.Fields(index).IsNull() ? Variant() : row.Fields(index).AsVariant();
}

// Every pass reads the staged loans that are in pretFilm: a loan the move left out
// (refused, or all of them when the move could not run) links and dates nothing.
void RunPasses(RunContext& run) {
  LoanPasses passes(run);
  const std::string loans = " FROM tmpPretFilm t JOIN pretFilm m ON(m.Id_PretFilm = t.Id_PretFilm)";
  const std::string by_visit = loans + " JOIN visite v ON(t.prescription = v.prescription)";
  const std::string by_patient = loans +
                                 " JOIN patient p ON(t.DossierPatient = p.DossierPrincipal) JOIN visite v "
                                 "ON(v.id_patient = p.id_patient)";
  // A: open loans of a visit, no act code: every examination of the visit.
  passes.Pass("SELECT t.id_pretFilm, v.id_visite" + by_visit + " WHERE t.dateRetour IS NULL AND t.examen IS NULL", true,
              [&](fib::TpFIBQuery& r) { passes.Link(ValueOf(r, 0), ValueOf(r, 1)); });
  // B: open loans without visit number: every examination of the patient.
  passes.Pass("SELECT t.id_pretFilm, v.id_visite, p.Id_patient" + by_patient +
                  " WHERE t.dateRetour IS NULL and t.prescription IS NULL",
              true, [&](fib::TpFIBQuery& r) { passes.Link(ValueOf(r, 0), ValueOf(r, 1)); });
  // C: open loans with an act code.
  passes.Pass(
      "SELECT t.id_pretFilm, v.id_visite, t.examen" + by_visit + " WHERE t.dateRetour IS NULL AND t.examen IS NOT NULL",
      false, [&](fib::TpFIBQuery& r) { passes.LinkByActe(ValueOf(r, 0), ValueOf(r, 1), r.Fields(2).AsString()); });
  // D: returned loans with an act code, the mirror of C: the history of the
  // examinations whose act begins as the code, of all of them when none does.
  passes.Pass("SELECT t.id_pretFilm, v.id_visite, t.examen, t.dateRetour" + by_visit +
                  " WHERE t.dateRetour IS NOT NULL AND t.examen IS NOT NULL",
              false, [&](fib::TpFIBQuery& r) {
                const std::string acte = r.Fields(2).AsString();
                passes.History(ValueOf(r, 0), ValueOf(r, 1), ValueOf(r, 3), &acte);
              });
  // E: returned loans of a visit, no act code.
  passes.Pass("SELECT t.id_pretFilm, v.id_visite, t.dateRetour" + by_visit +
                  " WHERE t.dateRetour IS NOT NULL AND t.examen IS NULL",
              true, [&](fib::TpFIBQuery& r) { passes.History(ValueOf(r, 0), ValueOf(r, 1), ValueOf(r, 2), nullptr); });
  // F: returned loans without visit number: every visit of the patient.
  passes.Pass("SELECT t.id_pretFilm, p.Id_patient, v.id_visite, t.dateRetour" + by_patient +
                  " WHERE t.dateRetour IS NOT NULL AND t.prescription IS NULL",
              true, [&](fib::TpFIBQuery& r) { passes.History(ValueOf(r, 0), ValueOf(r, 2), ValueOf(r, 3), nullptr); });
}

}  // namespace

std::string BooleanToString(const std::string& sBoolean) {
  if (sBoolean == "null" || Trim(sBoolean).empty()) return "";
  return sBoolean == "true" ? "O" : "N";
}

void InsertDestFilm(RunContext& run, const std::string& sNomTable, const std::string& sNomChamp) {
  const std::string c = "p." + sNomChamp;
  MoveStaged(run, {"DestFilm",
                   "INSERT INTO DestFilm(DestFilm, desactive) SELECT DISTINCT SUBSTR(" + c + ", 1, 9), 'N' FROM " +
                       sNomTable + " p LEFT JOIN DestFilm d ON(d.DestFilm = SUBSTR(" + c +
                       ", 1, 9)) WHERE d.DestFilm IS NULL AND " + c + " IS NOT NULL{KEYS} GROUP BY " + c,
                   sNomTable + " p", "SUBSTR(" + c + ", 1, 9)", "", "", false});
}

void TransfertTablePretFilm(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitCodeDestCopy("tmpPretFilm", {"Id_pretFilm", "Autonum"}, true); };
  hooks.assign = [](RecordParams& p) {
    p.Set("Id_patient", TParamValue());  // the patient is found by file number when moved
    p.Copy("DateEmprunt", p.Field("DateEmprunt"));
    p.Copy("DateRetour", p.Field("DateRetour"));
    p.Copy("DetailsPret", p.Field("Details"));
    p.Copy("NomEmprunteur", p.Field("Emprunteur"));
    p.Constant("AutreCommentaire", "Films: " + p.Field("Film").AsString() +
                                       "   Complet : " + BooleanToString(CompletText(p.Field("Complet"))));
    p.Copy("Id_PretFilm", p.Field("Autonum"));  // the loan number, as the duplicate check reads it
    p.Copy("DossierPatient", p.Field("Dossier"));
    p.Copy("nomPreteur", p.Field("Preteur"));
    p.Copy("Prescription", p.Field("prescription"));
    p.Copy("Examen", p.Field("Examen"));
    p.Copy("NAM", p.Field("NAM"));
    p.Constant("Desactive", "N");
    p.Constant("Statut", "Prêté");
    p.Constant("emprunteur", "PT");
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    SkipStepOnError(run, [&] { InsertPretFilmSecurite(run); });
    InsertDestFilm(run, "tmppretFilm", "NomEmprunteur");
    run.CommitEtProgress();
    MoveLoans(run);
    RunPasses(run);
    SetGenerator(run, "pretFilm", "id_pretFilm", kMessage);
  };
  TableRoutine routine{"TablePretFilm", "Pret Film", "PretFilm",
                       "INSERT INTO tmpPretFilm(Id_patient, DateEmprunt, DateRetour, DetailsPret, NomEmprunteur, "
                       "AutreCommentaire, Id_PretFilm, DossierPatient, nomPreteur, Prescription, Examen, NAM, "
                       "Desactive, Statut, emprunteur)",
                       15};
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
