// Routines of the legacy tables that drive billing: fee modifiers (two generations),
// complementary modifier rules, surcharges by territory, transaction codes, ledger
// activities, and the field layouts and titles of billing statements.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTableModific(TTransfertRun& run);
void TransfertTableModSoft(TTransfertRun& run);
void TransfertTableModCompl(TTransfertRun& run);
void TransfertTableRemMajoree(TTransfertRun& run);
void TransfertTableCodeTransac(TTransfertRun& run);
void TransfertTableActivite(TTransfertRun& run);
void TransfertTableEtatType(TTransfertRun& run);
void TransfertTableEtatTypeTitre(TTransfertRun& run);

}  // namespace korvel
