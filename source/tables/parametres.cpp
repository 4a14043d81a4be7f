#include "source/tables/parametres.h"

#include <charconv>
#include <cstdint>
#include <functional>
#include <optional>

#include "global/string_utils.h"
#include "source/run/traps.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

// A next file number the target's integer column can take: digits (a sign allowed)
// within 32 bits; nothing otherwise.
std::optional<int32_t> FileNumber(const std::string& text) {
  const std::string trimmed = Trim(text);
  int32_t value = 0;
  const char* first = trimmed.data() + (trimmed.size() > 0 && trimmed[0] == '+' ? 1 : 0);
  const char* last = trimmed.data() + trimmed.size();
  const auto [end, ec] = std::from_chars(first, last, value);
  if (first == last || ec != std::errc() || end != last) return std::nullopt;
  return value;
}

// A free statement followed by a commit.
void ExecuteAndCommit(RunContext& run, const std::string& sql) {
  run.FDataMgr->ExecuteDestQuery(sql);
  run.CommitEtProgress();
}

void UpdateDossier(RunContext& run) {
  TffTable& parm = run.TableParm;
  const TField& dossier = *parm.FieldByName("Prochain No Dossier");
  const std::optional<int32_t> next = FileNumber(dossier.AsString());
  if (!next) {
    // Only the file number is left as it is: the interface settings of the same
    // statement and every later step still migrate.
    run.DoLogError(nullptr,
                   "Prochain No Dossier invalide: '" + dossier.AsString() +
                       "', numero de dossier de l'etablissement non mis a jour",
                   false);
  }
  const TField& sorvane_next = *parm.FieldByName("InterfaceSorvaneProchain");
  const int64_t interface_next = sorvane_next.IsNull() ? 0 : sorvane_next.AsInteger();
  ExecuteAndCommit(run,
                   "UPDATE etablissement SET " + (next ? "dossier = " + std::to_string(*next) + ", " : "") +
                       "SORVANE_PROCHAINFICHIER=" + std::to_string(interface_next) +
                       ", SORVANE_TYPEDOSSIER=" + QuotedStr(parm.FieldByName("InterMedDossierHop")->AsString()) +
                       ", SORVANE_REPERTOIRE=" + QuotedStr(parm.FieldByName("InterfaceSorvaneData")->AsString()) +
                       ", SORVANE_ACTIF=" + QuotedStr(parm.FieldByName("InterfaceSorvane")->AsBoolean() ? "O" : "N") +
                       " WHERE etablissement = " + QuotedStr(run.numeroEtablis));
}

}  // namespace

