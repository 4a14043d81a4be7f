#include "source/transfert/station_list.h"

#include "global/computer_name.h"
#include "global/string_utils.h"

namespace korvel {

void FillComboStation(std::vector<std::string>& items, const std::string& computerName) {
  for (const std::string& item : items) {
    if (SameText(item, computerName)) return;
  }
  items.push_back(computerName);
}

void FillComboStation(std::vector<std::string>& items) { FillComboStation(items, GetComputerName(false, false)); }

}  // namespace korvel
