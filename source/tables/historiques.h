// The legacy history registers: purges and payer statements copied directly, billing
// lots, remittance statements and transfers to establishments staged, their users
// completed, then moved. Billing lots also gain every attestation number of a
// public-payer examination that is not a lot yet.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTableHistoEpur(TTransfertRun& run);
void TransfertTableHistoEtat(TTransfertRun& run);
void TransfertTableHistoLot(TTransfertRun& run);
void TransfertTableHistoReleve(TTransfertRun& run);
void TransfertTableHistoTransfert(TTransfertRun& run);

}  // namespace korvel
