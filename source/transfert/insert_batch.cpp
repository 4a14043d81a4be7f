#include "source/transfert/insert_batch.h"

#include <algorithm>

#include "global/fib/fib_database.h"
#include "global/database_error.h"

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

bool TInsertBatch::Start(fib::TpFIBQuery* single, const std::string& head) {
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
  const size_t row_text = head.size() + 16 * static_cast<size_t>(slots) + 32;
  const size_t fit = std::min({kMaxRows, std::max<size_t>(1, kMessageBudget / row_bytes),
                               std::max<size_t>(1, kTextBudget / row_text)});
  if (fit < 2) return false;
  single_ = single;
  replay_ = std::make_unique<fib::TpFIBQuery>(single->Database(), single->Transaction());
  replay_->SetSQLText(single->SQLText());
  head_ = head;
  types_ = std::move(types);
  width_ = static_cast<size_t>(slots);
  maxRows_ = PowerOfTwoAtMost(fit);
  values_.assign(maxRows_ * width_, TParamValue());
  tags_.assign(maxRows_, 0);
  rows_ = 0;
  return true;
}

void TInsertBatch::Stop() {
  single_ = nullptr;
  replay_.reset();
  rows_ = 0;
  blocks_.clear();
}

bool TInsertBatch::Add(int64_t tag) {
  for (size_t i = 0; i < width_; ++i) values_[rows_ * width_ + i].Assign(single_->Params(static_cast<int>(i)));
  tags_[rows_++] = tag;
  return rows_ >= maxRows_;
}

void TInsertBatch::Flush(const TRefused& refused) {
  size_t done = 0;
  try {
    while (done < rows_) {
      const size_t count = PowerOfTwoAtMost(std::min(rows_ - done, maxRows_));
      Send(done, count, refused);
      done += count;
    }
  } catch (...) {
    rows_ = 0;  // never sent twice
    throw;
  }
  rows_ = 0;
}

fib::TpFIBQuery& TInsertBatch::BlockOf(size_t rows) {
  std::unique_ptr<fib::TpFIBQuery>& block = blocks_[rows];
  if (!block) {
    std::string sql = "EXECUTE BLOCK (";
    std::string body;
    for (size_t r = 0; r < rows; ++r) {
      body += head_ + " VALUES(";
      for (size_t i = 0; i < width_; ++i) {
        const std::string name = "P" + std::to_string(r) + "_" + std::to_string(i);
        sql += name + " " + types_[i] + " = ?" + (r + 1 == rows && i + 1 == width_ ? "" : ", ");
        body += ":" + name + (i + 1 == width_ ? "" : ", ");
      }
      body += ");\n";
    }
    sql += ") AS BEGIN\n" + body + "END";
    block = std::make_unique<fib::TpFIBQuery>(single_->Database(), single_->Transaction());
    block->SetNamedParams(false);
    block->SetSQLText(sql);
  }
  return *block;
}

void TInsertBatch::Send(size_t first, size_t count, const TRefused& refused) {
  if (count == 1) {
    SendOneByOne(first, 1, refused);
    return;
  }
  fib::TpFIBQuery& block = BlockOf(count);
  try {
    block.Prepare();
  } catch (const EDatabaseError&) {
    // A block this large is beyond what the server takes: halve it from now on.
    blocks_.erase(count);
    maxRows_ = count / 2;
    Send(first, count / 2, refused);
    Send(first + count / 2, count / 2, refused);
    return;
  }
  try {
    for (size_t r = 0; r < count; ++r) {
      for (size_t i = 0; i < width_; ++i) {
        block.Params(static_cast<int>(r * width_ + i)).Assign(values_[(first + r) * width_ + i]);
      }
    }
    block.ExecQuery();
    block.Close();
    ++blocksSent_;
  } catch (const EDatabaseError&) {
    // The block is undone whole: its rows go again one by one, each meeting its own
    // error.
    block.Close();
    SendOneByOne(first, count, refused);
  }
}

void TInsertBatch::SendOneByOne(size_t first, size_t count, const TRefused& refused) {
  for (size_t r = first; r < first + count; ++r) {
    bool ok = true;
    try {
      for (size_t i = 0; i < width_; ++i) replay_->Params(static_cast<int>(i)).Assign(values_[r * width_ + i]);
      replay_->ExecQuery();
    } catch (const EDatabaseError& e) {
      ok = false;
      replay_->ClearParams();
      refused(tags_[r], e);
    }
    if (ok) replay_->ClearParams();
  }
}

}  // namespace korvel
