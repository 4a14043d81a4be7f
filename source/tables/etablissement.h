// Establishments: the legacy Etablis table into etablissement and etablissement_info,
// taking over the placeholder establishment '99999' of an empty target; then the
// dictation settings and the clinic parameters, which always follow.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableEtablissement(RunContext& run);
// Whether the target holds the placeholder establishment '99999' (false on any error).
bool IsEtablissement99999(RunContext& run);

}  // namespace korvel
