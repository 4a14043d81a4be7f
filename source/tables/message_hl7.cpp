#include "source/tables/message_hl7.h"

#include <cmath>
#include <unordered_map>
#include <unordered_set>

#include "global/string_utils.h"
#include "source/maintenance/generators.h"
#include "source/run/traps.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"
#include "source/tables/target_rows.h"

namespace korvel {
namespace {

using TC = TCanTransfertType;

// A moment to the millisecond, as both the legacy record and the staged row give it.
int64_t Milliseconds(TDateTime moment) { return std::llround(moment.value * 86400000.0); }

std::string GroupKey(const std::string& sender, int64_t moment) { return sender + '\x1f' + std::to_string(moment); }

// The legacy table holds one record per recipient; the records of one sent message are
// consecutive and share their sender, date and time. The sent message's number is
// reserved when its group starts, so every received message and recipient row of the
// group is staged with it.
//
// The legacy messages have no identifier: a record is known by its sender, recipient
// and moment. One an earlier run staged is passed over, and a group an earlier run
// began keeps the number it was given, so a run made again (or after a stop) stages
// nothing twice and its moves find every row already there.
class MessageGroups {
 public:
  explicit MessageGroups(RunContext& run) : run_(run) {}

  void LoadStaged() {
    ForEachTargetRow(run_, "SELECT SECURITE, DATEHEURE, ID_MESSAGEENVOYE FROM TMPMESSAGEENVOYE",
                     [&](fib::TpFIBQuery& row) {
                       staged_groups_[GroupKey(TextOf(row.Fields(0)), Milliseconds(row.Fields(1).AsDateTime()))] =
                           row.Fields(2).AsInteger();
                       return true;
                     });
    ForEachTargetRow(run_, "SELECT SECURITEDE, DATEHEURE, SECURITEA FROM TMPMESSAGERECU", [&](fib::TpFIBQuery& row) {
      staged_records_.insert(GroupKey(TextOf(row.Fields(0)), Milliseconds(row.Fields(1).AsDateTime())) + '\x1f' +
                             TextOf(row.Fields(2)));
      return true;
    });
  }

  // Whether an earlier run staged this record (sender, moment, recipient).
  bool StagedBefore(const std::string& sender, TDateTime moment, const std::string& recipient) const {
    return staged_records_.count(GroupKey(sender, Milliseconds(moment)) + '\x1f' + recipient) > 0;
  }

  // The number of the sent message the current record belongs to.
  int64_t Current(RecordParams& p, TDateTime moment) {
    const std::string key = GroupKey(p.Field(0).AsString(), Milliseconds(moment));
    if (id_ == 0 || key != key_) {
      key_ = key;
      const auto earlier = staged_groups_.find(key);
      if (earlier != staged_groups_.end()) {
        id_ = earlier->second;  // its sent message is staged already
        sent_pending_ = false;
        return id_;
      }
      const ExecResult reserved =
          run_.FDataMgr->ExecuteDestQuery("SELECT GEN_ID(GEN_ID_MESSAGEENVOYE, 1) FROM RDB$DATABASE");
      if (!reserved.ok) throw EDatabaseError("Numero de message envoye non reserve");
      id_ = run_.FDataMgr->GetExeQryField(0)->AsInteger();
      sent_pending_ = true;
    }
    return id_;
  }
  // Until the group's sent message is staged, each record of the group tries it.
  bool SentPending() const { return sent_pending_; }
  void SentStaged() { sent_pending_ = false; }

