#include "source/tables/journal.h"

#include "global/string_utils.h"
#include "source/maintenance/generators.h"
#include "source/maintenance/index_control.h"
#include "source/run/run_context.h"
#include "source/run/traps.h"
#include "source/tables/journal_rules.h"
#include "source/tables/reference_completion.h"
#include "source/tables/staged_move.h"
#include "source/tables/table_loop.h"

namespace korvel {
namespace {

constexpr const char* kMessage = "Table Log\r\n";

// A journal entry staged twice (a stopped run) moves once, from its latest copy; one
// moved by an earlier run is not offered again. `firstLine` is this run's first staged
// line.
std::string NotMoved(const std::string& finalTable, const std::string& finalKey, const std::string& firstLine) {
  return NotMovedLatestCopy({finalTable, finalKey, "tmplog", "t", "id_log", firstLine});
}

// Users and stations are found under the names their completion gave them: the first
// 20 and 50 characters of the staged names.
constexpr const char* kSecurite = "(SELECT id_securite FROM securite WHERE utilisateur = SUBSTR(t.usager, 1, 20))";

// A rule matches any of its remark patterns.
void InsertTraceLog(RunContext& run, const std::string& firstLine, const JournalRule& rule) {
  MoveStaged(run,
             {"tracelog",
              std::string("INSERT INTO tracelog(ID_tracelog, dateheure, ID_Securite, nomtable, operation, remarque) "
                          "SELECT t.id_log, t.acces, ") +
                  kSecurite + ", " + QuotedStr(rule.table) + ", " + QuotedStr(rule.operation) +
                  ", t.remarque FROM tmplog t WHERE " + RemarkMatches("t.remarque", rule.patterns) + " AND " +
                  NotMoved("tracelog", "ID_tracelog", firstLine) + "{KEYS}",
              "tmplog t", "t.id_log", "", "t.NO_LIGNE"});
  run.CommitEtProgress();
}

void MoveJournal(RunContext& run, const std::string& firstLine) {
  InsertSecuriteTmp(run, "tmplog", "Usager", kMessage);
  InsertStationTmp(run, "tmplog", "Poste");
  run.CommitEtProgress();
  MoveStaged(run, {"Log",
                   std::string("INSERT INTO Log(Id_Log, Acces, Remarque, ID_Station, ID_Securite) SELECT t.id_log, "
                               "t.acces, t.remarque, (SELECT id_station FROM station WHERE nomstation = "
                               "SUBSTR(t.poste, 1, 50)), ") +
                       kSecurite + " FROM tmplog t WHERE " + RemarkMatches("t.remarque", AccessJournalPatterns()) +
                       " AND t.acces >= " + QuotedStr(kAccessJournalFrom) + " AND " +
                       NotMoved("Log", "Id_Log", firstLine) + "{KEYS}",
                   "tmplog t", "t.id_log", "", "t.NO_LIGNE"});
  run.CommitEtProgress();
  for (const JournalRule& rule : AuditJournalRules()) InsertTraceLog(run, firstLine, rule);
}

}  // namespace

void TransfertTableLog(RunContext& run) {
  RoutineHooks hooks;
  std::string firstLine;
  hooks.beforeFirstRecord = [&] {
    firstLine = FirstStagingLine(run);
    ChangeStateIndex(run, "TMPLOG", kMessage, true);
  };
  hooks.assign = [](RecordParams& p) {
    p.Copy("Id_Log", p.Field(0));
    p.Set("Acces",
          p.Converter().AssignSrcToDestSpecial(TSpecialParam::spMakeDateTime, p.Field("Date"), p.Field("Heure")));
    p.Copy("Remarque", p.Field("Remarque"));
    p.Copy("Poste", p.Field("Poste"));
    p.CopyOr("Usager", p.Field("Usager"), "ADM");
  };
  hooks.closing = [&] {
    run.CommitEtProgress();
    // The stamps of the new system's journal stay off while the legacy entries move
    // with their own times, and are switched on again whatever happened.
    SkipStepOnError(
        run,
        [&] {
          ChangeStateIndex(run, "TMPLOG", kMessage, false);
          ChangeStateTrigger(run, "TRIG_BEFORE_ACCES_LOG", kMessage, true);
          ChangeStateTrigger(run, "TRIG_BEFOREI_TRACELOG", kMessage, true);
          MoveJournal(run, firstLine);
        },
        StepLog::table);
    for (const char* trigger : {"TRIG_BEFORE_ACCES_LOG", "TRIG_BEFOREI_TRACELOG"}) {
      SkipStepOnError(run, [&] { ChangeStateTrigger(run, trigger, kMessage, false); });
    }
    run.ShowCounter();
    SkipStepOnError(run, [&] {
      SetGenerator(run, "Log", "ID_LOG", kMessage);
      SetGenerator(run, "TRACELOG", "ID_TRACELOG", kMessage);
    });
  };
  TableRoutine routine{"TableLog", "Log", "Log", "INSERT INTO tmpLog(Id_Log, Acces, Remarque, Poste, Usager)", 5};
  routine.checkAcceptance = false;
  RunTableRoutine(run, routine, hooks);
}

}  // namespace korvel
