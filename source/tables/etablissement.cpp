#include "source/tables/etablissement.h"

#include "global/string_utils.h"
#include "source/run/traps.h"
#include "source/tables/dictee_options.h"
#include "source/tables/parametres.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

using TC = TCanTransfertType;

constexpr const char* kInsertEtablissement =
    "INSERT INTO etablissement (etablissement, nom, indiceomni, indicespec, logo, serie, FacturationRegie, "
    "FactCalculRole1, Majoration140, FactCalculRole7, Desactive, Territoire, Mixte36, DemandeRequeteRV, "
    "SECURITEDELAIMAJMOTDEPASSE, SECURITEINACTIVITENBJOURS, SECURITENBTENTATIVESACCES, INTERVALFERMETURE, TYPEFACT)";
constexpr const char* kUpdateEtablissement =
    "UPDATE ETABLISSEMENT SET etablissement = :AParam0, NOM = :AParam1, IndiceOmni = :AParam2, IndiceSpec = "
    ":AParam3, LOGO = :AParam4, Serie = :AParam5, FacturationRegie = :AParam6, FactCalculRole1 = :AParam7, "
    "Majoration140 = :AParam8, FactCalculRole7 = :AParam9, Desactive = :AParam10, Territoire = :AParam11, Mixte36 = "
    ":AParam12, DemandeRequeteRV = :AParam13, SECURITEDELAIMAJMOTDEPASSE = :AParam14, SECURITEINACTIVITENBJOURS = "
    ":AParam15, SECURITENBTENTATIVESACCES = :AParam16, INTERVALFERMETURE = :AParam17, TYPEFACT = :AParam18 WHERE "
    "ETABLISSEMENT = '99999'";
constexpr const char* kInsertInfo = "INSERT INTO etablissement_info (ville, courriel, departement, etablissement)";
constexpr const char* kUpdateInfo =
    "UPDATE etablissement_info e SET e.ville = :AParam1, e.courriel = :AParam2, e.departement = :AParam3 WHERE "
    "e.etablissement =:AParam0";

void AssignEtablissement(RunContext& run, RecordParams& p) {
  p.Copy(0, p.Field("Code"));
  p.Set(1, run.FDataMgr->MakePKString("ETABLISSEMENT", "NOM", p.Field("Nom").AsString(), 60, TFieldType::ftInteger));
  p.CopyOr(2, p.Field("IndiceSpec"), "A");
  p.CopyOr(3, p.Field("IndiceSpec"), "A");
  p.Copy(4, p.Field("Logo"));
  // The series test reads the eighth field of the record.
  const TField& eighth = p.Field(7);
  if (eighth.IsNull() || eighth.AsString().empty()) {
    p.Constant(5, "-");
  } else {
    p.Copy(5, p.Field("Serie"));
  }
  p.Copy(6, p.Field("FacturationRegie"));
  p.Copy(7, p.Field("FactCalCulRole1"));
  p.Copy(8, p.Field("Majoration140"));
  p.Copy(9, p.Field("FactCalculRole7"));
  p.Constant(10, "N");
  p.Copy(11, p.Field("Territoire"));
  p.Copy(12, p.Field("Mixte36"));
  p.Constant(13, "O");
  p.Constant(14, "365");
  p.Constant(15, "30");
  p.Constant(16, "5");
  p.Constant(17, "10");
  p.Constant(18, "RAMQ");
}

void AssignInfo(RecordParams& p) {
  p.Copy(0, p.Field("Ville"));
  p.Copy(1, p.Field("Courriel"));
  p.Constant(2, "R");
  p.Copy(3, p.Field("Code"));
}

// Runs one statement of the record; a refused value is logged with the record. Returns
// the rows it changed, or -1 when refused. The establishment row counts as the record
// added once it has landed; its contact row does not count again.
int64_t Execute(RunContext& run, RecordParams& p, void (*assign)(RunContext&, RecordParams&), bool count) {
  int64_t rows = -1;
  RefuseRecordOnError(run, [&] {
    assign(run, p);
    run.FDataMgr->ExecuteDestination();
    const int64_t changed = run.FDataMgr->LastRowsAffected();
    if (count && changed > 0) run.FDataMgr->CountAdded();
    run.CommitEtProgress();
    rows = changed;
  });
  return rows;
}

