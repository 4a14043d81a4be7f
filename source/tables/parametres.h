// Clinic parameters: the one-record legacy tables Parm (agency, insurer account,
// regional code, numbering counters, interface settings) and ParmEpur (purge delays),
// onto the default establishment and the global parameter table.
#pragma once

namespace korvel {

class TTransfertRun;

// Run at the end of the establishments.
void TransfertTableParm(TTransfertRun& run);
void TransfertTableParmEpur(TTransfertRun& run);

}  // namespace korvel
