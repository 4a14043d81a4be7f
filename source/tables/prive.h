// Private insurers: the companies, their negotiated price per act, and the private
// billing reports.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTablePrive(TTransfertRun& run);
void TransfertTablePriveActe(TTransfertRun& run);
void TransfertTableRapportPrive(TTransfertRun& run);
// The reports no examination refers to, deleted once the run's examinations are in;
// the count goes to the current table's log.
void DeletePrivateReportsWithoutExamination(TTransfertRun& run);

}  // namespace korvel
