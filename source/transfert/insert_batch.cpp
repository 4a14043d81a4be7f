#include "source/transfert/insert_batch.h"

#include <algorithm>

#include "global/database_error.h"
#include "global/fib/fib_database.h"

namespace korvel {
namespace {

// Rows per block: the server limits a statement's text and its parameter message, so
// wide rows take fewer.
constexpr size_t kMaxRows = 128;
constexpr size_t kMessageBudget = 48 * 1024;
constexpr size_t kTextBudget = 48 * 1024;

size_t DeclaredBytes(const std::string& type) {
  const size_t open = type.find('(');
  if (type.rfind("VARCHAR", 0) == 0 || type.rfind("CHAR", 0) == 0) {
    const size_t chars = std::stoul(type.substr(open + 1));
    return chars * (type.find("UTF8") != std::string::npos ? 4 : 1) + 4;
  }
  return 12;
}

size_t PowerOfTwoAtMost(size_t n) {
  size_t p = 1;
  while (p * 2 <= n) p *= 2;
  return p;
}

}  // namespace

bool InsertBatch::Start(fib::TpFIBQuery* single, const std::string& head, const std::vector<std::string>& generators) {
  Stop();
  const int slots = single->SlotCount();
  if (slots <= 0 || slots != single->ParamCount()) return false;
  std::vector<std::string> types;
  size_t row_bytes = 0;
  for (int i = 0; i < slots; ++i) {
    if (single->ParamSlot(i) != i) return false;
    std::string type = single->ParamTypeDeclaration(i);
    if (type.empty()) return false;
    row_bytes += DeclaredBytes(type);
    types.push_back(std::move(type));
  }
  size_t generator_text = 0;
  for (const std::string& g : generators) generator_text += 2 * g.size() + 40;
  const size_t row_text = head.size() + 16 * static_cast<size_t>(slots) + 32 + generator_text;
  const size_t fit = std::min(
      {kMaxRows, std::max<size_t>(1, kMessageBudget / row_bytes), std::max<size_t>(1, kTextBudget / row_text)});
  if (fit < 2) return false;
  single_ = single;
  replay_ = std::make_unique<fib::TpFIBQuery>(single->Database(), single->Transaction());
  replay_->SetSQLText(single->SQLText());
  generators_ = generators;
  if (!generators_.empty()) {
    std::string sql = "SELECT ";
    for (size_t g = 0; g < generators_.size(); ++g) sql += (g ? ", GEN_ID(" : "GEN_ID(") + generators_[g] + ", 0)";
    generatorQuery_ = std::make_unique<fib::TpFIBQuery>(single->Database(), single->Transaction());
    generatorQuery_->SetSQLText(sql + " FROM RDB$DATABASE");
    try {
      GeneratorValues();
    } catch (const EDatabaseError&) {
      Stop();
      return false;
    }
  }
  head_ = head;
  types_ = std::move(types);
  width_ = static_cast<size_t>(slots);
  maxRows_ = PowerOfTwoAtMost(fit);
  capacity_ = kMaxRows;
  values_.assign(capacity_ * width_, TParamValue());
  tags_.assign(capacity_, 0);
  rows_ = 0;
  return true;
}

void InsertBatch::Stop() {
  single_ = nullptr;
  replay_.reset();
  generatorQuery_.reset();
  generators_.clear();
  rows_ = 0;
  blocks_.clear();
}

bool InsertBatch::Add(int64_t tag) {
  for (size_t i = 0; i < width_; ++i) values_[rows_ * width_ + i].Assign(single_->Params(static_cast<int>(i)));
  tags_[rows_++] = tag;
  return rows_ >= capacity_;
}

void InsertBatch::Flush(const RefusedRow& refused, const UnsentRow& unsent) {
  next_ = 0;
  in_refused_ = false;
  const auto drop_unsent = [&] {
    const size_t first = next_, end = rows_;
    rows_ = 0;  // never sent twice
    for (size_t r = first; r < end; ++r) unsent(tags_[r]);
    return end - first;
  };
  try {
    SendRange(0, rows_, refused);
  } catch (const EDatabaseError& e) {
    if (in_refused_) {
      drop_unsent();
      throw;
    }
    const size_t dropped = drop_unsent();
    throw ERoutineFault("Envoi par lots interrompu, " + std::to_string(dropped) +
                        " enregistrements non envoyes: " + e.what());
  } catch (...) {
    drop_unsent();
    throw;
  }
  rows_ = 0;
}

void InsertBatch::Drop(const std::function<bool(int64_t tag)>& drop) {
  size_t kept = 0;
  for (size_t r = 0; r < rows_; ++r) {
    if (drop(tags_[r])) continue;
    if (kept != r) {
      for (size_t i = 0; i < width_; ++i) values_[kept * width_ + i].Assign(values_[r * width_ + i]);
      tags_[kept] = tags_[r];
    }
    ++kept;
  }
  rows_ = kept;
}

void InsertBatch::SendRange(size_t first, size_t end, const RefusedRow& refused) {
  while (first < end) {
    next_ = first;
    const size_t count = PowerOfTwoAtMost(std::min(end - first, maxRows_));
    if (count == 1) {
      SendAlone(first, refused);
      ++first;
    } else {
      first = Send(first, count, refused);
    }
  }
  next_ = end;
}

// Each row's insert is a block of its own with a handler: the first row the server
// refuses is undone alone and ends the block, which returns its position (-1 when
// every row went in). The rows before it are in, in order; that row is sent again on
// its own for its error, and the rows after it follow in new blocks, as they would one
// by one. The block yields exactly one row, which comes back with the execution: one
// round trip per block (a cursor would cost a fetch more).
fib::TpFIBQuery& InsertBatch::BlockOf(size_t rows) {
  std::unique_ptr<fib::TpFIBQuery>& block = blocks_[rows];
  if (!block) {
    std::string sql = "EXECUTE BLOCK (";
    std::string body;
    // Before each row, the generators' values: a refused row reports those it started
    // from, which are set back before it is sent again on its own.
    std::string read_generators;
    std::string returns = "F INTEGER";
    for (size_t g = 0; g < generators_.size(); ++g) {
      read_generators += "G" + std::to_string(g) + " = GEN_ID(" + generators_[g] + ", 0); ";
      returns += ", G" + std::to_string(g) + " BIGINT";
    }
    for (size_t r = 0; r < rows; ++r) {
      body += read_generators + "BEGIN " + head_ + " VALUES(";
      for (size_t i = 0; i < width_; ++i) {
        const std::string name = "P" + std::to_string(r) + "_" + std::to_string(i);
        sql += name + " " + types_[i] + " = ?" + (r + 1 == rows && i + 1 == width_ ? "" : ", ");
        body += ":" + name + (i + 1 == width_ ? "" : ", ");
      }
      body += "); WHEN ANY DO BEGIN F = " + std::to_string(r) + "; SUSPEND; EXIT; END END\n";
    }
    sql += ") RETURNS (" + returns + ") AS BEGIN\nF = -1;\n" + body + "SUSPEND;\nEND";
    block = std::make_unique<fib::TpFIBQuery>(single_->Database(), single_->Transaction());
    block->SetNamedParams(false);
    block->SetSQLText(sql);
  }
  return *block;
}

size_t InsertBatch::Send(size_t first, size_t count, const RefusedRow& refused) {
  fib::TpFIBQuery& block = BlockOf(count);
  try {
    block.Prepare();
  } catch (const EDatabaseError& e) {
    if (e.NotAboutARow()) throw;
    // A block this large is beyond what the server takes: halve it from now on.
    blocks_.erase(count);
    maxRows_ = count / 2;
    return first;
  }
  int64_t failed = -1;
  std::vector<int64_t> started;  // the generators' values when the failed row started
  try {
    for (size_t r = 0; r < count; ++r) {
      for (size_t i = 0; i < width_; ++i) {
        block.Params(static_cast<int>(r * width_ + i)).Assign(values_[(first + r) * width_ + i]);
      }
    }
    block.ExecSingleton();
    failed = block.Fields(0).AsInteger();
    if (failed >= 0) {
      for (size_t g = 0; g < generators_.size(); ++g)
        started.push_back(block.Fields(static_cast<int>(g + 1)).AsInteger());
    }
    block.Close();
  } catch (const EDatabaseError& e) {
    if (e.NotAboutARow()) throw;  // the flush ends: no row would fare better alone
    // Refused before any row ran (a value its parameter cannot take): nothing is in,
    // each row goes on its own.
    block.Close();
    for (size_t r = first; r < first + count; ++r) {
      next_ = r;
      SendAlone(r, refused);
    }
    return first + count;
  }
  if (failed < 0) {
    ++blocksSent_;
    return first + count;
  }
  const size_t row = first + static_cast<size_t>(failed);
  next_ = row;
  SetGenerators(started);
  SendAlone(row, refused);
  return row + 1;
}

std::vector<int64_t> InsertBatch::GeneratorValues() {
  std::vector<int64_t> values;
  if (generators_.empty()) return values;
  fib::TpFIBQuery& query = *generatorQuery_;
  query.ExecQuery();
  for (size_t g = 0; g < generators_.size(); ++g) values.push_back(query.Fields(static_cast<int>(g)).AsInteger());
  query.Close();
  return values;
}

void InsertBatch::SendAlone(size_t row, const RefusedRow& refused) {
  try {
    for (size_t i = 0; i < width_; ++i) replay_->Params(static_cast<int>(i)).Assign(values_[row * width_ + i]);
    replay_->ExecQuery();
  } catch (const EDatabaseError& e) {
    replay_->ClearParams();
    if (e.NotAboutARow()) throw;
    next_ = row + 1;
    in_refused_ = true;
    refused(tags_[row], e);
    in_refused_ = false;
    return;
  }
  replay_->ClearParams();
  next_ = row + 1;
}

// The generators' increments made by a row that the block undid stay (generators live
// outside transactions): they are taken back, so the row starts again where it did.
void InsertBatch::SetGenerators(const std::vector<int64_t>& values) {
  if (values.empty()) return;
  const std::vector<int64_t> now = GeneratorValues();
  for (size_t g = 0; g < generators_.size(); ++g) {
    if (now[g] == values[g]) continue;
    fib::TpFIBQuery back(single_->Database(), single_->Transaction());
    back.SetSQLText("SELECT GEN_ID(" + generators_[g] + ", " + std::to_string(values[g] - now[g]) +
                    ") FROM RDB$DATABASE");
    back.ExecQuery();
    back.Close();
  }
}

}  // namespace korvel
