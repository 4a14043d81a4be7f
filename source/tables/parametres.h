// Clinic parameters: the one-record legacy tables Parm (agency, insurer account,
// regional code, numbering counters, interface settings) and ParmEpur (purge delays),
// onto the default establishment and the global parameter table.
#pragma once

namespace korvel {

class RunContext;

// Run at the end of the establishments.
void TransfertTableParm(RunContext& run);
void TransfertTableParmEpur(RunContext& run);

}  // namespace korvel
