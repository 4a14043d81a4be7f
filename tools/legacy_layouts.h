// Field layouts of the legacy clinic tables the routines read, as the sample-clinic
// generator and the tests write them.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "global/variant.h"
#include "source/flashfiler/ff2_file.h"

namespace korvel::sample {

struct LegacyFieldDef {
  const char* name;
  ff2::Ff2Type type;
  int size;
};

// The layout of a legacy table by name ("Anatom", "Modific"...); raises for a table
// that has none.
const std::vector<LegacyFieldDef>& LegacyLayout(const std::string& table);
struct LegacyIndexDef {
  const char* name;
  std::vector<std::string> fields;
};
// The named indexes of a legacy table that the routines open it on (none for most).
const std::vector<LegacyIndexDef>& LegacyIndexes(const std::string& table);
// A record of that table from the named values; the other fields are NULL. Raises for
// a name the layout lacks.
std::vector<Variant> LegacyRow(const std::string& table, const std::vector<std::pair<std::string, Variant>>& values);
// The protocol-text table of older clinics, without the English columns.
const std::vector<LegacyFieldDef>& LegacyLayoutTxtProtoShort();

}  // namespace korvel::sample
