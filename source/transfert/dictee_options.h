// Dictation options of the window: the copy-station list and the write of the
// dictation settings into the default establishment's row of the target.
#pragma once

#include <string>
#include <vector>

namespace korvel {

class TTransfertRun;

// Writes the dictation options (folders, server, import flags, copy station number)
// into the target's row of the default establishment. Errors go to the general
// error log; the target transaction is committed in every case.
void AssignDicteeDataOptions(TTransfertRun& run);

// The copy-station list holds the name of this computer: adds `computerName` unless
// an item already has it, ignoring letter case.
void FillComboStation(std::vector<std::string>& items, const std::string& computerName);
// The same with GetComputerName(false, false).
void FillComboStation(std::vector<std::string>& items);

}  // namespace korvel
