// The copy-station list of the window's dictation options.
#pragma once

#include <string>
#include <vector>

namespace korvel {

// The copy-station list holds the name of this computer: adds `computerName` unless
// an item already has it, ignoring letter case.
void FillComboStation(std::vector<std::string>& items, const std::string& computerName);
// The same with GetComputerName(false, false).
void FillComboStation(std::vector<std::string>& items);

}  // namespace korvel
