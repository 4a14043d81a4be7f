// Visits: the legacy visits of the run's date range staged in tmpVisite with their
// referring physicians in tmpVisite_Med, the reference tables completed from them,
// then moved into Visite in blocks of identifiers and their physicians into
// Visite_Med. Builds the visits' time slots that the examinations read.
#pragma once

namespace korvel {

class RunContext;

void TransfertTablePrescription(RunContext& run);

}  // namespace korvel
