// The three ways a routine meets an error, each with its name so that a reader sees
// at the call which one is meant, and where an error stops.
//
// - A refused value refuses its record: the target or the converter says no to one
//   record (EDatabaseError); the record is counted refused and logged with its values,
//   and the table goes on. A fault of the routine itself (ERoutineFault: a field the
//   layout lacks, a statement no row can pass) is not a refusal: it goes on up and
//   ends the table.
// - A step of a routine (a completion, a status statement, a clean-up) that fails is
//   logged and skipped; the routine goes on with its next step. Whatever the step
//   raised, a routine fault included, is written down, never lost.
//   A step whose log line says more than the error (the licence, the loan, the
//   table it was about) keeps a catch of its own that writes that line.
// - A finishing step never stops the next: whatever it raises is written in "Log
//   Generique" and the finishing sequence goes on.
#pragma once

#include <exception>
#include <functional>
#include <utility>

#include "global/database_error.h"
#include "source/run/run_context.h"

namespace korvel {

// Runs `record` (the assignment and insert of one record); a refused value is handed
// to `refused` and the result is false.
template <typename Record, typename Refused>
bool RefuseRecordOnError(Record&& record, Refused&& refused) {
  try {
    std::forward<Record>(record)();
    return true;
  } catch (const EDatabaseError& e) {
    std::forward<Refused>(refused)(e);
    return false;
  }
}

// The same, the refused value logged with the source record's values.
template <typename Record>
bool RefuseRecordOnError(RunContext& run, Record&& record) {
  return RefuseRecordOnError(std::forward<Record>(record), [&run](const EDatabaseError& e) { run.LogRecordError(e); });
}

// Where a skipped step is written: "Log Generique", or the table's own log (with the
// call stack line, as the table's refusals).
enum class StepLog { generic, table };

// Runs `step`; when it raises, the error is logged and false is returned.
inline bool SkipStepOnError(RunContext& run, const std::function<void()>& step, StepLog log = StepLog::generic) {
  try {
    step();
    return true;
  } catch (const std::exception& e) {
    if (log == StepLog::table) {
      run.DoLogError(nullptr, e.what(), true);
    } else {
      run.DoLogMisc(e.what());
    }
    return false;
  }
}

// Runs one step of the finishing sequence; what it raises is logged and the next runs.
inline void RunFinishingStep(RunContext& run, const std::function<void()>& step) { SkipStepOnError(run, step); }

}  // namespace korvel
