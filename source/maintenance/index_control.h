// Switching secondary indexes and triggers off for bulk loading and back on after.
#pragma once

#include <string>

namespace korvel {

class TTransfertRun;

void ChangeStateIndex(TTransfertRun& run, const std::string& ps_TableName, const std::string& ps_Message,
                      bool pb_Inactive);
void ChangeStateTrigger(TTransfertRun& run, const std::string& ps_Trigername, const std::string& ps_Message,
                        bool pb_Inactive);
void RecomputeIndex(TTransfertRun& run, const std::string& ps_Table, const std::string& ps_Message);
void ReIndexPostTransfert(TTransfertRun& run);

}  // namespace korvel