// The takeover of '99999' by the default establishment; when the placeholder row is
// gone or refuses the update, the establishment is inserted instead, and the log says
// why, so later steps never write to an establishment that does not exist. True when
// the establishment has landed.
bool TransfertRecord(RunContext& run, RecordParams& p, bool takeover) {
  TTransfertData& engine = *run.FDataMgr;
  auto etablissement = [](RunContext& r, RecordParams& q) { AssignEtablissement(r, q); };
  auto info = [](RunContext&, RecordParams& q) { AssignInfo(q); };
  bool took_over = false;
  if (takeover) {
    engine.InitUpdateDestination(kUpdateEtablissement);
    took_over = Execute(run, p, etablissement, true) > 0;
    if (!took_over) {
      run.DoLogError(nullptr,
                     "Etablissement 99999 non repris par " + p.Field("Code").AsString() +
                         ": aucune ligne modifiee ou mise a jour refusee, insertion a la place",
                     false);
    }
  }
  bool landed = took_over;
  if (!took_over) {
    engine.InitDestination(kInsertEtablissement, 19);
    landed = Execute(run, p, etablissement, true) > 0;
  }
  bool info_updated = false;
  if (took_over) {
    engine.InitUpdateDestination(kUpdateInfo);
    info_updated = Execute(run, p, info, false) > 0;
  }
  if (!info_updated) {
    engine.InitDestination(kInsertInfo, 4);
    Execute(run, p, info, false);
  }
  if (took_over) {
    engine.ExecuteDestQuery("UPDATE Securite SET departement = 'R', etablissement = " + QuotedStr(run.numeroEtablis) +
                            " WHERE id_securite = 99999");
  }
  return landed;
}

}  // namespace

bool IsEtablissement99999(RunContext& run) {
  try {
    run.target.Begin();
    run.pFIBDataSetRis.Close();
    run.pFIBDataSetRis.SetSelectSQL(
        "SELECT Count(e.etablissement) as total FROM etablissement e WHERE e.etablissement='99999'");
    run.pFIBDataSetRis.OpenDataSet();
    const bool found = run.pFIBDataSetRis.FieldByName("total").AsInteger() > 0;
    run.pFIBDataSetRis.Close();
    return found;
  } catch (const std::exception&) {
    return false;
  }
}

void TransfertTableEtablissement(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  run.FLogMgr.StartTableLog("TableEtablis");
  run.ShowTableOperation("Etablissement ");
  if (!engine.InitSourceTable("Etablis")) {
    run.Summary.MissingRequiredSource();
    return;
  }
  const bool placeholder = IsEtablissement99999(run);
  engine.InitCodeDestCopy("Etablissement", {"ETABLISSEMENT", "CODE"}, true);
  engine.InitTransfertCondition(TC::ctPKSrcNotEmpty, 1);
  RecordParams params(run);
  // Each record counted as what became of it, so the summary row can disagree.
  LoopResult result;
  while (!engine.EndTransfert() && run.StopAllProcess) {
    const LoopResult before = result;
    InspectBeginRecord(run);
    if (!EngineAccepts(run)) {
      ++result.refused;
    } else {
      const bool takeover = placeholder && params.Field("Code").AsString() == run.numeroEtablis;
      ++(TransfertRecord(run, params, takeover) ? result.added : result.refused);
    }
    InspectEndRecord(run, before, result);
    engine.NextTransfert();
    ++result.read;
  }
  if (run.inspection) run.inspection->EndTable();
  run.Summary.AddLoop(true, result.read, result.added, result.refused, 0);
  if (run.FDicteeMgr && run.FDicteeMgr->DicteeActif) AssignDicteeDataOptions(run);
  run.SauvegarderLeFichierLogEtCommit();
  TransfertTableParm(run);
}

}  // namespace korvel
