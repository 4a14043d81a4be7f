#include "source/tables/table_loop.h"

#include <stdexcept>

namespace korvel {

const TField& TRecordParams::Field(int index) {
  try {
    return run_.FDataMgr->SrcField(index);
  } catch (const EDatabaseError& e) {
    throw std::runtime_error(e.what());  // a layout fault, as for names below
  }
}

const TField& TRecordParams::Field(const char* name) {
  for (const auto& [key, field] : names_) {
    if (key == name) return *field;
  }
  // An unknown name is a fault of the routine or of the legacy layout, not of one
  // record: it is raised as an error the record trap does not catch, and ends the
  // table phase.
  const TField* field = nullptr;
  try {
    field = &run_.FDataMgr->SrcField(run_.FDataMgr->FieldByName(name));
  } catch (const EDatabaseError& e) {
    throw std::runtime_error(e.what());
  }
  names_.emplace_back(name, field);
  return *field;
}

void TRecordParams::CopyOr(int param, const TField& field, const std::string& fallback) {
  default_.Value = fallback;
  Set(param, run_.FParamMgr->AssignSrcToDestNotNull(&field, default_));
}

void TRecordParams::Constant(int param, const std::string& value) {
  default_.Value = value;
  Set(param, run_.FParamMgr->AssignSrcToDestNotNull(nullptr, default_));
}

void RunTableRoutine(TTransfertRun& run, const TTableRoutine& routine, const std::function<void()>& setup,
                     const std::function<void(TRecordParams&)>& assign, const std::function<void()>& closing) {
  TTransfertData& engine = *run.FDataMgr;
  run.FLogMgr.StartTableLog(routine.logName);
  run.ShowTableOperation(routine.labelName);
  if (!engine.InitSourceTable(routine.sourceTable)) return;
  engine.InitDestination(routine.insertHead, routine.nbParams);
  if (setup) setup();
  TRecordParams params(run);
  while (!engine.EndTransfert() && run.StopAllProcess) {
    const bool accepted = !routine.checkAcceptance || engine.CanTransfert();
    if (accepted) {
      // A value the target or the converter refuses (a bad date...) refuses this
      // record only; it is logged with the record's fields.
      try {
        assign(params);
        engine.Transfert();
      } catch (const EDatabaseError& e) {
        run.LogRecordError(e);
      }
    }
    if ((accepted || !routine.batchOnlyAfterAccepted) && engine.MustCommit()) {
      run.ShowCounter();
      run.CommitEtProgress();
    }
    engine.NextTransfert();
  }
  if (routine.refreshCounterAtEnd) run.ShowCounter();
  if (closing) closing();
  run.SauvegarderLeFichierLogEtCommit();
}

}  // namespace korvel
