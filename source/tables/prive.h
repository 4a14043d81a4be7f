// Private insurers: the companies, their negotiated price per act, and the private
// billing reports.
#pragma once

namespace korvel {

class RunContext;

void TransfertTablePrive(RunContext& run);
void TransfertTablePriveActe(RunContext& run);
void TransfertTableRapportPrive(RunContext& run);
// The reports no examination refers to, deleted once the run's examinations are in;
// the count goes to the current table's log.
void DeletePrivateReportsWithoutExamination(RunContext& run);

}  // namespace korvel