 private:
  RunContext& run_;
  std::unordered_map<std::string, int64_t> staged_groups_;
  std::unordered_set<std::string> staged_records_;
  std::string key_;
  int64_t id_ = 0;
  bool sent_pending_ = false;
};

}  // namespace

void TransfertTableMessage(RunContext& run) {
  TTransfertData& engine = *run.FDataMgr;
  MessageGroups groups(run);
  int64_t id = 0;
  TParamValue number;
  RoutineHooks hooks;
  int64_t stagedBefore = 0;
  hooks.beforeFirstRecord = [&] { groups.LoadStaged(); };
  hooks.accept = [&](RecordParams& p) {
    const Variant moment =
        p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("DATE"), p.Field("Heure")).Value();
    if (!groups.StagedBefore(p.Field(0).AsString(), moment.AsDateTime(), p.Field("A").AsString())) {
      return Verdict::accept;
    }
    ++stagedBefore;
    return Verdict::passOver;
  };
  hooks.setup = [&] {
    engine.InitTransfertCondition(TC::ctSrcNotEmpty, 0);
    engine.InitSubQueries("MessageEnvoye",
                          "INSERT INTO tmpMessageEnvoye(Securite, DateHeure, MessageEnvoye, Objet, Id_MessageEnvoye)",
                          5);
    engine.InitSubQueries("MessageDestinataire", "INSERT INTO tmpMessageEnvDestinataire(Id_MessageEnvoye, Securite)",
                          2);
  };
  // One received message per record.
  hooks.assign = [&](RecordParams& p) {
    // The converter's value is its own until the next conversion: the moment is set
    // before the other fields are copied.
    const TParamValue& moment =
        p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("DATE"), p.Field("Heure"));
    id = groups.Current(p, moment.Value().AsDateTime());
    p.Set("DateHeure", moment);
    number.SetValue(Variant(id));
    p.Copy("SecuriteDe", p.Field(0));
    p.Copy("SecuriteA", p.Field("A"));
    p.Copy("MessageRecu", p.Field(5));
    p.Copy("Objet", p.Field(4));
    p.Set("Id_MessageEnvoye", number);
  };
  hooks.subStatements = {
      [&](RecordParams& p) {
        if (!groups.SentPending()) return;
        TSrcToDest& conv = p.Converter();
        engine.SetDestSubParam("MessageEnvoye", 0, conv.AssignSrcToDest(p.Field(0)));
        engine.SetDestSubParam(
            "MessageEnvoye", 1,
            conv.AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("DATE"), p.Field("Heure")));
        engine.SetDestSubParam("MessageEnvoye", 2, conv.AssignSrcToDest(p.Field(5)));
        engine.SetDestSubParam("MessageEnvoye", 3, conv.AssignSrcToDest(p.Field(4)));
        engine.SetDestSubParam("MessageEnvoye", 4, number);
        engine.TransfertSubsByName("MessageEnvoye");
        groups.SentStaged();
      },
      [&](RecordParams& p) {
        engine.SetDestSubParam("MessageDestinataire", 0, number);
        engine.SetDestSubParam("MessageDestinataire", 1, p.Converter().AssignSrcToDest(p.Field("A")));
        engine.TransfertSubsByName("MessageDestinataire");
      },
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    run.ShowCounter();
    run.UI().SetOperation("Table Messages\r\nFinalisation du transfert");
    const std::string msg = "Table Messages\r\n";
    if (stagedBefore > 0) {
      run.DoLogError(nullptr,
                     "Messages deja prepares par un transfert precedent, non repris: " + std::to_string(stagedBefore),
                     false);
    }
    InsertSecuriteTmp(run, "tmpMessageRecu", "securiteDe", msg);
    InsertSecuriteTmp(run, "tmpMessageRecu", "securiteA", msg);
    InsertSecuriteTmp(run, "tmpMessageEnvoye", "Securite", msg);
    InsertSecuriteTmp(run, "tmpMessageEnvDestinataire", "Securite", msg);
    run.CommitEtProgress();
    SkipStepOnError(run, [&] {
      // Rows an earlier run moved are those of sent messages there before these moves;
      // a recipient named twice in one message is still refused by the key.
      const std::string sentBefore = HighestId(run, "messageEnvoye", "ID_MessageEnvoye");
      // The sent message keeps the number its received messages and recipients carry.
      MoveStaged(run,
                 {"messageEnvoye",
                  "INSERT INTO messageEnvoye(ID_MessageEnvoye, De, DateHeure, MessageEnvoye, Objet) SELECT "
                  "T.Id_MessageEnvoye, S.ID_Securite, T.DateHeure, T.MessageEnvoye, T.Objet FROM tmpMessageEnvoye T "
                  "LEFT JOIN Securite S ON (S.Utilisateur = SUBSTR(T.Securite,1,20)){WHERE_KEYS}",
                  "tmpMessageEnvoye T", "T.Id_MessageEnvoye",
                  "T.Id_MessageEnvoye <= " + sentBefore +
                      " AND EXISTS (SELECT 1 FROM messageEnvoye x WHERE x.ID_MessageEnvoye = T.Id_MessageEnvoye)"});
      MoveStaged(run, {"MessageRecu",
                       "INSERT INTO MessageRecu(De, A, DateHeure, MessageRecu, Objet, Id_MessageEnvoye) SELECT(SELECT "
                       "s.Id_Securite FROM securite s WHERE utilisateur = substr(t.SecuriteDe,1, 20)), (SELECT "
                       "s.Id_Securite FROM securite s WHERE utilisateur = substr(t.SecuriteA,1,20)), t.DateHeure, "
                       "t.MessageRecu, t.Objet, t.Id_MessageEnvoye FROM tmpMessageRecu t{WHERE_KEYS}",
                       "tmpMessageRecu t", "t.NO_LIGNE",
                       "t.Id_MessageEnvoye <= " + sentBefore +
                           " AND EXISTS (SELECT 1 FROM MessageRecu x WHERE x.Id_MessageEnvoye = t.Id_MessageEnvoye AND "
                           "x.A IS NOT DISTINCT FROM (SELECT s.Id_Securite FROM securite s WHERE utilisateur = "
                           "substr(t.SecuriteA,1,20)))"});
      MoveStaged(run,
                 {"MessageEnvDestinataire",
                  "INSERT INTO MessageEnvDestinataire(Id_MessageEnvoye, A)SELECT t.Id_MessageEnvoye, (SELECT "
                  "s.Id_Securite FROM securite s WHERE utilisateur = substr(t.Securite,1,20)) FROM "
                  "tmpMessageEnvDestinataire t{WHERE_KEYS}",
                  "tmpMessageEnvDestinataire t", "t.NO_LIGNE",
                  "t.Id_MessageEnvoye <= " + sentBefore +
                      " AND EXISTS (SELECT 1 FROM MessageEnvDestinataire x WHERE x.Id_MessageEnvoye = "
                      "t.Id_MessageEnvoye AND x.A IS NOT DISTINCT FROM (SELECT s.Id_Securite FROM securite s WHERE "
                      "utilisateur = substr(t.Securite,1,20)))"});
    });
    SetGenerator(run, "messageEnvoye", "ID_messageEnvoye", msg);
    SetGenerator(run, "MessageRecu", "ID_MessageRecu", msg);
  };
  TableRoutine routine{"TableMessage", "Messages", "Message",
                       "INSERT INTO tmpMessageRecu(SecuriteDe, SecuriteA, DateHeure, MessageRecu, Objet, "
                       "Id_MessageEnvoye)",
                       6};
  routine.refreshCounterAtEnd = false;
  RunTableRoutine(run, routine, hooks);
}

