// Routines of the small code tables: anatomical regions, modalities, dictation
// dictionary, word corrections, diagnoses, billing types, protocol texts, exports.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTableAnatom(TTransfertRun& run);
void TransfertTableModalite(TTransfertRun& run);
void TransfertTableDictio(TTransfertRun& run);
void TransfertTableMotCorr(TTransfertRun& run);
void TransfertTableDiagnos(TTransfertRun& run);
void TransfertTableTypePres(TTransfertRun& run);
void TransfertTableTxtProto(TTransfertRun& run);
void TransfertTableExport(TTransfertRun& run);

}  // namespace korvel
