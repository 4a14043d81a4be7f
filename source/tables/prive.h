// Private insurers: the companies, their negotiated price per act, and the private
// billing reports.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTablePrive(TTransfertRun& run);
void TransfertTablePriveActe(TTransfertRun& run);
void TransfertTableRapportPrive(TTransfertRun& run);

}  // namespace korvel
