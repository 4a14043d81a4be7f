// Prior authorisations: the legacy authorisation number written onto the visit it
// belongs to, which must have been migrated already. An authorisation whose visit is
// not there is refused and logged.
#pragma once

namespace korvel {

class TTransfertRun;

void TransfertTableAutorisation(TTransfertRun& run);

}  // namespace korvel
