#include "source/tables/historiques.h"

#include <unordered_set>

#include "global/string_utils.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"
#include "source/tables/target_rows.h"

namespace korvel {
namespace {

using TC = TCanTransfertType;

// The clinic's agency number: field "Agence No" of the first legacy settings record
// (empty when there is none). A settings table that cannot be read is logged and
// counts as no number: the histories still migrate.
std::string AgencyNumber(RunContext& run) {
  TffTable& parm = run.TableParm;
  std::string agency;
  try {
    parm.Close();
    parm.Open();
    parm.First();
    if (!parm.Eof()) {
      const TField* field = parm.FieldByName("Agence No");
      if (!field->IsNull()) agency = field->AsString();
    }
  } catch (const std::exception& e) {
    run.DoLogError(nullptr, std::string("Numero d'agence illisible dans Parm: ") + e.what(), false);
  }
  parm.Close();
  return agency;
}

// The identifier of the user a staged name became when completed (its first 20
// characters).
std::string UserOf(const std::string& column) {
  return "(SELECT ID_SECURITE FROM SECURITE WHERE Utilisateur = SUBSTR(" + column + ", 1, 20))";
}

// Copies of the named fields into the parameters, in order.
void CopyFields(RecordParams& p, std::initializer_list<const char*> names) {
  int i = 0;
  for (const char* name : names) p.Copy(i++, p.Field(name));
}

void Finalisation(RunContext& run, const char* label) {
  run.CommitEtProgress();
  run.UI().SetOperation(std::string(label) + "\r\nFinalisation du transfert");
}

}  // namespace

void TransfertTableHistoEpur(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("HistoEpur", {"NomTable", "NomTable"}, {"DateEffect", "DateEffect"});
  };
  hooks.assign = [](RecordParams& p) {
    CopyFields(p, {"NomTable", "DateEffect", "DateDeb", "DateFin", "NbrEpure", "Commentaire"});
  };
  RunTableRoutine(run,
                  {"TableHistoEpur", " Histo Epur", "HistoEpur",
                   "INSERT INTO HistoEpur(NomTable, DateEffect, DateDebut, DateFin, NbrEpure, Commentaire)", 6},
                  hooks);
}

