#include "source/tables/patient.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <vector>

#include "global/string_utils.h"
#include "source/maintenance/backup_restore.h"
#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/tables/table_loop.h"

namespace korvel {

// ------------------------------------------------------------ city cleaning

struct CityCleaner::Impl {
  struct Pattern {
    pcre2_code* code = nullptr;
    pcre2_match_data* match = nullptr;
    const char* province = "";
  };
  std::vector<Pattern> patterns;

  ~Impl() {
    for (Pattern& p : patterns) {
      pcre2_match_data_free(p.match);
      pcre2_code_free(p.code);
    }
  }
};

CityCleaner::CityCleaner() : impl_(std::make_unique<Impl>()) {
  // The legacy list, in its order. The second and third end alike ("TARIO.*").
  static const std::pair<const char*, const char*> kProvinces[] = {
      {R"(([ \(,\.]{1,})((QU[EÉ]|QC|P\.Q))($|BEC.*|\.))", "QC"},
      {R"(([ \(,\.]{1,})(ON)($|TARIO.*|\.))", "ON"},
      {R"(([ \(,\.]{1,})(NB|N\.B)($|TARIO.*|\.))", "NB"},
  };
  for (const auto& [pattern, province] : kProvinces) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    // UTF mode: the program's texts are UTF-8, and caseless matching then folds "é"
    // and "É" as the legacy 8-bit tables did.
    pcre2_code* code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern), PCRE2_ZERO_TERMINATED,
                                     PCRE2_UTF | PCRE2_CASELESS, &error, &offset, nullptr);
    if (!code) throw ERoutineFault(std::string("province pattern does not compile: ") + pattern);
    impl_->patterns.push_back({code, pcre2_match_data_create_from_pattern(code, nullptr), province});
  }
}

CityCleaner::~CityCleaner() = default;

std::string CityCleaner::CleanCity(const std::string& ps_Ville, std::string& ps_Province) {
  ps_Province.clear();
  for (const Impl::Pattern& p : impl_->patterns) {
    const int rc =
        pcre2_match(p.code, reinterpret_cast<PCRE2_SPTR>(ps_Ville.data()), ps_Ville.size(), 0, 0, p.match, nullptr);
    if (rc <= 0) continue;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(p.match);
    const std::string matched = ps_Ville.substr(ovector[0], ovector[1] - ovector[0]);
    ps_Province = p.province;
    // Every occurrence of the matched text goes, compared exactly.
    std::string result;
    size_t from = 0;
    for (size_t at = ps_Ville.find(matched); at != std::string::npos; at = ps_Ville.find(matched, from)) {
      result.append(ps_Ville, from, at - from);
      from = at + matched.size();
    }
    result.append(ps_Ville, from, std::string::npos);
    return result;
  }
  return ps_Ville;
}

// ------------------------------------------------------------ the routine

namespace {

constexpr const char* kMessage = "Table Patient \r\n";

}  // namespace