void TransfertTableParm(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  run.FLogMgr.StartTableLog("Parm");
  run.ShowTableOperation("Parm");
  // A legacy table that cannot be opened is said in the summary (never a row that
  // reconciles by itself).
  if (!engine.InitSourceTable("Parm")) {
    run.Summary.MissingRequiredSource();
    return;
  }
  if (engine.EndTransfert()) {
    // Without its one record there is nothing to carry over: the target's settings
    // stay as they are rather than being blanked.
    run.DoLogError(nullptr, "Table Parm vide: les parametres de la clinique ne sont pas transferes", false);
    run.Summary.AddLoop(true, 0, 0, 0, 0);
    run.SauvegarderLeFichierLogEtCommit();
    return;
  }
  RecordParams p(run);
  run.FImpExamenNonLu = p.Field("ImpExamNonLu").AsBoolean();

  int64_t refused = 0;
  engine.InitDestination(
      "INSERT INTO Etablissement_agence(Etablissement, no_agence, nom, adresse, ville, Postal, telephoneAgence, "
      "sitePrincipal, telephoneRegie, regiemotPass, regieUsager)",
      11);
  if (!RefuseRecordOnError(run, [&] {
        p.Constant("Etablissement", run.numeroEtablis);
        p.CopyOr("no_agence", p.Field("Agence No"), "0");
        p.Copy("nom", p.Field("Agence Nom"));
        p.Copy("adresse", p.Field("Agence Adresse"));
        p.Copy("ville", p.Field("Agence Ville"));
        p.Copy("Postal", p.Field("Agence Code Postal"));
        p.Set("telephoneAgence",
              run.FParamMgr->AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("Agence Telephone")));
        p.Constant("sitePrincipal", p.Field("AgenceSite").AsString() == "S" ? "N" : "O");
        p.Set("telephoneRegie",
              run.FParamMgr->AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("RegieTel")));
        p.Copy("regiemotPass", p.Field("RegieMotPasseRegie"));
        p.Copy("regieUsager", p.Field("RegieUsagerRegie"));
        engine.Transfert();
        run.CommitEtProgress();
      })) {
    refused = 1;
  }
  // Counted from what happened: a record neither added nor refused leaves the row
  // unreconciled.
  run.Summary.AddLoop(true, 1, engine.NbAdded(), refused, 0);

  engine.InitUpdateDestination(
      "UPDATE ETABLISSEMENT_INFO SET ADRESSE = :AParam0, POSTAL = :AParam1, TELEPHONE = :AParam2, TELECOPIEUR = "
      ":AParam3 WHERE ETABLISSEMENT = :AParam4");
  RefuseRecordOnError(run, [&] {
    p.Copy(0, p.Field("Agence Adresse"));
    p.Copy(1, p.Field("Agence Code Postal"));
    p.Set(2, run.FParamMgr->AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("Agence Telephone")));
    p.Set(3, run.FParamMgr->AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("AgenceFax")));
    p.Constant(4, run.numeroEtablis);
    engine.ExecuteDestination();
    run.CommitEtProgress();
  });

  const std::string code_regional = p.Field("Code Regional").AsString();
  RefuseRecordOnError(run, [&] {
    run.ShowCounter();
    run.TableParm.Close();
    run.TableParm.Open();
    run.TableParm.First();
    UpdateDossier(run);
  });
  RefuseRecordOnError(run, [&] {
    ExecuteAndCommit(run,
                     "UPDATE PARAM p SET p.valeur=" + QuotedStr(code_regional) + " WHERE p.id_param='CodeRegional'");
  });
  RefuseRecordOnError(
      run, [&] { ExecuteAndCommit(run, "UPDATE PARAM p SET p.valeur='1' WHERE p.id_param='PositionNumTelephone'"); });
  RefuseRecordOnError(run, [&] {
    const TField& pacs = *run.TableParm.FieldByName("NumerisationPACS");
    if (pacs.IsNull()) return;
    ExecuteAndCommit(run, "UPDATE ETABLISSEMENT SET NUMERISATIONPACS = " +
                              QuotedStr(FormatDateTime("yyyy-mm-dd", pacs.AsDateTime())) +
                              " WHERE ETABLISSEMENT = " + QuotedStr(run.numeroEtablis));
  });
  RefuseRecordOnError(run, [&] {
    const TField& qrp = *run.TableParm.FieldByName("ProchainFichierQRP");
    if (qrp.IsNull()) return;
    ExecuteAndCommit(run, "SET GENERATOR GEN_ID_NOFICHIER_FAX TO " + std::to_string(qrp.AsInteger()));
  });
  run.TableParm.Close();
  engine.NextTransfert();  // the one record read
  run.SauvegarderLeFichierLogEtCommit();
}

void TransfertTableParmEpur(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  run.FLogMgr.StartTableLog("UpdateEtablissement");
  run.ShowTableOperation("Parm Epur ");
  if (!engine.InitSourceTable("ParmEpur")) {
    run.Summary.MissingRequiredSource();
    return;
  }
  // Every establishment receives the same delays: legacy field positions, in the
  // order of the statement's parameters.
  static constexpr int kPositions[] = {0, 2, 6, 18, 10, 14, 22, 30, 5, 21, 9, 13, 29, 25, 33};
  engine.InitUpdateDestination(
      "UPDATE Etablissement SET Alarme = :Param0, EpurePrescrip = :Param1, EpureHistoLot = :Param2, EpurePaiement = "
      ":Param3, EpureEtat = :Param4, EpureReleve = :Param5, EpureHistoLog = :Param6, EpureR1606 = :Param7, "
      "EpurePrescripInt = :Param8, EpurePaiementInt = :Param9, EpureHistoLotInt = :Param10, EpureEtatInt = :Param11, "
      "EpureReleveInt = :Param12, EpureHistoLogInt = :Param13, EpureR1606Int = :Param14, EPUREMAMOGRAPHIE = :Param15, "
      "EPUREMAMOGRAPHIEINT = :Param16");
  RecordParams p(run);
  if (!engine.EndTransfert()) {
    int64_t refused = 0;
    if (!RefuseRecordOnError(run, [&] {
          for (int i = 0; i < 15; ++i) p.Copy(i, p.Field(kPositions[i]));
          p.Constant(15, "N");
          p.Constant(16, "3650");
          engine.Transfert();
        })) {
      refused = 1;
    }
    engine.NextTransfert();
    run.Summary.AddLoop(true, 1, engine.NbAdded(), refused, 0);
  }
  run.SauvegarderLeFichierLogEtCommit();
}

}  // namespace korvel