void TransfertTableHistoEtat(RunContext& run) {
  TParamValue agency;
  // The legacy statements have no identifier and the target numbers them: a statement
  // is known by its values, and one the target held before this run (an earlier run
  // moved it) is passed over, so a run made again adds none twice.
  static const char* const kDates[] = {"EcDate", "Reception", "Fusion", "Impression", "Coupure"};
  std::unordered_set<std::string> present;
  int64_t passedPresent = 0;
  RoutineHooks hooks;
  hooks.beforeFirstRecord = [&] {
    const std::string number = AgencyNumber(run);
    if (!number.empty()) agency.SetText() = number;
    ForEachTargetRow(run, "SELECT ECDATE, RECEPDATE, FUSION, IMPRDATE, COUPURE, NOPAIEMENT FROM HISTOETAT",
                     [&](fib::TpFIBQuery& row) {
                       std::string key;
                       for (int i = 0; i < 5; ++i) {
                         key +=
                             (row.Fields(i).IsNull() ? std::string() : DateToStr(row.Fields(i).AsDateTime())) + '\x1f';
                       }
                       present.insert(key + TextOf(row.Fields(5)));
                       return true;
                     });
  };
  // A statement without date is left out, without a log line.
  hooks.accept = [&](RecordParams& p) {
    const TField& date = p.Field("EcDate");
    if (date.IsNull() || date.AsDateTime().value <= 0) return Verdict::passOver;
    // Known by the values it would be written with (a zero date or a blank number
    // is written NULL), as the target's rows were read.
    std::string key;
    for (const char* name : kDates) {
      const TParamValue& value = p.Converter().AssignSrcToDest(p.Field(name));
      key += (value.IsNull() ? std::string() : DateToStr(value.Value().AsDateTime())) + '\x1f';
    }
    const TParamValue& number = p.Converter().AssignSrcToDest(p.Field("NoPaiement"));
    if (present.count(key + (number.IsNull() ? std::string() : number.Value().AsString())) == 0) {
      return Verdict::accept;
    }
    ++passedPresent;
    return Verdict::passOver;
  };
  hooks.closing = [&] {
    if (passedPresent > 0) {
      run.DoLogError(nullptr,
                     "Historiques d'etats deja presents dans la base, non transferes: " + std::to_string(passedPresent),
                     false);
    }
  };
  hooks.assign = [&](RecordParams& p) {
    CopyFields(p, {"EcDate", "Reception", "Fusion", "Impression", "NoPaiement", "Coupure"});
    p.Set("agence", agency);
  };
  TableRoutine routine{"TableHistoEtat", "Histo Etat", "HistoEtat",
                       "INSERT INTO HistoEtat(EcDate, RECEPDATE, Fusion, IMPRDATE, NoPaiement, Coupure, agence)", 7};
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

void TransfertTableHistoLot(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("tmpHistoLot", {"Numero", "Numero"}, true);
    run.FDataMgr->InitTransfertCondition(TC::ctPKSrcNotEmpty, 1);
  };
  hooks.assign = [](RecordParams& p) {
    CopyFields(p, {"Numero", "ProducDate", "ProducOpr", "TransDate", "ConvDate", "ConvOpr", "ConvRefNo", "AnnulDate",
                   "AnnulOpr", "TransOpr"});
  };
  hooks.closing = [&] {
    TTransfertData& engine = *run.FDataMgr;
    Finalisation(run, "Table Histo Lot");
    for (const char* column : {"pOpr", "TOpr", "COpr", "AOpr"}) {
      InsertSecuriteTmp(run, "tmpHistoLot", column, "Table Histo Lot\r\n");
    }
    run.CommitEtProgress();
    // The lot's users are found by the names staged for them; a lot already moved by
    // an earlier run is not offered again.
    MoveStaged(run, {"HistoLot",
                     "INSERT INTO HistoLot(ATTESTATION, DATEPRODUC, ID_SECURITEPRODUC, DATETRANS, DATECONV, "
                     "ID_SECURITECONV, ConvRefNo, DATEANNUL, ID_SECURITEANNUL, ID_SECURITETRANS) SELECT h.Numero, "
                     "h.Production, " +
                         UserOf("h.pOpr") + ", h.Transmission, h.Conversion, " + UserOf("h.cOpr") +
                         ", h.ConvRefNo, h.Annulation, " + UserOf("h.AOpr") + ", " + UserOf("h.TOpr") +
                         " FROM tmpHistoLot h WHERE NOT EXISTS (SELECT 1 FROM HistoLot x WHERE x.ATTESTATION = "
                         "h.Numero){KEYS}",
                     "tmpHistoLot h", "h.Numero"});
    engine.CommitDestQuery();
    // Every attestation of a public-payer examination that is not a lot yet becomes one.
    MoveStaged(run,
               {"HistoLot",
                "INSERT INTO histolot (Attestation) SELECT DISTINCT e.attestation FROM visite v LEFT JOIN examen e "
                "on e.id_visite = v.id_visite WHERE v.typefact in ('RAMQ','CSST') AND NOT EXISTS (SELECT FIRST 1 1 "
                "FROM histolot h WHERE h.attestation=e.attestation) AND e.attestation IS NOT NULL{KEYS}",
                "examen e", "e.attestation"});
    engine.CommitDestQuery();
  };
  RunTableRoutine(run,
                  {"TableHistoLot", "Histo Lot", "HistoLot",
                   "INSERT INTO tmpHistoLot(Numero, Production, pOpr, Transmission, Conversion, cOpr, ConvRefNo, "
                   "Annulation, AOpr, TOpr)",
                   10},
                  hooks);
}

