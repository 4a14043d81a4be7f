#include "source/tables/simple_tables.h"

#include "global/string_utils.h"
#include "source/maintenance/generators.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

using TC = TCanTransfertType;

// Code, "Description or the code", "N": the shape of most code tables.
void CodeDescriptionInactive(RecordParams& p) {
  p.Copy(0, p.Field(0));
  p.CopyOrTextOf(1, p.Field("Description"), p.Field(0));
  p.Constant(2, "N");
}

}  // namespace

void TransfertTableAnatom(RunContext& run) {
  TableRoutine routine{"TableAnatom", "region", "Anatom", "INSERT INTO Region(Region, Description, Desactive)", 3};
  routine.batchOnlyAfterAccepted = true;
  RunTableRoutine(
      run, routine,
      [&] {
        run.FDataMgr->InitCodeDestCopy("Region", {"Region", "CODE"}, true);
      },
      CodeDescriptionInactive);
}

void TransfertTableModalite(RunContext& run) {
  RunTableRoutine(
      run, {"TableModalite", "Modalite", "Modalite", "INSERT INTO Modalite(Modalite, Description, Desactive)", 3},
      [&] {
        run.FDataMgr->InitCodeDestCopy("Modalite", {"Modalite", "Modalite"}, true);
        run.FDataMgr->InitTransfertCondition(TC::ctPKOnly, -1);
      },
      CodeDescriptionInactive);
}

void TransfertTableDictio(RunContext& run) {
  RunTableRoutine(
      run, {"TableDicto", "Dictionnaire", "Dictio", "INSERT INTO Dictionnaire(Mot, Description, Desactive)", 3},
      [&] {
        run.FDataMgr->InitCodeDestCopy("Dictionnaire", {"Mot", "Mot"}, true);
        run.FDataMgr->InitTransfertCondition(TC::ctPKOnly, -1);
      },
      CodeDescriptionInactive);
}

void TransfertTableMotCorr(RunContext& run) {
  RunTableRoutine(
      run, {"TableMotCorr", "MotCor", "MotCorr", "INSERT INTO MotCor(Remplacer, Par, desactive)", 3},
      [&] {
        run.FDataMgr->InitCodeDestCopy("MotCor", {"Remplacer", "Remplacer"}, true);
      },
      [](RecordParams& p) {
        p.Copy("Remplacer", p.Field(0));
        p.Copy("Par", p.Field(1));
        p.Constant("desactive", "N");
      });
}

void TransfertTableDiagnos(RunContext& run) {
  TableRoutine routine{"TableDiagnos", "Diagnostique", "Diagnos",
                       "INSERT INTO Diagnostique(Diagnos, Description, Desactive)", 3};
  routine.refreshCounterAtEnd = false;
  RunTableRoutine(
      run, routine,
      [&] {
        run.FDataMgr->InitCodeDestCopy("Diagnostique", {"Diagnos", "CODE"}, true);
      },
      CodeDescriptionInactive);
}

void TransfertTableTypePres(RunContext& run) {
  // The check compares the source Description while the code inserted is field 1.
  RunTableRoutine(
      run, {"TableTypePres", "TypeFact", "TypePres", "INSERT INTO TypeFact(TypeFact, Desactive)", 2},
      [&] {
        run.FDataMgr->InitCodeDestCopy("TypeFact", {"TypeFact", "Description"}, true);
      },
      [](RecordParams& p) {
        p.Copy("TypeFact", p.Field(1));
        p.Constant("Desactive", "N");
      });
}

void TransfertTableTxtProto(RunContext& run) {
  RunTableRoutine(
      run,
      {"TableTxtProto", "TextePreIns", "TxtProto",
       "INSERT INTO TextePreins(TextePreins, Description, Texte, langue, Desactive, Impression, "
       "DESCRIPTIONSECONDAIRE, TexteSecondaire)",
       8},
      [&] {
        run.FDataMgr->InitCodeDestCopy("TextePreins", {"TextePreins", "Code"}, true);
      },
      [&](RecordParams& p) {
        const std::string desc = p.Field("Description").AsString();
        p.Copy("TextePreins", p.Field(0));
        p.CopyOrTextOf("Description", p.Field("Description"), p.Field(0));
        p.CopyOr("Texte", p.Field("Texte"), "");
        p.Constant("langue", UpperCase(Trim(desc)).find("ANGLAIS") != std::string::npos ? "EN" : "FR");
        p.Constant("Desactive", "N");
        p.Constant("Impression", "O");
        // Older layouts have no English columns: both stay NULL.
        if (run.FDataMgr->FieldCount() > 4) {
          p.Copy("DESCRIPTIONSECONDAIRE", p.Field("DescriptionAnglaise"));
          p.Copy("TexteSecondaire", p.Field("TexteAnglais"));
        }
      });
}

void TransfertTableExport(RunContext& run) {
  TableRoutine routine{"TableExport", "Export", "Export", "INSERT INTO Export(ID_EXPORT, DateHeure, ExportType)", 3};
  routine.checkAcceptance = false;
  routine.refreshCounterAtEnd = false;  // shown after the closing commit instead
  RunTableRoutine(
      run, routine, [&] { run.FDataMgr->InitTransfertCondition(TC::ctNone, -1); },
      [&](RecordParams& p) {
        p.Copy("ID_EXPORT", p.Field("autonum"));
        p.Set("DateHeure",
              run.FParamMgr->AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("DATE"), p.Field("HEURE")));
        p.Copy("ExportType", p.Field("TYPE"));
      },
      [&] {
        // The generator moves past the identifiers just inserted.
        run.CommitEtProgress();
        run.ShowCounter();
        SetGenerator(run, "EXPORT", "ID_EXPORT", "Table Export\r\n");
      });
}

}  // namespace korvel
