// Text dump of a table file: its dictionary as a CREATE TABLE and each live record as
// an INSERT, in physical order, in the layout of the reference dumps of the sample
// files but with true values: Booleans true/false, NULL as NULL, texts and memos
// quoted with \' \\ \r \n \t and \xNN escapes (UTF-8 output), other BLOBs as their
// byte length and SHA-1.
#pragma once

#include <ostream>
#include <string>

#include "source/flashfiler/ff2_file.h"

namespace korvel::ff2 {

// `name`: the table name shown (the file name up to its first dot).
void DumpTable(const Ff2File& file, const std::string& name, std::ostream& out);
// The SQL type shown for a field in the CREATE TABLE.
std::string SqlTypeName(const FieldDef& field);
// One value as the dump shows it.
std::string DumpValue(const Ff2File& file, const uint8_t* record, int field);

}  // namespace korvel::ff2
