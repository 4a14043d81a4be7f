// Prior authorisations: the legacy authorisation number written onto the visit it
// belongs to, which must have been migrated already. An authorisation whose visit is
// not there is refused and logged.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableAutorisation(RunContext& run);

}  // namespace korvel
