// Which legacy journal entries the new system keeps, and where: its access journal
// takes logins, logouts and station changes from 2005 on; its audit journal takes the
// entries of six rules, each matching its remark patterns. Every other entry stays
// staged. Shared with the migration's verification, which must tell such an entry
// from one that went missing.
#pragma once

#include <string>
#include <vector>

#include "global/string_utils.h"

namespace korvel {

struct JournalRule {
  std::vector<const char*> patterns;  // LIKE patterns on the remark, any of them
  const char* table;                  // the audit journal's NOMTABLE
  const char* operation;              // and its OPERATION
};

// The access journal's remarks, and the first access time it keeps.
inline const std::vector<const char*>& AccessJournalPatterns() {
  static const std::vector<const char*> patterns = {"Mauvaise fermeture (Talvo)%", "Station non trouvée (%",
                                                    "Login (Talvo)%", "Logout (Talvo)%", "Changement d'usager%"};
  return patterns;
}
inline constexpr const char* kAccessJournalFrom = "2005-01-01 00:00";

// The audit rules, in order. The unread-report remark is found written with one
// apostrophe and with two (older versions doubled it), and both are audit entries.
inline const std::vector<JournalRule>& AuditJournalRules() {
  static const std::vector<JournalRule> rules = {
      {{"Impression protocoles en lot réussie%"}, "PROTOCOLE", "IMPRESSION"},
      {{"FactHop%"}, "FACTHOP", "FACTHOP"},
      {{"Impression d'un rapport non lu%", "Impression d''un rapport non lu%"}, "PROTOCOLE", "IMPRESSION"},
      {{"Destr. pres%"}, "VISITE", "DELETE"},
      {{"CHANGE_NOPRESCRIP FROM%"}, "VISITE", "MODIFICATION"},
      {{"TALVO SEND MSG OPEN%"}, "WORKLIST", "SEND"},
  };
  return rules;
}

// "(<remark> like 'p1' OR <remark> like 'p2')".
inline std::string RemarkMatches(const std::string& remark, const std::vector<const char*>& patterns) {
  std::string matches;
  for (const char* pattern : patterns)
    matches += (matches.empty() ? "(" : " OR ") + remark + " like " + QuotedStr(pattern);
  return matches + ")";
}

// The condition, on a staged entry `t` (tmplog), that one of the journals keeps it.
inline std::string JournalKeeps(const std::string& t) {
  std::string keeps = "(" + RemarkMatches(t + ".remarque", AccessJournalPatterns()) + " AND " + t +
                      ".acces >= " + QuotedStr(kAccessJournalFrom) + ")";
  for (const JournalRule& rule : AuditJournalRules()) keeps += " OR " + RemarkMatches(t + ".remarque", rule.patterns);
  return "(" + keeps + ")";
}

}  // namespace korvel
