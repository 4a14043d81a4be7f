// Routines of the small code tables: anatomical regions, modalities, dictation
// dictionary, word corrections, diagnoses, billing types, protocol texts, exports.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableAnatom(RunContext& run);
void TransfertTableModalite(RunContext& run);
void TransfertTableDictio(RunContext& run);
void TransfertTableMotCorr(RunContext& run);
void TransfertTableDiagnos(RunContext& run);
void TransfertTableTypePres(RunContext& run);
void TransfertTableTxtProto(RunContext& run);
void TransfertTableExport(RunContext& run);

}  // namespace korvel
