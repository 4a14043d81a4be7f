#include "source/transfert/transfert_data.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <regex>

#include "global/fib/fib_transaction.h"
#include "global/string_utils.h"
#include "global/text_encoding.h"
#include "source/transfert/insert_check.h"

namespace korvel {
namespace {

// The table and columns of "INSERT INTO t (a, b, ...)"; false when it names none.
bool InsertTarget(const std::string& head, std::string& table, std::vector<std::string>& columns);

// A free statement as an inspection runs it: a SELECT, its generator steps read
// instead of made (GEN_ID(g, n) read as GEN_ID(g, 0) + n: generators live outside
// transactions, so even a read-only one would move them); nothing for any other
// statement, which would write.
std::optional<std::string> ReadOnlyForm(const std::string& sql) {
  const std::string upper = UpperCase(sql);
  if (TrimLeft(upper).rfind("SELECT", 0) != 0 || upper.find("NEXT VALUE FOR") != std::string::npos) {
    return std::nullopt;
  }
  std::string result;
  size_t from = 0;
  for (size_t at = upper.find("GEN_ID(", from); at != std::string::npos; at = upper.find("GEN_ID(", from)) {
    const size_t comma = upper.find(',', at);
    const size_t close = upper.find(')', at);
    if (comma == std::string::npos || close == std::string::npos || comma > close) return std::nullopt;
    const std::string step = Trim(sql.substr(comma + 1, close - comma - 1));
    result += sql.substr(from, comma - from) + ", 0)";
    if (step != "0") result += " + (" + step + ")";
    from = close + 1;
  }
  return result + sql.substr(from);
}

constexpr const char* kSeqIndex = "Seq. Access Index";
constexpr size_t kNetworkMessageLength = 55;
constexpr const char* kNetworkMessage = "FlashFiler: Cannot locate or connect to network server.";

bool IsTextType(TFieldType type) {
  return type == TFieldType::ftString || type == TFieldType::ftFixedChar || type == TFieldType::ftWideString ||
         type == TFieldType::ftMemo || type == TFieldType::ftFmtMemo;
}

}  // namespace

TTransfertData::~TTransfertData() {
  if (FFFTable) FFFTable->Close();
}

void TTransfertData::SetErrMsg(const std::string& AMsg, bool ASaveCallStack) const {
  if (OnHaveMsgEvent) OnHaveMsgEvent(this, AMsg, ASaveCallStack);
}

void TTransfertData::InitDataConnections(TffSession* ASession, TffDatabase* AFFDatabase,
                                         fib::TpFIBDatabase* AFBDataBase) {
  FFBDatabase = AFBDataBase;
  FSession = ASession;
  if (FFFTable) FFFTable->Close();
  FFFTable = std::make_unique<TffTable>();
  if (AFFDatabase) FFFTable->SetDatabase(AFFDatabase);
  FExeQuery = std::make_unique<fib::TpFIBQuery>(AFBDataBase);
  FInsQuery = std::make_unique<fib::TpFIBQuery>(AFBDataBase);
  FPkQuery = std::make_unique<fib::TpFIBQuery>(AFBDataBase);
  FSubQueries.clear();
}

fib::TpFIBTransaction* TTransfertData::DefaultTransaction() const {
  return FFBDatabase ? FFBDatabase->DefaultTransaction : nullptr;
}

// ------------------------------------------------------------ source

void TTransfertData::PrepareTransfert() {
  EndFastTable();
  FPkColumns.clear();
  FPkQuery->SQLClear();
  FNbAdded = 0;
  FNbTried = 0;
  FPkIndex = 0;
  FSecIndex = -1;
  FSrcIndex = -1;
  FCanType = TCanTransfertType::ctStandard;
  FUseDest = false;
  // The composite key expressions belong to one table: kept, the next table's first
  // expression would land in the second slot and check the wrong key.
  FPkName.clear();
  FSecName.clear();
  FSubQueries.clear();
  FInspected.Clear();
  FStagedReferences.clear();
  FOrphan.clear();
  FQuerySource = false;
}

bool TTransfertData::InitSourceTable(const std::string& ATableName) {
  PrepareTransfert();
  if (!ATableName.empty()) {
    FFFTable->Close();
    FFFTable->SetTableName(ATableName);
  }
  try {
    InitIndexRange(kSeqIndex);
  } catch (const std::exception& e) {
    SetErrMsg("Index Seq. pas active pour " + ATableName + ".  Erreur msg: " + e.what(), false);
  }
  try {
    OpenFFTable();
    FFFTable->First();
  } catch (const std::exception& e) {
    SetErrMsg("Erreur Ouverture, ne peut transferer: " + ATableName + " " + e.what(), false);
    return false;
  }
  return true;
}

void TTransfertData::OpenFFTable() {
  for (int attempt = 1;; ++attempt) {
    try {
      FFFTable->Open();
      return;
    } catch (const std::exception& e) {
      const std::string message = e.what();
      if (attempt >= 3 || message.compare(0, kNetworkMessageLength, kNetworkMessage) != 0) throw;
      // The connection to the server was lost: recycle it and try again.
      TffDatabase* database = FFFTable->Database();
      if (database) database->Close();
      TffCommsEngine* engine = FSession ? FSession->CommsEngine() : nullptr;
      if (engine) {
        engine->Close();
        engine->Open();
      }
      if (database) database->Open();
    }
  }
}

void TTransfertData::InitIndexRange(const std::string& AIndexName) {
  FFFTable->Close();
  try {
    FFFTable->SetIndexName(AIndexName);
  } catch (const std::exception&) {
    // An unknown index leaves the previous order.
  }
}

namespace {

std::string KeyText(const std::vector<Variant>& values) {
  std::string text;
  for (const Variant& v : values) {
    if (!text.empty()) text += ", ";
    text += v.IsNull() ? std::string("NULL") : v.AsString();
  }
  return "(" + text + ")";
}

}  // namespace

bool TTransfertData::InitIndexRange(const std::string& AIndexName, const std::vector<Variant>& StartValue,
                                    const std::vector<Variant>& EndValue) {
  FSourceError.clear();
  try {
    FFFTable->Close();
    FFFTable->SetIndexName(AIndexName);
    OpenFFTable();
    if (!StartValue.empty()) FFFTable->SetRange(StartValue, EndValue);
    FFFTable->First();
    return true;
  } catch (const std::exception& e) {
    FSourceError = "Index ou intervalle impossible pour " + FFFTable->TableName() + ": index " + AIndexName;
    if (!StartValue.empty()) FSourceError += ", de " + KeyText(StartValue) + " a " + KeyText(EndValue);
    FSourceError += std::string(": ") + e.what();
    SetErrMsg(FSourceError, false);
    return false;
  }
}

void TTransfertData::InitQuerySource() {
  PrepareTransfert();
  FFFTable->Close();
  FQuerySource = true;
}

int64_t TTransfertData::SourceRecord() const { return FQuerySource ? FNbTried : FFFTable->RecNo(); }

bool TTransfertData::EndTransfert() const { return FFFTable->Eof(); }

void TTransfertData::NextTransfert() {
  FFFTable->Next();
  ++FNbTried;
}

int TTransfertData::FieldByName(const std::string& AFieldName) const {
  return FFFTable->FieldByName(AFieldName)->Index();
}

TField& TTransfertData::SrcField(int index) const { return *FFFTable->Fields(index); }

int TTransfertData::FieldCount() const { return FFFTable->FieldCount(); }

// ------------------------------------------------------------ destination

std::string TTransfertData::InsertParamsLine(int ANbParams) {
  std::string line = " VALUES(";
  for (int i = 1; i <= ANbParams; ++i) line += ":param" + std::to_string(i) + ", ";
  line.resize(line.size() - 2);
  line += ")";
  return line;
}

void TTransfertData::AddInsertParams(fib::TpFIBQuery& AQuery, int ANbParams) {
  AQuery.SQLAdd(InsertParamsLine(ANbParams));
}

std::vector<std::string> TTransfertData::InsertColumns(const std::string& AInsSQL) {
  std::vector<std::string> columns;
  const size_t open = AInsSQL.find('(');
  const size_t close = AInsSQL.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return columns;
  std::string name;
  for (size_t i = open + 1; i <= close; ++i) {
    if (i == close || AInsSQL[i] == ',') {
      columns.push_back(Trim(name));
      name.clear();
    } else {
      name += AInsSQL[i];
    }
  }
  return columns;
}

int TTransfertData::DestColumnIndex(const std::string& column) const {
  const std::string wanted = UpperCase(column);
  for (size_t i = 0; i < FInsColumns.size(); ++i) {
    if (FInsColumns[i] == wanted) return static_cast<int>(i);
  }
  throw ERoutineFault("Colonne " + column + " absente de l'instruction de destination: " + FInsHead);
}

void TTransfertData::InitDestination(const std::string& AInsSQL, int ANbParams) {
  FlushBatch();
  ++FDestinationSerial;
  FInsColumns = InsertColumns(AInsSQL);
  for (std::string& name : FInsColumns) name = UpperCase(name);
  if (!FInsColumns.empty() && static_cast<int>(FInsColumns.size()) != ANbParams) {
    throw ERoutineFault(std::to_string(ANbParams) + " parametres pour " + std::to_string(FInsColumns.size()) +
                        " colonnes dans l'instruction de destination: " + AInsSQL);
  }
  FBatch.Stop();
  FKeys.Clear();
  FKeysTried = false;
  FInsHead = AInsSQL;
  FInsQuery->Close();
  FInsQuery->SQLClear();
  FInsQuery->SQLAdd(AInsSQL);
  AddInsertParams(*FInsQuery, ANbParams);
}

void TTransfertData::InitUpdateDestination(const std::string& AUpdateSQL) {
  EndFastTable();
  ++FDestinationSerial;
  FInsColumns.clear();
  FInsHead.clear();
  FInsQuery->Close();
  FInsQuery->SetSQLText(AUpdateSQL);
  FInsQuery->Prepare();
}

void TTransfertData::InitCodeDestCopy(const std::string& ATableName, const TDestSrcFld& AFirstPair, bool AutoPrepare) {
  FDestName = ATableName;
  FPkColumns = {AFirstPair[0]};
  FKeys.Clear();
  FKeysTried = false;
  FPkQuery->SQLAdd("SELECT Count(*) FROM " + ATableName + " WHERE " + AFirstPair[0] + " = :param0");
  if (AutoPrepare) FPkQuery->Prepare();
  if (TField* field = FFFTable->FindField(AFirstPair[1])) {
    FPkIndex = field->Index();
  } else {
    DoCompositeFieldIndex(AFirstPair);
  }
}

void TTransfertData::InitCodeDestCopy(const std::string& ATableName, const TDestSrcFld& AFirstPair,
                                      const TDestSrcFld& ASecPair) {
  InitCodeDestCopy(ATableName, AFirstPair, false);
  FPkQuery->SQLAdd(" AND " + ASecPair[0] + " = :param1");
  FPkColumns.push_back(ASecPair[0]);
  FPkQuery->Prepare();
  if (TField* field = FFFTable->FindField(ASecPair[1])) {
    FSecIndex = field->Index();
  } else {
    DoCompositeFieldIndex(ASecPair);
  }
}

void TTransfertData::DoCompositeFieldIndex(const TDestSrcFld& APair) {
  if (FPkName.empty()) {
    FPkName = APair[1];
  } else {
    FSecName = APair[1];
  }
  FUseDest = true;
}

void TTransfertData::InitTransfertCondition(TCanTransfertType AType, const std::string& ASrcName) {
  FCanType = AType;
  FSrcIndex = FFFTable->FieldByName(ASrcName)->Index();
}

void TTransfertData::InitTransfertCondition(TCanTransfertType AType, int ASrcIndex) {
  FCanType = AType;
  if (ASrcIndex >= 0) FSrcIndex = ASrcIndex;
}

void TTransfertData::InitTransfertCondition(TCanTransfertType AType, const TArrayInt& ASrcArray) {
  FCanType = AType;
  FSrcArray = ASrcArray;
}

void TTransfertData::InitSubQueries(const std::string& AName, const std::string& ASQL, int ANbParams) {
  auto sub = std::make_unique<SubQuery>();
  sub->name = AName;
  sub->head = ASQL;
  sub->query = std::make_unique<fib::TpFIBQuery>(FInsQuery->Database());
  sub->query->SQLAdd(ASQL);
  AddInsertParams(*sub->query, ANbParams);
  FSubQueries.push_back(std::move(sub));
}

// ------------------------------------------------------------ acceptance

void TTransfertData::AssignFieldValue(TParamValue& param, const TField& field) {
  if (field.IsNull()) {
    param.Clear();
  } else if (IsTextType(field.DataType())) {
    field.GetAsString(param.SetText());
  } else {
    param.SetValue(field.AsVariant());
  }
}

void TTransfertData::AssignKeyValue(TParamValue& param, const std::string& expression) {
  const size_t plus = expression.find('+');
  if (plus == std::string::npos) {
    AssignFieldValue(param, *FFFTable->FieldByName(expression));
    return;
  }
  std::string& text = param.SetText();
  FFFTable->FieldByName(expression.substr(0, plus))->GetAsString(text);
  text += ' ';
  FFFTable->FieldByName(expression.substr(plus + 1))->GetAsString(scratch_);
  text += scratch_;
}

int TTransfertData::PreparePKQuery() {
  FPkQuery->Close();
  if (!FUseDest) {
    AssignFieldValue(FPkQuery->Params(0), *FFFTable->Fields(FPkIndex));
    if (FSecIndex >= 0) AssignFieldValue(FPkQuery->Params(1), *FFFTable->Fields(FSecIndex));
  } else {
    AssignKeyValue(FPkQuery->Params(0), FPkName);
    if (!FSecName.empty()) {
      AssignKeyValue(FPkQuery->Params(1), FSecName);
    } else if (FSecIndex >= 0) {
      AssignFieldValue(FPkQuery->Params(1), *FFFTable->Fields(FSecIndex));
    }
  }
  // Only where a found key refuses the record: a check that needs the key to exist
  // keeps "=", under which a record without key finds nothing.
  if (FPkColumns.size() == 1 && FPkQuery->Params(0).IsNull() && FCanType != TCanTransfertType::ctPkExistsSrcNotEmpty)
    return NullKeyCount();
  // An inspection's own records are not in the target: their keys are in memory.
  if (FInspecting && FInspected.Contains(CheckedKeyHash())) return 1;
  if (KnownAbsent()) return 0;
  // The server answers: it must see the records still waiting in the batch.
  FlushBatch();
  ++FCheckRoundTrips;
  FPkQuery->ExecQuery();
  const int count = static_cast<int>(FPkQuery->Fields(0).AsInteger());
  FPkQuery->Close();
  return count;
}

// "=" never finds a NULL key: a record without key is checked against the target's
// rows without key, so a table run again does not add its keyless row a second time.
int TTransfertData::NullKeyCount() {
  FlushBatch();
  ++FCheckRoundTrips;
  fib::TpFIBQuery nulls(FPkQuery->Database(), FPkQuery->Transaction());
  nulls.SetSQLText("SELECT Count(*) FROM " + FDestName + " WHERE " + FPkColumns[0] + " IS NULL");
  nulls.ExecQuery();
  return static_cast<int>(nulls.Fields(0).AsInteger());
}

std::string TTransfertData::FieldText(int index) const {
  if (index < 0 || index >= FFFTable->FieldCount()) return {};
  return FFFTable->Fields(index)->AsString();
}

bool TTransfertData::FieldEmpty(int index) {
  if (index < 0 || index >= FFFTable->FieldCount()) return true;
  const TField& field = *FFFTable->Fields(index);
  if (field.IsNull()) return true;
  field.GetAsString(scratch_);
  return scratch_.empty();
}

void TTransfertData::ReportDuplicate() {
  const std::string key = FieldText(FPkIndex);
  if (FieldEmpty(FPkIndex)) {
    SetErrMsg("Table source: " + FFFTable->TableName() + " a une cle vide: " + FieldText(0), false);
  } else if (FSecIndex < 0) {
    SetErrMsg("Table destination: " + FDestName + " a deja cette cle: " + key, false);
  } else {
    SetErrMsg("Table destination: " + FDestName + " a deja cette cle composee: " + key + " + " + FieldText(FSecIndex),
              false);
  }
}

bool TTransfertData::CanTransfert() {
  const std::string& table = FFFTable->TableName();
  auto empty_key = [&] { SetErrMsg("Table source: " + table + " a une cle vide: " + FieldText(0), false); };
  switch (FCanType) {
    case TCanTransfertType::ctNone: return true;
    case TCanTransfertType::ctStandard: {
      const int count = PreparePKQuery();
      if (!FieldEmpty(FPkIndex) && count == 0) return true;
      ReportDuplicate();
      return false;
    }
    case TCanTransfertType::ctPKOnly: {
      if (PreparePKQuery() == 0) return true;
      SetErrMsg("Table destination: " + FDestName + " a deja cette cle: " + FieldText(FPkIndex), false);
      return false;
    }
    case TCanTransfertType::ctPKSrcNotEmpty: {
      const int count = PreparePKQuery();
      if (FieldEmpty(FSrcIndex)) {
        empty_key();
        return false;
      }
      if (count == 0) return true;
      SetErrMsg("Table destination: " + FDestName + " a deja cette cle: " + FieldText(FPkIndex), false);
      return false;
    }
    case TCanTransfertType::ctSrcNotEmpty:
      if (!FieldEmpty(FSrcIndex)) return true;
      empty_key();
      return false;
    case TCanTransfertType::ctPkExistsSrcNotEmpty: {
      const int count = PreparePKQuery();
      if (FieldEmpty(FSrcIndex)) {
        empty_key();
        return false;
      }
      if (count == 1) return true;
      SetErrMsg("Table destination: " + FDestName + " ne contient pas cette cle: " + FieldText(FPkIndex), false);
      return false;
    }
    case TCanTransfertType::ctStandardExtra: {
      if (PreparePKQuery() != 0) {
        ReportDuplicate();
        return false;
      }
      bool accepted = true;
      for (const int32_t index : FSrcArray) {
        if (FieldEmpty(index)) {
          empty_key();
          accepted = false;
        }
      }
      return accepted;
    }
  }
  return false;
}

// ------------------------------------------------------------ execution

void TTransfertData::SetDestParam(int index, const TParamValue& AParam) { FInsQuery->Params(index).Assign(AParam); }

const fib::TFIBParam& TTransfertData::GetDestParam(int index) const { return FInsQuery->Params(index); }

int TTransfertData::ParamCount() const { return FInsQuery->ParamCount(); }

void TTransfertData::SetDestSubParam(const std::string& AName, int index, const TParamValue& AParam) {
  for (auto& sub : FSubQueries) {
    if (sub->name == AName) {
      sub->query->Params(index).Assign(AParam);
      return;
    }
  }
  SetErrMsg("Sous requetes: " + AName + " pas trouver", false);
}

void TTransfertData::Transfert() {
  if (FInspecting) {
    InspectDestination();
    ++FNbAdded;
    return;
  }
  if (FFastTable && FBatch.Active()) {
    RememberInsertedKey();
    ++FNbAdded;  // a refusal when the batch is sent takes it back
    FPending.push_back({SourceRecord(), -1});
    const bool full = FBatch.Add(static_cast<int64_t>(FPending.size() - 1));
    FInsQuery->ClearParams();
    if (full) FlushBatch();
    return;
  }
  FInsQuery->ExecQuery();
  ++FNbAdded;
  RememberInsertedKey();
  FInsQuery->ClearParams();
}

void TTransfertData::InspectDestination() {
  if (FRowsSerial != FDestinationSerial) {
    FRowsSerial = FDestinationSerial;
    std::string table;
    std::vector<std::string> columns;
    if (!FInsHead.empty() && InsertTarget(FInsHead, table, columns)) {
      FInspectedRows.Prepare(*FInsQuery, table, columns);
    } else {
      FInspectedRows.Prepare(*FInsQuery, "", {});  // an update: its rows are the run's own
    }
  }
  // As a refused statement, the parameters stay as they were set.
  if (std::optional<EDatabaseError> refusal = InsertRefusal(*FInsQuery)) throw *refusal;
  if (std::optional<EDatabaseError> refusal = FInspectedRows.MissingReference()) throw *refusal;
  FInspectedRows.Written();
  if (!FPkColumns.empty() && WritesCheckedTable()) FInspected.Insert(CheckedKeyHash());
  for (const StagedReference& reference : FStagedReferences) {
    const TParamValue& value = FInsQuery->Params(DestColumnIndex(reference.column));
    if (FInspectedRows.Holds(UpperCase(reference.table), UpperCase(reference.targetColumn), value)) continue;
    FOrphan = "1 ligne de " + reference.staging + reference.what + " (" + reference.column + " " +
              (value.IsNull() ? std::string("vide") : value.AsString()) + "), supprimee avant son deplacement";
    break;
  }
  FInsQuery->ClearParams();
}

uint64_t TTransfertData::CheckedKeyHash() {
  // The key as the server compares it: texts without their trailing blanks.
  scratch_.clear();
  for (size_t i = 0; i < FPkColumns.size(); ++i) {
    const TParamValue& value = FPkQuery->Params(static_cast<int>(i));
    if (value.IsNull()) {
      scratch_ += '\x01';
    } else {
      std::string text = value.AsString();
      if (value.Value().type() == Variant::Type::String) text = TrimRight(text);
      scratch_ += text;
    }
    scratch_ += '\x1f';
  }
  return std::hash<std::string>{}(scratch_);
}

bool TTransfertData::WritesCheckedTable() {
  if (FWritesSerial != FDestinationSerial || FWritesDest != FDestName) {
    FWritesSerial = FDestinationSerial;
    FWritesDest = FDestName;
    const std::string sql = UpperCase(TrimLeft(FInsQuery->SQLText()));
    std::string table;
    std::vector<std::string> columns;
    if (sql.rfind("UPDATE ", 0) == 0) {
      table = Trim(sql.substr(7, sql.find(' ', 7) - 7));
    } else if (!InsertTarget(sql, table, columns)) {
      table.clear();
    }
    FWritesChecked = !table.empty() && table == UpperCase(Trim(FDestName));
  }
  return FWritesChecked;
}

void TTransfertData::ExecuteDestination() {
  if (FInspecting) {
    InspectDestination();
    return;
  }
  FlushBatch();
  ForgetKnownKeys();
  FInsQuery->ExecQuery();
  FInsQuery->ClearParams();
}

void TTransfertData::TransfertSubs() {
  for (auto& sub : FSubQueries) ExecuteSub(*sub);
}

void TTransfertData::TransfertSubsByName(const std::string& AName) {
  for (auto& sub : FSubQueries) {
    if (sub->name == AName) {
      ExecuteSub(*sub);
      return;
    }
  }
}

void TTransfertData::ExecuteSub(SubQuery& sub) {
  if (FFastTable && sub.batch.Active()) {
    if (CurrentRowRefused()) {
      sub.query->ClearParams();  // its record is not in the target: no sub-row either
      return;
    }
    int statement = 0;
    while (FSubQueries[statement].get() != &sub) ++statement;
    FPending.push_back({SourceRecord(), statement});
    const bool full = sub.batch.Add(static_cast<int64_t>(FPending.size() - 1));
    sub.query->ClearParams();
    if (full) FlushBatch();
    return;
  }
  FlushBatch();
  ForgetKnownKeys();
  sub.query->ExecQuery();
  sub.query->ClearParams();
}

const TParamValue& TTransfertData::MakePKString(const std::string& ATableName, const std::string& AFieldName,
                                                const std::string& ASrcValue, int AMaxLength,
                                                TFieldType /*ATypeToAdd*/) {
  FParam.Clear();
  if (ASrcValue.empty()) return FParam;
  const size_t max_length = static_cast<size_t>(std::max(AMaxLength, 1));
  // The key is stored in upper case, so it is looked up in upper case too: a mixed-case
  // source must not pass the check and then collide with the stored key.
  std::string candidate = AnsiUpperCase(Utf8Left(ASrcValue, max_length));
  fib::TpFIBQuery lookup(FFBDatabase);
  lookup.SetSQLText("SELECT " + AFieldName + " FROM " + ATableName + " WHERE " + AFieldName + "=:PARAM");
  lookup.Prepare();
  for (int tries = 0; FParam.IsNull() && tries < 10;) {
    lookup.ExecWithParams({Variant(candidate)});
    const bool taken = !lookup.Eof() && !lookup.Fields(0).AsString().empty();
    lookup.Close();
    if (!taken) {
      FParam.SetText() = candidate;
    } else {
      ++tries;
      candidate = AnsiUpperCase(Utf8Left(ASrcValue, max_length - 1)) + std::to_string(tries);
    }
  }
  return FParam;
}

// ------------------------------------------------------------ general-purpose statement

ExecResult TTransfertData::ExecuteDestQuery(const std::string& ASQL) {
  FlushBatch();
  ExecResult result;
  std::string inspected;
  if (FInspecting) {
    const std::optional<std::string> read = ReadOnlyForm(ASQL);
    if (!read) {
      result.ok = true;  // an inspection writes nothing
      return result;
    }
    inspected = *read;
  }
  const std::string& sql = FInspecting ? inspected : ASQL;
  ForgetKnownKeys();
  try {
    FExeQuery->Close();
    FExeQuery->SetSQLText(sql);
    fib::TpFIBTransaction* tr = FExeQuery->Transaction();
    if (!tr->Active()) tr->StartTransaction();
    FExeQuery->ExecQuery();
    result.ok = true;
    result.rows = FExeQuery->RowsAffected();
  } catch (const std::exception& e) {
    SetErrMsg(std::string(e.what()) + ASQL, true);
  }
  return result;
}

const fib::TFIBColumn* TTransfertData::GetExeQryField(int index) const {
  if (index < 0 || index >= FExeQuery->FieldCount()) return nullptr;
  return &FExeQuery->Fields(index);
}

int TTransfertData::GetExeQryRecordCount() const { return FExeQuery->RecordCount(); }

bool TTransfertData::GetExeQryEOF() const { return FExeQuery->Eof(); }

void TTransfertData::NextExeQryRecord() { FExeQuery->Next(); }

void TTransfertData::CommitDestQuery() {
  FlushBatch();
  fib::TpFIBTransaction* tr = DefaultTransaction();
  try {
    if (tr && tr->Active()) tr->Commit();
  } catch (const std::exception& e) {
    // Work that could not be committed is lost: that must show in the log.
    SetErrMsg(std::string("Commit: ") + e.what(), false);
  }
  try {
    FFBDatabase->Close();
    FFBDatabase->Open();
    if (tr) tr->StartTransaction();
  } catch (const std::exception&) {
    // A failed reconnection shows at the next statement.
  }
}

// ------------------------------------------------------------ round trips

namespace {

// The table and columns of "INSERT INTO T(a, b, ...)".
bool InsertTarget(const std::string& head, std::string& table, std::vector<std::string>& columns) {
  const std::string upper = UpperCase(head);
  const size_t into = upper.find("INTO");
  const size_t open = upper.find('(');
  const size_t close = upper.rfind(')');
  if (into == std::string::npos || open == std::string::npos || close == std::string::npos || close < open) {
    return false;
  }
  table = Trim(upper.substr(into + 4, open - into - 4));
  size_t start = open + 1;
  while (start <= close) {
    size_t comma = upper.find(',', start);
    if (comma == std::string::npos || comma > close) comma = close;
    columns.push_back(Trim(upper.substr(start, comma - start)));
    start = comma + 1;
  }
  return !table.empty();
}

// The generators an insert into `table` may take values from, as the server records
// its dependencies: those of the table's insert triggers, of the procedures and
// functions they call, and of every trigger of the tables they write, however deep.
// Nothing (not batched) when that cannot be known for sure: an identity column (its
// values could not be given back), a package, or dynamic SQL, which the server does
// not record. `reached`, when given, gets `table` and every table those triggers and
// routines name: all an insert into `table` may change.
std::optional<std::vector<std::string>> GeneratorsOf(fib::TpFIBDatabase& database, fib::TpFIBTransaction* transaction,
                                                     const std::string& table,
                                                     std::vector<std::string>* reached = nullptr) {
  // Object types of RDB$DEPENDENCIES.
  constexpr int64_t kRelation = 0, kTrigger = 2, kProcedure = 5, kGenerator = 14, kFunction = 15;
  constexpr int64_t kPackageHeader = 18, kPackageBody = 19;
  fib::TpFIBQuery query(&database, transaction);
  if (!query.Transaction()->Active()) query.Transaction()->StartTransaction();
  query.SetSQLText(
      "SELECT COUNT(*) FROM RDB$RELATION_FIELDS f WHERE f.RDB$RELATION_NAME = :T AND f.RDB$IDENTITY_TYPE IS NOT NULL");
  query.ExecWithParams({Variant(table)});
  const bool identity = query.Fields(0).AsInteger() > 0;
  query.Close();
  if (identity) return std::nullopt;

  std::vector<std::pair<std::string, int64_t>> pending, seen;
  auto push = [&](const std::string& name, int64_t type) {
    const std::pair<std::string, int64_t> object{Trim(name), type};
    if (std::find(seen.begin(), seen.end(), object) != seen.end()) return;
    seen.push_back(object);
    pending.push_back(object);
  };
  // Its active triggers (insert ones only for the table itself) and whether any of
  // them runs dynamic SQL.
  bool dynamic = false;
  auto triggers_of = [&](const std::string& relation, bool insertOnly) {
    query.SetSQLText(std::string("SELECT t.RDB$TRIGGER_NAME, t.RDB$TRIGGER_SOURCE FROM RDB$TRIGGERS t WHERE "
                                 "t.RDB$RELATION_NAME = :T AND COALESCE(t.RDB$TRIGGER_INACTIVE, 0) = 0") +
                     (insertOnly ? " AND (t.RDB$TRIGGER_TYPE IN (1, 2) OR t.RDB$TRIGGER_TYPE > 6)" : ""));
    query.ExecWithParams({Variant(relation)});
    for (; !query.Eof(); query.Next()) {
      push(query.Fields(0).AsString(), kTrigger);
      if (!query.Fields(1).IsNull() &&
          UpperCase(query.Fields(1).AsString()).find("EXECUTE STATEMENT") != std::string::npos) {
        dynamic = true;
      }
    }
    query.Close();
  };
  triggers_of(table, true);

  std::vector<std::string> generators;
  std::vector<std::string> relations = {table};
  fib::TpFIBQuery sources(&database, transaction);
  while (!pending.empty() && !dynamic) {
    const auto [name, type] = pending.back();
    pending.pop_back();
    if (type == kProcedure || type == kFunction) {
      sources.SetSQLText(type == kProcedure
                             ? "SELECT RDB$PROCEDURE_SOURCE FROM RDB$PROCEDURES WHERE RDB$PROCEDURE_NAME = :N"
                             : "SELECT RDB$FUNCTION_SOURCE FROM RDB$FUNCTIONS WHERE RDB$FUNCTION_NAME = :N");
      sources.ExecWithParams({Variant(name)});
      for (; !sources.Eof(); sources.Next()) {
        if (!sources.Fields(0).IsNull() &&
            UpperCase(sources.Fields(0).AsString()).find("EXECUTE STATEMENT") != std::string::npos) {
          dynamic = true;
        }
      }
      sources.Close();
    }
    query.SetSQLText(
        "SELECT d.RDB$DEPENDED_ON_NAME, d.RDB$DEPENDED_ON_TYPE FROM RDB$DEPENDENCIES d WHERE d.RDB$DEPENDENT_NAME = :N "
        "AND d.RDB$DEPENDENT_TYPE = :T");
    query.ExecWithParams({Variant(name), Variant(type)});
    std::vector<std::pair<std::string, int64_t>> found;
    for (; !query.Eof(); query.Next())
      found.emplace_back(Trim(query.Fields(0).AsString()), query.Fields(1).AsInteger());
    query.Close();
    for (const auto& [on, on_type] : found) {
      if (on_type == kGenerator) {
        if (std::find(generators.begin(), generators.end(), on) == generators.end()) generators.push_back(on);
      } else if (on_type == kProcedure || on_type == kFunction) {
        push(on, on_type);
      } else if (on_type == kPackageHeader || on_type == kPackageBody) {
        return std::nullopt;
      } else if (on_type == kRelation && std::find(relations.begin(), relations.end(), on) == relations.end()) {
        relations.push_back(on);
        triggers_of(on, false);
      }
    }
  }
  if (dynamic) return std::nullopt;
  if (reached) *reached = relations;
  // Quoted as the server stores them, so that any name reads back.
  for (std::string& name : generators) {
    std::string quoted = "\"";
    for (const char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    name = quoted + "\"";
  }
  return generators;
}

}  // namespace

void TTransfertData::BeginFastTable(RefusedRecord refused, std::function<void()> unsent, RefusedRecord subRefused) {
  EndFastTable();
  if (FInspecting) {
    // Checks from memory, nothing sent: the insert is prepared for its columns' types.
    FFastTable = true;
    FKeysTried = false;
    FRefused = std::move(refused);
    try {
      if (!FInsHead.empty()) FInsQuery->Prepare();
    } catch (const EDatabaseError&) {
      // The statement itself is wrong: each record meets that error on its own.
    }
    return;
  }
  if (FRecordAtATime) return;
  FRefused = std::move(refused);
  FUnsent = std::move(unsent);
  FSubRefused = std::move(subRefused);
  FFastTable = true;
  // A sub-row may change the checked table by ways the engine does not see (a
  // trigger): with sub-statements, the server answers every check, unless their
  // batches start and nothing they reach is the checked table (StartSubBatches).
  FKeysTried = !FSubQueries.empty();
  if (FInsHead.empty()) return;
  std::string table;
  std::vector<std::string> columns;
  try {
    if (!InsertTarget(FInsHead, table, columns)) return;
    const std::optional<std::vector<std::string>> generators = GeneratorsOf(*FFBDatabase, DefaultTransaction(), table);
    if (!generators) return;
    FInsQuery->Prepare();
    if (FBatch.Start(FInsQuery.get(), FInsHead, *generators) && !StartSubBatches(*generators)) FBatch.Stop();
  } catch (const EDatabaseError&) {
    // The statement itself is wrong: each record meets that error on its own.
    FBatch.Stop();
    for (auto& sub : FSubQueries) sub->batch.Stop();
  }
}

bool TTransfertData::StartSubBatches(std::vector<std::string> generators) {
  bool checked_reached = false;
  for (auto& sub : FSubQueries) {
    std::string table;
    std::vector<std::string> columns;
    if (!InsertTarget(sub->head, table, columns)) return false;
    std::vector<std::string> reached;
    const std::optional<std::vector<std::string>> own =
        GeneratorsOf(*FFBDatabase, DefaultTransaction(), table, &reached);
    if (!own) return false;
    for (const std::string& relation : reached) checked_reached |= relation == UpperCase(Trim(FDestName));
    for (const std::string& g : *own) {
      if (std::find(generators.begin(), generators.end(), g) != generators.end()) return false;
      generators.push_back(g);
    }
    sub->query->Prepare();
    if (!sub->batch.Start(sub->query.get(), sub->head, *own)) return false;
  }
  // The sub-rows leave the checked table as it is: its keys can be known in memory.
  if (!checked_reached) FKeysTried = false;
  return true;
}

void TTransfertData::EndFastTable() {
  // Whatever the flush meets, the table's batch and handler are gone afterwards.
  struct Reset {
    TTransfertData& d;
    ~Reset() {
      d.FBatch.Stop();
      for (auto& sub : d.FSubQueries) sub->batch.Stop();
      d.FPending.clear();
      d.FLastRefused.clear();
      d.FInSubStatements = false;
      d.FFastTable = false;
      d.FKeys.Clear();
      d.FKeyParams.clear();
      d.FRefused = nullptr;
      d.FSubRefused = nullptr;
      d.FUnsent = nullptr;
    }
  } reset{*this};
  FlushBatch();
}

bool TTransfertData::BatchPending() const {
  if (FBatch.Pending() > 0) return true;
  for (const auto& sub : FSubQueries) {
    if (sub->batch.Pending() > 0) return true;
  }
  return false;
}

void TTransfertData::FlushBatch() {
  if (FFlushing || !BatchPending()) return;
  FFlushing = true;
  const int64_t current = SourceRecord();
  struct Refusal {
    int64_t tag;
    EDatabaseError error;
  };
  std::vector<Refusal> refusals;
  std::exception_ptr failure;
  const auto keep = [&](int64_t tag, const EDatabaseError& e) { refusals.push_back({tag, e}); };
  FLastRefused.clear();
  try {
    FBatch.Flush(keep, [this](int64_t) {
      --FNbAdded;
      if (FUnsent) FUnsent();
    });
    for (const Refusal& r : refusals) FLastRefused.push_back(FPending[r.tag].record);
    for (auto& sub : FSubQueries) {
      if (sub->batch.Pending() == 0) continue;
      // The sub-rows of a refused record are never sent, as one by one.
      if (!FLastRefused.empty()) {
        sub->batch.Drop([&](int64_t tag) {
          return std::find(FLastRefused.begin(), FLastRefused.end(), FPending[tag].record) != FLastRefused.end();
        });
      }
      sub->batch.Flush(keep, [](int64_t) {});
    }
  } catch (...) {
    failure = std::current_exception();
    for (auto& sub : FSubQueries) sub->batch.Discard();
  }
  // Handed on in the order one by one meets them; each refusal is handed on even when
  // an earlier handler fails (the first failure goes on up afterwards).
  std::sort(refusals.begin(), refusals.end(), [](const Refusal& a, const Refusal& b) { return a.tag < b.tag; });
  for (const Refusal& r : refusals) {
    const PendingRow row = FPending[r.tag];
    if (row.statement < 0) --FNbAdded;
    try {
      // A legacy record is read again for its log; a query's row is named.
      if (FQuerySource) {
        FRefusedRecord = row.record;
      } else {
        FFFTable->MoveTo(row.record);
      }
      const RefusedRecord& handler = row.statement < 0 ? FRefused : FSubRefused;
      if (handler) handler(r.error);
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  FPending.clear();
  FRefusedRecord = -1;
  try {
    if (!FQuerySource) FFFTable->MoveTo(current);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  FFlushing = false;
  if (failure) std::rethrow_exception(failure);
}

bool TTransfertData::CurrentRowRefused() const {
  if (!FFastTable || FFlushing || FLastRefused.empty() || !FFFTable) return false;
  return std::find(FLastRefused.begin(), FLastRefused.end(), SourceRecord()) != FLastRefused.end();
}

bool TTransfertData::KnownAbsent() {
  if (!FFastTable) return false;
  if (!FKeysTried) LoadKnownKeys();
  if (!FKeys.Loaded()) return false;
  FKeyValues.clear();
  for (size_t i = 0; i < FPkColumns.size(); ++i) FKeyValues.push_back(&FPkQuery->Params(static_cast<int>(i)));
  const std::optional<uint64_t> hash = FKeys.Hash(FKeyValues);
  return hash && !FKeys.MayContain(*hash);
}

void TTransfertData::LoadKnownKeys() {
  FKeysTried = true;
  FKeyParams.clear();
  FKeysFollowInserts = false;
  if (FPkColumns.empty() || FDestName.empty()) return;
  std::string table;
  std::vector<std::string> columns;
  if (!FInsHead.empty()) {
    if (!InsertTarget(FInsHead, table, columns)) return;
    if (table == UpperCase(FDestName)) {
      // The insert writes the checked table: each record it adds must be known.
      for (const std::string& key : FPkColumns) {
        const auto it = std::find(columns.begin(), columns.end(), UpperCase(Trim(key)));
        if (it == columns.end()) return;
        FKeyParams.push_back(static_cast<int>(it - columns.begin()));
      }
      FKeysFollowInserts = true;
    }
  }
  // Only the keys of the table the insert writes: another table may change by ways
  // the engine does not see (a trigger...).
  if (!FKeysFollowInserts) return;
  FlushBatch();
  FKeys.Load(*FFBDatabase, DefaultTransaction(), FDestName, FPkColumns);
}

void TTransfertData::RememberInsertedKey() {
  if (!FKeys.Loaded() || !FKeysFollowInserts) return;
  FKeyValues.clear();
  for (const int index : FKeyParams) FKeyValues.push_back(&FInsQuery->Params(index));
  const std::optional<uint64_t> hash = FKeys.Hash(FKeyValues);
  if (hash) {
    FKeys.Add(*hash);
  } else {
    ForgetKnownKeys();  // a key it cannot hold: the server answers from now on
  }
}

void TTransfertData::ForgetKnownKeys() { FKeys.Clear(); }

}  // namespace korvel
