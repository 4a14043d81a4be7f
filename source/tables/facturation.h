// Billing: transmissions and remittances, the 1606 forms and their lines, external
// billing and the per-visit billing supplements, payments.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTableEtat(TTransfertRun& run);
void TransfertTableReleve(TTransfertRun& run);
void TransfertTableR1606(TTransfertRun& run);
void TransfertTableR1606b(TTransfertRun& run);
void TransfertTableFacturationExt(TTransfertRun& run);
void TransfertTableFaccsc(TTransfertRun& run);
void TransfertTableFaccsd(TTransfertRun& run);
void TransfertTablePaiement(TTransfertRun& run);

}  // namespace korvel
