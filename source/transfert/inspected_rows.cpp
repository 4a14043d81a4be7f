#include "source/transfert/inspected_rows.h"

#include <algorithm>
#include <functional>

#include "global/fib/fib_transaction.h"
#include "global/string_utils.h"

namespace korvel {
namespace {

constexpr int64_t kForeignKey = 335544466, kTargetMissing = 335544838;

std::string Quoted(const std::string& name) { return "\"" + name + "\""; }

// A value as the server shows it in a key: numbers bare, texts in quotes.
std::string KeyValueText(const TParamValue& value) {
  if (value.IsNull()) return "NULL";
  if (value.Value().type() == Variant::Type::String) return "'" + TrimRight(value.AsString()) + "'";
  return value.AsString();
}

}  // namespace

void InspectedRows::Clear() {
  written_.clear();
  holds_.clear();
  keys_.clear();
  references_.clear();
  insert_ = nullptr;
}

void InspectedRows::Prepare(fib::TpFIBQuery& insert, const std::string& table,
                            const std::vector<std::string>& columns) {
  insert_ = &insert;
  table_ = UpperCase(Trim(table));
  keys_.clear();
  references_.clear();
  if (table_.empty()) return;
  const auto param_of = [&](const std::string& column) {
    const auto it = std::find(columns.begin(), columns.end(), column);
    return it == columns.end() ? -1 : static_cast<int>(it - columns.begin());
  };
  fib::TpFIBQuery query(insert.Database(), insert.Transaction());
  query.SetSQLText(
      "SELECT TRIM(rc.RDB$CONSTRAINT_NAME), TRIM(s.RDB$FIELD_NAME) FROM RDB$RELATION_CONSTRAINTS rc JOIN "
      "RDB$INDEX_SEGMENTS s ON s.RDB$INDEX_NAME = rc.RDB$INDEX_NAME WHERE rc.RDB$RELATION_NAME = :T AND "
      "rc.RDB$CONSTRAINT_TYPE IN ('PRIMARY KEY', 'UNIQUE') ORDER BY rc.RDB$CONSTRAINT_NAME, s.RDB$FIELD_POSITION");
  std::string name;
  bool complete = false;
  for (query.ExecWithParams({Variant(table_)}); !query.Eof(); query.Next()) {
    if (query.Fields(0).AsString() != name) {
      if (!keys_.empty() && !complete) keys_.pop_back();
      name = query.Fields(0).AsString();
      keys_.emplace_back();
      complete = true;
    }
    const std::string column = query.Fields(1).AsString();
    keys_.back().columns.push_back(column);
    keys_.back().params.push_back(param_of(column));
    complete &= keys_.back().params.back() >= 0;
  }
  if (!keys_.empty() && !complete) keys_.pop_back();
  query.Close();

  query.SetSQLText(
      "SELECT TRIM(rc.RDB$CONSTRAINT_NAME), TRIM(s.RDB$FIELD_NAME), TRIM(refc.RDB$RELATION_NAME), "
      "TRIM(rs.RDB$FIELD_NAME) FROM RDB$RELATION_CONSTRAINTS rc JOIN RDB$REF_CONSTRAINTS r ON r.RDB$CONSTRAINT_NAME = "
      "rc.RDB$CONSTRAINT_NAME JOIN RDB$RELATION_CONSTRAINTS refc ON refc.RDB$CONSTRAINT_NAME = r.RDB$CONST_NAME_UQ "
      "JOIN RDB$INDEX_SEGMENTS s ON s.RDB$INDEX_NAME = rc.RDB$INDEX_NAME JOIN RDB$INDEX_SEGMENTS rs ON "
      "rs.RDB$INDEX_NAME = refc.RDB$INDEX_NAME AND rs.RDB$FIELD_POSITION = s.RDB$FIELD_POSITION WHERE "
      "rc.RDB$RELATION_NAME = :T AND rc.RDB$CONSTRAINT_TYPE = 'FOREIGN KEY' ORDER BY rc.RDB$CONSTRAINT_NAME, "
      "s.RDB$FIELD_POSITION");
  name.clear();
  complete = false;
  for (query.ExecWithParams({Variant(table_)}); !query.Eof(); query.Next()) {
    if (query.Fields(0).AsString() != name) {
      if (!references_.empty() && !complete) references_.pop_back();
      name = query.Fields(0).AsString();
      references_.emplace_back();
      references_.back().name = name;
      references_.back().table = query.Fields(2).AsString();
      complete = true;
    }
    Reference& reference = references_.back();
    reference.columns.push_back(query.Fields(1).AsString());
    reference.params.push_back(param_of(reference.columns.back()));
    reference.targets.push_back(query.Fields(3).AsString());
    complete &= reference.params.back() >= 0;
  }
  if (!references_.empty() && !complete) references_.pop_back();
  query.Close();
  for (Reference& reference : references_) {
    std::string sql = "SELECT COUNT(*) FROM " + Quoted(reference.table) + " WHERE ";
    for (size_t i = 0; i < reference.targets.size(); ++i)
      sql += (i ? " AND " : "") + Quoted(reference.targets[i]) + " = ?";
    reference.exists = std::make_unique<fib::TpFIBQuery>(insert.Database(), insert.Transaction());
    reference.exists->SetNamedParams(false);
    reference.exists->SetSQLText(sql);
  }
}

uint64_t InspectedRows::Hash(const std::string& table, const std::vector<std::string>& columns,
                             const std::vector<int>& params, bool& anyNull) const {
  std::string text = table;
  anyNull = false;
  for (size_t i = 0; i < params.size(); ++i) {
    const TParamValue& value = insert_->Params(params[i]);
    anyNull |= value.IsNull();
    text += '\x1f' + columns[i] + '=' + KeyValueText(value);
  }
  return std::hash<std::string>{}(text);
}

std::optional<EDatabaseError> InspectedRows::MissingReference() {
  for (Reference& reference : references_) {
    bool any_null = false;
    const uint64_t hash = Hash(reference.table, reference.targets, reference.params, any_null);
    if (any_null) continue;  // a reference with a NULL names nothing
    const auto written = written_.find(reference.table);
    if (written != written_.end() && written->second.Contains(hash)) continue;
    fib::TpFIBQuery& exists = *reference.exists;
    std::vector<Variant> values;
    for (const int param : reference.params) values.push_back(insert_->Params(param).Value());
    exists.ExecWithParams(values);
    const bool found = exists.Fields(0).AsInteger() > 0;
    exists.Close();
    if (found) continue;
    std::string key;
    for (size_t i = 0; i < reference.params.size(); ++i) {
      key +=
          (i ? ", " : "") + Quoted(reference.columns[i]) + " = " + KeyValueText(insert_->Params(reference.params[i]));
    }
    return EDatabaseError("violation of FOREIGN KEY constraint " + Quoted(reference.name) + " on table " +
                              Quoted(table_) +
                              "\n-Foreign key reference target does not exist\n-Problematic key value is (" + key + ")",
                          {kForeignKey, kTargetMissing});
  }
  return std::nullopt;
}

void InspectedRows::Written() {
  for (const UniqueKey& key : keys_) {
    bool any_null = false;
    const uint64_t hash = Hash(table_, key.columns, key.params, any_null);
    if (!any_null) written_[table_].Insert(hash);
  }
}

bool InspectedRows::Holds(const std::string& table, const std::string& column, const TParamValue& value) {
  if (value.IsNull() || !insert_) return false;
  const std::string text = table + '\x1f' + column + '=' + KeyValueText(value);
  const auto written = written_.find(table);
  if (written != written_.end() && written->second.Contains(std::hash<std::string>{}(text))) return true;
  std::unique_ptr<fib::TpFIBQuery>& query = holds_[table + "." + column];
  if (!query) {
    query = std::make_unique<fib::TpFIBQuery>(insert_->Database(), insert_->Transaction());
    query->SetNamedParams(false);
    query->SetSQLText("SELECT COUNT(*) FROM " + Quoted(table) + " WHERE " + Quoted(column) + " = ?");
  }
  query->ExecWithParams({value.Value()});
  const bool found = query->Fields(0).AsInteger() > 0;
  query->Close();
  return found;
}

}  // namespace korvel