void TransfertTableHistoReleve(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("tmpHistoReleve", {"ReleveDate", "ReleveDate"}, true);
    run.FDataMgr->InitTransfertCondition(TC::ctPKSrcNotEmpty, 1);
  };
  hooks.assign = [](RecordParams& p) { CopyFields(p, {"ReleveDate", "RecepDate", "RecepOpr", "ImprDate", "ImprOpr"}); };
  hooks.closing = [&] {
    Finalisation(run, "Table Histo Releve");
    InsertSecuriteTmp(run, "tmpHistoReleve", "rOpr", "Table Histo Releve\r\n");
    InsertSecuriteTmp(run, "tmpHistoReleve", "iOpr", "Table Histo Releve\r\n");
    run.CommitEtProgress();
    const std::string agency = AgencyNumber(run);
    if (agency.empty()) {
      run.DoLogError(nullptr, "Numero d'agence vide dans Parm: historique des releves non transfere", false);
      return;
    }
    // The agency number is a quoted literal: leading zeros and quotes stay as typed.
    MoveStaged(run, {"HistoReleve",
                     "INSERT INTO HistoReleve(ReleveDate, RecepDate, ID_SECURITERECEP, ImprDate, ID_SECURITEIMPR, "
                     "agence) SELECT H.ReleveDate, H.RecepDate, " +
                         UserOf("H.ROpr") + ", H.ImprDate, " + UserOf("H.IOpr") + ", " + QuotedStr(agency) +
                         " FROM tmpHistoReleve H WHERE NOT EXISTS (SELECT 1 FROM HistoReleve x WHERE x.ReleveDate = "
                         "H.ReleveDate){KEYS}",
                     "tmpHistoReleve H", "H.ReleveDate"});
  };
  RunTableRoutine(run,
                  {"TableHistoReleve", "Histo Releve", "HistoReleve",
                   "INSERT INTO tmpHistoReleve(ReleveDate, RecepDate, ROpr, ImprDate, IOpr)", 5},
                  hooks);
}

void TransfertTableHistoTransfert(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] {
    run.FDataMgr->InitCodeDestCopy("tmpHistoTransfert", {"DateHeure", "Date+Heure"}, {"Opr", "Opr"});
    run.FDataMgr->InitTransfertCondition(TC::ctStandardExtra, TArrayInt{0, 1, 2, 3});
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("fType", p.Field(0));
    p.Set("Dateheure",
          p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("Date"), p.Field("Heure")));
    p.Copy("Opr", p.Field("OPR"));
    p.Copy("Etablissement", p.Field("Etablissement"));
    p.Copy("Courriel", p.Field("Courriel"));
  };
  hooks.closing = [&] {
    TTransfertData& engine = *run.FDataMgr;
    run.CommitEtProgress();
    InsertSecuriteTmp(run, "tmphistotransfert", "opr", "Table Histo transfert\r\n");
    run.CommitEtProgress();
    const std::string user = UserOf("t.opr");
    MoveStaged(
        run, {"HistoTransfert",
              "INSERT INTO HistoTransfert (TypeTrans, DateHeure, ID_SECURITE, Etablissement,Courriel) SELECT "
              "t.fType, t.DateHeure, " +
                  user +
                  ", t.Etablissement, t.Courriel FROM tmpHistoTransfert t WHERE "
                  "t.Etablissement IS NOT NULL AND NOT EXISTS (SELECT 1 FROM HistoTransfert x WHERE x.DateHeure IS NOT "
                  "DISTINCT FROM t.DateHeure AND x.ID_SECURITE IS NOT DISTINCT FROM " +
                  user + " AND x.TypeTrans IS NOT DISTINCT FROM t.fType AND x.Etablissement = t.Etablissement){KEYS}",
              "tmpHistoTransfert t", "CAST(t.DateHeure AS VARCHAR(24)) || '|' || t.Opr"});
    // Transfers without establishment are not moved: say how many.
    const ExecResult without =
        engine.ExecuteDestQuery("SELECT COUNT(*) FROM tmpHistoTransfert WHERE Etablissement IS NULL");
    if (without.ok && !engine.GetExeQryEOF() && engine.GetExeQryField(0)->AsInteger() > 0) {
      run.DoLogError(nullptr, "Transferts sans etablissement, non transferes: " + engine.GetExeQryField(0)->AsString(),
                     false);
    }
  };
  RunTableRoutine(run,
                  {"TableHistoTransfert", "Histo transfert", "HistoTransfert",
                   "INSERT INTO tmpHistoTransfert(fType, Dateheure, Opr, Etablissement, Courriel)", 5},
                  hooks);
}

}  // namespace korvel
