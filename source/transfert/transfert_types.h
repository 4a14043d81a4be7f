// Types shared by the transfer engine, the converter and the table routines.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korvel {

// Acceptance policy of a table: which checks a source record must pass.
enum class TCanTransfertType {
  ctNone,
  ctStandard,
  ctPKOnly,
  ctPKSrcNotEmpty,
  ctSrcNotEmpty,
  ctPkExistsSrcNotEmpty,
  ctStandardExtra,
};

// Message callback of the engine and the converter: (sender, text, ASaveCallStack).
using THaveMsgEvent = std::function<void(const void* Sender, const std::string& Text, bool ASaveCallStack)>;

using TArrayInt = std::vector<int32_t>;

// A destination column and the source field that feeds it: a field name, or two field
// names joined by "+".
using TDestSrcFld = std::array<std::string, 2>;

// A reference a staged row needs to be moved: the rows of `staging` whose `column`
// names no row of `table`.`targetColumn` are deleted before the move, and the log
// counts them ("N lignes de <staging><what> supprimees"); an inspection reports each.
struct StagedReference {
  std::string staging, column, table, targetColumn, what;
};

// Default text of the converter's variants with a default.
struct TDefault {
  std::string Value;
};

// Selector of a special conversion.
enum class TSpecialParam {
  spNone,
  spEncrypt,
  spMakeDateTime,
  spMakeVisiteDate,
  spSubStrName,
  spSubStrLastName,
  spMakeTelephone,
  spMakeTypeFact,
  spMakePrescription,
  spMakeUtilisateur,
  spMakeDateTelecom,
  spMakeMaxLength,
};

}  // namespace korvel
