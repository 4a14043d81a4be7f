// The legacy journal of user actions: staged whole in tmpLog (entries without user
// are "ADM"'s), users and stations completed from it, then the access log (logins,
// logouts, user changes, abnormal closings, stations not found, from 2005 on) and the
// audit trail (prints, billing, deletions, number changes, messages sent) selected by
// patterns on the remark. Entries matching no pattern stay in staging only.
#pragma once

namespace korvel {

class RunContext;

void TransfertTableLog(RunContext& run);

}  // namespace korvel
