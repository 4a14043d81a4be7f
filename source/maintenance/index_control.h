// Switching secondary indexes and triggers off for bulk loading and back on after.
#pragma once

#include <string>

namespace korvel {

class RunContext;

void ChangeStateIndex(RunContext& run, const std::string& ps_TableName, const std::string& ps_Message,
                      bool pb_Inactive);
void ChangeStateTrigger(RunContext& run, const std::string& ps_Trigername, const std::string& ps_Message,
                        bool pb_Inactive);
void RecomputeIndex(RunContext& run, const std::string& ps_Table, const std::string& ps_Message);
void ReIndexPostTransfert(RunContext& run);

}  // namespace korvel
