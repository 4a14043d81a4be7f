// Contrast injections: the legacy records staged in tmpInjection with their
// technologist (created from the initials on the way), then one injection per
// examination, its product, catheters, site and minor reactions built by set
// statements, and the network note copied to the examinations of the visit.
#pragma once

#include <string>
#include <unordered_map>

namespace korvel {

class RunContext;

void TransfertTableInjection(RunContext& run);

// The family and given names the initials stand for: "JD" is J. D, any other is two
// letters of given name and up to three of family name ("JPDUB": JP DUB).
struct TechnologueName {
  std::string nom, prenom;
};
TechnologueName SplitInitiales(const std::string& sIniTech);

// The identifier (as text, empty when none) of the technologist the initials name,
// created active and not a trainee when missing (while the target holds an
// examination). Names are stored and looked up upper-cased; each set of initials is
// resolved once per table through `known`.
std::string InsertTechnologue(RunContext& run, std::unordered_map<std::string, std::string>& known,
                              const std::string& sIniTech);

}  // namespace korvel
