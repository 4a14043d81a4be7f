// Legacy clinic databases for tests: tables written with the project's .FF2 writer
// into a folder, and a source session whose "radio" alias points at it.
#pragma once

#include <string>
#include <vector>

#include "global/variant.h"
#include "source/flashfiler/ff2_file.h"
#include "source/flashfiler/ff_components.h"

namespace korvel::testing {

struct LegacyField {
  std::string name;
  ff2::Ff2Type type;
  int size = 0;
};

struct LegacyIndex {
  std::string name;
  std::vector<std::string> fields;
  bool case_insensitive = false;
};

// Writes <folder>/<name>.FF2.
void WriteLegacyTable(const std::string& folder, const std::string& name, const std::vector<LegacyField>& fields,
                      const std::vector<std::vector<Variant>>& rows, const std::vector<LegacyIndex>& indexes = {});

// Engine "SOLO", a session and the "radio" database on `folder`.
class LegacySession {
 public:
  explicit LegacySession(const std::string& folder);
  TffCommsEngine engine;
  TffSession session;
  TffDatabase radio;
};

}  // namespace korvel::testing
