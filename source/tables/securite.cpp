#include "source/tables/securite.h"

#include "source/run/traps.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

// Legacy right flags in the order of the target's right columns (CreerVisite to
// TableParametres).
constexpr const char* kRightFlags[] = {"FichierCreerPrescription",
                                       "FichierDetruirePrescrip",
                                       "TableActe",
                                       "TablePrive",
                                       "TableDiagnos",
                                       "TableEtablis",
                                       "TableReferant",
                                       "TableModif",
                                       "TableRadiol",
                                       "TableTexteProto",
                                       "TableProtocoleLot",
                                       "TableSiteAnatom",
                                       "TableCodeSpec",
                                       "TableTypePrescrip",
                                       "TableParm"};

TParamValue TextOrNull(const std::string& text) {
  TParamValue value;
  if (!text.empty()) value.SetText() = text;
  return value;
}

}  // namespace

void TransfertTableSecurite(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitCodeDestCopy("Securite", {"Utilisateur", "Initiale"}, true); };
  hooks.assign = [&](RecordParams& p) {
    p.Copy("Utilisateur", p.Field("Initiale"));
    p.Set("MotDePasse", run.FParamMgr->AssignSrcToDestSpecial(TSpecialParam::spEncrypt, p.Field("password")));
    p.Copy("Nom", p.Field("Nom"));
    // A right the legacy user has no value for is not granted: 'N', never NULL.
    for (int i = 0; i < 15; ++i) p.CopyOr(3 + i, p.Field(kRightFlags[i]), "N");
    p.Constant("Langue", "FR");
    p.Constant("OPTCORRORTHO", "N");
    p.Constant("Etablissement", run.numeroEtablis);
    p.Constant("Departement", "R");
  };
  // PROG is configured even when the run was stopped during the loop.
  hooks.closing = [&] { ConfigSuperUser(run); };
  RunTableRoutine(
      run,
      {"TableSecurite", "Securite", "Securite",
       "INSERT INTO Securite(Utilisateur, MotDePasse, Nom, CreerVisite, DetruireVisite, TableActe, "
       "TableCiePrivee, TableDiagnostique, TableEtablissement, TableMedecin, TableModificateur, "
       "TableRadiologiste, TableTextePreins, TableProtocole, TableRegion, TableSpecialite, TableTypeVisite, "
       "TableParametres, Langue, OPTCORRORTHO, Etablissement, Departement)",
       22},
      hooks);
}

void ConfigSuperUser(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  SkipStepOnError(run, [&] {
    engine.InitUpdateDestination(
        "UPDATE SECURITE SET Etablissement = :AEtablis, DEPARTEMENT = 'R' WHERE UTILISATEUR = 'PROG'");
    engine.SetDestParam(0, TextOrNull(run.numeroEtablis));
    // An update of an existing user: not a record added by the table.
    engine.ExecuteDestination();
    engine.ExecuteDestQuery(
        "UPDATE SECURITE_DICTEE SET DICTEETYPE = 1 WHERE ID_SECURITE IN (SELECT ID_SECURITE FROM SECURITE WHERE "
        "UTILISATEUR = 'PROG')");
    engine.CommitDestQuery();
  });
}

}  // namespace korvel
