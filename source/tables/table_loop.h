// The common shape of a table routine: start the table log, show the table, open the
// source, prepare the destination, walk the records (accept, assign, insert, commit
// every 2500 records read), refresh the counter, close the table. A routine states
// its differences through the options and the three steps it passes in.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "source/run/transfert_run.h"

namespace korvel {

// Destination parameters of the current record, assigned in increasing order.
class TRecordParams {
 public:
  explicit TRecordParams(TTransfertRun& run) : run_(run) {}

  // The source field by position / by name (names resolved once per table).
  const TField& Field(int index);
  const TField& Field(const char* name);

  // copy of X
  void Copy(int param, const TField& field) { Set(param, run_.FParamMgr->AssignSrcToDest(field)); }
  // X or D
  void CopyOr(int param, const TField& field, const std::string& fallback);
  // X or the text of another field
  void CopyOrTextOf(int param, const TField& field, const TField& other) { CopyOr(param, field, other.AsString()); }
  // constant C
  void Constant(int param, const std::string& value);
  void Set(int param, const TParamValue& value) { run_.FDataMgr->SetDestParam(param, value); }

 private:
  TTransfertRun& run_;
  TDefault default_;
  std::vector<std::pair<const char*, const TField*>> names_;
};

struct TTableRoutine {
  const char* logName;
  const char* labelName;
  const char* sourceTable;
  const char* insertHead;
  int nbParams;
  // The routine asks the engine whether to insert each record.
  bool checkAcceptance = true;
  // The batch test is made only after an accepted record.
  bool batchOnlyAfterAccepted = false;
  // The counter is shown once more after the loop.
  bool refreshCounterAtEnd = true;
};

// Runs one table. `setup` sets the duplicate check and policy (after InitDestination);
// `assign` fills the parameters of an accepted record; `closing` runs after the
// counter refresh, before the table is closed.
void RunTableRoutine(TTransfertRun& run, const TTableRoutine& routine, const std::function<void()>& setup,
                     const std::function<void(TRecordParams&)>& assign, const std::function<void()>& closing = {});

}  // namespace korvel
