// Users and their rights: the legacy Securite table into the target's users, then the
// new system's built-in super user PROG.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableSecurite(RunContext& run);
// Points PROG at the default establishment and department 'R', dictation type 1.
void ConfigSuperUser(RunContext& run);

}  // namespace korvel
