#include "source/tables/billing_tables.h"

#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

using TC = TCanTransfertType;

// Columns 1..13 shared by both generations of fee modifiers, from the source fields
// of these names.
void ModifierColumns(RecordParams& p) {
  static const char* const kFields[] = {"Omni",           "Spec",  "Description", "Explication", "Plafond",
                                        "PlafondAtteint", "Csst",  "BS",          "UniteBase",   "UniteAdd",
                                        "CodeA",          "CodeB", "Garde"};
  for (int i = 0; i < 13; ++i) p.Copy(i + 1, p.Field(kFields[i]));
}

}  // namespace

void TransfertTableModific(RunContext& run) {
  RunTableRoutine(
      run,
      {"TableModific", "Modificateur", "Modific",
       "INSERT INTO Modificateur(Code, Omni, Spec, Description, Explication, Plafond, PlafondAtteint, Csst, bs, "
       "UniteBase, UniteAdd, CodeA, CodeB, Garde, CodeC, ActeExclus, Role7, Desactive)",
       18},
      [&] {
        run.FDataMgr->InitCodeDestCopy("Modificateur", {"Code", "Code"}, true);
      },
      [](RecordParams& p) {
        p.Copy("Code", p.Field("Code"));
        ModifierColumns(p);
        p.Copy("CodeC", p.Field("CodeC"));
        p.Copy("ActeExclus", p.Field("ActesExclus"));
        p.Copy("Role7", p.Field("Role7"));
        p.Constant("Desactive", "N");
      });
}

void TransfertTableModSoft(RunContext& run) {
  RunTableRoutine(
      run,
      {"TableModSoft", "ModSoft", "ModSoft",
       "INSERT INTO ModSoft(Code, Omni, Spec, Description, Explication, Plafond, PlafondAtteint, Csst, bs, "
       "UniteBase, UniteAdd, CodeA, CodeB, Garde, Desactive)",
       15},
      [&] {
        run.FDataMgr->InitCodeDestCopy("ModSoft", {"Code", "Code"}, true);
      },
      [](RecordParams& p) {
        p.Copy("Code", p.Field(0));
        ModifierColumns(p);
        p.Constant("Desactive", "N");
      });
}

void TransfertTableModCompl(RunContext& run) {
  // No duplicate check: the target alone refuses a repeated rule.
  TableRoutine routine{"TableModCompl", "ModCompl", "ModCompl",
                       "INSERT INTO ModCompl(Mod, Code1, Code2, Cs, Renseignement, ArretSurEcran, Desactive)", 7};
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, {}, [](RecordParams& p) {
    p.Copy("Mod", p.Field("MOD"));
    p.Copy("Code1", p.Field("CODE1"));
    p.Copy("Code2", p.Field("CODE2"));
    p.Copy("Cs", p.Field("CS"));
    p.Copy("Renseignement", p.Field("Renseignement"));
    p.Copy("ArretSurEcran", p.Field("ArretSurEcran"));
    p.CopyOr("Desactive", p.Field("ArretSurEcran"), "N");
  });
}

void TransfertTableRemMajoree(RunContext& run) {
  RunTableRoutine(
      run,
      {"TableRemMajoree", "RemMajoree ", "RemMajoree",
       "INSERT INTO RemMajoree(Territoire, T1A, T1B, T1C, T1D, T1E, T1F, T2A, T3A, T3B, T4A, T4B, T4C, T4D, T4E)", 15},
      [&] {
        run.FDataMgr->InitCodeDestCopy("RemMajoree", {"Territoire", "Territoire"}, true);
      },
      [](RecordParams& p) {
        static const char* const kFields[] = {"Territoire", "T1a", "T1B", "T1C", "T1D", "T1E", "T1F", "T2A",
                                              "T3A",        "T3B", "T4A", "T4B", "T4C", "T4D", "T4E"};
        for (int i = 0; i < 15; ++i) p.Copy(i, p.Field(kFields[i]));
      },
      [&] { RecomputeIndex(run, "RemMajoree", "Table RemMajoree \r\n"); });
}

void TransfertTableCodeTransac(RunContext& run) {
  RunTableRoutine(
      run,
      {"TableCodeTransac", "Code Transaction", "CodeTransac",
       "INSERT INTO CODETRANSAC(CODETRANSAC, Description, Desactive)", 3},
      [&] {
        run.FDataMgr->InitCodeDestCopy("CODETRANSAC", {"CODETRANSAC", "CODE"}, true);
      },
      [](RecordParams& p) {
        p.Copy("CODETRANSAC", p.Field(0));
        p.Copy("Description", p.Field("Description"));
        p.Constant("Desactive", "N");
      });
}

void TransfertTableActivite(RunContext& run) {
  RunTableRoutine(
      run,
      {"Table.Activite", "Activite", "Activite",
       "INSERT INTO Activite(id_activite, Activite, CompteGrLivre, Desactive)", 4},
      [&] {
        run.FDataMgr->InitCodeDestCopy("Activite", {"ID_Activite", "AUTONUM"}, true);
        run.FDataMgr->InitTransfertCondition(TC::ctPKSrcNotEmpty, 1);
      },
      [](RecordParams& p) {
        p.Copy("id_activite", p.Field(0));
        p.Copy("Activite", p.Field(1));
        p.Copy("CompteGrLivre", p.Field("CompteGrLivre"));
        p.Constant("Desactive", "N");
      },
      [&] { SetGenerator(run, "Activite", "ID_Activite", "Table Activite\r\n"); });
}

void TransfertTableEtatType(RunContext& run) {
  RunTableRoutine(
      run,
      {"TableEtatType", "Etat type", "EtatType",
       "INSERT INTO EtatType(TypeNo, Categorie, Champ, Description,PositionInfo, Longueur)", 6},
      [&] {
        run.FDataMgr->InitCodeDestCopy("EtatType", {"TypeNo", "Type"}, {"Champ", "Champ"});
      },
      [](RecordParams& p) {
        p.Copy("TypeNo", p.Field(0));
        p.Copy("Categorie", p.Field("Categorie"));
        p.Copy("Champ", p.Field("Champ"));
        p.Copy("Description", p.Field("Description"));
        p.Copy("PositionInfo", p.Field("Position"));
        p.Copy("Longueur", p.Field("Longueur"));
      });
}

void TransfertTableEtatTypeTitre(RunContext& run) {
  RunTableRoutine(
      run,
      {"TableEtatTypeTitre", "Etat Type Titre", "EtatTypeTitre", "INSERT INTO EtatTypeTitre(TypeNo, Categorie, Nom)",
       3},
      [&] {
        run.FDataMgr->InitCodeDestCopy("EtatTypeTitre", {"TypeNo", "Numero"}, true);
      },
      [](RecordParams& p) {
        p.Copy("TypeNo", p.Field(0));
        p.Copy("Categorie", p.Field("Categorie"));
        p.Copy("Nom", p.Field("NOM"));
      });
}

}  // namespace korvel