void TransfertTableHL7ExamenHop(RunContext& run) {
  RoutineHooks hooks;
  hooks.setup = [&] { run.FDataMgr->InitCodeDestCopy("ACTE_HOPITALHL7", {"ACTEHOP", "CODE"}, true); };
  hooks.assign = [&](RecordParams& p) {
    p.Copy("ID_ACTE_HOPITALHL7", p.Field("Autonum"));
    p.Copy("ACTEHOP", p.Field("Code"));
    p.Constant("ETABLISSEMENT", run.numeroEtablis);
    p.Copy("DESCRIPTION", p.Field("Description"));
    p.CopyOr("RENSREQUIS", p.Field("RensRequis"), "");
    p.CopyOr("RENSCOMPL", p.Field("RensCompl"), "");
    p.Copy("CS", p.Field("Cs"));
    p.Constant("AUCUNEIMPORTATION", UpperCase(p.Field("Facturation").AsString()) == "AUCUNE" ? "O" : "N");
    p.Constant("DESACTIVE", "N");
  };
  RunTableRoutine(run,
                  {"HL7Examen", "HL7ExamenHop ", "HL7ExamHop",
                   "INSERT INTO ACTE_HOPITALHL7(ID_ACTE_HOPITALHL7, ACTEHOP, ETABLISSEMENT, DESCRIPTION, RENSREQUIS, "
                   "RENSCOMPL, CS, AUCUNEIMPORTATION, DESACTIVE)",
                   9},
                  hooks);
}

