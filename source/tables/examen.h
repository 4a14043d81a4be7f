// Examinations: the legacy examinations of the run's date range staged in tmpExamen
// (each with its visit's time slot), the reference tables completed and names resolved
// to identifiers, then moved into Examen in blocks of identifiers; finally the report
// status of the visits is derived from their examinations.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableExamen(RunContext& run);
// The report dates and status of the visits, from their staged examinations. After a
// stop, visits without examination are not deactivated (theirs were not reached).
void AssignerStatutVisite2(RunContext& run);

}  // namespace korvel