void TransfertTablePatient(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  // Read once, before anything changes: a threshold that is not a number refuses this
  // table only.
  const std::string threshold_text = run.Options().firstPatientNumber;
  const std::optional<int64_t> threshold = IntegerFromText(threshold_text);
  if (!threshold) {
    run.FLogMgr.StartTableLog("TablePatient");
    const std::string message =
        "Numero de patient de depart invalide: '" + threshold_text + "', la table Patient n'est pas transferee";
    run.DoLogError(nullptr, message, false);
    run.DoLogMisc(message);
    engine.InitQuerySource();  // nothing read, nothing added: not the previous table's counts
    run.Summary.RefuseTable();
    run.SauvegarderLeFichierLogEtCommit();
    return;
  }
  CityCleaner cleaner;
  std::string province;
  TDefault constant;
  RoutineHooks hooks;
  hooks.beforeFirstRecord = [&] { ChangeStateIndex(run, "PATIENT", kMessage, true); };
  hooks.setup = [&] {
    engine.InitTransfertCondition(TCanTransfertType::ctNone, -1);
    engine.InitSubQueries("TmpPatientVar",
                          "INSERT INTO Patient_Var(ID_PATIENT, CharVar1, CharVar2, CharVar3, CharVar4)", 5);
    engine.InitSubQueries("PATIENTSUPPLEMENT", "INSERT INTO PATIENTSUPPLEMENT(ID_PATIENT, Province)", 2);
  };
  hooks.acceptReadsRecordOnly = true;
  hooks.accept = [&](RecordParams& p) {
    const TField& autonum = p.Field("AutoNum");
    return !autonum.IsNull() && autonum.AsInteger() >= *threshold ? Verdict::accept : Verdict::passOver;
  };
  hooks.assign = [&](RecordParams& p) {
    TSrcToDest& conv = p.Converter();
    p.Copy("DossierPrincipal", p.Field("Dossier"));
    p.Copy("NAM", p.Field("Nam"));
    p.Copy("Expiration", p.Field("Expiration"));
    // Letters compared without regard to case: a male patient written "m" is male.
    const std::string sexe = UpperCase(Trim(p.Field("Sexe").AsString()));
    p.Constant("Sexe", sexe.empty() ? "I" : sexe == "M" || sexe == "H" ? "M" : "F");
    p.Copy("Naissance", p.Field("Naissance"));
    p.Copy("Prenom", p.Field("Prenom"));
    p.Copy("Nom", p.Field("Nom"));
    p.Copy("MaritalNom", p.Field("Marital"));
    p.Copy("Adresse", p.Field("Adresse"));
    p.Constant("Ville", cleaner.CleanCity(Trim(p.Field("Ville").AsString()), province));
    p.Copy("Postal", p.Field("Postal"));
    p.Set("TelRes", conv.AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("TelRes")));
    p.Set("TelBur", conv.AssignSrcToDestSpecial(TSpecialParam::spMakeTelephone, p.Field("TelBur")));
    p.Copy("TelBurPoste", p.Field("ExtBur"));
    p.Copy("Occupation", p.Field("Occupation"));
    p.Set("ConjointNom", conv.AssignSrcToDestSpecial(TSpecialParam::spSubStrLastName, p.Field("Conjoint")));
    p.Set("ConjointPrenom", conv.AssignSrcToDestSpecial(TSpecialParam::spSubStrName, p.Field("Conjoint")));
    p.Set("PereNom", conv.AssignSrcToDestSpecial(TSpecialParam::spSubStrLastName, p.Field("Pere")));
    p.Set("PerePrenom", conv.AssignSrcToDestSpecial(TSpecialParam::spSubStrName, p.Field("Pere")));
    p.Copy("Nas", p.Field("Nas"));
    const std::string langue = UpperCase(Trim(p.Field("Langue").AsString()));
    p.Constant("Langue", langue.empty() || langue == "F" ? "FR" : "EN");
    p.Copy("Allergie1", p.Field("Allergie"));
    p.Copy("Texte", p.Field("Texte"));
    p.Copy("Id_Patient", p.Field("AutoNum"));
    p.Copy("DossierSecondaire", p.Field("Hopital"));
    p.Constant("etablissement", run.numeroEtablis);
    p.Constant("desactive", "N");
  };
  hooks.subStatements = {
      [&](RecordParams& p) {
        const char* names[] = {"Variable1", "Variable2", "Variable3", "Variable4"};
        bool any = false;
        for (const char* name : names) any |= !p.Field(name).AsString().empty();
        if (!any) return;
        TSrcToDest& conv = p.Converter();
        engine.SetDestSubParam("TmpPatientVar", 0, conv.AssignSrcToDest(p.Field("AutoNum")));
        for (int i = 0; i < 4; ++i)
          engine.SetDestSubParam("TmpPatientVar", i + 1, conv.AssignSrcToDest(p.Field(names[i])));
        engine.TransfertSubsByName("TmpPatientVar");
      },
      [&](RecordParams& p) {
        if (province.empty()) return;
        engine.SetDestSubParam("PATIENTSUPPLEMENT", 0, p.Converter().AssignSrcToDest(p.Field("AutoNum")));
        constant.Value = province;
        engine.SetDestSubParam("PATIENTSUPPLEMENT", 1, p.Converter().AssignSrcToDestNotNull(nullptr, constant));
        engine.TransfertSubsByName("PATIENTSUPPLEMENT");
      },
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    ChangeStateIndex(run, "PATIENT", kMessage, false);
    SetGenerator(run, "Patient", "Id_Patient", kMessage);
  };
  hooks.afterSave = [&] {
    DatabaseBackupRestore(run, "RIS_APRES_PATIENT_" + FormatDateTime("yyyymmdd_hhnnss", Now()) + ".FBK");
  };
  TableRoutine routine{
      "TablePatient", "Patient ", "patient",
      "INSERT INTO Patient(DossierPrincipal, NAM, Expiration, Sexe, Naissance, Prenom, Nom, MaritalNom, "
      "Adresse, Ville, Postal, TelRes, TelBur, TelBurPoste, Occupation, ConjointNom, ConjointPrenom, "
      "PereNom, PerePrenom, Nas, Langue, Allergie1, Texte, Id_Patient, DossierSecondaire, "
      "etablissement, desactive)",
      27};
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