void TransfertTableHL7ExamenRX(RunContext& run) {
  RoutineHooks hooks;
  hooks.accept = [&](RecordParams& p) {
    const TField& code = p.Field("CodeRx");
    if (!code.IsNull() && !code.AsString().empty()) return Verdict::accept;
    run.DoLogError(nullptr, "Table source: HL7ExamRx a une cle vide: " + p.Field(0).AsString(), false);
    return Verdict::refuse;
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("ID_ACTE_HOPITALHL7_DET", p.Field("Autonum"));
    p.Copy("ACTE", p.Field("CodeRx"));
    p.Copy("ID_ACTE_HOPITALHL7", p.Field("Autolien"));
    p.Constant("ID_TYPEFACTURATIONHL7", p.Field("Facturation").AsString() == "1200" ? "1" : "2");
    p.Copy("MODIFICATEUR", p.Field("Modificateur"));
  };
  hooks.onRefused = [&](const EDatabaseError& e) {
    if (std::string(e.what()).find("FK_ACTE_HOPITALHL7_DET_ID_ACTE") != std::string::npos) {
      run.DoLogError(
          nullptr, "Le record de la table maitre n'existe pas Autonum:" + run.FDataMgr->SrcField(0).AsString(), false);
    } else {
      run.LogRecordError(e);
    }
  };
  TableRoutine routine{"HL7ExamenRx", "HL7ExamenRx ", "HL7ExamRx",
                       "INSERT INTO ACTE_HOPITALHL7_DET(ID_ACTE_HOPITALHL7_DET, ACTE, ID_ACTE_HOPITALHL7, "
                       "ID_TYPEFACTURATIONHL7, MODIFICATEUR)",
                       5};
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

void TransfertTableHL7Radiol(RunContext& run) {
  RoutineHooks hooks;
  hooks.assign = [&](RecordParams& p) {
    p.Copy("CODE", p.Field("Code"));
    p.Copy("LICENCE", p.Field("Licence"));
    p.CopyOr("GROUPE", p.Field("Groupe"), "");
    const TField& facturation = p.Field("Facturation");
    p.Constant("FACTURATION", !facturation.IsNull() && facturation.AsBoolean() ? "O" : "N");
    p.Constant("ETABLISSEMENT", run.numeroEtablis);
  };
  hooks.closing = [&] {
    // Codes an earlier run moved (there before this move, and staged again since) are
    // only counted; the target's own, staged once, are still refused by the key.
    const std::string before = HighestId(run, "RADIOLOGISTEHL7", "ID_RADIOLOGISTEHL7");
    MoveStaged(run,
               {"RADIOLOGISTEHL7",
                "INSERT INTO RADIOLOGISTEHL7 (ID_RADIOLOGISTE, LICENCEHOP,  ETABLISSEMENT, DESACTIVE) SELECT (SELECT "
                "r.Id_Radiologiste FROM Radiologiste r WHERE r.licence = r7.licence AND r.groupe = r7.groupe), "
                "r7.code, r7.etablissement, 'N' FROM tmphl7radiol r7{WHERE_KEYS}",
                "tmphl7radiol r7", "r7.NO_LIGNE",
                "EXISTS (SELECT 1 FROM RADIOLOGISTEHL7 x WHERE x.ID_RADIOLOGISTEHL7 <= " + before +
                    " AND x.ID_RADIOLOGISTE IS NOT DISTINCT FROM (SELECT "
                    "r.Id_Radiologiste FROM Radiologiste r WHERE r.licence = r7.licence AND r.groupe = r7.groupe) AND "
                    "x.ETABLISSEMENT IS NOT DISTINCT FROM r7.etablissement AND x.LICENCEHOP IS NOT DISTINCT FROM "
                    "r7.code) AND EXISTS (SELECT 1 FROM tmphl7radiol s2 WHERE s2.code IS NOT DISTINCT FROM r7.code AND "
                    "s2.licence IS NOT DISTINCT FROM r7.licence AND s2.groupe IS NOT DISTINCT FROM r7.groupe AND "
                    "s2.NO_LIGNE <> r7.NO_LIGNE)"});
  };
  TableRoutine routine{"HL7Radiol", "HL7Radiol ", "HL7Radiol",
                       "INSERT INTO TMPHL7RADIOL (CODE, LICENCE, GROUPE, FACTURATION, ETABLISSEMENT)", 5};
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
