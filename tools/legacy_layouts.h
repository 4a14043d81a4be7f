// Field layouts of the legacy clinic tables the routines read, as the sample-clinic
// generator and the tests write them.
#pragma once

#include <string>
#include <vector>

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
// The protocol-text table of older clinics, without the English columns.
const std::vector<LegacyFieldDef>& LegacyLayoutTxtProtoShort();

}  // namespace korvel::sample
